// ConversionJob: copies every tile of a source folder tree, or of an MBTiles
// file, into the `tiles` table of an open map file, on a worker thread.
//
// The source is reached through TileSource (tile_source.h), which the
// layout picks: the folder walk below for a folder layout, the rows of the
// file for LayoutMbtiles (whose `sourceFolder` names the file; its items
// are rows, counted and reported as the walk counts files).
//
// The job walks the tree twice with the same depth-first walk. The counting
// pass only counts files. The converting pass counts them again, recognises
// the tiles of the job's layout, decodes each key, reads the file and inserts
// one row per tile. Both passes report by notifications (code, file count):
//   NotifyCounted    at the normal end of each folder in the counting pass;
//   NotifyConverted  at the normal end of each folder in the converting pass;
//   NotifyFinished   once, when the job ends, after `running` and
//                    `stopRequested` are cleared.
// A folder left early (stop or database error) posts nothing.
//
// Transactions: every insert runs inside a transaction ("BEGIN TRANSACTION;"
// ... "COMMIT;" through SQLite::Database::exec, tracked in inTransaction). A
// folder's walk begins one when none is open, and a file met while none is
// open begins one. At a folder's normal end "COMMIT;" runs only when the open
// transaction holds at least commitBatch stored tiles, or has been open for
// commitInterval and holds at least one, or when the walk of the source folder
// itself ends; inside a folder, a batch open for longestBatch is committed
// after the tile being stored. Each batch after a commit keeps its pages in
// memory for its first 150 ms (48 MiB at most), so that programs reading the map get their
// turn between two batches (a batch larger than SQLite's cache locks them
// out until its commit). A stop commits what is open; a database error
// rolls the open transaction back, opens the map file anew (so that a
// rollback SQLite could only leave to the next user, a hot journal after a
// full disk, is completed at once), shows one message and stops the job.
// While the converting pass stores tiles it starts the map file's writeback
// every writebackStep bytes (platform::FileWriteback, on a helper thread), so
// that a commit's sync finds little left to write. A converting pass of at
// least readAheadMinFiles files also reads ahead (ReadAhead, read_ahead.h):
// on a cold cache the next tiles are already being read from disk while the
// worker stores one; what is stored, and in which order, stays the same.
//
// Every file the converting pass does not store, and every folder it cannot
// list, is also told to skipListener (when set), in walk order.
//
// A selection (when set) is decided from the tile's key alone: a tile it
// leaves out is counted in outsideSelection and never opened or read, not
// even by the read-ahead. The counting pass counts every file as before.
//
// The two passes overlap on a large tree. The counting pass runs on a thread
// of its own (CountingThread, counting_thread.h); once it has counted
// overlapFromFiles files without having ended, the converting pass begins on
// the worker beside it. Until the count has ended, the converting pass holds
// its notices, skip reports, counts, commits and any database error, and
// then tells them in their order, after the counting pass's last notice; a
// stop during the count rolls back what it inserted, as if it had never
// begun. So the notices, the stored rows and every count are those of the
// two passes one after the other: all NotifyCounted, then the
// NotifyConverted of the folders in walk order, then NotifyFinished.
// The counting walk also hands every folder's listing to the converting
// walk beside it (ListingQueue, listing_queue.h; at most listingBytes held
// at once), and once the count has ended the counting thread goes on
// listing the folders ahead of the converting walk (ListAhead): the
// converting walk then opens no folder, it reads each tile by its path
// below the source folder. A folder the converting walk finds no listing
// for it lists itself, as does the converting pass of a tree counted whole
// before it began.
//
// Thread-safety: the caller fills layout, sourceFolder, database,
// notifications, messageBoxes and skipListener, sets running = 1 and stopRequested = 0, and
// then starts the worker with [&job]{ convert::ConversionThreadProc(&job); }.
// While `running` is 1 the caller only sets stopRequested (any thread, also a
// signal handler) and reads `stats`; the worker alone uses the database.
//
// Invariants:
//  0. No NotifyConverted is posted before the counting pass's last
//     NotifyCounted, and no transaction is committed before it.
//  1. No tile is inserted outside a transaction.
//  2. When the job has ended, inTransaction of the database is 0 and no
//     transaction that the job began is left open.
//  3. stopRequested is read after every folder entry, "." and ".." included,
//     and after a nested folder's walk returns.
//  4. The walk never enters a folder that is already on its path of
//     ancestors, so a folder symlink cannot make it loop.
//  5. Only regular files (after following a file symlink) are opened.
//  6. A tile outside the selection is never opened.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "convert/read_ahead.h"

namespace SQLite {
class Database;
}
namespace platform {
class NotificationChannel;
class MessageBoxService;
}  // namespace platform

namespace convert {

class SelectionFilter;
class SkipListener;

enum NotifyCode : int {
  NotifyCounted = 1,    // count = files counted so far (the source folder's notice: the total)
  NotifyConverted = 2,  // count = files handled so far in the converting pass
  NotifyFinished = 3,   // count = fileCount when the job ended
};

enum Pass : int {
  CountingPass = 1,
  ConvertingPass = 2,
};

// The defaults of ConversionJob::commitBatch and commitInterval. Every commit
// waits for the disk to confirm the write, which takes tens of milliseconds on
// a virtual disk whatever the batch holds. A batch is therefore bounded by
// time: commits cost a small, fixed share of the job on a fast or a slow
// machine, and a killed job loses at most about kCommitInterval of work.
inline constexpr long long kCommitBatch = 50000;
inline constexpr std::chrono::milliseconds kCommitInterval{2000};

// The default of ConversionJob::longestBatch. While a batch is larger than
// SQLite's page cache, the connection holds the map file's exclusive lock,
// and a program that reads the map waits (within its busy timeout) until the
// commit. A folder of very many tiles would otherwise keep its whole walk in
// one batch; this bounds the wait of a reader to about two seconds in any
// tree.
inline constexpr std::chrono::milliseconds kLongestBatch{2000};

// The default of ConversionJob::writebackStep: tile bytes stored between two
// starts of the map file's writeback. The writing then runs beside the
// conversion in steps of about this size instead of all at once in the next
// commit's sync; a step is large enough that the request costs nothing next
// to the work of storing it.
inline constexpr std::uint64_t kWritebackStep = 32u << 20;

// The default of ConversionJob::overlapFromFiles. A tree counted whole
// before this many files needs no overlap: its counting pass is over in a
// few milliseconds.
inline constexpr long long kOverlapFromFiles = 2000;

// The default of ConversionJob::listingBytes. Packed, the listings of a
// cache take about 30 bytes a folder and 40 a tile: this holds those of
// some ten thousand folders ahead of the converting walk.
inline constexpr std::size_t kListingBytes = 4u << 20;

// Counters for the command line's progress and summary. Written by the worker,
// readable from any thread at any time (relaxed atomics). Reset when a job
// starts.
struct ConversionStats {
  std::atomic<int> pass{0};                 // the pass running now (Pass), 0 before the first
  std::atomic<long long> filesSeen{0};      // files met so far in the current pass
  std::atomic<long long> filesCounted{0};   // files the counting pass found in all (set when it ends)
  std::atomic<long long> readAheadStarted{0};  // converting pass: tiles whose reading the read-ahead started early
  std::atomic<long long> tilesStored{0};    // rows inserted
  std::atomic<long long> duplicates{0};     // tiles whose key was already stored (earlier image kept)
  std::atomic<long long> notTiles{0};       // files that are not tiles of the layout
  std::atomic<long long> unreadable{0};     // tiles that could not be opened or read (not regular, vanished, no permission)
  std::atomic<long long> outsideSelection{0};  // tiles the job's selection leaves out (never opened)
  std::atomic<long long> tooLarge{0};       // tiles larger than the longest value SQLite stores (never read whole)
  std::atomic<long long> unreadableFolders{0};  // converting pass: folders that could not be listed (no permission, path too long, vanished); their files are not in the map
  std::atomic<long long> vanishedFolders{0};    // of the unreadable folders, those that no longer existed when the walk came to them
  std::atomic<long long> foldersHandedOver{0};  // converting pass: folders whose listing came from the walk ahead (not read again)
  std::atomic<int> databaseErrors{0};       // errors that stopped the job (0 or 1): database, or a pattern that does not compile
  std::atomic<long long> rolledBack{0};     // tiles lost when a database error rolled their batch back (stored, then undone), and the tile whose insert failed
  std::atomic<int> databaseErrorCode{0};    // SQLite's result code of the error that stopped the job; 0 when none
  std::atomic<bool> fileSizeLimit{false};   // that error was a write past the largest file the map's file system (or the process's file size limit) allows
  std::atomic<int> sourceErrors{0};         // reading the source failed and stopped the job (0 or 1; counted in databaseErrors too)
  std::atomic<long long> rowsOutsideRange{0};  // MBTiles rows whose column or row lies outside their zoom level (in notTiles)
  std::atomic<long long> rowsWithoutData{0};   // MBTiles rows whose tile_data is NULL (in notTiles)
  std::atomic<long long> rowsZoomUnfit{0};     // MBTiles rows whose zoom level is no integer of 0 .. 31 (in notTiles)

  void Reset();
};

struct WalkState;  // the converting pass's reusable pattern, statement and buffer (conversion_job.cpp)

struct ConversionJob {
  int layout = 0;                                          // a Layout (layouts.h); any other value stores nothing
  std::string sourceFolder;                                // native path, as the user gave it: the folder, or the MBTiles file
  SQLite::Database* database = nullptr;                    // not owned; the open map file
  std::atomic<int> running{0};                             // 1 while a job runs; cleared by the worker at the end
  std::atomic<int> stopRequested{0};                       // set by stop/close or a database error; read after every entry
  int fileCount = 0;                                       // files met by the last pass when it ended (worker only)
  platform::NotificationChannel* notifications = nullptr;  // not owned; receives (code, fileCount)
  platform::MessageBoxService* messageBoxes = nullptr;     // not owned; database errors met by the worker
  SkipListener* skipListener = nullptr;                    // not owned, may be null; hears of each file not stored (converting pass)
  const SelectionFilter* selection = nullptr;              // not owned; null takes every tile
  ConversionStats stats;                                   // for the command line's progress and summary
  long long commitBatch = kCommitBatch;                    // a folder end commits a transaction holding this many stored tiles
  std::chrono::steady_clock::duration commitInterval = kCommitInterval;  // ... or open this long with a tile stored
  std::uint64_t writebackStep = kWritebackStep;            // tile bytes stored between two starts of the map file's writeback
  long long readAheadMinFiles = kReadAheadMinFiles;        // a converting pass of at least this many files reads ahead; < 0: never
  std::uint64_t readAheadWindow = kReadAheadWindow;        // tile bytes the read-ahead may be ahead of the walk
  std::chrono::steady_clock::duration longestBatch = kLongestBatch;  // a transaction open this long is committed after the next tile, inside a folder too
  long long overlapFromFiles = kOverlapFromFiles;          // the converting pass begins beside a count that has met this many files; 0: at once; < 0: after the count
  std::size_t listingBytes = kListingBytes;                // bytes of folder listings the counting walk may hold for the converting walk beside it; 0: none
  std::u16string stopReason;                               // worker: SQLite's text of the error that stopped the job; read once the job has ended
  std::string rollbackLeft;                                // worker: after a database error, why the map file still holds the rolled-back batch's journal ("" when it was rolled back); read once the job has ended

  // Walks one folder and, recursively, all folders below it with the given
  // pass. Called on the source folder by RunConversion; a call made while no
  // walk is running treats folderPath as the top of the walk. Failures are
  // reported through messageBoxes and by setting stopRequested.
  // REQUIRES: pass is CountingPass or ConvertingPass; database != nullptr for
  // the converting pass.
  void WalkFolder(std::string folderPath, int pass);

  WalkState* walkState = nullptr;  // worker only: set while the worker's own walk runs, not owned
};

// The job body: counting pass, then (unless stopped) converting pass; clears
// stopRequested and running and posts NotifyFinished.
void RunConversion(ConversionJob& job);

class TileSource;

// The two passes of a source that has no walk of its own to overlap: the
// counting pass, then (unless stopped) the converting pass, on this thread.
void RunPassesInTurn(ConversionJob& job, TileSource& source);

// The two passes over the job's folder tree: the counting walk on a thread of
// its own, the converting walk beside it once the count has met
// overlapFromFiles files (see above); a smaller tree is counted whole first.
void RunFolderPasses(ConversionJob& job);

// The worker thread's routine: runs RunConversion on *job and returns 0.
// REQUIRES: job != nullptr.
int ConversionThreadProc(ConversionJob* job);

}  // namespace convert
