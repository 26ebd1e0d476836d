#include "convert/mbtiles_target.h"

#include <sqlite3.h>

#include <algorithm>

#include "convert/conversion_job.h"
#include "platform/utf.h"
#include "store/sqlite_database.h"
#include "store/sqlite_error.h"
#include "store/tile_geometry.h"

namespace convert {

namespace {

std::string SqliteText(SQLite::Database& db, int rc) {
  if (db.errorText != nullptr) return db.errorText;
  return db.handle != nullptr ? sqlite3_errmsg(db.handle) : sqlite3_errstr(rc);
}

}  // namespace

MbtilesTarget::MbtilesTarget(SQLite::Database& db, std::string name, bool created)
    : db_(db), writer_(db), name_(std::move(name)), created_(created) {
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

void MbtilesTarget::RollBack(int rc, std::string* failure, int* code) {
  *failure = SqliteText(db_, rc);
  *code = rc;
  if (db_.handle != nullptr && sqlite3_get_autocommit(db_.handle) == 0) {
    db_.inTransaction = 1;
    db_.rollback();
  }
  db_.inTransaction = 0;
  rolledBack_ += pending_;
  pending_ = 0;
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
  if (db_.inTransaction == 0) {
    db_.inTransaction = 1;
    batchBegun_ = std::chrono::steady_clock::now();
    const int rc = db_.exec(SQLite::kBeginTransactionSql);  // a failure is shown by exec
    if (rc != SQLITE_OK) {
      RollBack(rc, failure, code);
      return Put::Stop;
    }
  }
  store::MbtilesWriter::Outcome outcome;
  try {
    outcome = writer_.Insert(row, tile.image, tile.size);
  } catch (const SQLite::Error& error) {
    RollBack(error.code, failure, code);
    *failure = platform::Utf16ToUtf8(error.message);
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
      RollBack(rc, failure, code);
      *failure = text;
      return Put::Stop;
    }
  }
  ++pending_;
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
    RollBack(error.code, failure, code);
    *failure = platform::Utf16ToUtf8(error.message);
    return false;
  }
  if (!written) {
    const std::string text = platform::Utf16ToUtf8(writer_.ErrorMessage());
    RollBack(writer_.ErrorCode(), failure, code);
    *failure = text;
    return false;
  }
  db_.inTransaction = 0;
  const int rc = db_.exec(SQLite::kCommitSql);  // a failure is shown by exec
  if (rc != SQLITE_OK) {
    RollBack(rc, failure, code);
    return false;
  }
  pending_ = 0;
  return true;
}

bool MbtilesTarget::BatchPoint(std::string* failure, int* code) {
  const bool due = pending_ >= kCommitBatch ||
                   (pending_ > 0 && std::chrono::steady_clock::now() - batchBegun_ >= kCommitInterval);
  return !due || Commit(failure, code);
}

bool MbtilesTarget::Finish(std::string* failure, int* code) {
  // A file the export made gets its metadata even when no tile went in.
  if (db_.inTransaction == 0 && created_) {
    db_.inTransaction = 1;
    const int rc = db_.exec(SQLite::kBeginTransactionSql);
    if (rc != SQLITE_OK) {
      RollBack(rc, failure, code);
      return false;
    }
  }
  return Commit(failure, code);
}

long long MbtilesTarget::TakeRolledBack() {
  const long long taken = rolledBack_;
  rolledBack_ = 0;
  return taken;
}

}  // namespace convert
