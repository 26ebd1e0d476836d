#include "convert/conversion_session.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "convert/layouts.h"
#include "platform/message_box.h"
#include "platform/notification.h"
#include "platform/utf.h"
#include "platform/worker_thread.h"
#include "store/sqlite_database.h"

namespace convert {

namespace {

using Clock = std::chrono::steady_clock;

// How often the session wakes to report progress at the latest.
constexpr std::chrono::milliseconds kProgressInterval{200};
// How long it lets the job's notices gather between two looks.
constexpr std::chrono::milliseconds kGatherInterval{20};

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Follows the job's passes to tell the observer where the job is.
class PassClock {
 public:
  ProgressSnapshot Snapshot(const ConversionJob& job, long long totalFiles) {
    const ConversionStats& stats = job.stats;
    ProgressSnapshot snapshot;
    // An MBTiles file's rows are counted by one query.
    if (job.layout == LayoutMbtiles) {
      snapshot.unit = "rows";
      snapshot.countGrows = false;
    }
    if (stats.pass.load() == ConvertingPass) {
      if (!working_) {
        working_ = true;
        workStart_ = Clock::now();
      }
      snapshot.phase = SessionPhase::Working;
      snapshot.filesTotal = totalFiles;
      snapshot.tilesDone = stats.tilesStored.load() + stats.duplicates.load();
      snapshot.phaseSeconds = SecondsSince(workStart_);
    } else {
      snapshot.phaseSeconds = SecondsSince(start_);
    }
    snapshot.filesDone = stats.filesSeen.load();
    return snapshot;
  }

 private:
  Clock::time_point start_ = Clock::now();  // the counting pass began
  bool working_ = false;                    // the converting pass has been seen
  Clock::time_point workStart_{};           // when it was first seen
};

}  // namespace

void ConversionSession::RequestStop() {
  stopped_.store(1);
  job_.stopRequested.store(1);
}

ConversionOutcome ConversionSession::Run(const ConversionRequest& request, ProgressObserver* observer) {
  ConversionOutcome outcome;
  outcome.source = CheckSource(request.source, request.layout);
  if (outcome.source.status != SourceStatus::Ready) {
    outcome.status = ConversionStatus::SourceRefused;
    return outcome;
  }
  if (!AreaFitsLayout(request.selection, outcome.source.layout)) {
    outcome.status = ConversionStatus::SelectionRefused;
    return outcome;
  }

  // The turn is held until Run() returns, so the next conversion of this map
  // starts once this one has closed the file.
  struct TurnRelease {
    platform::ProcessLock& lock;
    ~TurnRelease() { lock.Release(); }
  } turnRelease{writerTurn_};
  if (!TakeMapWriterTurn(writerTurn_, request.map, stopped_, [observer] {
        if (observer != nullptr) observer->WaitingForOtherWriter();
      })) {
    outcome.status = ConversionStatus::Stopped;
    return outcome;
  }

  platform::StderrMessageBox stderrMessages;
  platform::MessageBoxService* messages = request.messages != nullptr ? request.messages : &stderrMessages;
  SQLite::Database db(messages);
  db.setBusyStop(&stopped_);  // Ctrl-C ends a wait for another program's lock at once
  outcome.map = store::OpenMapFileForWriting(db, request.map);
  if (outcome.map.status != store::MapOpenStatus::Ready) {
    outcome.status = stopped_.load() != 0 ? ConversionStatus::Stopped : ConversionStatus::MapRefused;
    return outcome;
  }
  db.setBusyStop(nullptr);  // from here on the job sets its own stop request
  if (stopped_.load() != 0) {
    outcome.status = ConversionStatus::Stopped;
    return outcome;
  }

  platform::QueueChannel notifications;
  const SelectionFilter filter(request.selection);
  job_.selection = request.selection.Everything() ? nullptr : &filter;
  job_.layout = outcome.source.layout;
  job_.sourceFolder = request.source;
  job_.database = &db;
  job_.notifications = &notifications;
  job_.messageBoxes = messages;
  job_.running = 1;
  job_.stopRequested = stopped_.load();

  const Clock::time_point start = Clock::now();
  PassClock passes;
  long long totalFiles = 0;   // the last NotifyCounted: the source folder's, the total
  long long finalCount = 0;   // NotifyFinished: files met by the last pass that ran
  {
    platform::WorkerThread worker;
    if (!worker.Start([this] { ConversionThreadProc(&job_); })) {
      job_.running = 0;
      job_.selection = nullptr;
      outcome.status = ConversionStatus::NoWorker;
      return outcome;
    }
    bool finished = false;
    std::vector<platform::Notification> batch;
    auto takeAll = [&](std::chrono::milliseconds timeout) {
      notifications.TakeAll(&batch, timeout);
      for (const platform::Notification& notice : batch) {
        if (notice.code == NotifyCounted) totalFiles = notice.count;
        if (notice.code == NotifyFinished) {
          finalCount = notice.count;
          finished = true;
        }
      }
    };
    for (takeAll(kProgressInterval); !finished; takeAll(kProgressInterval)) {
      // The pass is read before the queue is emptied once more: once the
      // converting pass runs, the counting pass's last notice (the total)
      // is queued.
      ProgressSnapshot snapshot = passes.Snapshot(job_, totalFiles);
      takeAll(std::chrono::milliseconds(0));
      // A stop that came while the job record was being filled in.
      if (stopped_.load() != 0) job_.stopRequested = 1;
      if (finished) break;
      if (observer != nullptr) {
        if (snapshot.phase == SessionPhase::Working) snapshot.filesTotal = totalFiles;
        observer->Progress(snapshot, false);
      }
      // Lets notices gather: the job then pays for no wake-up per folder.
      std::this_thread::sleep_for(kGatherInterval);
    }
    worker.Join();
    if (observer != nullptr) observer->Progress(passes.Snapshot(job_, totalFiles), true);
  }
  outcome.seconds = SecondsSince(start);
  job_.selection = nullptr;  // the filter ends with this call
  db.close();

  const ConversionStats& stats = job_.stats;
  ConversionCounts& counts = outcome.counts;
  const bool converted = stats.pass.load() == ConvertingPass;
  const long long met = converted ? finalCount : 0;
  const long long counted = converted ? totalFiles : finalCount;
  counts.tilesStored = stats.tilesStored.load();
  counts.duplicates = stats.duplicates.load();
  counts.notTiles = stats.notTiles.load();
  counts.unreadable = stats.unreadable.load();
  counts.outsideSelection = stats.outsideSelection.load();
  counts.tooLarge = stats.tooLarge.load();
  counts.rolledBack = stats.rolledBack.load();
  counts.unreadableFolders = stats.unreadableFolders.load();
  counts.vanishedFolders = stats.vanishedFolders.load();

  counts.rowsOutsideRange = stats.rowsOutsideRange.load();
  counts.rowsWithoutData = stats.rowsWithoutData.load();
  counts.rowsZoomUnfit = stats.rowsZoomUnfit.load();

  if (stats.databaseErrors.load() != 0) {
    outcome.status = stats.sourceErrors.load() != 0 ? ConversionStatus::SourceReadFailed : ConversionStatus::DatabaseError;
    outcome.errorCode = stats.databaseErrorCode.load();
    outcome.errorText = platform::Utf16ToUtf8(job_.stopReason);
    outcome.fileSizeLimit = stats.fileSizeLimit.load();
    outcome.rollbackLeft = job_.rollbackLeft;
  } else if (stopped_.load() != 0) {
    outcome.status = ConversionStatus::Stopped;
  }
  // A walk that ran to its end met every file there was; the count of the
  // first pass only tells what a stopped one did not reach.
  if (outcome.status != ConversionStatus::Done) counts.notReached = std::max(0LL, counted - met);
  counts.filesSeen = met + counts.notReached;
  return outcome;
}

}  // namespace convert
