#include "convert/conversion_job.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cassert>
#include <cerrno>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "convert/conversion_pass.h"
#include "convert/counting_thread.h"
#include "convert/layouts.h"
#include "convert/list_ahead.h"
#include "convert/listing_queue.h"
#include "convert/skip_listener.h"
#include "convert/tile_recognizer.h"
#include "convert/tile_selection.h"
#include "convert/tile_source.h"
#include "platform/file_io.h"
#include "platform/file_size_limits.h"
#include "platform/file_writeback.h"
#include "platform/folder_search.h"
#include "platform/message_box.h"
#include "platform/notification.h"
#include "platform/utf.h"
#include "platform/walk_guard.h"
#include "regex/bad_regexpr.h"
#include "store/reader_turn.h"
#include "store/sqlite_database.h"
#include "store/sqlite_error.h"
#include "store/tile_inserter.h"
#include "store/write_failure.h"

namespace convert {

using store::TileInserter;

// What the counting walk left behind when it ended; read by the converting
// pass once it has joined the counting thread.
struct CountingResult {
  int fileCount = 0;     // files counted: the total, or the count reached when stopped
  bool stopped = false;  // a stop was requested by the time the walk ended
};

// What one walk keeps from file to file: the compiled pattern, the prepared
// insert and the read buffer are made once per pass, not once per file.
//
// A converting pass that runs beside the counting walk (`beside`) holds
// everything the window or the user could see until the count has ended:
// its notices, its skip reports, its counts (in `provisional`), its commits
// and a database error. When the count ends it either takes its place after
// it (CatchUp: counts published, held reports told in order) or, when the
// count was stopped, never happened (`discarded`: its transaction rolled back,
// nothing told).
struct WalkState {
  int pass = 0;                            // CountingPass or ConvertingPass
  int layout = 0;                          // the job's layout, copied when the pass starts
  int fileCount = 0;                       // files (items) met so far in this pass
  ConversionStats* stats = nullptr;        // not owned; where this pass counts: the job's, or `provisional`
  std::unique_ptr<TileRecognizer> recognizer;  // converting pass: the layout's tile rules; null stores nothing
  std::unique_ptr<TileInserter> inserter;  // converting pass: the reused insert statement
  std::vector<unsigned char> buffer;       // the file being stored; its capacity is reused
  std::string filePath;                    // the full path of the file being stored; its capacity is reused
  std::uint64_t longestValue = 0;          // converting pass: SQLite's limit on a value's bytes
  platform::WalkGuard guard;               // folders on the current path (cycle guard)
  int depth = 0;                           // 0 while the source folder itself is walked
  long long pendingTiles = 0;              // tiles stored in the open transaction
  std::uint64_t pendingBytes = 0;          // their image bytes
  const platform::FolderSearch* parentSearch = nullptr;  // set just before a walk enters a subfolder: the parent's search
  const std::string* subfolderName = nullptr;            // ... and the subfolder's entry name in it
  std::chrono::steady_clock::time_point batchBegun;  // when the open transaction was begun
  bool committed = false;                  // a batch of this pass has been committed
  std::unique_ptr<store::ReaderTurn> readerTurn;  // converting pass: lets readers of the map in after each commit
  platform::FileWriteback writeback;       // converting pass: starts the map file's writing to disk early
  std::uint64_t bytesSinceWriteback = 0;   // tile bytes stored since writeback was last started
  std::unique_ptr<ReadAhead> readAhead;    // converting pass of a large tree: reads the next tiles early; null otherwise

  CountingThread* countsFor = nullptr;     // counting pass on its own thread: told of every file; not owned
  ListingQueue* recordTo = nullptr;        // counting pass beside a converting one: offered each folder's listing; not owned, null: none (any more)
  ListingQueue* listedFrom = nullptr;      // converting pass beside the count: takes the folders' listings from here; not owned, null: lists every folder itself
  CountingThread* countBeside = nullptr;   // converting pass: the counting walk running beside it; not owned, may be null
  const CountingResult* counted = nullptr; // ... and what it leaves; valid once it has been joined
  bool beside = false;                     // the counting walk has not been caught up with: hold everything
  bool discarded = false;                  // the count was stopped: this converting pass never happened
  bool halted = false;                     // a database error ended this pass while beside; told once the count ends
  ConversionStats provisional;             // this pass's counts while beside
  std::vector<int> heldNotices;            // NotifyConverted counts not yet posted, oldest first
  std::vector<std::pair<std::string, SkipReason>> heldSkips;  // skip reports not yet told, oldest first
  int heldErrorCode = 0;                   // halted: SQLite's result code of the error
  std::u16string heldErrorMessage;         // halted: its text
  bool heldFileSizeLimit = false;          // halted: the write failed at the file system's size limit
};

void ConversionStats::Reset() {
  pass = 0;
  filesSeen = 0;
  filesCounted = 0;
  readAheadStarted = 0;
  tilesStored = 0;
  duplicates = 0;
  notTiles = 0;
  unreadable = 0;
  outsideSelection = 0;
  tooLarge = 0;
  unreadableFolders = 0;
  vanishedFolders = 0;
  foldersHandedOver = 0;
  databaseErrors = 0;
  rolledBack = 0;
  databaseErrorCode = 0;
  fileSizeLimit = false;
  sourceErrors = 0;
  rowsOutsideRange = 0;
  rowsWithoutData = 0;
  rowsZoomUnfit = 0;
}

namespace {

// Held notices and skip reports a converting pass keeps at most while the
// counting walk runs beside it; beyond, it waits for the count to end.
constexpr std::size_t kMaxHeldNotices = 1u << 16;
constexpr std::size_t kMaxHeldSkips = 1u << 12;

void Post(ConversionJob& job, int code, int count) {
  if (job.notifications != nullptr) job.notifications->Post(code, count);
}

void ShowError(ConversionJob& job, const std::u16string& message) {
  if (job.messageBoxes != nullptr) job.messageBoxes->Show(message, platform::MessageStyle::Exclamation);
}

// True while SQLite itself holds a transaction open on the connection.
bool SqliteTransactionOpen(const SQLite::Database& database) {
  return database.handle != nullptr && sqlite3_get_autocommit(database.handle) == 0;
}

// The open batch is gone (rolled back): its tiles no longer count as stored
// but as rolled back.
void ForgetPendingTiles(ConversionJob& job) {
  WalkState* state = job.walkState;
  if (state == nullptr) return;
  state->stats->tilesStored.fetch_sub(state->pendingTiles, std::memory_order_relaxed);
  state->stats->rolledBack.fetch_add(state->pendingTiles, std::memory_order_relaxed);
  state->pendingTiles = 0;
  state->pendingBytes = 0;
}

// Whether the write that failed with `code` met the file system's size
// limit. Taken while the map file still has the size at which it failed.
bool FailedAtSizeLimit(ConversionJob& job, int code) {
  const std::uint64_t pending = job.walkState != nullptr ? job.walkState->pendingBytes : 0;
  return store::WriteFailedAtSizeLimit(*job.database, code, pending, platform::ReadMountTable());
}

// Keeps the first error that stops the job, for the summary.
void KeepStopReason(ConversionJob& job, int code, const std::u16string& message, bool atSizeLimit) {
  if (job.stats.databaseErrorCode.load() != 0) return;
  job.stats.fileSizeLimit = atSizeLimit;
  job.stats.databaseErrorCode = code;
  job.stopReason = message;
}

void NoteStopReason(ConversionJob& job, int code, const std::u16string& message) {
  if (job.stats.databaseErrorCode.load() != 0) return;
  KeepStopReason(job, code, message, FailedAtSizeLimit(job, code));
}

void BeginTransactionIfNone(ConversionJob& job) {
  SQLite::Database& database = *job.database;
  if (database.inTransaction != 0) return;
  database.inTransaction = 1;
  if (WalkState* state = job.walkState; state != nullptr) {
    state->batchBegun = std::chrono::steady_clock::now();
    if (state->readerTurn) state->readerTurn->BatchBegun(state->committed);
  }
  database.exec(SQLite::kBeginTransactionSql);  // a failure is shown by exec; the walk goes on
}

// True when a folder end should commit the open batch (see the batch rule in
// the header).
bool BatchDue(const ConversionJob& job, const WalkState& state) {
  if (state.pendingTiles >= job.commitBatch) return true;
  return state.pendingTiles > 0 && std::chrono::steady_clock::now() - state.batchBegun >= job.commitInterval;
}

// After a full disk or an I/O error SQLite leaves the rollback of the failed
// batch to the next connection that opens the map file: until then the file
// keeps the batch's pages, its journal lies beside it, and programs that
// only read the map refuse it. The map is therefore opened anew at once,
// before any message waits for the user.
void FinishRollback(ConversionJob& job) { job.rollbackLeft = store::ReopenAfterWriteError(*job.database); }

// The database error path of a tile's insert: roll back the open batch, show
// one message, stop. The tile whose insert failed is lost with the batch.
// A failed step may already have made SQLite roll the transaction back; then
// no "ROLLBACK;" runs, since it would only fail with a second message.
void StopOnDatabaseError(ConversionJob& job, int code, const std::u16string& message) {
  // A wait for another program's lock that a stop request cut short is the
  // stop itself, not an error: the batch is rolled back all the same, but
  // nothing is shown and the job ends as a stopped one.
  const bool stopWhileWaiting = job.stopRequested.load() != 0 && (code & 0xff) == SQLITE_BUSY;
  WalkState* state = job.walkState;
  const bool beside = state != nullptr && state->beside;
  (state != nullptr ? *state->stats : job.stats).rolledBack.fetch_add(1, std::memory_order_relaxed);
  if (beside && !stopWhileWaiting) {
    state->heldFileSizeLimit = FailedAtSizeLimit(job, code);  // before the rollback changes the file
  } else if (!stopWhileWaiting) {
    NoteStopReason(job, code, message);
  }
  SQLite::Database& database = *job.database;
  if (SqliteTransactionOpen(database)) database.rollback();
  database.inTransaction = 0;
  ForgetPendingTiles(job);
  if (stopWhileWaiting) return;
  FinishRollback(job);
  if (beside) {
    // The count still runs: the error is shown once it has ended, where it
    // would have come with the passes one after the other.
    state->halted = true;
    state->heldErrorCode = code;
    state->heldErrorMessage = message;
    return;
  }
  ShowError(job, message);
  job.stats.databaseErrors.fetch_add(1, std::memory_order_relaxed);
  job.stopRequested = 1;
}

// Commits the open transaction. A COMMIT that fails shows its own message
// (exec's), once the rollback is finished; the batch would be lost or left
// dangling, so the job stops after rolling back whatever SQLite still holds
// open. Returns false in that case.
bool CommitOpenTransaction(ConversionJob& job) {
  assert(job.walkState == nullptr || !job.walkState->beside);  // nothing is committed before the count has ended
  SQLite::Database& database = *job.database;
  if (database.inTransaction == 0) return true;
  database.inTransaction = 0;
  platform::RecordingMessageBox held;  // exec's message, shown after the rollback
  platform::MessageBoxService* boxes = database.messageBoxes();
  database.setMessageBoxes(&held);
  const int result = database.exec(SQLite::kCommitSql);
  database.setMessageBoxes(boxes);
  const auto showHeld = [&] {
    platform::StderrMessageBox stderrBoxes;
    for (const platform::RecordingMessageBox::Message& m : held.Messages()) {
      (boxes != nullptr ? *boxes : stderrBoxes).Show(m.text, m.style);
    }
  };
  if (result != SQLITE_OK && database.isOpen != 0) {
    NoteStopReason(job, result,
                   platform::Utf8ToUtf16(database.errorText != nullptr ? database.errorText : sqlite3_errstr(result)));
    if (SqliteTransactionOpen(database)) {
      database.inTransaction = 1;
      database.rollback();
    }
    ForgetPendingTiles(job);
    FinishRollback(job);
    showHeld();
    job.stats.databaseErrors.fetch_add(1, std::memory_order_relaxed);
    job.stopRequested = 1;
    return false;
  }
  showHeld();
  if (job.walkState != nullptr) {
    job.walkState->pendingTiles = 0;
    job.walkState->pendingBytes = 0;
    job.walkState->committed = true;
  }
  return true;
}

// Tells the job's listener, if any, that the item `where` was not stored.
// While the count runs beside the pass the report is held.
void ReportSkippedAt(ConversionJob& job, std::string_view where, SkipReason reason) {
  if (job.skipListener == nullptr) return;
  WalkState* state = job.walkState;
  if (state != nullptr && state->beside) {
    state->heldSkips.emplace_back(where, reason);
    return;
  }
  if (state != nullptr && state->discarded) return;
  job.skipListener->Skipped(where, reason);
}

// The same for the entry at the full path `path` of the source tree.
void ReportSkipped(ConversionJob& job, std::string_view path, SkipReason reason) {
  if (job.skipListener != nullptr) ReportSkippedAt(job, NativeRelativePath(path, job.sourceFolder), reason);
}

// Stores one tile of any source in the open batch (beginning one when none
// is open), and counts what became of it.
void StoreTile(ConversionJob& job, WalkState& state, const TileKey& key, const unsigned char* image,
               std::size_t size, std::string_view where) {
  ConversionStats& stats = *state.stats;
  BeginTransactionIfNone(job);
  TileInserter::Outcome outcome;
  try {
    outcome = state.inserter->Insert(key, image, size);
  } catch (const SQLite::Error& error) {
    StopOnDatabaseError(job, error.code, error.message);
    return;
  }
  switch (outcome) {
    case TileInserter::Outcome::Stored:
      stats.tilesStored.fetch_add(1, std::memory_order_relaxed);
      ++state.pendingTiles;
      state.pendingBytes += size;
      state.bytesSinceWriteback += size;
      if (state.bytesSinceWriteback >= job.writebackStep) {
        state.writeback.Start();
        state.bytesSinceWriteback = 0;
      }
      {
        const auto open = std::chrono::steady_clock::now() - state.batchBegun;
        state.readerTurn->BatchOpenFor(open);
        // A reader of the map waits for the whole of a batch that outgrew
        // SQLite's page cache; a long source does not hold it for longer.
        // Beside the count nothing is committed: the batch waits for it.
        if (open >= job.longestBatch && !state.beside) CommitOpenTransaction(job);
      }
      break;
    case TileInserter::Outcome::Duplicate:
      stats.duplicates.fetch_add(1, std::memory_order_relaxed);
      ReportSkippedAt(job, where, SkipReason::AlreadyPresent);
      break;
    case TileInserter::Outcome::TooBig:
      stats.tooLarge.fetch_add(1, std::memory_order_relaxed);
      ReportSkippedAt(job, where, SkipReason::TooLarge);
      break;
    case TileInserter::Outcome::Failed:
      StopOnDatabaseError(job, state.inserter->ErrorCode(), state.inserter->ErrorMessage());
      break;
  }
}

// The end of a group of tiles (a folder, a run of rows): commits the open
// batch when it is due, or always at the source's end, and posts the
// progress. Returns false when a failed commit stopped the job.
bool EndTileGroup(ConversionJob& job, WalkState& state, bool last) {
  if (last || BatchDue(job, state)) {
    if (!CommitOpenTransaction(job)) return false;
  }
  Post(job, NotifyConverted, state.fileCount);
  return true;
}

// Sets up what every converting pass uses (the insert, the writeback of the
// map file, the longest value) and makes a stop end any wait for a lock.
// Returns the database's stop flag before, for EndConverting().
const std::atomic<int>* BeginConverting(ConversionJob& job, WalkState& state) {
  assert(job.database != nullptr);
  state.inserter = std::make_unique<TileInserter>(*job.database);
  state.readerTurn = std::make_unique<store::ReaderTurn>(*job.database);
  if (job.database->handle != nullptr) {
    const char* file = sqlite3_db_filename(job.database->handle, "main");
    if (file != nullptr) state.writeback.Attach(file);  // not found: the writing waits for the commits
  }
  state.longestValue = job.database->handle != nullptr
                           ? static_cast<std::uint64_t>(sqlite3_limit(job.database->handle, SQLITE_LIMIT_LENGTH, -1))
                           : UINT64_MAX;
  const std::atomic<int>* busyStop = job.database->busyStop();
  job.database->setBusyStop(&job.stopRequested);
  job.walkState = &state;
  return busyStop;
}

// Undoes a converting pass that never happened (its count was stopped): its
// open transaction is rolled back, so the map file is as it was.
void RollBackDiscardedPass(ConversionJob& job) {
  SQLite::Database& database = *job.database;
  if (SqliteTransactionOpen(database)) {
    database.inTransaction = 1;
    database.rollback();
  }
  database.inTransaction = 0;
}

// Ends a converting pass: commits what is open (rolls it back when the pass
// was discarded) and restores the stop flag.
void EndConverting(ConversionJob& job, const std::atomic<int>* busyStop) {
  // The last commit keeps what a stopped job stored, so it waits for a
  // lock as long as any statement would, stop or not.
  job.database->setBusyStop(busyStop);
  if (job.walkState != nullptr && job.walkState->discarded) {
    RollBackDiscardedPass(job);
  } else {
    CommitOpenTransaction(job);
  }
  if (job.walkState != nullptr && job.walkState->readerTurn) job.walkState->readerTurn->End();
  job.walkState = nullptr;
}

// True when nothing is found at `folderPath` any more.
bool FolderRemoved(const std::string& folderPath) {
  struct stat status {};
  return ::lstat(folderPath.c_str(), &status) != 0 && errno == ENOENT;
}

// Counts and reports the folder `folderPath` as one that could not be read,
// and as vanished when it is gone.
void ReportUnreadableFolder(ConversionJob& job, WalkState& state, const std::string& folderPath, bool gone) {
  state.stats->unreadableFolders.fetch_add(1, std::memory_order_relaxed);
  if (gone) state.stats->vanishedFolders.fetch_add(1, std::memory_order_relaxed);  // removed since its parent was listed
  ReportSkipped(job, folderPath, SkipReason::FolderUnreadable);
}

// Handles one file of the converting pass: recognise, decode, read, insert.
// Returns false, having handled nothing, when the file cannot be opened
// because its folder, listed by another walk, has been removed since.
bool StoreFile(ConversionJob& job, WalkState& state, const std::string& folderPath,
               const platform::FolderSearch& search, const platform::FolderEntry& entry) {
  ConversionStats& stats = *state.stats;
  std::string& fullPath = state.filePath;
  JoinPathInto(folderPath, entry.name, &fullPath);
  std::optional<TileKey> key;
  if (state.recognizer) key = state.recognizer->Recognize(RelativePath(fullPath, job.sourceFolder), entry.name);
  if (!key) {
    stats.notTiles.fetch_add(1, std::memory_order_relaxed);
    ReportSkipped(job, fullPath, SkipReason::NotTile);
    return true;
  }
  // The selection needs the key only: a tile it leaves out is never opened.
  if (job.selection != nullptr && !job.selection->Selects(*key)) {
    stats.outsideSelection.fetch_add(1, std::memory_order_relaxed);
    ReportSkipped(job, fullPath, SkipReason::OutsideSelection);
    return true;
  }
  if (state.readAhead) state.readAhead->Reached();
  const platform::ReadStatus read = ReadTileFile(search, entry, fullPath, &state.buffer, state.longestValue);
  if (read != platform::ReadStatus::Ok) {
    // A folder that another walk listed may have gone since: then its files
    // are not unreadable tiles, the folder is a vanished one.
    if (read == platform::ReadStatus::CannotOpen && search.IsListed() && FolderRemoved(folderPath)) return false;
    const bool tooLarge = read == platform::ReadStatus::TooLarge;
    (tooLarge ? stats.tooLarge : stats.unreadable).fetch_add(1, std::memory_order_relaxed);
    ReportSkipped(job, fullPath, tooLarge ? SkipReason::TooLarge : SkipReason::Unreadable);
    return true;
  }

  StoreTile(job, state, *key, state.buffer.data(), state.buffer.size(),
            job.skipListener != nullptr ? NativeRelativePath(fullPath, job.sourceFolder) : std::string_view());
  return true;
}

// Copies the counts a converting pass made while beside the count into the
// job's, where the progress and the summary read them.
void PublishCounts(const ConversionStats& from, ConversionStats& to) {
  to.filesSeen = from.filesSeen.load();
  to.tilesStored = from.tilesStored.load();
  to.duplicates = from.duplicates.load();
  to.notTiles = from.notTiles.load();
  to.unreadable = from.unreadable.load();
  to.outsideSelection = from.outsideSelection.load();
  to.tooLarge = from.tooLarge.load();
  to.unreadableFolders = from.unreadableFolders.load();
  to.vanishedFolders = from.vanishedFolders.load();
  to.foldersHandedOver = from.foldersHandedOver.load();
  to.rolledBack = from.rolledBack.load();
}

// The converting pass catches up with the counting walk beside it: waits for
// the walk to end, then either takes its place after it (the total first,
// then the held notices, skip reports and error, in the order they would
// have come with the passes one after the other) or, when the count was
// stopped, marks the pass as one that never ran. REQUIRES: state.beside.
void CatchUp(ConversionJob& job, WalkState& state) {
  assert(state.beside && state.countBeside != nullptr);
  state.countBeside->WaitCounted();
  state.beside = false;
  if (state.counted->stopped) {
    state.discarded = true;
    state.heldNotices.clear();
    state.heldSkips.clear();
    return;
  }
  ConversionStats& stats = job.stats;
  stats.filesCounted = state.counted->fileCount;
  PublishCounts(state.provisional, stats);
  state.stats = &stats;
  stats.pass = ConvertingPass;
  // A stop from now on ends the pass: no folder notice after it.
  for (const int count : state.heldNotices) {
    if (job.stopRequested.load() != 0) break;
    Post(job, NotifyConverted, count);
  }
  state.heldNotices = {};
  if (job.skipListener != nullptr) {
    for (const auto& [path, reason] : state.heldSkips) job.skipListener->Skipped(path, reason);
  }
  state.heldSkips = {};
  if (state.halted) {
    if (state.heldErrorCode != 0) {
      KeepStopReason(job, state.heldErrorCode, state.heldErrorMessage, state.heldFileSizeLimit);
    } else if (job.stopReason.empty()) {
      job.stopReason = state.heldErrorMessage;
    }
    ShowError(job, state.heldErrorMessage);
    stats.databaseErrors.fetch_add(1, std::memory_order_relaxed);
    job.stopRequested = 1;
  }
}

// After every entry of a converting pass beside the count: catches up once
// the count has ended, or when the pass holds as much as it may.
void CatchUpIfDue(ConversionJob& job, WalkState& state) {
  if (!state.beside) return;
  if (state.countBeside->Ended() || state.heldNotices.size() >= kMaxHeldNotices ||
      state.heldSkips.size() >= kMaxHeldSkips) {
    CatchUp(job, state);
  }
}

// True when the walk must leave the folder at once.
bool MustLeave(const ConversionJob& job, const WalkState& state) {
  return job.stopRequested.load() != 0 || state.halted || state.discarded;
}

// Walks one folder and, recursively, every folder below it, with the pass of
// `state` (see the header).
void WalkFolderIn(ConversionJob& job, WalkState& state, const std::string& folderPath) {
  const int pass = state.pass;
  platform::FolderSearch search;
  bool searching = false;
  // Below the source folder, the counting walk ahead may have left the
  // folder's listing: then the folder is neither opened nor read again.
  if (state.listedFrom != nullptr && state.parentSearch != nullptr) {
    platform::FolderListing listing;
    if (state.listedFrom->Take(NativeRelativePath(folderPath, job.sourceFolder), &listing)) {
      search.OpenListed(*state.parentSearch, *state.subfolderName, std::move(listing), platform::EntryDetail::KindOnly);
      searching = true;
      state.stats->foldersHandedOver.fetch_add(1, std::memory_order_relaxed);
    }
  }
  if (!searching) searching = OpenWalkedFolder(search, folderPath, state.parentSearch, state.subfolderName);
  if (searching && state.recordTo != nullptr && state.parentSearch != nullptr) {
    // No room: the converting walk lists the rest itself, or takes the
    // listings the walk after the count queues.
    if (!state.recordTo->Offer(NativeRelativePath(folderPath, job.sourceFolder), search.Listing())) {
      state.recordTo = nullptr;
    }
  }
  state.parentSearch = nullptr;
  state.subfolderName = nullptr;
  // A folder whose listing broke off is walked with the names it gave, but
  // counted and told as unreadable: some of its files may be missing.
  if ((!searching || search.ListingFailed()) && pass == ConvertingPass) {
    ReportUnreadableFolder(job, state, folderPath, !searching && FolderRemoved(folderPath));
  }
  if (pass == ConvertingPass) BeginTransactionIfNone(job);
  // A folder already on the walk's path (reached again through a link) is
  // walked as an empty folder.
  std::optional<platform::WalkGuard::Scope> scope;  // keeps this folder on the path while it is walked
  if (searching) {
    scope.emplace(state.guard, search.FolderDevice(), search.FolderInode());
    searching = scope->Entered();
  }

  if (searching) {
    platform::FolderEntry entry;
    while (search.Next(&entry)) {
      if (entry.isDirectory) {
        if (entry.name != "." && entry.name != "..") {
          ++state.depth;
          state.parentSearch = &search;
          state.subfolderName = &entry.name;
          WalkFolderIn(job, state, JoinPath(folderPath, entry.name));
          --state.depth;
        }
      } else {
        ++state.fileCount;
        state.stats->filesSeen.fetch_add(1, std::memory_order_relaxed);
        if (state.countsFor != nullptr) state.countsFor->FileCounted(state.fileCount);
        if (pass == ConvertingPass && !StoreFile(job, state, folderPath, search, entry)) {
          // The folder went after it was listed: walked as a folder that was
          // gone when the walk came to it, without this file.
          --state.fileCount;
          state.stats->filesSeen.fetch_sub(1, std::memory_order_relaxed);
          ReportUnreadableFolder(job, state, folderPath, true);
          search.Close();
        }
      }
      if (pass == ConvertingPass) CatchUpIfDue(job, state);
      if (MustLeave(job, state)) {
        search.Close();
        return;
      }
    }
  }
  search.Close();

  if (pass == CountingPass) {
    Post(job, NotifyCounted, state.fileCount);
    return;
  }
  // Nothing is committed before the count has ended: the source folder's end
  // and a full batch wait for it; a batch due by its age waits as well.
  const bool lastFolder = state.depth == 0;
  if (state.beside && (lastFolder || state.pendingTiles >= job.commitBatch)) {
    CatchUp(job, state);
    // A stop that came with one of the folder notices told now ends the
    // walk before this folder's notice, as it would have then.
    if (MustLeave(job, state)) return;
  }
  if (state.beside) {
    state.heldNotices.push_back(state.fileCount);
    return;
  }
  EndTileGroup(job, state, lastFolder);
}

// Sets up the state of one pass, walks the tree from folderPath, and leaves
// no transaction open: a stopped converting pass commits what it stored.
// `countBeside` (converting pass only, may be null): the counting walk still
// running, whose end the pass catches up with; `counted` what it leaves;
// `listings` (may be null) the folder listings it and the listing walk after
// it queue for this pass.
void WalkTree(ConversionJob& job, const std::string& folderPath, int pass, CountingThread* countBeside = nullptr,
              const CountingResult* counted = nullptr, ListingQueue* listings = nullptr) {
  WalkState state;
  state.pass = pass;
  state.layout = job.layout;
  state.stats = &job.stats;
  if (countBeside != nullptr) {
    state.countBeside = countBeside;
    state.counted = counted;
    state.beside = true;
    state.stats = &state.provisional;
    state.listedFrom = listings;
  }
  const std::atomic<int>* busyStop = nullptr;
  if (pass == ConvertingPass) {
    busyStop = BeginConverting(job, state);
    if (IsFolderLayout(state.layout)) {
      try {
        state.recognizer = std::make_unique<TileRecognizer>(state.layout);
      } catch (const std::exception& error) {
        // The patterns are fixed texts; this only happens if the engine
        // cannot compile them, and then no file could be recognised.
        const std::u16string message = platform::Utf8ToUtf16(error.what());
        if (state.beside) {
          state.halted = true;
          state.heldErrorMessage = message;
        } else {
          job.stopReason = message;
          ShowError(job, job.stopReason);
          job.stats.databaseErrors.fetch_add(1, std::memory_order_relaxed);
          job.stopRequested = 1;
        }
      }
      // Beside the count, the files counted so far tell whether the tree is
      // large enough.
      const long long known = state.beside ? job.stats.filesSeen.load() : job.stats.filesCounted.load();
      if (state.recognizer && job.readAheadMinFiles >= 0 && known >= job.readAheadMinFiles) {
        state.readAhead = std::make_unique<ReadAhead>(job.sourceFolder, state.layout, job.readAheadWindow, job.selection);
        if (!state.readAhead->Start()) state.readAhead.reset();  // no thread: the pass reads as it goes
      }
    }
  }
  job.walkState = &state;
  if (!MustLeave(job, state)) WalkFolderIn(job, state, folderPath);
  if (state.beside) CatchUp(job, state);
  if (state.readAhead) {
    state.readAhead->Stop();
    if (!state.discarded) job.stats.readAheadStarted = state.readAhead->Started();
  }
  if (pass == ConvertingPass) EndConverting(job, busyStop);
  job.fileCount = state.fileCount;
  job.walkState = nullptr;
}

// The counting pass: walks the whole tree, posting NotifyCounted at every
// folder end, and leaves its total in *result. `thread`, when the walk runs
// on a thread of its own, is told of every file; `listings` (may be null) is
// offered the listing of every folder below the source folder.
void CountTree(ConversionJob& job, CountingThread* thread, CountingResult* result, ListingQueue* listings) {
  WalkState state;
  state.pass = CountingPass;
  state.layout = job.layout;
  state.stats = &job.stats;
  state.countsFor = thread;
  state.recordTo = listings;
  WalkFolderIn(job, state, job.sourceFolder);
  result->fileCount = state.fileCount;
  result->stopped = job.stopRequested.load() != 0;
}

}  // namespace

void ConversionJob::WalkFolder(std::string folderPath, int pass) {
  assert(pass == CountingPass || pass == ConvertingPass);
  if (walkState == nullptr) {
    WalkTree(*this, folderPath, pass);
    return;
  }
  WalkFolderIn(*this, *walkState, folderPath);
}

ConvertingPassScope::ConvertingPassScope(ConversionJob& job) : job_(job), state_(std::make_unique<WalkState>()) {
  assert(job.walkState == nullptr);
  state_->pass = ConvertingPass;
  state_->layout = job.layout;
  state_->stats = &job.stats;
  busyStop_ = BeginConverting(job_, *state_);
}

ConvertingPassScope::~ConvertingPassScope() { EndConverting(job_, busyStop_); }

void ConvertingPassScope::Met() {
  job_.fileCount = ++state_->fileCount;
  job_.stats.filesSeen.fetch_add(1, std::memory_order_relaxed);
}

void ConvertingPassScope::Store(const TileKey& key, const unsigned char* image, std::size_t size,
                                std::string_view where) {
  StoreTile(job_, *state_, key, image, size, where);
}

void ConvertingPassScope::Skipped(std::string_view where, SkipReason reason) {
  ConversionStats& stats = job_.stats;
  switch (reason) {
    case SkipReason::AlreadyPresent:
      stats.duplicates.fetch_add(1, std::memory_order_relaxed);
      break;
    case SkipReason::Unreadable:
      stats.unreadable.fetch_add(1, std::memory_order_relaxed);
      break;
    case SkipReason::TooLarge:
      stats.tooLarge.fetch_add(1, std::memory_order_relaxed);
      break;
    case SkipReason::FolderUnreadable:
      stats.unreadableFolders.fetch_add(1, std::memory_order_relaxed);
      break;
    case SkipReason::RowOutsideRange:
      stats.rowsOutsideRange.fetch_add(1, std::memory_order_relaxed);
      stats.notTiles.fetch_add(1, std::memory_order_relaxed);
      break;
    case SkipReason::RowWithoutData:
      stats.rowsWithoutData.fetch_add(1, std::memory_order_relaxed);
      stats.notTiles.fetch_add(1, std::memory_order_relaxed);
      break;
    case SkipReason::RowZoomDoesNotFit:
      stats.rowsZoomUnfit.fetch_add(1, std::memory_order_relaxed);
      stats.notTiles.fetch_add(1, std::memory_order_relaxed);
      break;
    case SkipReason::NotTile:
      stats.notTiles.fetch_add(1, std::memory_order_relaxed);
      break;
    case SkipReason::OutsideSelection:
      stats.outsideSelection.fetch_add(1, std::memory_order_relaxed);
      break;
  }
  ReportSkippedAt(job_, where, reason);
}

bool ConvertingPassScope::GroupEnd(bool last) { return EndTileGroup(job_, *state_, last); }

std::uint64_t ConvertingPassScope::LongestValue() const { return state_->longestValue; }

void StopOnSourceError(ConversionJob& job, int code, const std::u16string& message) {
  if (job.stats.sourceErrors.load() != 0) return;
  NoteStopReason(job, code, message);
  ShowError(job, message);
  job.stats.sourceErrors.fetch_add(1, std::memory_order_relaxed);
  job.stats.databaseErrors.fetch_add(1, std::memory_order_relaxed);
  job.stopRequested = 1;
}

void RunPassesInTurn(ConversionJob& job, TileSource& source) {
  source.Convert(job, CountingPass);
  job.stats.filesCounted = job.fileCount;
  if (job.stopRequested.load() == 0) {
    job.fileCount = 0;
    job.stats.filesSeen = 0;
    job.stats.pass = ConvertingPass;
    source.Convert(job, ConvertingPass);
  }
}

void RunFolderPasses(ConversionJob& job) {
  CountingResult counted;
  bool beside = false;  // the converting pass begins while the count goes on
  // The counting walk hands the folders' listings to the converting walk
  // beside it; after the count, the thread goes on listing ahead of it.
  std::optional<ListingQueue> listings;
  if (job.listingBytes > 0) listings.emplace(job.listingBytes);
  ListingQueue* const queue = listings ? &*listings : nullptr;
  {
    CountingThread counting(job.overlapFromFiles);
    // Declared after the thread, so run before it is joined on any way out:
    // a listing walk waiting for room ends.
    struct CloseQueue {
      ListingQueue* queue;
      ~CloseQueue() {
        if (queue != nullptr) queue->Close();
      }
    } const closeQueue{queue};
    if (job.overlapFromFiles >= 0 && counting.Start([&job, &counting, &counted, queue] {
          CountTree(job, &counting, &counted, queue);
          counting.Counted();
          if (queue != nullptr && !counted.stopped) ListAhead(job.sourceFolder, *queue, &job.stopRequested);
        })) {
      beside = !counting.WaitForOverlap();
      // A tree counted whole is converted as it is now, not as it was listed.
      if (beside) {
        WalkTree(job, job.sourceFolder, ConvertingPass, &counting, &counted, queue);
      } else if (queue != nullptr) {
        queue->Close();
      }
    } else {
      CountTree(job, nullptr, &counted, nullptr);  // one pass after the other, on this thread
    }
  }  // the counting thread has ended here
  if (beside) {
    if (counted.stopped) {  // the converting pass never happened
      job.stats.filesCounted = counted.fileCount;
      job.fileCount = counted.fileCount;
    }
    return;
  }
  job.stats.filesCounted = counted.fileCount;
  job.fileCount = counted.fileCount;
  // A stop that came after the count's last folder also keeps the
  // converting pass from beginning, as between two passes on one thread.
  if (!counted.stopped && job.stopRequested.load() == 0) {
    job.stats.filesSeen = 0;
    job.stats.pass = ConvertingPass;
    WalkTree(job, job.sourceFolder, ConvertingPass);
  }
}

void RunConversion(ConversionJob& job) {
  job.stats.Reset();
  job.stopReason.clear();
  job.rollbackLeft.clear();
  job.fileCount = 0;
  job.stats.pass = CountingPass;
  const std::unique_ptr<TileSource> source = MakeTileSource(job.layout);
  source->ConvertPasses(job);
  job.stopRequested = 0;
  job.running = 0;
  Post(job, NotifyFinished, job.fileCount);
}

int ConversionThreadProc(ConversionJob* job) {
  assert(job != nullptr);
  RunConversion(*job);
  return 0;
}

}  // namespace convert
