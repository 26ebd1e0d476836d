// MBTiles: the one SQLite file of map tiles that GIS programs and tile
// downloaders write, and its relation to the map file's key. This header is
// the single home of the format's statements; mbtiles_reader.h reads such a
// file, mbtiles_writer.h writes one.
//
//   metadata(name text, value text)        one row a key: name, format,
//                                          bounds, minzoom, maxzoom, ...
//   tiles(zoom_level integer, tile_column integer, tile_row integer,
//         tile_data blob)                  a table, or a view over tables
//                                          of the writer's own
//
// Tiles are Web Mercator tiles whose rows are numbered from the south: a
// tile of the map file (x, y, z, s = 0) is the MBTiles row
//   zoom_level = 17 - z, tile_column = x, tile_row = 2^zoom - 1 - y,
// and tile_data holds the image bytes unchanged.
//
// Thread-safety: constants and pure functions.
//
// Invariants:
//  1. MbtilesRowToKey and KeyToMbtilesRow are inverse on every tile of the
//     Web Mercator grid whose zoom level is 0 .. kMbtilesMaxZoom.
#pragma once

#include <cstdint>

#include "store/tile_key.h"

namespace store {

// The schema of a new MBTiles file, in this order, in one transaction.
inline constexpr char16_t kMbtilesApplicationIdSql[] = u"PRAGMA application_id = 1297105496";  // 0x4d504258, "MPBX"
inline constexpr char16_t kMbtilesCreateMetadataSql[] = u"CREATE TABLE metadata (name text, value text)";
inline constexpr char16_t kMbtilesMetadataIndexSql[] = u"CREATE UNIQUE INDEX name ON metadata (name)";
inline constexpr char16_t kMbtilesCreateTilesSql[] =
    u"CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob)";
inline constexpr char16_t kMbtilesTileIndexSql[] =
    u"CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row)";
// The same index under a name of its own, for a file whose `tiles` table
// has none: appending needs it to refuse a second row of one key.
inline constexpr char16_t kMbtilesAddTileIndexSql[] =
    u"CREATE UNIQUE INDEX IF NOT EXISTS cvmap_tile_index ON tiles (zoom_level, tile_column, tile_row)";

// Reading: the schema test, the count for the progress, and the rows in key
// order.
inline constexpr char16_t kMbtilesProbeTilesSql[] =
    u"SELECT zoom_level, tile_column, tile_row, tile_data FROM tiles LIMIT 0";
inline constexpr char16_t kMbtilesProbeMetadataSql[] = u"SELECT name, value FROM metadata LIMIT 0";
inline constexpr char16_t kMbtilesCountSql[] = u"SELECT count(*) FROM tiles";
inline constexpr char16_t kMbtilesSelectTilesSql[] =
    u"SELECT zoom_level, tile_column, tile_row, tile_data FROM tiles ORDER BY zoom_level, tile_column, tile_row";

// The window's preview: the keys alone (read from the key index where the
// file has one), the first rows at a limit, seeks by the key index, and one
// tile's image.
inline constexpr char16_t kMbtilesEveryKeySql[] = u"SELECT zoom_level, tile_column, tile_row FROM tiles";
inline constexpr char16_t kMbtilesRowsUpToSql[] = u"SELECT count(*) FROM (SELECT 1 FROM tiles LIMIT ?)";
inline constexpr char16_t kMbtilesNextZoomSql[] =
    u"SELECT zoom_level FROM tiles WHERE zoom_level >= ? AND zoom_level <= ? ORDER BY zoom_level LIMIT 1";
inline constexpr char16_t kMbtilesFirstColumnSql[] =
    u"SELECT tile_column FROM tiles WHERE zoom_level = ? AND tile_column >= ? AND tile_column < ? "
    u"ORDER BY tile_column LIMIT 1";
inline constexpr char16_t kMbtilesLastColumnSql[] =
    u"SELECT tile_column FROM tiles WHERE zoom_level = ? AND tile_column >= ? AND tile_column < ? "
    u"ORDER BY tile_column DESC LIMIT 1";
inline constexpr char16_t kMbtilesColumnRowsSql[] =
    u"SELECT min(tile_row), max(tile_row), count(*) FROM tiles WHERE zoom_level = ? AND tile_column = ? "
    u"AND tile_row >= 0 AND tile_row < ? AND tile_data IS NOT NULL";
inline constexpr char16_t kMbtilesTileDataSql[] =
    u"SELECT tile_data FROM tiles WHERE zoom_level = ? AND tile_column = ? AND tile_row = ? AND tile_data IS NOT NULL "
    u"LIMIT 1";

// Writing.
inline constexpr char16_t kMbtilesInsertTileSql[] =
    u"INSERT INTO tiles (zoom_level, tile_column, tile_row, tile_data) VALUES (?, ?, ?, ?)";
inline constexpr char16_t kMbtilesSelectMetadataSql[] = u"SELECT name, value FROM metadata";
inline constexpr char16_t kMbtilesDeleteMetadataSql[] = u"DELETE FROM metadata WHERE name = ?";
inline constexpr char16_t kMbtilesInsertMetadataSql[] = u"INSERT INTO metadata (name, value) VALUES (?, ?)";

// The highest zoom level whose rows fit the map file's int columns: its
// columns and rows run up to 2^31 - 1.
inline constexpr int kMbtilesMaxZoom = 31;

// One row of `tiles` as SQLite gives its three key columns.
struct MbtilesKey {
  bool zoomInteger = true;   // zoom_level is an integer (a NULL, text or real is no zoom)
  bool placeInteger = true;  // tile_column and tile_row are both integers
  long long zoom = 0;    // zoom_level
  long long column = 0;  // tile_column
  long long row = 0;     // tile_row, numbered from the south
};

// What a row of `tiles` becomes in the map file.
enum class MbtilesRowFate {
  Tile,            // a tile: *key is set
  ZoomDoesNotFit,  // zoom_level is no integer, or outside 0 .. kMbtilesMaxZoom
  OutsideRange,    // tile_column or tile_row is no integer, or outside 0 .. 2^zoom - 1
};

// The map file's key of the row `row` (s = 0), or why the row has none.
// REQUIRES: key != nullptr.
MbtilesRowFate MbtilesRowToKey(const MbtilesKey& row, TileKey* key);

// The MBTiles row of a Web Mercator tile at zoom 17 - key.z. Returns false
// when the key is no tile of the grid, or its zoom level lies outside
// 0 .. kMbtilesMaxZoom. REQUIRES: row != nullptr.
bool KeyToMbtilesRow(const TileKey& key, MbtilesKey* row);

}  // namespace store
