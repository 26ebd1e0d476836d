// ExtractSession: one `cvmap extract`, from its arguments to its outcome. It
// refuses MAP and NEWMAP when they are the same file (by any path), opens MAP
// read-only (never creating or changing it), refuses an area that reaches
// beyond the Web Mercator grid when MAP holds Web Mercator rows at the
// selected levels, then runs the extract job (extract_job.h) on a worker
// thread while it reports progress, and yields counts that add up:
//
//   rowsInMap = copied + alreadyPresent + outsideSelection + rolledBack
//             + notReached
//
// NEWMAP is opened for writing (created when missing or empty, refused when
// it is no map file, read-only or held by another program) only once the
// selection is known to take a row.
//
// Thread-safety: Run() runs on one thread. RequestStop() may be called from
// any thread and from a signal handler (it only stores to lock-free atomics).
#pragma once

#include <atomic>
#include <string>

#include "convert/extract_job.h"
#include "convert/session_progress.h"
#include "convert/tile_selection.h"
#include "store/map_file_open.h"

namespace platform {
class MessageBoxService;
}

namespace convert {

struct ExtractRequest {
  std::string map;                                  // MAP, as given
  std::string newMap;                               // NEWMAP, as given
  TileSelection selection;                          // the rows to copy; empty: every row
  platform::MessageBoxService* messages = nullptr;  // not owned; NEWMAP's statement errors (worker thread); null: stderr
};

enum class ExtractStatus {
  Done,             // every selected row was copied or found present
  Stopped,          // RequestStop() ended it early; what was copied stays
  DatabaseError,    // a write to NEWMAP failed and stopped the copy; see errorCode, errorText
  ReadFailed,       // reading MAP failed; see errorCode, errorText (what was copied stays)
  MapRefused,       // MAP cannot be read; see `map`
  NewMapRefused,    // NEWMAP cannot be written; see `newMap`
  SameFile,         // MAP and NEWMAP are one file
  SelectionRefused, // the area reaches beyond the Web Mercator grid of MAP's Web Mercator rows
  NothingSelected,  // the selection takes no row of MAP; NEWMAP was not opened
  NoWorker,         // the worker thread could not be started
};

struct ExtractCounts {
  long long rowsInMap = 0;         // rows of MAP
  long long copied = 0;            // rows inserted into NEWMAP and committed
  long long alreadyPresent = 0;    // selected rows whose key NEWMAP held (its row stays)
  long long outsideSelection = 0;  // rows the selection leaves out
  long long rolledBack = 0;        // rows lost with a batch that a database error rolled back
  long long notReached = 0;        // selected rows not reached because the copy stopped
};

struct ExtractOutcome {
  ExtractStatus status = ExtractStatus::Done;
  store::MapOpenResult map;     // how MAP was opened
  store::MapOpenResult newMap;  // how NEWMAP was opened
  ExtractCounts counts;         // what the copy did
  double seconds = 0;           // wall time of the job
  int errorCode = 0;            // DatabaseError, ReadFailed: SQLite's result code
  std::string errorText;        // ... and its text, UTF-8
  bool fileSizeLimit = false;   // DatabaseError: NEWMAP reached the largest file its file system (or the process) allows
  std::string rollbackLeft;     // DatabaseError: why NEWMAP still holds the failed batch's journal; "" when it was rolled back
};

class ExtractSession {
 public:
  ExtractSession() = default;
  ExtractSession(const ExtractSession&) = delete;
  ExtractSession& operator=(const ExtractSession&) = delete;

  // Runs the whole extract. `observer` (not owned, may be null) gets the progress.
  ExtractOutcome Run(const ExtractRequest& request, ProgressObserver* observer);

  // Stops the session at the next row (or keeps its job from starting).
  void RequestStop();

  // The job record, for settings the session leaves as they are (commit
  // batch). REQUIRES: Run() is not running.
  ExtractJob& job() { return job_; }

 private:
  ExtractJob job_;               // the job record
  std::atomic<int> stopped_{0};  // RequestStop() was called
};

}  // namespace convert
