#include "store/mbtiles_writer.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <vector>

#include "platform/utf.h"
#include "store/mbtiles_reader.h"

namespace store {

namespace {

// True when `tiles` has a unique index (or key) on exactly its three key
// columns, in any order.
constexpr char kHasTileIndexSql[] =
    "SELECT count(*) FROM pragma_index_list('tiles') AS l WHERE l.\"unique\" = 1 AND "
    "(SELECT group_concat(name) FROM (SELECT name FROM pragma_index_info(l.name) ORDER BY name)) "
    "= 'tile_column,tile_row,zoom_level'";
constexpr char kTilesTypeSql[] = "SELECT type FROM sqlite_master WHERE name = 'tiles'";

MapOpenResult Result(MapOpenStatus status, std::string detail = "", std::string folder = "") {
  return MapOpenResultOf(status, std::move(detail), std::move(folder));
}

void Reset(SQLite::Database& db) {
  db.close();
  db.isOpen = 0;
}

// Runs `sql` on the open connection without showing anything; on failure
// *why gets SQLite's text. Returns SQLite's code.
int Run(SQLite::Database& db, const std::u16string& sql, std::string* why) {
  char* text = nullptr;
  const int rc = sqlite3_exec(db.handle, platform::Utf16ToUtf8(sql).c_str(), nullptr, nullptr, &text);
  if (rc != SQLITE_OK && why != nullptr) *why = text != nullptr ? text : sqlite3_errstr(rc);
  sqlite3_free(text);
  return rc;
}

// The first column of the first row of `sql` as text ("" when none).
std::string FirstValue(SQLite::Database& db, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  std::string value;
  if (sqlite3_prepare_v2(db.handle, sql, -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(statement, 0);
    if (text != nullptr) value = reinterpret_cast<const char*>(text);
  }
  sqlite3_finalize(statement);
  return value;
}

// Creates the schema in the missing or empty file `path`.
MapOpenResult Create(SQLite::Database& db, const std::string& path) {
  Reset(db);
  std::string why;
  bool ok = db.openNative(path) == SQLITE_OK;
  if (!ok) why = db.handle != nullptr ? sqlite3_errmsg(db.handle) : sqlite3_errstr(SQLITE_NOMEM);
  // The application id goes into the header with the first table.
  ok = ok && Run(db, kMbtilesApplicationIdSql, &why) == SQLITE_OK;
  ok = ok && Run(db, SQLite::kBeginTransactionSql, &why) == SQLITE_OK;
  for (const char16_t* sql :
       {kMbtilesCreateMetadataSql, kMbtilesMetadataIndexSql, kMbtilesCreateTilesSql, kMbtilesTileIndexSql}) {
    ok = ok && Run(db, sql, &why) == SQLITE_OK;
  }
  ok = ok && Run(db, SQLite::kCommitSql, &why) == SQLITE_OK;
  if (!ok) {
    const bool busy = db.handle != nullptr && (sqlite3_errcode(db.handle) & 0xff) == SQLITE_BUSY;
    if (db.handle != nullptr && sqlite3_get_autocommit(db.handle) == 0) Run(db, SQLite::kRollbackSql, nullptr);
    Reset(db);
    if (busy) return Result(MapOpenStatus::Busy, why);
    std::string folder;
    std::string reason = CreateFailureReason(path, why, &folder);
    return Result(MapOpenStatus::CannotCreate, reason, folder);
  }
  MapOpenResult result = CheckDatabaseWritable(db, path);
  result.created = result.status == MapOpenStatus::Ready;
  if (result.status != MapOpenStatus::Ready) Reset(db);
  return result;
}

}  // namespace

MapOpenResult OpenMbtilesForWriting(SQLite::Database& db, const std::string& path) {
  struct stat status {};
  const bool exists = ::stat(path.c_str(), &status) == 0;
  if (exists && S_ISDIR(status.st_mode)) return Result(MapOpenStatus::IsFolder);
  if (exists && !S_ISREG(status.st_mode)) return Result(MapOpenStatus::NotRegularFile);
  if (!exists || status.st_size == 0) return Create(db, path);

  // Read-only first: a file that is no MBTiles file is only ever read. A hot
  // journal cannot be rolled back read-only; the read-write open below
  // restores the file's last committed state.
  const MbtilesOpenResult read = OpenMbtilesForReading(db, path);
  Reset(db);
  switch (read.status) {
    case MbtilesOpenStatus::Ready:
    case MbtilesOpenStatus::Unfinished:
      break;
    case MbtilesOpenStatus::Busy:
      return Result(MapOpenStatus::Busy, read.detail);
    default:
      return Result(MapOpenStatus::NotAMap, read.detail);
  }
  if (db.openNative(path) != SQLITE_OK) {
    const std::string why = db.handle != nullptr ? sqlite3_errmsg(db.handle) : sqlite3_errstr(SQLITE_NOMEM);
    Reset(db);
    return Result(MapOpenStatus::CannotWrite, why);
  }
  if (FirstValue(db, kTilesTypeSql) != "table") {
    Reset(db);
    return Result(MapOpenStatus::NotAMap, "its tiles are a view of other tables, which cannot take new rows");
  }
  MapOpenResult result = CheckDatabaseWritable(db, path);
  if (result.status != MapOpenStatus::Ready) {
    Reset(db);
    return result;
  }
  if (FirstValue(db, kHasTileIndexSql) == "0") {
    std::string why;
    const int rc = Run(db, kMbtilesAddTileIndexSql, &why);
    if (rc != SQLITE_OK) {
      Reset(db);
      if ((rc & 0xff) == SQLITE_CONSTRAINT) {
        return Result(MapOpenStatus::NotAMap, "two of its rows have the same zoom level, column and row (" + why + ")");
      }
      if ((rc & 0xff) == SQLITE_BUSY) return Result(MapOpenStatus::Busy, why);
      return Result(MapOpenStatus::CannotWrite, why);
    }
  }
  return result;
}

MbtilesWriter::MbtilesWriter(SQLite::Database& database) : database_(database) {}

MbtilesWriter::Outcome MbtilesWriter::Insert(const MbtilesKey& key, const unsigned char* data, std::size_t size) {
  if (!insert_) insert_ = database_.prepare(kMbtilesInsertTileSql);  // throws SQLite::Error
  sqlite3_stmt* statement = insert_->handle;
  sqlite3_bind_int64(statement, 1, key.zoom);
  sqlite3_bind_int64(statement, 2, key.column);
  sqlite3_bind_int64(statement, 3, key.row);
  // Bound without a copy: the bytes stay unchanged until the bindings are
  // cleared below. An empty tile is an empty blob, not NULL.
  const int bound = size == 0 ? sqlite3_bind_zeroblob(statement, 4, 0)
                              : sqlite3_bind_blob64(statement, 4, data, size, SQLITE_STATIC);
  if (bound != SQLITE_OK) {
    sqlite3_clear_bindings(statement);
    return Outcome::TooBig;
  }
  const int rc = sqlite3_step(statement);
  Outcome outcome = Outcome::Stored;
  if (rc != SQLITE_DONE) {
    const int extended = sqlite3_extended_errcode(database_.handle);
    if (extended == SQLITE_CONSTRAINT_UNIQUE || extended == SQLITE_CONSTRAINT_PRIMARYKEY) {
      outcome = Outcome::Duplicate;
    } else {
      outcome = Outcome::Failed;
      error_.Note(database_, rc);
    }
  }
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  return outcome;
}

bool MbtilesWriter::WriteMetadata(const MbtilesMetadata& metadata) {
  std::map<std::string, std::string> held;  // name -> value, as the file holds them
  {
    SQLite::Statement select = database_.prepare(kMbtilesSelectMetadataSql);  // throws SQLite::Error
    int rc;
    while ((rc = sqlite3_step(select.handle)) == SQLITE_ROW) {
      const unsigned char* name = sqlite3_column_text(select.handle, 0);
      const unsigned char* value = sqlite3_column_text(select.handle, 1);
      if (name != nullptr) held[reinterpret_cast<const char*>(name)] = value ? reinterpret_cast<const char*>(value) : "";
    }
    if (rc != SQLITE_DONE) {
      error_.Note(database_, rc);
      return false;
    }
  }
  auto heldValue = [&](const char* name) {
    const auto found = held.find(name);
    return found == held.end() ? std::string() : found->second;
  };
  std::vector<std::pair<std::string, std::string>> rows;
  if (!metadata.keepHeld || heldValue("name").empty()) rows.emplace_back("name", metadata.name);
  if (!metadata.keepHeld || heldValue("format").empty()) rows.emplace_back("format", metadata.format);
  if (metadata.extent.any) {
    MbtilesExtent extent = metadata.extent;
    MbtilesExtent before;
    if (ParseMbtilesBounds(heldValue("bounds"), &before)) {
      extent.west = std::min(extent.west, before.west);
      extent.south = std::min(extent.south, before.south);
      extent.east = std::max(extent.east, before.east);
      extent.north = std::max(extent.north, before.north);
    }
    int zoom = 0;
    const std::string minZoom = heldValue("minzoom");
    const std::string maxZoom = heldValue("maxzoom");
    if (!minZoom.empty() && std::from_chars(minZoom.data(), minZoom.data() + minZoom.size(), zoom).ec == std::errc()) {
      extent.minZoom = std::min(extent.minZoom, zoom);
    }
    if (!maxZoom.empty() && std::from_chars(maxZoom.data(), maxZoom.data() + maxZoom.size(), zoom).ec == std::errc()) {
      extent.maxZoom = std::max(extent.maxZoom, zoom);
    }
    rows.emplace_back("bounds", FormatMbtilesBounds(extent));
    rows.emplace_back("minzoom", std::to_string(extent.minZoom));
    rows.emplace_back("maxzoom", std::to_string(extent.maxZoom));
  }

  SQLite::Statement remove = database_.prepare(kMbtilesDeleteMetadataSql);  // throws SQLite::Error
  SQLite::Statement insert = database_.prepare(kMbtilesInsertMetadataSql);
  for (const auto& [name, value] : rows) {
    if (heldValue(name.c_str()) == value && held.count(name) != 0) continue;
    sqlite3_bind_text(remove.handle, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    int rc = sqlite3_step(remove.handle);
    sqlite3_reset(remove.handle);
    if (rc == SQLITE_DONE) {
      sqlite3_bind_text(insert.handle, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
      sqlite3_bind_text(insert.handle, 2, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
      rc = sqlite3_step(insert.handle);
      sqlite3_reset(insert.handle);
    }
    if (rc != SQLITE_DONE) {
      error_.Note(database_, rc);
      return false;
    }
  }
  return true;
}

namespace {

void AppendNumber(double value, std::string* text) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  text->append(buffer, result.ptr);
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string FormatMbtilesBounds(const MbtilesExtent& extent) {
  std::string text;
  AppendNumber(extent.west, &text);
  text += ',';
  AppendNumber(extent.south, &text);
  text += ',';
  AppendNumber(extent.east, &text);
  text += ',';
  AppendNumber(extent.north, &text);
  return text;
}

bool ParseMbtilesBounds(const std::string& text, MbtilesExtent* extent) {
  double values[4];
  std::size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t comma = i < 3 ? text.find(',', at) : text.size();
    if (comma == std::string::npos) return false;
    const std::string item = Trimmed(text.substr(at, comma - at));
    if (item.empty()) return false;
    const auto result = std::from_chars(item.data(), item.data() + item.size(), values[i]);
    if (result.ec != std::errc() || result.ptr != item.data() + item.size()) return false;
    at = comma + 1;
  }
  extent->west = values[0];
  extent->south = values[1];
  extent->east = values[2];
  extent->north = values[3];
  return true;
}

}  // namespace store
