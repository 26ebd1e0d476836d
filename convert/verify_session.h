// VerifySession: one `cvmap verify`, from its arguments to its outcome. It
// checks the source folder and settles the layout as the conversion does,
// refuses an area beyond the Web Mercator grid for a tree of Web Mercator
// tiles, opens the map file read-only (never creating or changing it), runs the
// check (verify_walk.h) on a worker thread while it reports progress, and
// yields what the check found.
//
// Thread-safety: Run() runs on one thread. RequestStop() may be called from
// any thread and from a signal handler (it only stores to lock-free atomics).
#pragma once

#include <atomic>
#include <string>

#include "convert/session_progress.h"
#include "convert/source_check.h"
#include "convert/tile_selection.h"
#include "convert/verify_walk.h"
#include "store/map_file_open.h"

namespace convert {

struct VerifyRequest {
  std::string source;                  // SOURCE, as given
  std::string map;                     // MAP, as given
  int layout = kDetectLayout;          // a Layout, or kDetectLayout for the probe's
  VerifyListener* listener = nullptr;  // not owned, may be null; called on the worker
  bool countFirst = false;             // count the files first (for a progress bar)
  TileSelection selection;             // the tiles to check; empty: every tile
};

enum class VerifyStatus {
  Checked,        // the whole tree was walked; see the counts
  Stopped,        // RequestStop() ended it early
  MapReadFailed,  // reading the map file failed; see errorCode, errorText
  SourceReadFailed,  // reading the source (an MBTiles file) failed; see errorCode, errorText
  SourceRefused,  // the source folder cannot be checked; see `source`
  MapRefused,     // the map file cannot be read; see `map`
  SelectionRefused,  // the selection's area reaches beyond the Web Mercator grid of the layout's tiles; nothing opened
  NoWorker,       // the worker thread could not be started
};

struct VerifyCounts {
  long long filesSeen = 0;          // files met
  long long identical = 0;          // tiles held with the same bytes
  long long missing = 0;            // tiles whose key is not held
  long long different = 0;          // tiles held with other bytes
  long long notTiles = 0;           // files that are not tiles of the layout
  long long unreadable = 0;         // tiles that could not be read
  long long tooLarge = 0;           // tiles larger than the longest value SQLite stores
  long long unreadableFolders = 0;  // folders that could not be listed
  long long outsideSelection = 0;   // tiles the selection leaves out (not checked)
  long long TilesChecked() const { return identical + missing + different; }
  // True when every tile of the tree (that the selection takes) is in the
  // map, byte for byte.
  bool AllIdentical() const {
    return missing == 0 && different == 0 && unreadable == 0 && tooLarge == 0 && unreadableFolders == 0;
  }
};

struct VerifyOutcome {
  VerifyStatus status = VerifyStatus::Checked;
  SourceCheck source;          // the source folder and the layout used
  store::MapOpenResult map;    // how the map file was opened
  VerifyCounts counts;         // what the check found (zero when it did not run)
  double seconds = 0;          // wall time of the check
  int errorCode = 0;           // MapReadFailed: SQLite's result code
  std::string errorText;       // MapReadFailed: SQLite's text, UTF-8
};

class VerifySession {
 public:
  VerifySession() = default;
  VerifySession(const VerifySession&) = delete;
  VerifySession& operator=(const VerifySession&) = delete;

  // Runs the whole check. `observer` (not owned, may be null) gets the progress.
  VerifyOutcome Run(const VerifyRequest& request, ProgressObserver* observer);

  // Stops the check at the next entry (or keeps it from starting).
  void RequestStop();

 private:
  VerifyJob job_;                // the job record
  std::atomic<int> stopped_{0};  // RequestStop() was called
};

}  // namespace convert
