// ConversionSession: one `cvmap convert`, from its arguments to its outcome.
// It checks the source folder and settles the layout, waits while another
// conversion writes the same map file (map_writer_turn.h), opens the map file
// for writing (creating it when missing or empty; refusing, before any walk, a
// file that is no map file, is read-only or is held by another program; and
// before that an area that reaches beyond the Web Mercator grid for a tree of
// Web Mercator tiles), runs the conversion job on a worker thread while it
// reports progress, and yields counts that add up:
//
//   filesSeen = tilesStored + duplicates + notTiles + unreadable + tooLarge
//             + outsideSelection + rolledBack + notReached
//
// where outsideSelection are tiles the request's selection leaves out (never
// opened), rolledBack are tiles a database error took back with the last batch
// and notReached the files the job did not get to (only when it stopped).
//
// Thread-safety: Run() runs on one thread. RequestStop() may be called from
// any thread and from a signal handler (it only stores to lock-free atomics).
//
// Invariants:
//  1. No tile is written unless the map file was Ready (store/map_file_open.h).
//  2. A stop requested before the job starts means the job never starts.
#pragma once

#include <atomic>
#include <string>

#include "convert/conversion_job.h"
#include "convert/map_writer_turn.h"
#include "convert/session_progress.h"
#include "convert/source_check.h"
#include "convert/tile_selection.h"
#include "store/map_file_open.h"

namespace platform {
class MessageBoxService;
}

namespace convert {

struct ConversionRequest {
  std::string source;                                // SOURCE, as given
  std::string map;                                   // MAP, as given
  int layout = kDetectLayout;                        // a Layout, or kDetectLayout for the probe's
  platform::MessageBoxService* messages = nullptr;   // not owned; database errors of the job (worker thread); null: stderr
  TileSelection selection;                           // the tiles to store; empty: every tile
};

enum class ConversionStatus {
  Done,           // the whole tree was walked
  Stopped,        // RequestStop() ended it early; what was stored stays
  DatabaseError,  // a database error stopped the job; see errorCode, errorText
  SourceReadFailed,  // reading the source (an MBTiles file) failed and stopped the job; see errorCode, errorText
  SourceRefused,  // the source folder cannot be converted; see `source`
  MapRefused,     // the map file cannot be written; see `map`
  SelectionRefused,  // the selection's area reaches beyond the Web Mercator grid of the layout's tiles; nothing opened
  NoWorker,       // the worker thread could not be started
};

struct ConversionCounts {
  long long filesSeen = 0;          // files of the tree: met, plus not reached
  long long tilesStored = 0;        // rows inserted and committed
  long long duplicates = 0;         // tiles whose key was already stored (earlier image kept)
  long long notTiles = 0;           // files that are not tiles of the layout
  long long unreadable = 0;         // tiles that could not be read
  long long outsideSelection = 0;   // tiles the selection leaves out (never opened)
  long long tooLarge = 0;           // tiles larger than the longest value SQLite stores
  long long rolledBack = 0;         // tiles lost with a batch that a database error rolled back
  long long notReached = 0;         // files not met because the job stopped
  long long unreadableFolders = 0;  // folders that could not be listed
  long long rowsOutsideRange = 0;   // MBTiles rows outside their zoom level (in notTiles)
  long long rowsWithoutData = 0;    // MBTiles rows without tile_data (in notTiles)
  long long rowsZoomUnfit = 0;      // MBTiles rows whose zoom level does not fit (in notTiles)
  long long vanishedFolders = 0;    // of them, folders removed while the job ran
};

struct ConversionOutcome {
  ConversionStatus status = ConversionStatus::Done;
  SourceCheck source;          // the source folder and the layout used
  store::MapOpenResult map;    // how the map file was opened
  ConversionCounts counts;     // what the job did (zero when it did not run)
  double seconds = 0;          // wall time of the job, both passes
  int errorCode = 0;           // DatabaseError: SQLite's result code (0 for a pattern that failed)
  std::string errorText;       // DatabaseError: SQLite's text, UTF-8
  bool fileSizeLimit = false;  // DatabaseError: the map file reached the largest file its file system (or the process) allows
  std::string rollbackLeft;    // DatabaseError: why the map file still holds the failed batch's journal; "" when it was rolled back
};

class ConversionSession {
 public:
  ConversionSession() = default;
  ConversionSession(const ConversionSession&) = delete;
  ConversionSession& operator=(const ConversionSession&) = delete;

  // Runs the whole conversion. `observer` (not owned, may be null) gets the
  // progress. A skip listener, when the job has one, is set on job() first.
  ConversionOutcome Run(const ConversionRequest& request, ProgressObserver* observer);

  // Stops the session at the next entry (or keeps its job from starting).
  void RequestStop();

  // The job record, for settings that the session leaves as they are
  // (commit batch, skip listener). REQUIRES: Run() is not running.
  ConversionJob& job() { return job_; }

 private:
  ConversionJob job_;              // the job record, reused by every Run()
  std::atomic<int> stopped_{0};    // RequestStop() was called
  platform::ProcessLock writerTurn_;  // held from before the map file is opened to the end of Run()
};

}  // namespace convert
