#include "convert/extract_session.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "convert/worker_progress.h"
#include "platform/file_io.h"
#include "platform/message_box.h"
#include "platform/utf.h"
#include "store/sqlite_database.h"
#include "store/tile_rows.h"

namespace convert {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Follows the job's passes to tell the observer where it is.
class PassClock {
 public:
  ProgressSnapshot Snapshot(const ExtractStats& stats) {
    ProgressSnapshot snapshot;
    snapshot.unit = "rows";
    if (stats.phase.load() == static_cast<int>(ExtractPhase::Copying)) {
      if (!working_) {
        working_ = true;
        workStart_ = Clock::now();
      }
      snapshot.phase = SessionPhase::Working;
      snapshot.filesDone = stats.rowsDone.load();
      snapshot.filesTotal = stats.selected.load();
      snapshot.tilesDone = stats.rowsDone.load();
      snapshot.phaseSeconds = SecondsSince(workStart_);
    } else {
      // The rows of MAP are counted by one query, then the key pass counts
      // the rows it has decided.
      snapshot.countGrows = stats.phase.load() == static_cast<int>(ExtractPhase::Counting);
      snapshot.filesDone = stats.rowsCounted.load();
      snapshot.phaseSeconds = SecondsSince(start_);
    }
    return snapshot;
  }

 private:
  Clock::time_point start_ = Clock::now();  // the job began
  bool working_ = false;                    // the copying pass has been seen
  Clock::time_point workStart_{};           // when it was first seen
};

}  // namespace

void ExtractSession::RequestStop() {
  stopped_.store(1);
  job_.stopRequested.store(1);
}

ExtractOutcome ExtractSession::Run(const ExtractRequest& request, ProgressObserver* observer) {
  ExtractOutcome outcome;
  if (platform::SameFile(request.map, request.newMap)) {
    outcome.status = ExtractStatus::SameFile;
    return outcome;
  }
  SQLite::Database map;
  map.setBusyStop(&stopped_);  // Ctrl-C ends a wait for another program's lock at once
  outcome.map = store::OpenMapFileForReading(map, request.map);
  if (outcome.map.status != store::MapOpenStatus::Ready) {
    outcome.status = stopped_.load() != 0 ? ExtractStatus::Stopped : ExtractStatus::MapRefused;
    return outcome;
  }
  if (request.selection.area && !AreaFitsWebMercator(*request.selection.area)) {
    // Only Web Mercator rows cannot take such an area: refused when MAP has
    // any at the levels selected.
    try {
      const std::optional<std::vector<long long>> z = SelectedZValues(request.selection);
      if (store::HoldsWebMercatorRows(map, z ? &*z : nullptr)) {
        outcome.status = ExtractStatus::SelectionRefused;
        return outcome;
      }
    } catch (const SQLite::Error& error) {
      outcome.status = ExtractStatus::ReadFailed;
      outcome.errorCode = error.code;
      outcome.errorText = platform::Utf16ToUtf8(error.message);
      return outcome;
    }
  }
  if (stopped_.load() != 0) {
    outcome.status = ExtractStatus::Stopped;
    return outcome;
  }

  platform::StderrMessageBox stderrMessages;
  SQLite::Database newMap(request.messages != nullptr ? request.messages : &stderrMessages);
  newMap.setBusyStop(&stopped_);
  const SelectionFilter filter(request.selection);
  job_.map = &map;
  job_.newMap = &newMap;
  job_.newMapPath = request.newMap;
  job_.selection = request.selection.Everything() ? nullptr : &filter;
  job_.stopRequested = stopped_.load();
  job_.stats.phase = 0;
  for (std::atomic<long long>* counter :
       {&job_.stats.rowsInMap, &job_.stats.rowsCounted, &job_.stats.selected, &job_.stats.rowsDone,
        &job_.stats.copied, &job_.stats.alreadyPresent, &job_.stats.rolledBack}) {
    counter->store(0);
  }

  const Clock::time_point start = Clock::now();
  PassClock passes;
  const bool ran = RunWithProgress([this] { RunExtract(job_); },
                                   [this] {
                                     if (stopped_.load() != 0) job_.stopRequested = 1;
                                   },
                                   [this, &passes] { return passes.Snapshot(job_.stats); }, observer);
  if (!ran) {
    job_.selection = nullptr;
    outcome.status = ExtractStatus::NoWorker;
    return outcome;
  }
  outcome.seconds = SecondsSince(start);
  job_.selection = nullptr;  // the filter ends with this call
  newMap.close();
  map.close();

  const ExtractStats& stats = job_.stats;
  ExtractCounts& counts = outcome.counts;
  counts.rowsInMap = stats.rowsInMap.load();
  counts.copied = stats.copied.load();
  counts.alreadyPresent = stats.alreadyPresent.load();
  counts.rolledBack = stats.rolledBack.load();
  const long long selected = stats.selected.load();
  counts.outsideSelection = std::max(0LL, counts.rowsInMap - selected);
  counts.notReached = std::max(0LL, selected - stats.rowsDone.load());
  outcome.newMap = job_.newMapOpen;
  outcome.errorCode = job_.errorCode;
  outcome.errorText = platform::Utf16ToUtf8(job_.errorText);
  outcome.fileSizeLimit = job_.fileSizeLimit;
  outcome.rollbackLeft = job_.rollbackLeft;
  switch (job_.end) {
    case ExtractEnd::Done:
      outcome.status = stopped_.load() != 0 && counts.notReached > 0 ? ExtractStatus::Stopped : ExtractStatus::Done;
      break;
    case ExtractEnd::Stopped:
      outcome.status = ExtractStatus::Stopped;
      break;
    case ExtractEnd::NothingSelected:
      outcome.status = ExtractStatus::NothingSelected;
      break;
    case ExtractEnd::NewMapRefused:
      outcome.status = ExtractStatus::NewMapRefused;
      break;
    case ExtractEnd::ReadFailed:
      outcome.status = ExtractStatus::ReadFailed;
      break;
    case ExtractEnd::WriteFailed:
      outcome.status = ExtractStatus::DatabaseError;
      break;
  }
  return outcome;
}

}  // namespace convert
