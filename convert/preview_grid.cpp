#include "convert/preview_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace convert {

namespace {

// Web Mercator levels whose columns still fit a key's int.
constexpr int kMaxWebMercatorZoom = 31;
// The largest GeoKuk corner a key holds.
constexpr double kMaxGeoKukCorner = INT32_MAX;

double Clamp(double value, double lo, double hi) { return std::min(std::max(value, lo), hi); }

}  // namespace

PlaneRect United(const PlaneRect& a, const PlaneRect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

double TileSidePlane(store::TileGrid grid, int zoom) {
  if (grid == store::TileGrid::WebMercator) return std::ldexp(1.0, -zoom);
  return store::GeoKukSideUnits(zoom);
}

PlaneRect TilePlaneRect(store::TileGrid grid, int zoom, long long x, long long y) {
  const double side = TileSidePlane(grid, zoom);
  if (grid == store::TileGrid::WebMercator) {
    const double left = static_cast<double>(x) * side;
    const double top = static_cast<double>(y) * side;
    return {left, top, left + side, top + side};
  }
  const double left = static_cast<double>(x);
  const double bottom = -static_cast<double>(y);
  return {left, bottom - side, left + side, bottom};
}

PlaneRect TileRangePlaneRect(store::TileGrid grid, int zoom, const store::TileRange& range) {
  return United(TilePlaneRect(grid, zoom, range.x0, range.y0), TilePlaneRect(grid, zoom, range.x1, range.y1));
}

bool VisibleTiles(store::TileGrid grid, int zoom, const PlaneRect& rect, store::TileRange* range) {
  if (rect.Empty() || zoom < 0) return false;
  const double side = TileSidePlane(grid, zoom);
  if (grid == store::TileGrid::WebMercator) {
    if (zoom > kMaxWebMercatorZoom) return false;
    const double last = std::ldexp(1.0, zoom) - 1;
    // A tile meets the inside when its square overlaps it by more than an
    // edge: the last column is the one that holds `right` unless `right`
    // lies on its west edge.
    const double x0 = std::floor(rect.left / side);
    const double x1 = std::ceil(rect.right / side) - 1;
    const double y0 = std::floor(rect.top / side);
    const double y1 = std::ceil(rect.bottom / side) - 1;
    if (x1 < 0 || y1 < 0 || x0 > last || y0 > last) return false;
    range->x0 = static_cast<long long>(Clamp(x0, 0, last));
    range->x1 = static_cast<long long>(Clamp(x1, 0, last));
    range->y0 = static_cast<long long>(Clamp(y0, 0, last));
    range->y1 = static_cast<long long>(Clamp(y1, 0, last));
    return range->x0 <= range->x1 && range->y0 <= range->y1;
  }
  if (zoom > store::kGeoKukUnitZoom) return false;
  // Corners k * side; a square [k side, (k + 1) side] across and, on the
  // plane, [-(k + 1) side, -k side] down (the units' y is minus the plane's).
  const double lastCorner = std::floor(kMaxGeoKukCorner / side);
  const double kx0 = std::floor(rect.left / side);
  const double kx1 = std::ceil(rect.right / side) - 1;
  const double ky0 = std::floor(-rect.bottom / side);
  const double ky1 = std::ceil(-rect.top / side) - 1;
  if (kx1 < 0 || ky1 < 0 || kx0 > lastCorner || ky0 > lastCorner) return false;
  range->x0 = static_cast<long long>(Clamp(kx0, 0, lastCorner) * side);
  range->x1 = static_cast<long long>(Clamp(kx1, 0, lastCorner) * side);
  range->y0 = static_cast<long long>(Clamp(ky0, 0, lastCorner) * side);
  range->y1 = static_cast<long long>(Clamp(ky1, 0, lastCorner) * side);
  return range->x0 <= range->x1 && range->y0 <= range->y1;
}

void TileAt(store::TileGrid grid, int zoom, const ViewPoint& point, long long* x, long long* y) {
  const double side = TileSidePlane(grid, zoom);
  if (grid == store::TileGrid::WebMercator) {
    *x = static_cast<long long>(std::floor(point.x / side));
    *y = static_cast<long long>(std::floor(point.y / side));
    return;
  }
  *x = static_cast<long long>(std::floor(point.x / side) * side);
  *y = static_cast<long long>(std::floor(-point.y / side) * side);
}

ViewPoint GeoToPlane(store::TileGrid grid, const store::GeoPoint& point) {
  if (grid == store::TileGrid::WebMercator) {
    return {store::WebMercatorU(point.longitude), store::WebMercatorV(point.latitude)};
  }
  double x = 0;
  double y = 0;
  store::Utm33ToGeoKukUnits(store::GeoToUtm33(point), &x, &y);
  return {x, -y};
}

store::GeoPoint PlaneToGeo(store::TileGrid grid, const ViewPoint& point) {
  if (grid == store::TileGrid::WebMercator) {
    return {store::WebMercatorLatitude(point.y), store::WebMercatorLongitude(point.x)};
  }
  return store::Utm33ToGeo(store::GeoKukUnitsToUtm33(point.x, -point.y));
}

store::GeoArea PlaneRectArea(store::TileGrid grid, const PlaneRect& rect) {
  store::GeoArea area;
  if (grid == store::TileGrid::WebMercator) {
    area.west = store::WebMercatorLongitude(Clamp(rect.left, 0, 1));
    area.east = store::WebMercatorLongitude(Clamp(rect.right, 0, 1));
    area.north = store::WebMercatorLatitude(Clamp(rect.top, 0, 1));
    area.south = store::WebMercatorLatitude(Clamp(rect.bottom, 0, 1));
  } else {
    const store::PlanePoint southWest = store::GeoKukUnitsToUtm33(rect.left, -rect.bottom);
    const store::PlanePoint northEast = store::GeoKukUnitsToUtm33(rect.right, -rect.top);
    area = store::Utm33BoxArea({southWest.easting, southWest.northing, northEast.easting, northEast.northing});
  }
  area.south = Clamp(area.south, -90, 90);
  area.north = Clamp(area.north, area.south, 90);
  area.west = Clamp(area.west, -180, 180);
  area.east = Clamp(area.east, area.west, 180);
  return area;
}

std::vector<ViewPoint> AreaOutline(store::TileGrid grid, const store::GeoArea& area) {
  std::vector<ViewPoint> outline;
  if (grid == store::TileGrid::WebMercator) {
    const double limit = store::kWebMercatorMaxLatitude;
    const double north = Clamp(area.north, -limit, limit);
    const double south = Clamp(area.south, -limit, limit);
    const ViewPoint nw = GeoToPlane(grid, {north, area.west});
    const ViewPoint se = GeoToPlane(grid, {south, area.east});
    outline = {{nw.x, nw.y}, {se.x, nw.y}, {se.x, se.y}, {nw.x, se.y}, {nw.x, nw.y}};
    return outline;
  }
  const store::AreaOverlap overlap(area);
  for (const store::PlanePoint& p : overlap.Outline()) {
    double x = 0;
    double y = 0;
    store::Utm33ToGeoKukUnits(p, &x, &y);
    outline.push_back({x, -y});
  }
  return outline;
}

}  // namespace convert
