// ExtractJob: copies the rows of one map file that a selection takes into
// another map file, on a worker thread.
//
// The job runs in two passes over MAP, both in key order (x, y, z, s) inside
// one read transaction, so that both see the same rows:
//   counting  reads the key columns only (SQLite serves them from the
//             table's key index, no image is read), decides every row
//             exactly and notes, per z and grid, the bounds of the rows
//             selected;
//   copying   reads, in key order, the rows within those bounds with their
//             images, decides each row again and inserts the selected ones
//             into NEWMAP through the map file's inserter, in batches
//             (CommitBatch). A key NEWMAP holds already keeps its row.
// NEWMAP is opened for writing (created when missing or empty) only after
// the counting pass found a row to copy. A row's grid is told by its `s`: a
// text is a GeoKuk source (GeoKuk's units), an integer a Web Mercator tile;
// a row whose x, y or z is no integer, or whose `s` is neither, has no place,
// and only a selection without an area or zoom list takes it.
//
// Thread-safety: the caller fills the job, then runs RunExtract() on one
// thread; while it runs, other threads only set stopRequested and read
// `stats`. Each database is used by the job alone while it runs.
//
// Invariants:
//  1. MAP is only read.
//  2. rowsInMap = copied + alreadyPresent + outsideSelection + rolledBack
//     + notReached once the job has ended (outsideSelection and notReached
//     as ExtractCounts() gives them).
//  3. No row is inserted outside a transaction; when the job has ended no
//     transaction of it is open on either file.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "convert/conversion_job.h"
#include "store/map_file_open.h"

namespace SQLite {
class Database;
}

namespace convert {

class SelectionFilter;

enum class ExtractPhase : int {
  None = 0,      // not begun
  Counting = 1,  // deciding the rows of MAP
  Copying = 2,   // copying the selected rows
};

// Written by the worker, readable from any thread at any time.
struct ExtractStats {
  std::atomic<int> phase{0};               // ExtractPhase
  std::atomic<long long> rowsInMap{0};     // rows of MAP in all (known once counting begins)
  std::atomic<long long> rowsCounted{0};   // counting: rows decided so far
  std::atomic<long long> selected{0};      // rows the selection takes (final once copying begins)
  std::atomic<long long> rowsDone{0};      // copying: selected rows handled so far
  std::atomic<long long> copied{0};        // rows inserted into NEWMAP and not rolled back
  std::atomic<long long> alreadyPresent{0};  // selected rows whose key NEWMAP held (its row stays)
  std::atomic<long long> rolledBack{0};    // rows lost when a database error rolled their batch back
};

enum class ExtractEnd {
  Done,             // every selected row was handled
  Stopped,          // stopRequested ended it
  NothingSelected,  // the selection takes no row of MAP; NEWMAP was not opened
  NewMapRefused,    // NEWMAP cannot be written; see newMapOpen
  ReadFailed,       // reading MAP failed; see errorCode, errorText
  WriteFailed,      // a write to NEWMAP failed and stopped the job; see errorCode, errorText
};

struct ExtractJob {
  SQLite::Database* map = nullptr;             // not owned; MAP, open (read-only)
  SQLite::Database* newMap = nullptr;          // not owned; opened on newMapPath by the job
  std::string newMapPath;                      // NEWMAP, native path
  const SelectionFilter* selection = nullptr;  // not owned; null takes every row
  std::atomic<int> stopRequested{0};           // set by any thread; read after every row
  long long commitBatch = kCommitBatch;        // a batch is committed at this many rows ...
  std::chrono::steady_clock::duration commitInterval = kCommitInterval;  // ... or when open this long
  std::uint64_t writebackStep = kWritebackStep;  // image bytes stored between two starts of NEWMAP's writeback
  ExtractStats stats;                          // progress and counts
  ExtractEnd end = ExtractEnd::Done;           // how the job ended (read once it has)
  store::MapOpenResult newMapOpen;             // how NEWMAP was opened
  int errorCode = 0;                           // ReadFailed, WriteFailed: SQLite's result code
  std::u16string errorText;                    // ... and its text
  bool fileSizeLimit = false;                  // WriteFailed: NEWMAP reached the largest file its file system (or the process) allows
  std::string rollbackLeft;                    // WriteFailed: why NEWMAP still holds the failed batch's journal; "" when it was rolled back
};

// Runs the job. REQUIRES: job.map and job.newMap are not null.
void RunExtract(ExtractJob& job);

}  // namespace convert
