// Tile geometry: where the tiles of the two grids a map file holds lie on the
// Earth, and whether a tile overlaps an area given in degrees. The one home
// of Web Mercator, GeoKuk's grid and UTM zone 33N for the store, the
// conversion and the window.
//
//   Web Mercator  column x and row y at zoom n: 2^n by 2^n square tiles
//                 over the world between the latitudes ±85.05112878, row 0
//                 at the north edge, column 0 at 180° W (OSM Tracker Storage
//                 trees; map rows whose `s` is an integer).
//   GeoKuk        x and y are the tile's south-west corner in GeoKuk's map
//                 units, 1/32 m of UTM zone 33 north on WGS84:
//                 easting = x / 32 - 3,700,000 m, northing = y / 32 +
//                 1,300,000 m; the tile is a square of 2^(28 - zoom) units,
//                 north up (zoom 16: 4,096 units = 128 m; GeoKuk caches; map
//                 rows whose `s` is a text).
//
// Overlap is inclusive: a tile that only touches the area's edge overlaps
// it, and edges within kTouchTolerance of each other count as touching (so
// an area read off a tile's corner in degrees still takes that tile). For
// Web Mercator the area is a rectangle in the tiles' own plane and the
// edges are compared there. A GeoKuk square is no rectangle in degrees, so
// the overlap is decided in the square's plane: the area's outline is
// projected into UTM 33N (GeographicLib's exact transverse Mercator),
// densified until every chord lies within kOutlineTolerance of the true
// edge (and with at least kMinOutlinePoints points an edge), and the square
// is intersected with that polygon.
//
// Thread-safety: free functions are pure; an AreaOverlap may be used by
// several threads at once (its outline is built under std::call_once).
//
// Invariants:
//  1. A Web Mercator tile off the grid (zoom < 0, x or y outside 0 .. 2^zoom
//     - 1) overlaps no area.
//  2. The outline of an AreaOverlap is a closed polygon: its last point
//     joins its first.
#pragma once

#include <memory>
#include <vector>

namespace store {

// An area in WGS84 decimal degrees; bounds are inclusive.
struct GeoArea {
  double south = 0;  // degrees north, -90 .. 90
  double west = 0;   // degrees east, -180 .. 180
  double north = 0;  // degrees north, >= south
  double east = 0;   // degrees east, >= west
};

// A point in degrees.
struct GeoPoint {
  double latitude = 0;   // degrees north
  double longitude = 0;  // degrees east
};

// A point of UTM zone 33 north, in metres.
struct PlanePoint {
  double easting = 0;   // metres, false easting 500,000 included
  double northing = 0;  // metres from the equator
};

// A rectangle of the UTM 33N plane, in metres; bounds are inclusive.
struct PlaneBox {
  double minEasting = 0;
  double minNorthing = 0;
  double maxEasting = 0;
  double maxNorthing = 0;
};

// A block of tile positions, bounds inclusive.
struct TileRange {
  long long x0 = 0;  // first column (or corner x in GeoKuk units)
  long long y0 = 0;  // first row (or corner y)
  long long x1 = 0;  // last column, >= x0
  long long y1 = 0;  // last row, >= y0
};

// The two grids of tiles.
enum class TileGrid {
  WebMercator,  // OSM Tracker Storage; map rows with an integer `s`
  GeoKuk,       // GeoKuk caches; map rows with a text `s`
};

// The latitude where the Web Mercator grid ends, north and south.
inline constexpr double kWebMercatorMaxLatitude = 85.05112877980659;

// How far a chord of the projected outline may stray from the true edge
// (metres; below GeoKuk's unit of 31 mm), and the fewest points an edge of
// the outline gets.
inline constexpr double kOutlineTolerance = 0.01;
inline constexpr int kMinOutlinePoints = 16;

// Edges within this distance count as touching: on the UTM 33N plane
// (metres, more than the outline's own tolerance), and for Web Mercator in
// degrees (about a millimetre).
inline constexpr double kTouchTolerance = 0.02;
inline constexpr double kTouchToleranceDegrees = 1e-8;

// GeoKuk's map units: 1/32 m, offset from UTM 33N.
inline constexpr double kGeoKukUnitsPerMetre = 32;
inline constexpr double kGeoKukEastingOffset = 3700000;   // easting = x / 32 - this
inline constexpr double kGeoKukNorthingOffset = 1300000;  // northing = y / 32 + this
// The zoom at which a GeoKuk tile is one unit wide: side = 2^(28 - zoom).
inline constexpr int kGeoKukUnitZoom = 28;

// --- Web Mercator ---------------------------------------------------------

// World coordinates: u from 0 at 180° W to 1 at 180° E, v from 0 at the
// north edge of the grid to 1 at its south edge. Latitudes beyond the grid
// give v outside 0 .. 1.
double WebMercatorU(double longitude);
double WebMercatorV(double latitude);
double WebMercatorLongitude(double u);
double WebMercatorLatitude(double v);

// The area a Web Mercator tile covers, or the block of tiles from (x0, y0)
// to (x1, y1) inclusive, at `zoom`. REQUIRES: 0 <= zoom <= 1000.
GeoArea WebMercatorTileArea(int zoom, long long x, long long y);
GeoArea WebMercatorBlockArea(int zoom, long long x0, long long y0, long long x1, long long y1);

// True when the tile is on the grid: 0 <= zoom and 0 <= x, y < 2^zoom.
bool WebMercatorTileExists(int zoom, long long x, long long y);

// --- GeoKuk and UTM 33N -----------------------------------------------------

// UTM zone 33 north on WGS84, both ways.
PlanePoint GeoToUtm33(const GeoPoint& point);
GeoPoint Utm33ToGeo(const PlanePoint& point);

// A GeoKuk position (units) on the UTM 33N plane (metres), and back.
PlanePoint GeoKukUnitsToUtm33(double x, double y);
void Utm33ToGeoKukUnits(const PlanePoint& point, double* x, double* y);

// The side of a GeoKuk tile of `zoom`, in units: 2^(28 - zoom).
double GeoKukSideUnits(int zoom);

// The square of a GeoKuk tile on the UTM 33N plane (metres).
PlaneBox GeoKukTileSquare(int zoom, long long x, long long y);

// The smallest area in degrees that holds the rectangle `box` of the UTM 33N
// plane (its outline reverse-projected and densified as for an overlap).
GeoArea Utm33BoxArea(const PlaneBox& box);

// --- Overlap ----------------------------------------------------------------

// An area prepared for many overlap questions. The outline is projected
// into UTM 33N once, on the first GeoKuk question (Web Mercator questions
// never need it); copies share it.
class AreaOverlap {
 public:
  explicit AreaOverlap(const GeoArea& area);

  const GeoArea& area() const { return area_; }

  // True when the Web Mercator tile overlaps the area (inclusive).
  bool WebMercatorTile(int zoom, long long x, long long y) const;
  // True when the GeoKuk tile's square overlaps the area (inclusive).
  bool GeoKukTile(int zoom, long long x, long long y) const;
  // True when the rectangle of the UTM 33N plane overlaps the area.
  bool Utm33Box(const PlaneBox& box) const;

  // Bounds that hold every tile of `zoom` that overlaps the area, for a
  // look-up by key ranges: columns and rows (Web Mercator), or the corners'
  // x and y in units (GeoKuk). False when no tile of that zoom can overlap.
  bool WebMercatorCandidates(int zoom, TileRange* range) const;
  bool GeoKukCandidates(int zoom, TileRange* range) const;

  // The projected outline (UTM 33N, metres), for tests and drawing; empty
  // when no part of the area lies within 80° of the zone's meridian.
  const std::vector<PlanePoint>& Outline() const { return Plane().outline; }

 private:
  struct Edge {
    PlanePoint from;  // one end
    PlanePoint to;    // the other end
  };
  // The area on the UTM 33N plane.
  struct PlaneOutline {
    bool empty = true;                      // no part of the area lies where the projection is used
    std::vector<PlanePoint> outline;        // the projected, densified outline
    PlaneBox box;                           // its bounding rectangle
    double bandHeight = 1;                  // northing span of one band, metres
    std::vector<std::vector<Edge>> bands;   // edges by the bands of northing they cross
    int BandOf(double northing) const;      // clamped to 0 .. bands - 1
    bool AnyEdgeTouches(const PlaneBox& b) const;  // an edge meets the closed rectangle
    bool Inside(const PlanePoint& point) const;    // even-odd rule over the outline
  };
  struct LazyPlane;  // the outline, made once (tile_geometry.cpp)
  const PlaneOutline& Plane() const;

  GeoArea area_;                          // as given
  double uWest_ = 0, uEast_ = 0;          // Web Mercator: the area widened by the tolerance, world units
  double vNorth_ = 0, vSouth_ = 0;        // ... (vNorth_ <= vSouth_)
  std::shared_ptr<LazyPlane> plane_;      // shared by copies; built on first use
};

}  // namespace store
