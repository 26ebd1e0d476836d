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
#include "convert/layouts.h"
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

// What one walk keeps from file to file: the compiled pattern, the prepared
// insert and the read buffer are made once per pass, not once per file.
struct WalkState {
  int pass = 0;                            // CountingPass or ConvertingPass
  int layout = 0;                          // the job's layout, copied when the pass starts
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

void Post(ConversionJob& job, int code) {
  if (job.notifications != nullptr) job.notifications->Post(code, job.fileCount);
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
  if (job.walkState == nullptr) return;
  job.stats.tilesStored.fetch_sub(job.walkState->pendingTiles, std::memory_order_relaxed);
  job.stats.rolledBack.fetch_add(job.walkState->pendingTiles, std::memory_order_relaxed);
  job.walkState->pendingTiles = 0;
  job.walkState->pendingBytes = 0;
}

// Keeps the first error that stops the job, for the summary.
void NoteStopReason(ConversionJob& job, int code, const std::u16string& message) {
  if (job.stats.databaseErrorCode.load() != 0) return;
  // Taken now, while the map file still has the size at which the write
  // failed.
  const std::uint64_t pending = job.walkState != nullptr ? job.walkState->pendingBytes : 0;
  job.stats.fileSizeLimit = store::WriteFailedAtSizeLimit(*job.database, code, pending, platform::ReadMountTable());
  job.stats.databaseErrorCode = code;
  job.stopReason = message;
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
  job.stats.rolledBack.fetch_add(1, std::memory_order_relaxed);
  if (!stopWhileWaiting) NoteStopReason(job, code, message);  // before the rollback changes the file
  SQLite::Database& database = *job.database;
  if (SqliteTransactionOpen(database)) database.rollback();
  database.inTransaction = 0;
  ForgetPendingTiles(job);
  if (stopWhileWaiting) return;
  FinishRollback(job);
  ShowError(job, message);
  job.stats.databaseErrors.fetch_add(1, std::memory_order_relaxed);
  job.stopRequested = 1;
}

// Commits the open transaction. A COMMIT that fails shows its own message
// (exec's), once the rollback is finished; the batch would be lost or left
// dangling, so the job stops after rolling back whatever SQLite still holds
// open. Returns false in that case.
bool CommitOpenTransaction(ConversionJob& job) {
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
void ReportSkippedAt(ConversionJob& job, std::string_view where, SkipReason reason) {
  if (job.skipListener != nullptr) job.skipListener->Skipped(where, reason);
}

// The same for the entry at the full path `path` of the source tree.
void ReportSkipped(ConversionJob& job, std::string_view path, SkipReason reason) {
  if (job.skipListener != nullptr) ReportSkippedAt(job, NativeRelativePath(path, job.sourceFolder), reason);
}

// Stores one tile of any source in the open batch (beginning one when none
// is open), and counts what became of it.
void StoreTile(ConversionJob& job, WalkState& state, const TileKey& key, const unsigned char* image,
               std::size_t size, std::string_view where) {
  ConversionStats& stats = job.stats;
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
        if (open >= job.longestBatch) CommitOpenTransaction(job);
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
  Post(job, NotifyConverted);
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

// Ends a converting pass: commits what is open and restores the stop flag.
void EndConverting(ConversionJob& job, const std::atomic<int>* busyStop) {
  // The last commit keeps what a stopped job stored, so it waits for a
  // lock as long as any statement would, stop or not.
  job.database->setBusyStop(busyStop);
  CommitOpenTransaction(job);
  if (job.walkState != nullptr && job.walkState->readerTurn) job.walkState->readerTurn->End();
  job.walkState = nullptr;
}

// Handles one file of the converting pass: recognise, decode, read, insert.
void StoreFile(ConversionJob& job, WalkState& state, const std::string& folderPath,
               const platform::FolderSearch& search, const platform::FolderEntry& entry) {
  ConversionStats& stats = job.stats;
  std::string& fullPath = state.filePath;
  JoinPathInto(folderPath, entry.name, &fullPath);
  std::optional<TileKey> key;
  if (state.recognizer) key = state.recognizer->Recognize(RelativePath(fullPath, job.sourceFolder), entry.name);
  if (!key) {
    stats.notTiles.fetch_add(1, std::memory_order_relaxed);
    ReportSkipped(job, fullPath, SkipReason::NotTile);
    return;
  }
  // The selection needs the key only: a tile it leaves out is never opened.
  if (job.selection != nullptr && !job.selection->Selects(*key)) {
    stats.outsideSelection.fetch_add(1, std::memory_order_relaxed);
    ReportSkipped(job, fullPath, SkipReason::OutsideSelection);
    return;
  }
  if (state.readAhead) state.readAhead->Reached();
  const platform::ReadStatus read = ReadTileFile(search, entry, fullPath, &state.buffer, state.longestValue);
  if (read != platform::ReadStatus::Ok) {
    const bool tooLarge = read == platform::ReadStatus::TooLarge;
    (tooLarge ? stats.tooLarge : stats.unreadable).fetch_add(1, std::memory_order_relaxed);
    ReportSkipped(job, fullPath, tooLarge ? SkipReason::TooLarge : SkipReason::Unreadable);
    return;
  }

  StoreTile(job, state, *key, state.buffer.data(), state.buffer.size(),
            job.skipListener != nullptr ? NativeRelativePath(fullPath, job.sourceFolder) : std::string_view());
}

// Sets up the state of one pass, walks the tree from folderPath, and leaves
// no transaction open: a stopped converting pass commits what it stored.
void WalkTree(ConversionJob& job, const std::string& folderPath, int pass) {
  WalkState state;
  state.pass = pass;
  state.layout = job.layout;
  const std::atomic<int>* busyStop = nullptr;
  if (pass == ConvertingPass) {
    assert(job.database != nullptr);
    if (IsFolderLayout(state.layout)) {
      try {
        state.recognizer = std::make_unique<TileRecognizer>(state.layout);
      } catch (const std::exception& error) {
        // The patterns are fixed texts; this only happens if the engine
        // cannot compile them, and then no file could be recognised.
        job.stopReason = platform::Utf8ToUtf16(error.what());
        ShowError(job, job.stopReason);
        job.stats.databaseErrors.fetch_add(1, std::memory_order_relaxed);
        job.stopRequested = 1;
        return;
      }
      if (job.readAheadMinFiles >= 0 && job.stats.filesCounted.load() >= job.readAheadMinFiles) {
        state.readAhead = std::make_unique<ReadAhead>(job.sourceFolder, state.layout, job.readAheadWindow, job.selection);
        if (!state.readAhead->Start()) state.readAhead.reset();  // no thread: the pass reads as it goes
      }
    }
    busyStop = BeginConverting(job, state);
  }
  job.walkState = &state;
  job.WalkFolder(folderPath, pass);
  if (state.readAhead) {
    state.readAhead->Stop();
    job.stats.readAheadStarted = state.readAhead->Started();
  }
  if (pass == ConvertingPass) EndConverting(job, busyStop);
  job.walkState = nullptr;
}

}  // namespace

void ConversionJob::WalkFolder(std::string folderPath, int pass) {
  assert(pass == CountingPass || pass == ConvertingPass);
  if (walkState == nullptr) {
    WalkTree(*this, folderPath, pass);
    return;
  }
  WalkState& state = *walkState;

  platform::FolderSearch search;
  bool searching = OpenWalkedFolder(search, folderPath, state.parentSearch, state.subfolderName);
  state.parentSearch = nullptr;
  state.subfolderName = nullptr;
  // A folder whose listing broke off is walked with the names it gave, but
  // counted and told as unreadable: some of its files may be missing.
  if ((!searching || search.ListingFailed()) && pass == ConvertingPass) {
    stats.unreadableFolders.fetch_add(1, std::memory_order_relaxed);
    struct stat status {};
    if (!searching && ::lstat(folderPath.c_str(), &status) != 0 && errno == ENOENT) {
      stats.vanishedFolders.fetch_add(1, std::memory_order_relaxed);  // removed since its parent was listed
    }
    ReportSkipped(*this, folderPath, SkipReason::FolderUnreadable);
  }
  if (pass == ConvertingPass) BeginTransactionIfNone(*this);
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
          WalkFolder(JoinPath(folderPath, entry.name), pass);
          --state.depth;
        }
      } else {
        ++fileCount;
        stats.filesSeen.fetch_add(1, std::memory_order_relaxed);
        if (pass == ConvertingPass) StoreFile(*this, state, folderPath, search, entry);
      }
      if (stopRequested.load() != 0) {
        search.Close();
        return;
      }
    }
  }
  search.Close();

  if (pass == CountingPass) {
    Post(*this, NotifyCounted);
    return;
  }
  EndTileGroup(*this, state, state.depth == 0);
}

ConvertingPassScope::ConvertingPassScope(ConversionJob& job) : job_(job), state_(std::make_unique<WalkState>()) {
  assert(job.walkState == nullptr);
  state_->pass = ConvertingPass;
  state_->layout = job.layout;
  busyStop_ = BeginConverting(job_, *state_);
}

ConvertingPassScope::~ConvertingPassScope() { EndConverting(job_, busyStop_); }

void ConvertingPassScope::Met() {
  ++job_.fileCount;
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

void RunConversion(ConversionJob& job) {
  job.stats.Reset();
  job.stopReason.clear();
  job.rollbackLeft.clear();
  job.fileCount = 0;
  job.stats.pass = CountingPass;
  const std::unique_ptr<TileSource> source = MakeTileSource(job.layout);
  source->Convert(job, CountingPass);
  job.stats.filesCounted = job.fileCount;
  if (job.stopRequested.load() == 0) {
    job.fileCount = 0;
    job.stats.filesSeen = 0;
    job.stats.pass = ConvertingPass;
    source->Convert(job, ConvertingPass);
  }
  job.stopRequested = 0;
  job.running = 0;
  Post(job, NotifyFinished);
}

int ConversionThreadProc(ConversionJob* job) {
  assert(job != nullptr);
  RunConversion(*job);
  return 0;
}

}  // namespace convert
