#include "convert/export_session.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <exception>
#include <memory>

#include "convert/layouts.h"
#include "platform/file_io.h"
#include "convert/mbtiles_target.h"
#include "convert/tile_tree_target.h"
#include "platform/message_box.h"
#include "convert/tile_selection.h"
#include "convert/worker_progress.h"
#include "platform/utf.h"
#include "store/mbtiles_writer.h"
#include "store/sqlite_database.h"
#include "store/tile_rows.h"

namespace convert {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

ProgressSnapshot Snapshot(const ExportStats& stats, Clock::time_point start, Clock::time_point* workStart) {
  ProgressSnapshot snapshot;
  snapshot.unit = "rows";
  snapshot.countGrows = false;  // one query counts the rows of the map
  if (stats.working.load()) {
    if (*workStart == Clock::time_point{}) *workStart = Clock::now();
    snapshot.phase = SessionPhase::Working;
    snapshot.filesDone = stats.rowsSeen.load();
    snapshot.filesTotal = stats.rowsCounted.load();
    snapshot.tilesDone = stats.written.load() + stats.alreadyPresent.load();
    snapshot.phaseSeconds = SecondsSince(*workStart);
  } else {
    snapshot.phaseSeconds = SecondsSince(start);
  }
  return snapshot;
}

// The map file's name without its folder and extension: the MBTiles name.
std::string TilesetName(const std::string& map) {
  const std::size_t slash = map.find_last_of('/');
  std::string name = slash == std::string::npos ? map : map.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name.empty() ? map : name;
}

}  // namespace

bool TargetIsMbtiles(const std::string& target) {
  static const std::string kExtension = ".mbtiles";
  if (target.size() >= kExtension.size()) {
    std::string end = target.substr(target.size() - kExtension.size());
    std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) { return std::tolower(c); });
    if (end == kExtension) return true;
  }
  struct stat status {};
  return ::stat(target.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

void ExportSession::RequestStop() {
  stopped_.store(1);
  job_.stopRequested.store(1);
}

ExportOutcome ExportSession::Run(const ExportRequest& request, ProgressObserver* observer) {
  ExportOutcome outcome;
  outcome.layout = request.layout;
  outcome.selection = request.selection;
  outcome.toMbtiles = request.layout == LayoutMbtiles || (request.layout == kTargetByName && TargetIsMbtiles(request.target));

  SQLite::Database map;
  map.setBusyStop(&stopped_);  // Ctrl-C ends a wait for another program's lock at once
  outcome.map = store::OpenMapFileForReading(map, request.map);
  if (outcome.map.status != store::MapOpenStatus::Ready) {
    outcome.status = stopped_.load() != 0 ? ExportStatus::Stopped : ExportStatus::MapRefused;
    return outcome;
  }
  if (platform::SameFile(request.map, request.target)) {
    outcome.status = ExportStatus::TargetRefused;
    outcome.refusal = TargetRefusal::SameFile;
    return outcome;
  }
  // An area beyond the Web Mercator grid cannot select its tiles: refused
  // when the target takes such tiles and the map holds some at the levels
  // selected.
  if (request.selection.area && !AreaFitsWebMercator(*request.selection.area) && request.layout != LayoutGeoKuk) {
    try {
      const std::optional<std::vector<long long>> z = SelectedZValues(request.selection);
      if (store::HoldsWebMercatorRows(map, z ? &*z : nullptr)) {
        outcome.status = ExportStatus::SelectionRefused;
        return outcome;
      }
    } catch (const SQLite::Error& error) {
      outcome.status = ExportStatus::Failed;
      outcome.mapReadFailed = true;
      outcome.errorCode = error.code;
      outcome.errorText = platform::Utf16ToUtf8(error.message);
      return outcome;
    }
  }

  // A stop that comes before the job starts still leaves a summary whose
  // counts add up: every row of the map is one not reached.
  auto stoppedBeforeStart = [&] {
    outcome.status = ExportStatus::Stopped;
    try {
      outcome.counts.notReached = store::CountTileRows(map);
      outcome.counts.rowsSeen = outcome.counts.notReached;
    } catch (const SQLite::Error&) {
      // The rows cannot be counted now: the summary says 0 of them.
    }
  };

  platform::StderrMessageBox stderrMessages;
  platform::MessageBoxService* messages = request.messages != nullptr ? request.messages : &stderrMessages;
  SQLite::Database tiles(messages);  // the MBTiles target
  std::unique_ptr<ExportTarget> target;
  MbtilesTarget* mbtiles = nullptr;
  if (outcome.toMbtiles) {
    tiles.setBusyStop(&stopped_);
    outcome.target = store::OpenMbtilesForWriting(tiles, request.target);
    if (outcome.target.status != store::MapOpenStatus::Ready) {
      outcome.refusal = TargetRefusal::Mbtiles;
      if (stopped_.load() != 0) {
        stoppedBeforeStart();
      } else {
        outcome.status = ExportStatus::TargetRefused;
      }
      return outcome;
    }
    auto made = std::make_unique<MbtilesTarget>(tiles, TilesetName(request.map), outcome.target.created);
    mbtiles = made.get();
    target = std::move(made);
  } else {
    struct stat status {};
    if (::stat(request.target.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) {
      outcome.status = ExportStatus::TargetRefused;
      outcome.refusal = TargetRefusal::NotAFolder;
      return outcome;
    }
    auto tree = std::make_unique<TileTreeTarget>(request.layout);
    try {
      if (!tree->Open(request.target, &outcome.targetError)) {
        outcome.status = ExportStatus::TargetRefused;
        outcome.refusal = TargetRefusal::CannotOpen;
        return outcome;
      }
    } catch (const std::exception& error) {
      // The layout's pattern does not compile: a broken engine.
      outcome.status = ExportStatus::Failed;
      outcome.errorText = error.what();
      return outcome;
    }
    target = std::move(tree);
  }
  if (stopped_.load() != 0) {
    stoppedBeforeStart();
    return outcome;
  }

  const SelectionFilter filter(request.selection);
  job_.map = &map;
  job_.target = target.get();
  job_.listener = request.listener;
  job_.selection = request.selection.Everything() ? nullptr : &filter;
  job_.stopRequested = stopped_.load();
  // From here on a stop ends a wait for a lock through the job's request;
  // the last commit of a stopped export waits as long as any statement.
  map.setBusyStop(&job_.stopRequested);
  tiles.setBusyStop(nullptr);

  const Clock::time_point start = Clock::now();
  Clock::time_point workStart{};
  const bool ran = RunWithProgress([this] { RunExport(job_); },
                                   [this] {
                                     if (stopped_.load() != 0) job_.stopRequested = 1;
                                   },
                                   [&] { return Snapshot(job_.stats, start, &workStart); }, observer);
  job_.selection = nullptr;  // the filter ends with this call
  if (!ran) {
    outcome.status = ExportStatus::NoWorker;
    return outcome;
  }
  outcome.seconds = SecondsSince(start);
  if (mbtiles != nullptr) {
    outcome.formats = mbtiles->FormatCounts();
    outcome.metadataFormat = mbtiles->MetadataFormat();
    outcome.fileSizeLimit = mbtiles->FileSizeLimit();
    outcome.rollbackLeft = mbtiles->RollbackLeft();
  }
  target.reset();
  tiles.close();
  map.close();

  const ExportStats& stats = job_.stats;
  ExportCounts& counts = outcome.counts;
  counts.written = stats.written.load();
  counts.alreadyPresent = stats.alreadyPresent.load();
  counts.notOfTarget = stats.notOfTarget.load();
  counts.noName = stats.noName.load();
  counts.offGrid = stats.offGrid.load();
  counts.noKey = stats.noKey.load();
  counts.noImage = stats.noImage.load();
  counts.notWritten = stats.notWritten.load();
  counts.rolledBack = stats.rolledBack.load();
  counts.outsideSelection = stats.outsideSelection.load();
  if (stats.failed.load()) {
    outcome.status = ExportStatus::Failed;
    outcome.errorCode = job_.errorCode;
    outcome.errorText = job_.errorText;
    outcome.mapReadFailed = job_.mapReadFailed;
  } else if (stopped_.load() != 0) {
    outcome.status = ExportStatus::Stopped;
  }
  const long long seen = stats.rowsSeen.load();
  if (outcome.status != ExportStatus::Done) counts.notReached = std::max(0LL, stats.rowsCounted.load() - seen);
  counts.rowsSeen = seen + counts.notReached;
  return outcome;
}

}  // namespace convert
