#include "store/tile_geometry.h"

#include <GeographicLib/TransverseMercatorExact.hpp>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <functional>
#include <mutex>

namespace store {

namespace {

// UTM zone 33: central meridian 15° E, false easting 500 km, no false
// northing in the north.
constexpr double kZone33Meridian = 15;
constexpr double kFalseEasting = 500000;

// The outline is projected only within this many degrees of the zone's
// meridian: the transverse Mercator runs off to infinity 90° away, and no
// GeoKuk tile lies anywhere near that far.
constexpr double kPlaneLongitudeReach = 80;

// Edges of the outline subdivide at most this deep, so that a far corner of
// a huge area cannot cost without bound.
constexpr int kMaxOutlineDepth = 14;

// Bands of the outline's northing span (overlap look-ups).
constexpr int kBands = 64;

const GeographicLib::TransverseMercatorExact& Projection() { return GeographicLib::TransverseMercatorExact::UTM(); }

double Distance(const PlanePoint& a, const PlanePoint& b) {
  return std::hypot(a.easting - b.easting, a.northing - b.northing);
}

// Appends the points of the curve f(t), t from t0 to t1, after f(t0) (which
// the caller has appended), splitting every chord whose middle strays from
// the curve by more than the tolerance.
void AppendCurve(const std::function<PlanePoint(double)>& f, double t0, const PlanePoint& p0, double t1,
                 const PlanePoint& p1, int depth, std::vector<PlanePoint>* out) {
  const double tm = (t0 + t1) / 2;
  const PlanePoint pm = f(tm);
  const PlanePoint chordMiddle{(p0.easting + p1.easting) / 2, (p0.northing + p1.northing) / 2};
  if (depth < kMaxOutlineDepth && Distance(pm, chordMiddle) > kOutlineTolerance) {
    AppendCurve(f, t0, p0, tm, pm, depth + 1, out);
    AppendCurve(f, tm, pm, t1, p1, depth + 1, out);
    return;
  }
  out->push_back(p1);
}

// Appends an edge of the outline: kMinOutlinePoints chords at least, each
// split further as AppendCurve does. The edge's first point is already in
// *out; its last point is appended.
void AppendEdge(const std::function<PlanePoint(double)>& f, double t0, double t1, std::vector<PlanePoint>* out) {
  PlanePoint previous = f(t0);
  for (int i = 1; i <= kMinOutlinePoints; ++i) {
    const double ta = t0 + (t1 - t0) * (i - 1) / kMinOutlinePoints;
    const double tb = i == kMinOutlinePoints ? t1 : t0 + (t1 - t0) * i / kMinOutlinePoints;
    const PlanePoint next = f(tb);
    AppendCurve(f, ta, previous, tb, next, 0, out);
    previous = next;
  }
}

// True when the segment a-b meets the closed rectangle `box` (Liang-Barsky).
bool SegmentTouchesBox(const PlanePoint& a, const PlanePoint& b, const PlaneBox& box) {
  double t0 = 0;
  double t1 = 1;
  const double dx = b.easting - a.easting;
  const double dy = b.northing - a.northing;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.easting - box.minEasting, box.maxEasting - a.easting, a.northing - box.minNorthing,
                       box.maxNorthing - a.northing};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;  // parallel to this side and outside it
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  return true;
}

bool BoxesMeet(const PlaneBox& a, const PlaneBox& b) {
  return a.minEasting <= b.maxEasting && b.minEasting <= a.maxEasting && a.minNorthing <= b.maxNorthing &&
         b.minNorthing <= a.maxNorthing;
}

PlaneBox Widened(PlaneBox box, double by) {
  box.minEasting -= by;
  box.minNorthing -= by;
  box.maxEasting += by;
  box.maxNorthing += by;
  return box;
}

}  // namespace

// --- Web Mercator -----------------------------------------------------------

double WebMercatorU(double longitude) { return (longitude + 180) / 360; }

double WebMercatorV(double latitude) {
  const double phi = latitude * M_PI / 180;
  return (1 - std::asinh(std::tan(phi)) / M_PI) / 2;
}

double WebMercatorLongitude(double u) { return u * 360 - 180; }

double WebMercatorLatitude(double v) { return std::atan(std::sinh(M_PI * (1 - 2 * v))) * 180 / M_PI; }

GeoArea WebMercatorBlockArea(int zoom, long long x0, long long y0, long long x1, long long y1) {
  assert(zoom >= 0 && zoom <= 1000);
  const double n = std::ldexp(1.0, zoom);
  GeoArea area;
  area.west = WebMercatorLongitude(static_cast<double>(x0) / n);
  area.east = WebMercatorLongitude(static_cast<double>(x1 + 1) / n);
  area.north = WebMercatorLatitude(static_cast<double>(y0) / n);
  area.south = WebMercatorLatitude(static_cast<double>(y1 + 1) / n);
  return area;
}

GeoArea WebMercatorTileArea(int zoom, long long x, long long y) { return WebMercatorBlockArea(zoom, x, y, x, y); }

bool WebMercatorTileExists(int zoom, long long x, long long y) {
  if (zoom < 0 || x < 0 || y < 0) return false;
  if (zoom >= 62) return true;  // every long long below 2^62 is on the grid
  const long long n = 1LL << zoom;
  return x < n && y < n;
}

// --- GeoKuk and UTM 33N -----------------------------------------------------

PlanePoint GeoToUtm33(const GeoPoint& point) {
  double x = 0;
  double y = 0;
  Projection().Forward(kZone33Meridian, point.latitude, point.longitude, x, y);
  return {x + kFalseEasting, y};
}

GeoPoint Utm33ToGeo(const PlanePoint& point) {
  double latitude = 0;
  double longitude = 0;
  Projection().Reverse(kZone33Meridian, point.easting - kFalseEasting, point.northing, latitude, longitude);
  return {latitude, longitude};
}

PlanePoint GeoKukUnitsToUtm33(double x, double y) {
  return {x / kGeoKukUnitsPerMetre - kGeoKukEastingOffset, y / kGeoKukUnitsPerMetre + kGeoKukNorthingOffset};
}

void Utm33ToGeoKukUnits(const PlanePoint& point, double* x, double* y) {
  assert(x != nullptr && y != nullptr);
  *x = (point.easting + kGeoKukEastingOffset) * kGeoKukUnitsPerMetre;
  *y = (point.northing - kGeoKukNorthingOffset) * kGeoKukUnitsPerMetre;
}

double GeoKukSideUnits(int zoom) { return std::ldexp(1.0, kGeoKukUnitZoom - zoom); }

PlaneBox GeoKukTileSquare(int zoom, long long x, long long y) {
  const double side = GeoKukSideUnits(zoom);
  const PlanePoint corner = GeoKukUnitsToUtm33(static_cast<double>(x), static_cast<double>(y));
  const double sideMetres = side / kGeoKukUnitsPerMetre;
  return {corner.easting, corner.northing, corner.easting + sideMetres, corner.northing + sideMetres};
}

GeoArea Utm33BoxArea(const PlaneBox& box) {
  // Latitude and longitude have no extreme inside the rectangle (the
  // projection has no critical point), so the extremes lie on its outline.
  // Each edge is sampled, and every extreme is then narrowed down between
  // the samples beside the best one (golden-section search).
  const PlanePoint corners[5] = {{box.minEasting, box.minNorthing},
                                 {box.maxEasting, box.minNorthing},
                                 {box.maxEasting, box.maxNorthing},
                                 {box.minEasting, box.maxNorthing},
                                 {box.minEasting, box.minNorthing}};
  constexpr int kSamples = 64;
  GeoArea area{90, 180, -90, -180};
  for (int edge = 0; edge < 4; ++edge) {
    const PlanePoint a = corners[edge];
    const PlanePoint b = corners[edge + 1];
    auto at = [&](double t) {
      return Utm33ToGeo({a.easting + (b.easting - a.easting) * t, a.northing + (b.northing - a.northing) * t});
    };
    std::vector<GeoPoint> samples;
    for (int i = 0; i <= kSamples; ++i) samples.push_back(at(static_cast<double>(i) / kSamples));
    // One extreme of one coordinate: `sign` +1 for the largest, -1 for the smallest.
    auto extreme = [&](bool latitude, double sign) {
      auto value = [&](const GeoPoint& p) { return sign * (latitude ? p.latitude : p.longitude); };
      int best = 0;
      for (int i = 1; i <= kSamples; ++i) {
        if (value(samples[i]) > value(samples[best])) best = i;
      }
      double lo = static_cast<double>(std::max(best - 1, 0)) / kSamples;
      double hi = static_cast<double>(std::min(best + 1, kSamples)) / kSamples;
      double found = value(samples[best]);
      const double ratio = (std::sqrt(5.0) - 1) / 2;
      for (int step = 0; step < 40 && hi - lo > 1e-12; ++step) {
        const double m1 = hi - ratio * (hi - lo);
        const double m2 = lo + ratio * (hi - lo);
        const double v1 = value(at(m1));
        const double v2 = value(at(m2));
        found = std::max({found, v1, v2});
        if (v1 < v2) {
          lo = m1;
        } else {
          hi = m2;
        }
      }
      return sign * found;
    };
    area.north = std::max(area.north, extreme(true, 1));
    area.south = std::min(area.south, extreme(true, -1));
    area.east = std::max(area.east, extreme(false, 1));
    area.west = std::min(area.west, extreme(false, -1));
  }
  return area;
}

// --- Overlap ----------------------------------------------------------------

struct AreaOverlap::LazyPlane {
  std::once_flag once;  // guards the building of `plane`
  PlaneOutline plane;   // built on first use
};

AreaOverlap::AreaOverlap(const GeoArea& area) : area_(area), plane_(std::make_shared<LazyPlane>()) {
  const double t = kTouchToleranceDegrees;
  uWest_ = WebMercatorU(area.west - t);
  uEast_ = WebMercatorU(area.east + t);
  vNorth_ = WebMercatorV(std::min(area.north + t, 90.0));
  vSouth_ = WebMercatorV(std::max(area.south - t, -90.0));
}

const AreaOverlap::PlaneOutline& AreaOverlap::Plane() const {
  std::call_once(plane_->once, [this] {
    PlaneOutline& p = plane_->plane;
    const double west = std::max(area_.west, kZone33Meridian - kPlaneLongitudeReach);
    const double east = std::min(area_.east, kZone33Meridian + kPlaneLongitudeReach);
    p.empty = west > east;
    if (p.empty) return;
    const double south = area_.south;
    const double north = area_.north;
    // South edge west to east, east edge south to north, north edge east to
    // west, west edge north to south: a closed ring.
    auto onParallel = [](double latitude) {
      return [latitude](double longitude) { return GeoToUtm33({latitude, longitude}); };
    };
    auto onMeridian = [](double longitude) {
      return [longitude](double latitude) { return GeoToUtm33({latitude, longitude}); };
    };
    std::vector<PlanePoint>& outline = p.outline;
    outline.push_back(GeoToUtm33({south, west}));
    AppendEdge(onParallel(south), west, east, &outline);
    AppendEdge(onMeridian(east), south, north, &outline);
    AppendEdge(onParallel(north), east, west, &outline);
    AppendEdge(onMeridian(west), north, south, &outline);
    outline.pop_back();  // the ring's last point is its first

    p.box = {outline[0].easting, outline[0].northing, outline[0].easting, outline[0].northing};
    for (const PlanePoint& point : outline) {
      p.box.minEasting = std::min(p.box.minEasting, point.easting);
      p.box.maxEasting = std::max(p.box.maxEasting, point.easting);
      p.box.minNorthing = std::min(p.box.minNorthing, point.northing);
      p.box.maxNorthing = std::max(p.box.maxNorthing, point.northing);
    }
    p.bandHeight = std::max((p.box.maxNorthing - p.box.minNorthing) / kBands, 1e-9);
    p.bands.assign(kBands, {});
    for (std::size_t i = 0; i < outline.size(); ++i) {
      const Edge edge{outline[i], outline[(i + 1) % outline.size()]};
      const int first = p.BandOf(std::min(edge.from.northing, edge.to.northing));
      const int last = p.BandOf(std::max(edge.from.northing, edge.to.northing));
      for (int band = first; band <= last; ++band) p.bands[band].push_back(edge);
    }
  });
  return plane_->plane;
}

int AreaOverlap::PlaneOutline::BandOf(double northing) const {
  const double band = std::floor((northing - box.minNorthing) / bandHeight);
  return static_cast<int>(std::clamp(band, 0.0, static_cast<double>(kBands - 1)));
}

bool AreaOverlap::WebMercatorTile(int zoom, long long x, long long y) const {
  if (!WebMercatorTileExists(zoom, x, y)) return false;
  const double n = std::ldexp(1.0, zoom);
  const double u0 = static_cast<double>(x) / n;
  const double u1 = static_cast<double>(x + 1) / n;
  const double v0 = static_cast<double>(y) / n;
  const double v1 = static_cast<double>(y + 1) / n;
  return u0 <= uEast_ && u1 >= uWest_ && v0 <= vSouth_ && v1 >= vNorth_;
}

bool AreaOverlap::WebMercatorCandidates(int zoom, TileRange* range) const {
  assert(range != nullptr);
  if (zoom < 0 || zoom > 60) return false;
  const double n = std::ldexp(1.0, zoom);
  const double last = n - 1;
  // Tile x overlaps when x / n <= uEast and (x + 1) / n >= uWest.
  const double x0 = std::max(std::ceil(uWest_ * n) - 1, 0.0);
  const double x1 = std::min(std::floor(uEast_ * n), last);
  const double y0 = std::max(std::ceil(vNorth_ * n) - 1, 0.0);
  const double y1 = std::min(std::floor(vSouth_ * n), last);
  if (x0 > x1 || y0 > y1) return false;
  *range = {static_cast<long long>(x0), static_cast<long long>(y0), static_cast<long long>(x1),
            static_cast<long long>(y1)};
  return true;
}

bool AreaOverlap::GeoKukCandidates(int zoom, TileRange* range) const {
  assert(range != nullptr);
  const PlaneOutline& plane = Plane();
  if (plane.empty) return false;
  const PlaneBox box = Widened(plane.box, kTouchTolerance);
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  Utm33ToGeoKukUnits({box.minEasting, box.minNorthing}, &minX, &minY);
  Utm33ToGeoKukUnits({box.maxEasting, box.maxNorthing}, &maxX, &maxY);
  // A square with its corner at x reaches x + side.
  const double side = GeoKukSideUnits(zoom);
  constexpr double kLimit = 9.0e18;  // within long long
  *range = {static_cast<long long>(std::clamp(std::floor(minX - side), -kLimit, kLimit)),
            static_cast<long long>(std::clamp(std::floor(minY - side), -kLimit, kLimit)),
            static_cast<long long>(std::clamp(std::ceil(maxX), -kLimit, kLimit)),
            static_cast<long long>(std::clamp(std::ceil(maxY), -kLimit, kLimit))};
  return true;
}

bool AreaOverlap::GeoKukTile(int zoom, long long x, long long y) const {
  return Utm33Box(GeoKukTileSquare(zoom, x, y));
}

bool AreaOverlap::PlaneOutline::AnyEdgeTouches(const PlaneBox& box) const {
  const int first = BandOf(box.minNorthing);
  const int last = BandOf(box.maxNorthing);
  for (int band = first; band <= last; ++band) {
    for (const Edge& edge : bands[band]) {
      if (SegmentTouchesBox(edge.from, edge.to, box)) return true;
    }
  }
  return false;
}

bool AreaOverlap::PlaneOutline::Inside(const PlanePoint& point) const {
  bool inside = false;
  for (const Edge& edge : bands[BandOf(point.northing)]) {
    const PlanePoint& a = edge.from;
    const PlanePoint& b = edge.to;
    if ((a.northing > point.northing) != (b.northing > point.northing)) {
      const double crossing =
          a.easting + (point.northing - a.northing) / (b.northing - a.northing) * (b.easting - a.easting);
      if (crossing > point.easting) inside = !inside;
    }
  }
  return inside;
}

bool AreaOverlap::Utm33Box(const PlaneBox& box) const {
  const PlaneOutline& plane = Plane();
  if (plane.empty) return false;
  const PlaneBox widened = Widened(box, kTouchTolerance);
  if (!BoxesMeet(widened, plane.box)) return false;
  // The square meets the polygon when an edge of the polygon meets the
  // square (which also covers a polygon inside the square), or when the
  // square lies wholly inside the polygon (then its corner is inside).
  if (plane.AnyEdgeTouches(widened)) return true;
  return plane.Inside({widened.minEasting, widened.minNorthing});
}

}  // namespace store
