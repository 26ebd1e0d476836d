#include "convert/verify_session.h"

#include <chrono>

#include "platform/notification.h"
#include "platform/utf.h"
#include "platform/worker_thread.h"
#include "store/sqlite_database.h"

namespace convert {

namespace {

using Clock = std::chrono::steady_clock;

// How often the session wakes to report progress.
constexpr std::chrono::milliseconds kProgressInterval{200};
// The worker's one notice: the walk has ended.
constexpr int kWalkEnded = 1;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Follows the walk's passes to tell the observer where it is.
class PassClock {
 public:
  ProgressSnapshot Snapshot(const VerifyStats& stats) {
    ProgressSnapshot snapshot;
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
  job_.stopRequested = stopped_.load();

  const Clock::time_point start = Clock::now();
  PassClock passes;
  {
    platform::QueueChannel ended;
    platform::WorkerThread worker;
    if (!worker.Start([this, &ended] {
          RunVerify(job_);
          ended.Post(kWalkEnded, 0);
        })) {
      outcome.status = VerifyStatus::NoWorker;
      return outcome;
    }
    while (!ended.Take(kProgressInterval)) {
      if (stopped_.load() != 0) job_.stopRequested = 1;
      if (observer != nullptr) observer->Progress(passes.Snapshot(job_.stats), false);
    }
    worker.Join();
    if (observer != nullptr) observer->Progress(passes.Snapshot(job_.stats), true);
  }
  outcome.seconds = SecondsSince(start);
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
  if (stats.failed.load()) {
    outcome.status = VerifyStatus::MapReadFailed;
    outcome.errorCode = job_.errorCode;
    outcome.errorText = platform::Utf16ToUtf8(job_.errorText);
  } else if (stopped_.load() != 0) {
    outcome.status = VerifyStatus::Stopped;
  }
  return outcome;
}

}  // namespace convert
