// PreviewGrid: the flat plane a map preview draws one grid of tiles on, and
// the way between that plane, the tiles and degrees.
//
//   Web Mercator  the plane is the world square: x = u from 0 at 180° W to 1
//                 at 180° E, y = v from 0 at the grid's north edge to 1 at
//                 its south edge. A tile (column, row) of zoom n covers
//                 [column / 2^n, (column + 1) / 2^n] across and the same for
//                 rows down.
//   GeoKuk        the plane is GeoKuk's map units with north up: x = the
//                 units' x, y = minus the units' y (y grows southward on
//                 the plane as it does on screen). A tile (x, y) is the
//                 square whose south-west corner is (x, y), side 2^(28 -
//                 zoom) units.
//
// Degrees go through store/tile_geometry.h (Web Mercator, UTM 33N); nothing
// here has geometry of its own beyond the placing of squares.
//
// Thread-safety: pure functions.
//
// Invariants:
//  1. A PlaneRect has left <= right and top <= bottom.
//  2. VisibleTiles() never names a tile off its grid: Web Mercator columns
//     and rows within 0 .. 2^zoom - 1, GeoKuk corners within 0 .. INT32_MAX
//     and multiples of the side.
#pragma once

#include <vector>

#include "store/tile_geometry.h"

namespace convert {

// Pixels a tile image has on screen at its own zoom level.
inline constexpr int kPreviewTilePixels = 256;

// A point of the preview plane.
struct ViewPoint {
  double x = 0;  // plane units, east
  double y = 0;  // plane units, south
};

// A rectangle of the preview plane; bounds inclusive.
struct PlaneRect {
  double left = 0;    // plane units
  double top = 0;     // plane units, <= bottom
  double right = 0;   // plane units, >= left
  double bottom = 0;  // plane units
  double Width() const { return right - left; }
  double Height() const { return bottom - top; }
  bool Empty() const { return !(right > left && bottom > top); }
};

// The smallest rectangle that holds both (an empty one holds nothing).
PlaneRect United(const PlaneRect& a, const PlaneRect& b);

// The side of a tile of `zoom` in plane units: 2^-zoom (Web Mercator) or
// 2^(28 - zoom) (GeoKuk).
double TileSidePlane(store::TileGrid grid, int zoom);

// The rectangle the tile (x, y) of `zoom` covers on the plane. x and y are
// the tile's key values: column and row (Web Mercator) or the south-west
// corner in units (GeoKuk).
PlaneRect TilePlaneRect(store::TileGrid grid, int zoom, long long x, long long y);

// The rectangle that holds the tiles of `range` (key values as above).
PlaneRect TileRangePlaneRect(store::TileGrid grid, int zoom, const store::TileRange& range);

// The tiles of `zoom` whose squares meet the inside of `rect`, as key values:
// columns and rows (Web Mercator), or corners in units, every side units
// (GeoKuk). False when none can (off the grid, or an empty rectangle).
bool VisibleTiles(store::TileGrid grid, int zoom, const PlaneRect& rect, store::TileRange* range);

// The tile of `zoom` whose square holds the plane point, as its key values.
void TileAt(store::TileGrid grid, int zoom, const ViewPoint& point, long long* x, long long* y);

// Degrees to the plane and back. Latitudes beyond the Web Mercator grid
// land outside 0 .. 1.
ViewPoint GeoToPlane(store::TileGrid grid, const store::GeoPoint& point);
store::GeoPoint PlaneToGeo(store::TileGrid grid, const ViewPoint& point);

// The area in degrees that a rectangle drawn on the plane stands for: its
// corners (Web Mercator, where the rectangle is one in degrees too), or the
// smallest area that holds the square of the UTM 33N plane (GeoKuk), so that
// every tile the rectangle touches is taken. Latitudes and longitudes are
// kept within ±90 and ±180.
store::GeoArea PlaneRectArea(store::TileGrid grid, const PlaneRect& rect);

// The outline of an area on the plane, for drawing, as a closed polygon (the
// last point joins the first): four corners (Web Mercator, latitudes cut at
// the grid's edge), or the projected and densified outline (GeoKuk). Empty
// when the area has no place on the plane.
std::vector<ViewPoint> AreaOutline(store::TileGrid grid, const store::GeoArea& area);

}  // namespace convert
