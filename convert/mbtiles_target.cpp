#include "convert/mbtiles_target.h"

#include <sqlite3.h>

#include <algorithm>

#include "convert/conversion_job.h"
#include "platform/utf.h"
#include "store/sqlite_database.h"
#include "store/sqlite_error.h"
#include "store/tile_geometry.h"
#include "store/write_failure.h"

namespace convert {

MbtilesTarget::MbtilesTarget(SQLite::Database& db, std::string name, bool created)
    : db_(db), writer_(db), name_(std::move(name)), created_(created), batch_(db, kCommitBatch, kCommitInterval) {
  if (db_.handle != nullptr) {
    const char* file = sqlite3_db_filename(db_.handle, "main");
    if (file != nullptr) writeback_.Attach(file);  // not found: the writing waits for the commits
  }
}

MbtilesTarget::~MbtilesTarget() { writeback_.Detach(); }

ImageFormat MbtilesTarget::MetadataFormat() const {
  // The format most tiles have; an unknown one counts for PNG, the name it
  // is given in a tree too.
  std::array<long long, kImageFormatCount> counts = formats_;
  counts[static_cast<int>(ImageFormat::Png)] += counts[static_cast<int>(ImageFormat::Unknown)];
  counts[static_cast<int>(ImageFormat::Unknown)] = 0;
  const auto most = std::max_element(counts.begin(), counts.end());
  return *most == 0 ? ImageFormat::Png : static_cast<ImageFormat>(most - counts.begin());
}

void MbtilesTarget::RollBack(int rc, const std::string& text, std::string* failure, int* code) {
  *failure = text;
  *code = rc;
  fileSizeLimit_ = batch_.FailedAtSizeLimit(rc);  // while the failed batch's bytes are known
  rolledBack_ += batch_.RollBack();
  FinishRollback();
}

void MbtilesTarget::FinishRollback() {
  // After a full disk or an I/O error SQLite leaves the rollback of the
  // failed batch to the next connection: the file is opened anew at once,
  // so that its readers do not meet its journal. The writeback borrows the
  // connection's descriptor, which the reopening closes.
  writeback_.Detach();
  rollbackLeft_ = store::ReopenAfterWriteError(db_);
}

ExportTarget::Put MbtilesTarget::Write(const store::StoredTile& tile, ExportSkip* skip, std::string* failure,
                                       int* code) {
  if (tile.source != store::StoredTile::Source::WebMercator) {
    *skip = ExportSkip::NotOfTarget;
    return Put::Skipped;
  }
  store::MbtilesKey row;
  if (!store::KeyToMbtilesRow(tile.key, &row)) {
    *skip = ExportSkip::OffGrid;
    return Put::Skipped;
  }
  batch_.BeginIfNone();
  store::MbtilesWriter::Outcome outcome;
  try {
    outcome = writer_.Insert(row, tile.image, tile.size);
  } catch (const SQLite::Error& error) {
    RollBack(error.code, platform::Utf16ToUtf8(error.message), failure, code);
    return Put::Stop;
  }
  switch (outcome) {
    case store::MbtilesWriter::Outcome::Stored:
      break;
    case store::MbtilesWriter::Outcome::Duplicate:
      return Put::AlreadyPresent;
    case store::MbtilesWriter::Outcome::TooBig:
      *skip = ExportSkip::NotWritten;
      *failure = "the image is larger than SQLite stores";
      return Put::Skipped;
    case store::MbtilesWriter::Outcome::Failed: {
      const int rc = writer_.ErrorCode();
      const std::string text = platform::Utf16ToUtf8(writer_.ErrorMessage());
      if (db_.messageBoxes() != nullptr) db_.messageBoxes()->Show(writer_.ErrorMessage(), platform::MessageStyle::Exclamation);
      RollBack(rc, text, failure, code);
      return Put::Stop;
    }
  }
  batch_.Stored(tile.size);
  ++formats_[static_cast<int>(SniffImageFormat(tile.image, tile.size))];
  const int zoom = static_cast<int>(row.zoom);
  const store::GeoArea area = store::WebMercatorTileArea(zoom, tile.key.x, tile.key.y);
  if (!extent_.any) {
    extent_ = {true, zoom, zoom, area.west, area.south, area.east, area.north};
  } else {
    extent_.minZoom = std::min(extent_.minZoom, zoom);
    extent_.maxZoom = std::max(extent_.maxZoom, zoom);
    extent_.west = std::min(extent_.west, area.west);
    extent_.south = std::min(extent_.south, area.south);
    extent_.east = std::max(extent_.east, area.east);
    extent_.north = std::max(extent_.north, area.north);
  }
  bytesSinceWriteback_ += tile.size;
  if (bytesSinceWriteback_ >= kWritebackStep) {
    writeback_.Start();
    bytesSinceWriteback_ = 0;
  }
  return Put::Written;
}

bool MbtilesTarget::Commit(std::string* failure, int* code) {
  if (db_.inTransaction == 0) return true;
  store::MbtilesMetadata metadata;
  metadata.name = name_;
  metadata.format = MbtilesFormatName(MetadataFormat());
  metadata.extent = extent_;
  metadata.keepHeld = !created_;
  bool written = false;
  try {
    written = writer_.WriteMetadata(metadata);
  } catch (const SQLite::Error& error) {
    RollBack(error.code, platform::Utf16ToUtf8(error.message), failure, code);
    return false;
  }
  if (!written) {
    RollBack(writer_.ErrorCode(), platform::Utf16ToUtf8(writer_.ErrorMessage()), failure, code);
    return false;
  }
  std::u16string text;
  if (!batch_.Commit(code, &text)) {
    *failure = platform::Utf16ToUtf8(text);
    fileSizeLimit_ = batch_.FailedAtSizeLimit(*code);
    rolledBack_ += batch_.Pending();
    FinishRollback();
    return false;
  }
  return true;
}

bool MbtilesTarget::BatchPoint(std::string* failure, int* code) { return !batch_.Due() || Commit(failure, code); }

bool MbtilesTarget::Finish(std::string* failure, int* code) {
  // A file the export made gets its metadata even when no tile went in.
  if (created_) batch_.BeginIfNone();
  return Commit(failure, code);
}

long long MbtilesTarget::TakeRolledBack() {
  const long long taken = rolledBack_;
  rolledBack_ = 0;
  return taken;
}

}  // namespace convert
