// ExportSession: one `cvmap export`, from its arguments to its outcome. It
// opens the map file read-only, settles and opens the target (a tile tree,
// or an MBTiles file: created when missing or empty, refused before any
// work when it is no MBTiles file, cannot be written or is held by another
// program), runs the export job on a worker thread while it reports
// progress, and yields counts that add up (export_job.h):
//
//   rowsSeen = written + alreadyPresent + skipped + outsideSelection
//            + rolledBack + notReached
//
// Which target: --layout mbtiles, or a TARGET whose name ends in
// ".mbtiles", or an existing file, is an MBTiles file; anything else is a
// folder, created when missing: --layout osm or geokuk takes the tiles of
// that layout only, no --layout every tile in its own grid's layout.
//
// Thread-safety: Run() runs on one thread. RequestStop() may be called from
// any thread and from a signal handler (it only stores to lock-free atomics).
//
// Invariants:
//  1. The map file is never changed.
//  2. A stop requested before the job starts means the job never starts.
#pragma once

#include <array>
#include <atomic>
#include <string>

#include "convert/export_job.h"
#include "convert/image_format.h"
#include "convert/session_progress.h"
#include "convert/tile_selection.h"
#include "store/map_file_open.h"

namespace platform {
class MessageBoxService;
}

namespace convert {

// The layout value that lets the session choose the target by its name.
inline constexpr int kTargetByName = -1;

struct ExportRequest {
  std::string map;                                   // MAP, as given
  std::string target;                                // TARGET, as given
  int layout = kTargetByName;                        // LayoutOsmTrackerStorage, LayoutGeoKuk, LayoutMbtiles, or kTargetByName
  TileSelection selection;                           // which rows to export; empty: every row
  ExportListener* listener = nullptr;                // not owned, may be null; called on the worker
  platform::MessageBoxService* messages = nullptr;   // not owned; database errors of the target (worker); null: stderr
};

enum class ExportStatus {
  Done,            // every row was read
  Stopped,         // RequestStop() ended it early; what was written stays
  Failed,          // a failure ended it; see errorCode, errorText, mapReadFailed
  MapRefused,      // the map file cannot be read; see `map`
  TargetRefused,   // the target cannot be written; see `target` (MBTiles) or targetError (folder)
  SelectionRefused,  // the area reaches beyond the Web Mercator grid, and the map has tiles of it to export
  NoWorker,        // the worker thread could not be started
};

enum class TargetRefusal {
  None,
  SameFile,      // TARGET is MAP itself
  NotAFolder,    // a folder target names a file that exists
  CannotOpen,    // a folder target cannot be created or opened: targetError
  Mbtiles,       // the MBTiles target was refused: `target` says why
};

struct ExportCounts {
  long long rowsSeen = 0;        // rows read, plus notReached
  long long written = 0;         // tiles written and kept
  long long alreadyPresent = 0;  // tiles the target held already
  long long notOfTarget = 0;     // skipped: a grid the target does not take
  long long noName = 0;          // skipped: no name of the layout reads back to the key
  long long offGrid = 0;         // skipped: no tile of the Web Mercator grid (MBTiles)
  long long noKey = 0;           // skipped: no int key or no source
  long long noImage = 0;         // skipped: NULL image
  long long notWritten = 0;      // skipped: the file could not be written
  long long rolledBack = 0;      // written, then taken back by the failure that stopped the export
  long long outsideSelection = 0;  // rows the selection leaves out
  long long notReached = 0;      // rows not read because the export stopped
  long long Skipped() const { return notOfTarget + noName + offGrid + noKey + noImage + notWritten; }
};

struct ExportOutcome {
  ExportStatus status = ExportStatus::Done;
  bool toMbtiles = false;                 // the target is an MBTiles file (else a tile tree)
  int layout = kTargetByName;             // a tree's layout: as asked
  TileSelection selection;                // the selection asked for
  store::MapOpenResult map;               // how the map file was opened
  TargetRefusal refusal = TargetRefusal::None;  // TargetRefused: which refusal
  store::MapOpenResult target;            // an MBTiles target: how it was opened
  int targetError = 0;                    // a folder target: the system's error number
  ExportCounts counts;                    // what the job did (zero when it did not run)
  std::array<long long, kImageFormatCount> formats{};  // MBTiles: tiles written by format
  ImageFormat metadataFormat = ImageFormat::Png;       // MBTiles: the format its metadata names
  double seconds = 0;                     // wall time of the job
  int errorCode = 0;                      // Failed: SQLite's result code or the system's error number
  std::string errorText;                  // Failed: why (UTF-8)
  bool mapReadFailed = false;             // Failed: reading the map file failed (else writing the target)
  bool fileSizeLimit = false;             // Failed: an MBTiles target reached the largest file its file system allows
  std::string rollbackLeft;               // Failed: why an MBTiles target still holds the failed batch's journal
};

class ExportSession {
 public:
  ExportSession() = default;
  ExportSession(const ExportSession&) = delete;
  ExportSession& operator=(const ExportSession&) = delete;

  // Runs the whole export. `observer` (not owned, may be null) gets the
  // progress: rows counted, then rows read and tiles written or present.
  ExportOutcome Run(const ExportRequest& request, ProgressObserver* observer);

  // Stops the export at the next row (or keeps it from starting).
  void RequestStop();

 private:
  ExportJob job_;                // the job record
  std::atomic<int> stopped_{0};  // RequestStop() was called
};

// True when `target` names an MBTiles target without --layout: its name
// ends in ".mbtiles" (any case), or it is an existing file.
bool TargetIsMbtiles(const std::string& target);

}  // namespace convert
