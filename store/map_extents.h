// MapExtents: where the tiles of a map file lie, per zoom level and grid:
// the range of their columns and rows and the area in degrees that holds
// them, so that a user can read off an area to give to a selection. A row's
// grid is told by its `s` (store/tile_key.h): a source name is a GeoKuk
// source (x and y in GeoKuk's units), the integer 0 a Web Mercator tile
// (column and row).
//
// The area is rounded outward at five decimals (south and west down, north
// and east up), so that the printed area, given back as a selection, still
// overlaps every tile of the level. A level whose tiles have no place on
// their grid (off the Web Mercator grid, a zoom no file name can carry, a
// GeoKuk square far outside UTM zone 33's reach) has no area; rows whose x,
// y or z is no integer, or whose `s` is NULL or a blob, are
// only counted.
//
// Thread-safety: uses the given Database, which belongs to one thread.
#pragma once

#include <vector>

#include "store/sqlite_database.h"
#include "store/tile_geometry.h"

namespace store {

struct MapExtent {
  long long z = 0;           // the `z` column's value (any integer in a foreign file)
  TileGrid grid = TileGrid::WebMercator;  // GeoKuk for a source name in `s` (tile_key.h)
  long long tiles = 0;       // rows of this z and grid
  long long x0 = 0, x1 = 0;  // smallest and largest x (column, or GeoKuk corner in units)
  long long y0 = 0, y1 = 0;  // smallest and largest y
  bool hasArea = false;      // the tiles have a place on their grid
  GeoArea area;              // when hasArea: rounded outward at five decimals
};

struct MapExtents {
  std::vector<MapExtent> levels;  // by z, largest first (the lowest zoom first); GeoKuk before Web Mercator
  long long unplaced = 0;         // rows whose x, y or z is no integer, or whose s is neither text nor integer
};

// The zoom level of a `z` value, or -1 when no file name can carry it (a
// level outside 0 .. 99).
long long ZoomOfZ(long long z);

// Reads the extents of the open map file on `db`; only the key columns are
// read (the table's key index serves them). Throws SQLite::Error when a
// statement cannot be prepared or run.
MapExtents ReadMapExtents(SQLite::Database& db);

// `value` rounded down (up) to five decimals.
double FloorTo5(double value);
double CeilTo5(double value);

}  // namespace store
