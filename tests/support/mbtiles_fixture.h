// MBTiles files for tests, written with SQLite directly (not through the
// code under test): the tiles-table schema, or the view schema in which
// `tiles` joins a map of keys to a table of images, as writers make both.
#pragma once

#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace test_support {

struct MbtilesRow {
  long long zoom;
  long long column;
  long long row;        // numbered from the south
  std::string data;     // tile_data
  bool null = false;    // tile_data is NULL
};

enum class MbtilesSchema { Table, View };

inline void ExecOrThrow(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string text = error != nullptr ? error : "?";
    sqlite3_free(error);
    throw std::runtime_error(sql + ": " + text);
  }
}

// Writes an MBTiles file at `path` with `rows`; `wal` leaves it in WAL mode.
inline void WriteMbtiles(const std::string& path, const std::vector<MbtilesRow>& rows,
                         MbtilesSchema schema = MbtilesSchema::Table, bool wal = false) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot open " + path);
  ExecOrThrow(db, "CREATE TABLE metadata (name text, value text); INSERT INTO metadata VALUES ('name', 'test'), "
                  "('format', 'png')");
  const bool view = schema == MbtilesSchema::View;
  if (view) {
    ExecOrThrow(db,
                "CREATE TABLE map (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, tile_id TEXT);"
                "CREATE UNIQUE INDEX map_index ON map (zoom_level, tile_column, tile_row);"
                "CREATE TABLE images (tile_data blob, tile_id text);"
                "CREATE UNIQUE INDEX images_id ON images (tile_id);"
                "CREATE VIEW tiles AS SELECT map.zoom_level AS zoom_level, map.tile_column AS tile_column, "
                "map.tile_row AS tile_row, images.tile_data AS tile_data FROM map JOIN images ON "
                "images.tile_id = map.tile_id");
  } else {
    ExecOrThrow(db,
                "CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob);"
                "CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row)");
  }
  sqlite3_stmt* insertMap = nullptr;
  sqlite3_stmt* insertImage = nullptr;
  if (view) {
    sqlite3_prepare_v2(db, "INSERT INTO map VALUES (?, ?, ?, ?)", -1, &insertMap, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO images VALUES (?, ?)", -1, &insertImage, nullptr);
  } else {
    sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?, ?, ?, ?)", -1, &insertMap, nullptr);
  }
  ExecOrThrow(db, "BEGIN");
  int id = 0;
  for (const MbtilesRow& r : rows) {
    std::string tileId = "t";
    tileId += std::to_string(id++);
    sqlite3_bind_int64(insertMap, 1, r.zoom);
    sqlite3_bind_int64(insertMap, 2, r.column);
    sqlite3_bind_int64(insertMap, 3, r.row);
    if (view) {
      sqlite3_bind_text(insertMap, 4, tileId.c_str(), -1, SQLITE_TRANSIENT);
      if (r.null) {
        sqlite3_bind_null(insertImage, 1);
      } else {
        sqlite3_bind_blob(insertImage, 1, r.data.data(), static_cast<int>(r.data.size()), SQLITE_TRANSIENT);
      }
      sqlite3_bind_text(insertImage, 2, tileId.c_str(), -1, SQLITE_TRANSIENT);
      if (sqlite3_step(insertImage) != SQLITE_DONE) throw std::runtime_error("insert image failed");
      sqlite3_reset(insertImage);
    } else if (r.null) {
      sqlite3_bind_null(insertMap, 4);
    } else {
      sqlite3_bind_blob(insertMap, 4, r.data.data(), static_cast<int>(r.data.size()), SQLITE_TRANSIENT);
    }
    if (sqlite3_step(insertMap) != SQLITE_DONE) throw std::runtime_error("insert failed");
    sqlite3_reset(insertMap);
  }
  ExecOrThrow(db, "COMMIT");
  sqlite3_finalize(insertMap);
  sqlite3_finalize(insertImage);
  if (wal) ExecOrThrow(db, "PRAGMA journal_mode=WAL");
  sqlite3_close(db);
}

// Every row of `tiles` of the MBTiles file at `path` in key order; the
// metadata value of `name` through MetadataValue().
inline std::vector<MbtilesRow> ReadMbtiles(const std::string& path) {
  std::vector<MbtilesRow> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT zoom_level, tile_column, tile_row, tile_data FROM tiles ORDER BY 1, 2, 3", -1,
                           &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        MbtilesRow row{sqlite3_column_int64(st, 0), sqlite3_column_int64(st, 1), sqlite3_column_int64(st, 2), "",
                       sqlite3_column_type(st, 3) == SQLITE_NULL};
        const void* blob = sqlite3_column_blob(st, 3);
        row.data.assign(static_cast<const char*>(blob ? blob : ""), sqlite3_column_bytes(st, 3));
        rows.push_back(row);
      }
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return rows;
}

inline std::string MetadataValue(const std::string& path, const std::string& name) {
  std::string value = "<none>";
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT value FROM metadata WHERE name = ?", -1, &st, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
      if (sqlite3_step(st) == SQLITE_ROW) value = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return value;
}

}  // namespace test_support
