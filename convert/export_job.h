// ExportJob: writes every tile of a map file to an export target (a tile
// tree or an MBTiles file, export_target.h), on a worker thread, without
// changing the map file.
//
// The job counts the rows first (for the progress), then reads them with
// one statement in the table's own order (store/map_tile_reader.h) and
// hands each to the target. Every row read is counted exactly once:
//
//   rowsSeen = written + alreadyPresent + skipped + outsideSelection
//            + rolledBack
//
// With a selection, a row it leaves out (decided from its key alone) is
// counted as outside the selection, and its image is never read.
// and, for a job that stopped, the rows not reached make up the rest of
// rowsCounted. A stop request is read after every row; a stopped job still
// finishes its target (commits the open batch, writes the tree to disk).
// A failure that ends the export (a full disk, a database error of the
// target, a read error of the map file) stops the job; what the target held
// committed before stays.
//
// Thread-safety: the caller fills the job, then runs RunExport() on one
// thread (a worker); while it runs, other threads only set stopRequested
// and read `stats`. The listener is called on the thread that runs the job.
//
// Invariants:
//  1. The map file is only read.
//  2. The counts above add up whenever the job has ended.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "convert/export_target.h"

namespace SQLite {
class Database;
}

namespace convert {

class SelectionFilter;

// Hears of every row that is not written, and why.
class ExportListener {
 public:
  virtual ~ExportListener() = default;
  // `where`: the row's key as the map holds it (store::MapTileReader::
  // Describe()); `detail`: for NotWritten the system's reason, else empty.
  virtual void NotExported(std::string_view where, ExportSkip why, std::string_view detail) = 0;
};

// Counters, written by the job and readable from any thread at any time.
struct ExportStats {
  std::atomic<bool> working{false};            // the rows are being written (the count is done)
  std::atomic<long long> rowsCounted{0};       // rows of the map file
  std::atomic<long long> rowsSeen{0};          // rows read so far
  std::atomic<long long> written{0};           // tiles written (and, for MBTiles, not rolled back)
  std::atomic<long long> alreadyPresent{0};    // tiles the target held already
  std::atomic<long long> notOfTarget{0};       // skipped: the target takes no tile of their grid
  std::atomic<long long> noName{0};            // skipped: no name of the layout reads back to the key
  std::atomic<long long> offGrid{0};           // skipped: MBTiles, no tile of the Web Mercator grid
  std::atomic<long long> noKey{0};             // skipped: the key holds no int or no source
  std::atomic<long long> noImage{0};           // skipped: the image is NULL
  std::atomic<long long> notWritten{0};        // skipped: writing the file failed
  std::atomic<long long> rolledBack{0};        // written, then taken back by a failure (and the failing tile)
  std::atomic<long long> outsideSelection{0};  // rows the job's selection leaves out
  std::atomic<bool> failed{false};             // a failure ended the export; see the job's errorText

  long long Skipped() const {
    return notOfTarget.load() + noName.load() + offGrid.load() + noKey.load() + noImage.load() + notWritten.load();
  }
};

struct ExportJob {
  SQLite::Database* map = nullptr;      // not owned; the map file, open (read-only is enough)
  ExportTarget* target = nullptr;       // not owned; opened
  ExportListener* listener = nullptr;   // not owned, may be null
  const SelectionFilter* selection = nullptr;  // not owned; null takes every row
  std::atomic<int> stopRequested{0};    // set by any thread; read after every row
  ExportStats stats;                    // what the job did so far
  std::string errorText;                // stats.failed: why (UTF-8); read once the job has ended
  int errorCode = 0;                    // stats.failed: SQLite's result code, or the system's error number
  bool mapReadFailed = false;           // stats.failed: the map file could not be read (else the target failed)
};

// Runs the job. REQUIRES: job.map != nullptr, job.target != nullptr.
void RunExport(ExportJob& job);

}  // namespace convert
