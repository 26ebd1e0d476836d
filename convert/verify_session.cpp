#include "convert/verify_session.h"

#include <chrono>

#include "convert/layouts.h"
#include "convert/worker_progress.h"
#include "platform/utf.h"
#include "store/sqlite_database.h"

namespace convert {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Follows the walk's passes to tell the observer where it is.
class PassClock {
 public:
  ProgressSnapshot Snapshot(const VerifyStats& stats, int layout) {
    ProgressSnapshot snapshot;
    // An MBTiles file's rows are counted by one query.
    if (layout == LayoutMbtiles) {
      snapshot.unit = "rows";
      snapshot.countGrows = false;
    }
    if (stats.checking.load()) {
      if (!working_) {
        working_ = true;
        workStart_ = Clock::now();
      }
      snapshot.phase = SessionPhase::Working;
      snapshot.filesDone = stats.filesSeen.load();
      snapshot.filesTotal = stats.filesCounted.load();
      snapshot.tilesDone = stats.TilesChecked();
      snapshot.phaseSeconds = SecondsSince(workStart_);
    } else {
      snapshot.filesDone = stats.filesCounted.load();
      snapshot.phaseSeconds = SecondsSince(start_);
    }
    return snapshot;
  }

 private:
  Clock::time_point start_ = Clock::now();  // the walk began
  bool working_ = false;                    // the checking pass has been seen
  Clock::time_point workStart_{};           // when it was first seen
};

}  // namespace

void VerifySession::RequestStop() {
  stopped_.store(1);
  job_.stopRequested.store(1);
}

VerifyOutcome VerifySession::Run(const VerifyRequest& request, ProgressObserver* observer) {
  VerifyOutcome outcome;
  outcome.source = CheckSource(request.source, request.layout);
  if (outcome.source.status != SourceStatus::Ready) {
    outcome.status = VerifyStatus::SourceRefused;
    return outcome;
  }
  if (!AreaFitsLayout(request.selection, outcome.source.layout)) {
    outcome.status = VerifyStatus::SelectionRefused;
    return outcome;
  }
  SQLite::Database db;
  db.setBusyStop(&stopped_);  // Ctrl-C ends a wait for another program's lock at once
  outcome.map = store::OpenMapFileForReading(db, request.map);
  if (outcome.map.status != store::MapOpenStatus::Ready) {
    outcome.status = stopped_.load() != 0 ? VerifyStatus::Stopped : VerifyStatus::MapRefused;
    return outcome;
  }
  if (stopped_.load() != 0) {
    outcome.status = VerifyStatus::Stopped;
    return outcome;
  }

  job_.layout = outcome.source.layout;
  job_.sourceFolder = request.source;
  job_.database = &db;
  job_.listener = request.listener;
  job_.countFirst = request.countFirst;
  const SelectionFilter filter(request.selection);
  job_.selection = request.selection.Everything() ? nullptr : &filter;
  job_.stopRequested = stopped_.load();

  const Clock::time_point start = Clock::now();
  PassClock passes;
  const bool ran = RunWithProgress([this] { RunVerify(job_); },
                                   [this] {
                                     if (stopped_.load() != 0) job_.stopRequested = 1;
                                   },
                                   [this, &passes] { return passes.Snapshot(job_.stats, job_.layout); }, observer);
  if (!ran) {
    job_.selection = nullptr;
    outcome.status = VerifyStatus::NoWorker;
    return outcome;
  }
  outcome.seconds = SecondsSince(start);
  job_.selection = nullptr;  // the filter ends with this call
  db.close();

  const VerifyStats& stats = job_.stats;
  VerifyCounts& counts = outcome.counts;
  counts.filesSeen = stats.filesSeen.load();
  counts.identical = stats.identical.load();
  counts.missing = stats.missing.load();
  counts.different = stats.different.load();
  counts.notTiles = stats.notTiles.load();
  counts.unreadable = stats.unreadable.load();
  counts.tooLarge = stats.tooLarge.load();
  counts.unreadableFolders = stats.unreadableFolders.load();
  counts.outsideSelection = stats.outsideSelection.load();
  if (stats.failed.load()) {
    outcome.status = job_.sourceFailed ? VerifyStatus::SourceReadFailed : VerifyStatus::MapReadFailed;
    outcome.errorCode = job_.errorCode;
    outcome.errorText = platform::Utf16ToUtf8(job_.errorText);
  } else if (stopped_.load() != 0) {
    outcome.status = VerifyStatus::Stopped;
  }
  return outcome;
}

}  // namespace convert
