#include "convert/mbtiles_source.h"

#include <optional>
#include <string>

#include "convert/conversion_job.h"
#include "convert/conversion_pass.h"
#include "convert/tile_selection.h"
#include "convert/verify_walk.h"
#include "platform/notification.h"
#include "platform/utf.h"
#include "store/mbtiles_reader.h"
#include "store/sqlite_error.h"

namespace convert {

namespace {

// What a row is, and its key when it is a tile.
enum class RowKind { Tile, WithoutData, OutsideRange, ZoomDoesNotFit };

RowKind Classify(const store::MbtilesReader& reader, TileKey* key) {
  switch (store::MbtilesRowToKey(reader.Key(), key)) {
    case store::MbtilesRowFate::ZoomDoesNotFit:
      return RowKind::ZoomDoesNotFit;
    case store::MbtilesRowFate::OutsideRange:
      return RowKind::OutsideRange;
    case store::MbtilesRowFate::Tile:
      break;
  }
  return reader.Data() == nullptr ? RowKind::WithoutData : RowKind::Tile;
}

// "zoom 5, column 3, row 40": the row's key as the file holds it.
std::string Where(const store::MbtilesReader& reader) {
  const store::MbtilesKey& key = reader.Key();
  auto shown = [](bool integer, long long value) { return integer ? std::to_string(value) : std::string("?"); };
  return "zoom " + shown(key.zoomInteger, key.zoom) + ", column " + shown(key.placeInteger, key.column) + ", row " +
         shown(key.placeInteger, key.row);
}

const char* RowKindText(RowKind kind) {
  switch (kind) {
    case RowKind::WithoutData:
      return "its tile_data is NULL";
    case RowKind::OutsideRange:
      return "outside the columns and rows of its zoom level";
    case RowKind::ZoomDoesNotFit:
      return "its zoom level is no integer of 0 to 31";
    case RowKind::Tile:
      break;
  }
  return "";
}

SkipReason RowSkip(RowKind kind) {
  switch (kind) {
    case RowKind::WithoutData:
      return SkipReason::RowWithoutData;
    case RowKind::OutsideRange:
      return SkipReason::RowOutsideRange;
    default:
      return SkipReason::RowZoomDoesNotFit;
  }
}

std::u16string ReadFailure(const std::string& path, const std::u16string& message) {
  return platform::Utf8ToUtf16("cannot read the tiles of " + path + ": ") + message;
}

void Post(ConversionJob& job, int code) {
  if (job.notifications != nullptr) job.notifications->Post(code, job.fileCount);
}

}  // namespace

bool MbtilesSource::Open(const std::string& path, const std::atomic<int>* stop, std::u16string* why) {
  db_.setBusyStop(stop);
  if (open_) return true;
  const store::MbtilesOpenResult opened = store::OpenMbtilesForReading(db_, path);
  if (opened.status == store::MbtilesOpenStatus::Ready) {
    open_ = true;
    return true;
  }
  std::string text = opened.detail;
  if (text.empty()) {
    text = opened.status == store::MbtilesOpenStatus::IsFolder ? "it is a folder" : "it is no MBTiles file";
  }
  *why = platform::Utf8ToUtf16("cannot read the MBTiles file " + path + ": " + text);
  return false;
}

void MbtilesSource::Convert(ConversionJob& job, int pass) {
  std::u16string why;
  if (!Open(job.sourceFolder, &job.stopRequested, &why)) {
    StopOnSourceError(job, SQLITE_CANTOPEN, why);
    return;
  }
  store::MbtilesReader reader(db_);
  if (pass == CountingPass) {
    std::optional<long long> rows;
    try {
      rows = reader.CountRows();
    } catch (const SQLite::Error& error) {
      StopOnSourceError(job, error.code, ReadFailure(job.sourceFolder, error.message));
      return;
    }
    if (!rows) {
      StopOnSourceError(job, reader.ErrorCode(), ReadFailure(job.sourceFolder, reader.ErrorMessage()));
      return;
    }
    job.fileCount = static_cast<int>(*rows);
    job.stats.filesSeen = *rows;
    Post(job, NotifyCounted);
    return;
  }

  ConvertingPassScope scope(job);
  long long inGroup = 0;
  while (job.stopRequested.load() == 0) {
    store::MbtilesReader::Step step;
    try {
      step = reader.Next();
    } catch (const SQLite::Error& error) {
      StopOnSourceError(job, error.code, ReadFailure(job.sourceFolder, error.message));
      return;
    }
    if (step == store::MbtilesReader::Step::Failed) {
      StopOnSourceError(job, reader.ErrorCode(), ReadFailure(job.sourceFolder, reader.ErrorMessage()));
      return;
    }
    if (step == store::MbtilesReader::Step::End) {
      scope.GroupEnd(true);
      return;
    }
    scope.Met();
    TileKey key;
    const RowKind kind = Classify(reader, &key);
    const std::string where = job.skipListener != nullptr ? Where(reader) : std::string();
    if (kind != RowKind::Tile) {
      scope.Skipped(where, RowSkip(kind));
    } else if (job.selection != nullptr && !job.selection->Selects(key)) {
      scope.Skipped(where, SkipReason::OutsideSelection);
    } else if (reader.Size() > scope.LongestValue()) {
      scope.Skipped(where, SkipReason::TooLarge);
    } else {
      scope.Store(key, reader.Data(), reader.Size(), where);
    }
    if (++inGroup >= kRowsPerGroup && job.stopRequested.load() == 0) {
      inGroup = 0;
      if (!scope.GroupEnd(false)) return;
    }
  }
}

void MbtilesSource::Verify(VerifyJob& job) {
  TileChecker checker(job);
  std::u16string why;
  if (!Open(job.sourceFolder, &job.stopRequested, &why)) {
    job.sourceFailed = true;
    checker.Fail(SQLITE_CANTOPEN, why);
    return;
  }
  store::MbtilesReader reader(db_);
  try {
    if (job.countFirst) {
      const std::optional<long long> rows = reader.CountRows();
      if (!rows) {
        job.sourceFailed = true;
        checker.Fail(reader.ErrorCode(), ReadFailure(job.sourceFolder, reader.ErrorMessage()));
        return;
      }
      job.stats.filesCounted = *rows;
    }
    job.stats.checking = true;
    const std::uint64_t longest = checker.LongestValue();
    while (job.stopRequested.load() == 0) {
      const store::MbtilesReader::Step step = reader.Next();
      if (step == store::MbtilesReader::Step::End) return;
      if (step == store::MbtilesReader::Step::Failed) {
        job.sourceFailed = true;
        checker.Fail(reader.ErrorCode(), ReadFailure(job.sourceFolder, reader.ErrorMessage()));
        return;
      }
      job.stats.filesSeen.fetch_add(1, std::memory_order_relaxed);
      TileKey key;
      const RowKind kind = Classify(reader, &key);
      if (kind != RowKind::Tile) {
        checker.Found(job.listener != nullptr ? Where(reader) + " (" + RowKindText(kind) + ")" : std::string(),
                      VerifyFinding::NotTile);
      } else if (job.selection != nullptr && !job.selection->Selects(key)) {
        checker.Found(job.listener != nullptr ? Where(reader) : std::string(), VerifyFinding::OutsideSelection);
      } else if (reader.Size() > longest) {
        checker.Found(job.listener != nullptr ? Where(reader) : std::string(), VerifyFinding::TooLarge);
      } else {
        checker.Check(key, reader.Data(), reader.Size(), job.listener != nullptr ? Where(reader) : std::string());
      }
    }
  } catch (const SQLite::Error& error) {
    job.sourceFailed = true;
    checker.Fail(error.code, ReadFailure(job.sourceFolder, error.message));
  }
}

}  // namespace convert
