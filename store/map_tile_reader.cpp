#include "store/map_tile_reader.h"

#include <sqlite3.h>

#include <climits>

#include "platform/utf.h"

namespace store {

namespace {

// Reads an int column; false when it holds no integer or one beyond int.
bool ReadInt(sqlite3_stmt* statement, int column, int* value) {
  if (sqlite3_column_type(statement, column) != SQLITE_INTEGER) return false;
  const sqlite3_int64 number = sqlite3_column_int64(statement, column);
  if (number < INT_MIN || number > INT_MAX) return false;
  *value = static_cast<int>(number);
  return true;
}

// One column's value as SQLite holds it, for messages.
std::string Shown(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
      return "NULL";
    case SQLITE_BLOB:
      return "a blob";
    case SQLITE_TEXT:
      return '"' + std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, column))) + '"';
    default:
      return reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  }
}

}  // namespace

MapTileReader::MapTileReader(SQLite::Database& database, bool imagesOnDemand)
    : database_(database), imagesOnDemand_(imagesOnDemand) {}

std::optional<long long> MapTileReader::CountRows() {
  return CountOf(database_, kCountTilesSql, &error_);  // throws SQLite::Error
}

MapTileReader::Step MapTileReader::Next() {
  if (!rows_ && imagesOnDemand_) {
    try {
      rows_ = database_.prepare(kSelectTileKeysSql);
    } catch (const SQLite::Error&) {
      imagesOnDemand_ = false;  // a table without rowid: the images come with the rows
    }
  }
  if (!rows_) rows_ = database_.prepare(kSelectTilesSql);  // throws SQLite::Error
  sqlite3_stmt* statement = rows_->handle;
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_DONE) return Step::End;
  if (rc != SQLITE_ROW) {
    error_.Note(database_, rc);
    return Step::Failed;
  }
  StoredTile& tile = tile_;
  tile.keyFits = ReadInt(statement, 0, &tile.key.x) && ReadInt(statement, 1, &tile.key.y) &&
                 ReadInt(statement, 2, &tile.key.z);
  tile.key.source.clear();
  tile.key.sourceIsText = false;
  std::string name;
  switch (StoredSourceOf(statement, 3, &name)) {
    case StoredSource::WebMercator:
      tile.source = StoredTile::Source::WebMercator;
      break;
    case StoredSource::GeoKukName:
      tile.source = StoredTile::Source::Named;
      tile.key.sourceIsText = true;
      tile.key.source = platform::Utf8ToUtf16(name);
      break;
    case StoredSource::None:
      tile.source = StoredTile::Source::Unnamed;
      break;
  }
  imageLoaded_ = false;
  tile.image = nullptr;
  tile.size = 0;
  if (!imagesOnDemand_) TakeImage(statement, 4);
  return Step::Row;
}

void MapTileReader::TakeImage(sqlite3_stmt* statement, int column) {
  imageLoaded_ = true;
  if (sqlite3_column_type(statement, column) == SQLITE_NULL) {
    tile_.image = nullptr;
    tile_.size = 0;
    return;
  }
  // The pointer is taken before the length, as SQLite asks. An empty blob
  // has a null pointer: it is an empty image, not NULL.
  static const unsigned char kEmpty = 0;
  const void* blob = sqlite3_column_blob(statement, column);
  tile_.size = static_cast<std::size_t>(sqlite3_column_bytes(statement, column));
  tile_.image = blob != nullptr ? static_cast<const unsigned char*>(blob) : &kEmpty;
}

bool MapTileReader::LoadImage() {
  if (imageLoaded_ || !rows_) return true;
  if (!image_) image_ = database_.prepare(kSelectImageByRowidSql);  // throws SQLite::Error
  sqlite3_stmt* statement = image_->handle;
  sqlite3_reset(statement);
  sqlite3_bind_int64(statement, 1, sqlite3_column_int64(rows_->handle, 4));
  const int rc = sqlite3_step(statement);
  if (rc != SQLITE_ROW) {
    error_.Note(database_, rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
    return false;
  }
  TakeImage(statement, 0);
  return true;
}

std::string MapTileReader::Describe() const {
  if (!rows_) return "";
  sqlite3_stmt* statement = rows_->handle;
  return "x " + Shown(statement, 0) + ", y " + Shown(statement, 1) + ", z " + Shown(statement, 2) + ", s " +
         Shown(statement, 3);
}

}  // namespace store
