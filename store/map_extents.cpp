#include "store/map_extents.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>

#include "platform/utf.h"
#include "store/tile_key.h"

namespace store {

namespace {

constexpr char16_t kPlacedRows[] =
    u"typeof(x) = 'integer' AND typeof(y) = 'integer' AND typeof(z) = 'integer' AND typeof(s) IN ('text', 'integer', 'real')";

// The largest zoom level a file name can carry (one or two digits).
constexpr long long kMaxZoom = 99;
// Web Mercator blocks are computed up to this zoom (columns fit a long long).
constexpr long long kMaxWebMercatorZoom = 60;
// GeoKuk squares are given an area only this near UTM zone 33's meridian
// (metres of easting from it) and between the equator and the pole.
constexpr double kMaxEastingFromMeridian = 3500000;
constexpr double kMaxNorthing = 9400000;

[[noreturn]] void ThrowLast(SQLite::Database& db) {
  throw SQLite::Error{sqlite3_errcode(db.handle), platform::Utf8ToUtf16(sqlite3_errmsg(db.handle)), &db};
}

bool Finite(const GeoArea& a) {
  return std::isfinite(a.south) && std::isfinite(a.west) && std::isfinite(a.north) && std::isfinite(a.east);
}

GeoArea Outward(const GeoArea& a) {
  return {std::max(FloorTo5(a.south), -90.0), std::max(FloorTo5(a.west), -180.0), std::min(CeilTo5(a.north), 90.0),
          std::min(CeilTo5(a.east), 180.0)};
}

// The area of one extent, when its tiles have a place on their grid.
bool AreaOf(const MapExtent& e, GeoArea* area) {
  const long long zoom = ZoomOfZ(e.z);
  if (zoom < 0) return false;  // no zoom a file name can carry
  if (e.grid == TileGrid::WebMercator) {
    if (zoom > kMaxWebMercatorZoom || !WebMercatorTileExists(static_cast<int>(zoom), e.x0, e.y0) ||
        !WebMercatorTileExists(static_cast<int>(zoom), e.x1, e.y1)) {
      return false;
    }
    *area = WebMercatorBlockArea(static_cast<int>(zoom), e.x0, e.y0, e.x1, e.y1);
  } else {
    const PlaneBox first = GeoKukTileSquare(static_cast<int>(zoom), e.x0, e.y0);
    const PlaneBox last = GeoKukTileSquare(static_cast<int>(zoom), e.x1, e.y1);
    const PlaneBox box{first.minEasting, first.minNorthing, last.maxEasting, last.maxNorthing};
    constexpr double kMeridianEasting = 500000;
    if (std::abs(box.minEasting - kMeridianEasting) > kMaxEastingFromMeridian ||
        std::abs(box.maxEasting - kMeridianEasting) > kMaxEastingFromMeridian || box.minNorthing < 0 ||
        box.maxNorthing > kMaxNorthing) {
      return false;
    }
    *area = Utm33BoxArea(box);
  }
  if (!Finite(*area)) return false;
  *area = Outward(*area);
  return true;
}

}  // namespace

long long ZoomOfZ(long long z) { return z < 17 - kMaxZoom || z > 17 ? -1 : 17 - z; }

double FloorTo5(double value) { return std::floor(value * 1e5) / 1e5; }
double CeilTo5(double value) { return std::ceil(value * 1e5) / 1e5; }

MapExtents ReadMapExtents(SQLite::Database& db) {
  MapExtents extents;
  SQLite::Statement levels = db.prepare(
      std::u16string(u"SELECT z, ") + kSqlSourceIsGeoKuk +
      u" AS geokuk, count(*), min(x), max(x), min(y), max(y) FROM tiles WHERE " +
      kPlacedRows + u" GROUP BY z, geokuk ORDER BY z DESC, geokuk DESC");
  int rc = SQLITE_OK;
  while ((rc = sqlite3_step(levels.handle)) == SQLITE_ROW) {
    sqlite3_stmt* st = levels.handle;
    MapExtent e;
    e.z = sqlite3_column_int64(st, 0);
    e.grid = sqlite3_column_int(st, 1) != 0 ? TileGrid::GeoKuk : TileGrid::WebMercator;
    e.tiles = sqlite3_column_int64(st, 2);
    e.x0 = sqlite3_column_int64(st, 3);
    e.x1 = sqlite3_column_int64(st, 4);
    e.y0 = sqlite3_column_int64(st, 5);
    e.y1 = sqlite3_column_int64(st, 6);
    e.hasArea = AreaOf(e, &e.area);
    extents.levels.push_back(e);
  }
  if (rc != SQLITE_DONE) ThrowLast(db);
  SQLite::Statement unplaced = db.prepare(std::u16string(u"SELECT count(*) FROM tiles WHERE NOT (") + kPlacedRows + u")");
  if (sqlite3_step(unplaced.handle) != SQLITE_ROW) ThrowLast(db);
  extents.unplaced = sqlite3_column_int64(unplaced.handle, 0);
  return extents;
}

}  // namespace store
