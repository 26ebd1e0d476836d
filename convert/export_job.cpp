#include "convert/export_job.h"

#include <cassert>
#include <optional>

#include "convert/tile_selection.h"
#include "platform/utf.h"
#include "store/map_tile_reader.h"
#include "store/sqlite_database.h"
#include "store/sqlite_error.h"

namespace convert {

namespace {

std::atomic<long long>& SkipCounter(ExportStats& stats, ExportSkip why) {
  switch (why) {
    case ExportSkip::NotOfTarget:
      return stats.notOfTarget;
    case ExportSkip::NoName:
      return stats.noName;
    case ExportSkip::OffGrid:
      return stats.offGrid;
    case ExportSkip::NoKey:
      return stats.noKey;
    case ExportSkip::NoImage:
      return stats.noImage;
    case ExportSkip::OutsideSelection:
      return stats.outsideSelection;
    case ExportSkip::NotWritten:
      break;
  }
  return stats.notWritten;
}

void Fail(ExportJob& job, int code, std::string text, bool mapRead) {
  job.errorCode = code;
  job.errorText = std::move(text);
  job.mapReadFailed = mapRead;
  job.stats.failed = true;
}

void FailReading(ExportJob& job, int code, const std::u16string& message) {
  Fail(job, code, platform::Utf16ToUtf8(message), true);
}

// Moves the tiles the target took back from `written` to `rolledBack`.
void TakeRolledBack(ExportJob& job) {
  const long long back = job.target->TakeRolledBack();
  job.stats.written.fetch_sub(back, std::memory_order_relaxed);
  job.stats.rolledBack.fetch_add(back, std::memory_order_relaxed);
}

// Hands the current row to the target. Returns false when the export ends.
bool WriteRow(ExportJob& job, store::MapTileReader& reader) {
  ExportStats& stats = job.stats;
  const store::StoredTile& tile = reader.Tile();
  ExportSkip skip = ExportSkip::NotWritten;
  std::string failure;
  int code = 0;
  ExportTarget::Put put;
  if (!tile.keyFits || tile.source == store::StoredTile::Source::Unnamed) {
    skip = ExportSkip::NoKey;
    put = ExportTarget::Put::Skipped;
  } else if (job.selection != nullptr && !job.selection->Selects(tile.key)) {
    skip = ExportSkip::OutsideSelection;
    put = ExportTarget::Put::Skipped;
  } else if (!reader.LoadImage()) {
    // The row was not read after all: it counts as not reached.
    stats.rowsSeen.fetch_sub(1, std::memory_order_relaxed);
    FailReading(job, reader.ErrorCode(), reader.ErrorMessage());
    return false;
  } else if (tile.image == nullptr) {
    skip = ExportSkip::NoImage;
    put = ExportTarget::Put::Skipped;
  } else {
    put = job.target->Write(tile, &skip, &failure, &code);
  }
  switch (put) {
    case ExportTarget::Put::Written:
      stats.written.fetch_add(1, std::memory_order_relaxed);
      return true;
    case ExportTarget::Put::AlreadyPresent:
      stats.alreadyPresent.fetch_add(1, std::memory_order_relaxed);
      return true;
    case ExportTarget::Put::Skipped:
      SkipCounter(stats, skip).fetch_add(1, std::memory_order_relaxed);
      if (job.listener != nullptr) {
        job.listener->NotExported(reader.Describe(), skip, skip == ExportSkip::NotWritten ? failure : "");
      }
      return true;
    case ExportTarget::Put::Stop:
      // The tile whose write failed is lost with the batch it was to join.
      stats.rolledBack.fetch_add(1, std::memory_order_relaxed);
      TakeRolledBack(job);
      Fail(job, code, failure, false);
      return false;
  }
  return true;
}

}  // namespace

void RunExport(ExportJob& job) {
  assert(job.map != nullptr && job.target != nullptr);
  store::MapTileReader reader(*job.map, job.selection != nullptr);
  std::optional<long long> count;
  try {
    count = reader.CountRows();
  } catch (const SQLite::Error& error) {
    FailReading(job, error.code, error.message);
    return;
  }
  if (!count) {
    FailReading(job, reader.ErrorCode(), reader.ErrorMessage());
    return;
  }
  job.stats.rowsCounted = *count;
  job.stats.working = true;

  while (job.stopRequested.load() == 0) {
    store::MapTileReader::Step step;
    try {
      step = reader.Next();
    } catch (const SQLite::Error& error) {
      FailReading(job, error.code, error.message);
      break;
    }
    if (step == store::MapTileReader::Step::End) break;
    if (step == store::MapTileReader::Step::Failed) {
      FailReading(job, reader.ErrorCode(), reader.ErrorMessage());
      break;
    }
    job.stats.rowsSeen.fetch_add(1, std::memory_order_relaxed);
    bool goOn = false;
    try {
      goOn = WriteRow(job, reader);
    } catch (const SQLite::Error& error) {
      // The image statement could not be prepared: the row was not read.
      job.stats.rowsSeen.fetch_sub(1, std::memory_order_relaxed);
      FailReading(job, error.code, error.message);
    }
    if (!goOn) break;
    std::string failure;
    int code = 0;
    if (!job.target->BatchPoint(&failure, &code)) {
      TakeRolledBack(job);
      Fail(job, code, failure, false);
      break;
    }
  }
  // What the target wrote stays: a stop, the end, or a read error of the
  // map file commits it. After a failure of the target itself its
  // committed batches are all there is.
  if (!job.stats.failed.load() || job.mapReadFailed) {
    std::string failure;
    int code = 0;
    if (!job.target->Finish(&failure, &code)) {
      TakeRolledBack(job);
      if (!job.stats.failed.load()) Fail(job, code, failure, false);
    }
  }
}

}  // namespace convert
