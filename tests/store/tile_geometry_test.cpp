// Tile geometry: the two grids against independent references, and the
// overlap of tiles with areas in degrees.
//
// Reference values in degrees and UTM 33N metres were computed with PROJ's
// cs2cs (EPSG:4326 to EPSG:32633), a geodesy library other than the one the
// code uses; GeographicLib's own UTM conversion (UTMUPS) is the second check.
#include "store/tile_geometry.h"

#include <GeographicLib/UTMUPS.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using store::AreaOverlap;
using store::GeoArea;

// GeoKuk units of a UTM 33N position in metres (the unit is 1/32 m).
long long UnitsX(double easting) { return std::llround((easting + 3700000) * 32); }
long long UnitsY(double northing) { return std::llround((northing - 1300000) * 32); }

// GEO-1: three known points, both ways, against PROJ and GeographicLib's
// UTMUPS with the zone set to 33.
TEST(TileGeometry, Utm33AtKnownPoints) {
  struct Case {
    double latitude, longitude;  // degrees
    double easting, northing;    // metres, from cs2cs
  };
  const Case cases[] = {
      {50.0875, 14.4213, 458601.7085, 5548519.7880},  // Prague
      {49.1951, 16.6068, 617063.4656, 5450387.1286},  // Brno
      {48.8, 12.1, 287050.6447, 5409279.6331},        // west of the zone's middle
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.latitude);
    const store::PlanePoint p = store::GeoToUtm33({c.latitude, c.longitude});
    EXPECT_NEAR(p.easting, c.easting, 0.001);
    EXPECT_NEAR(p.northing, c.northing, 0.001);
    int zone = 0;
    bool north = false;
    double x = 0, y = 0, gamma = 0, k = 0;
    GeographicLib::UTMUPS::Forward(c.latitude, c.longitude, zone, north, x, y, gamma, k, 33);
    EXPECT_EQ(zone, 33);
    EXPECT_NEAR(p.easting, x, 0.001);
    EXPECT_NEAR(p.northing, y, 0.001);
    const store::GeoPoint back = store::Utm33ToGeo({c.easting, c.northing});
    EXPECT_NEAR(back.latitude, c.latitude, 1e-8);
    EXPECT_NEAR(back.longitude, c.longitude, 1e-8);
  }
}

// GEO-2: GeoKuk's units: the corner of turist_13_79d8000_8250000.kachle is
// at easting 292,576 m, northing 5,570,080 m; a zoom 13 tile is 1,024 m wide
// and a zoom 16 one 128 m.
TEST(TileGeometry, GeoKukSquares) {
  const store::PlaneBox square = store::GeoKukTileSquare(13, 0x79d8000, 0x8250000);
  EXPECT_DOUBLE_EQ(square.minEasting, 292576);
  EXPECT_DOUBLE_EQ(square.minNorthing, 5570080);
  EXPECT_DOUBLE_EQ(square.maxEasting, 292576 + 1024);
  EXPECT_DOUBLE_EQ(square.maxNorthing, 5570080 + 1024);
  EXPECT_DOUBLE_EQ(store::GeoKukSideUnits(16), 4096);
  double x = 0, y = 0;
  store::Utm33ToGeoKukUnits({292576, 5570080}, &x, &y);
  EXPECT_DOUBLE_EQ(x, 0x79d8000);
  EXPECT_DOUBLE_EQ(y, 0x8250000);
  // The rectangle's area in degrees: west of the zone's meridian the
  // south-west corner is its southernmost point (cs2cs: 50.246422218 N
  // 12.090604432 E) and the north-west corner its westernmost (50.2556198424
  // N 12.0900438610 E).
  const GeoArea area = store::Utm33BoxArea(square);
  EXPECT_NEAR(area.south, 50.246422218, 1e-8);
  EXPECT_NEAR(area.west, 12.0900438610, 1e-8);
  EXPECT_GT(area.north, 50.2556198424);
  EXPECT_GT(area.east, 12.090604432 + 0.01);
}

// GEO-3: Web Mercator tiles at three zoom levels.
TEST(TileGeometry, WebMercatorTiles) {
  const GeoArea world = store::WebMercatorTileArea(0, 0, 0);
  EXPECT_DOUBLE_EQ(world.west, -180);
  EXPECT_DOUBLE_EQ(world.east, 180);
  EXPECT_NEAR(world.north, 85.0511287798, 1e-9);
  EXPECT_NEAR(world.south, -85.0511287798, 1e-9);
  const GeoArea northEast = store::WebMercatorTileArea(1, 1, 0);
  EXPECT_DOUBLE_EQ(northEast.west, 0);
  EXPECT_NEAR(northEast.south, 0, 1e-12);
  // Zoom 16 tile 35393/22201 holds Prague's centre (50.0875 N 14.4213 E):
  // x = floor((lon + 180) / 360 * 2^16), y from the north edge.
  const GeoArea prague = store::WebMercatorTileArea(16, 35393, 22201);
  EXPECT_LE(prague.west, 14.4213);
  EXPECT_GE(prague.east, 14.4213);
  EXPECT_LE(prague.south, 50.0875);
  EXPECT_GE(prague.north, 50.0875);
  EXPECT_TRUE(store::WebMercatorTileExists(16, 65535, 0));
  EXPECT_FALSE(store::WebMercatorTileExists(16, 65536, 0));
  EXPECT_FALSE(store::WebMercatorTileExists(3, 0, -1));
}

// GEO-4: overlap is inclusive; a metre beyond an edge is out; a GeoKuk
// square is tested against the projected outline, not its corners alone.
TEST(TileGeometry, Overlap) {
  const double metreOfLatitude = 1 / 111200.0;  // a little more than a metre, in degrees
  // Zoom 10 tile 553/346: its east edge is 554 / 1024 * 360 - 180 degrees.
  const double east = 554.0 / 1024 * 360 - 180;
  const double northOf346 = std::atan(std::sinh(M_PI * (1 - 2 * 346.0 / 1024))) * 180 / M_PI;
  // A GeoKuk square below the parallel 49 N at 15 E, where the parallel
  // sags 4.3 km below the chord between its ends at 12 and 18 E (cs2cs:
  // 5,427,455.781 m at 15 E, 5,431,792.865 m at 12 and 18 E).
  const double parallel49At15 = 5427455.781199;
  // The north-west corner of turist_13_79d8000_8250000 (cs2cs).
  const double cornerLat = 50.2556198424, cornerLon = 12.0900438610;

  struct Case {
    const char* what;
    GeoArea area;  // south, west, north, east
    bool geoKuk;
    int zoom;
    long long x, y;
    bool expected;
  };
  const Case cases[] = {
      {"mercator: west edge on the tile's east edge", {49, east, 51, 20}, false, 10, 553, 346, true},
      {"mercator: a metre east of it", {49, east + 1.5 * metreOfLatitude, 51, 20}, false, 10, 553, 346, false},
      {"mercator: south edge on the tile's north edge", {northOf346, 10, 60, 20}, false, 10, 553, 346, true},
      {"mercator: a metre north of it", {northOf346 + metreOfLatitude, 10, 60, 20}, false, 10, 553, 346, false},
      {"mercator: area inside one tile", {50.0, 14.5, 50.01, 14.51}, false, 8, 138, 86, true},
      {"mercator: off the grid", {-85, -180, 85, 180}, false, 3, 8, 0, false},
      {"geokuk: corner on the square's corner", {cornerLat, 12.0, 50.3, cornerLon}, true, 13, 0x79d8000, 0x8250000,
       true},
      {"geokuk: a metre north of the corner", {cornerLat + metreOfLatitude, 12.0, 50.3, cornerLon}, true, 13,
       0x79d8000, 0x8250000, false},
      {"geokuk: under the chord, above the parallel", {49, 12, 50, 18}, true, 16, UnitsX(499936),
       UnitsY(parallel49At15 + 10), true},
      {"geokuk: a metre under the parallel", {49, 12, 50, 18}, true, 16, UnitsX(499936),
       UnitsY(parallel49At15 - 1.03 - 128), false},
      {"geokuk: square inside a large area", {45, 5, 55, 25}, true, 16, UnitsX(458601), UnitsY(5548519), true},
      {"geokuk: area far away", {-10, -120, 10, -100}, true, 16, UnitsX(458601), UnitsY(5548519), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const AreaOverlap overlap(c.area);
    EXPECT_EQ(c.geoKuk ? overlap.GeoKukTile(c.zoom, c.x, c.y) : overlap.WebMercatorTile(c.zoom, c.x, c.y), c.expected);
  }
  // The outline has at least 16 points an edge.
  EXPECT_GE(AreaOverlap({49, 12, 50, 18}).Outline().size(), 4u * 16u);
}

// GEO-5: the candidate ranges hold every tile that overlaps, and are tight
// for Web Mercator (a brute force over the grid; random GeoKuk squares).
TEST(TileGeometry, CandidateRanges) {
  const AreaOverlap overlap({48.5, 12.1, 51.05, 18.86});
  for (int zoom : {0, 3, 7}) {
    SCOPED_TRACE(zoom);
    store::TileRange range;
    ASSERT_TRUE(overlap.WebMercatorCandidates(zoom, &range));
    const long long n = 1LL << zoom;
    long long inRange = 0, overlapping = 0;
    for (long long x = 0; x < n; ++x) {
      for (long long y = 0; y < n; ++y) {
        const bool in = x >= range.x0 && x <= range.x1 && y >= range.y0 && y <= range.y1;
        const bool overlaps = overlap.WebMercatorTile(zoom, x, y);
        EXPECT_TRUE(in || !overlaps) << x << "/" << y;
        inRange += in;
        overlapping += overlaps;
      }
    }
    EXPECT_EQ(inRange, overlapping);  // a rectangle in the tiles' plane: the range is exact
  }
  std::mt19937 random(20261208);
  for (int zoom : {12, 16}) {
    store::TileRange range;
    ASSERT_TRUE(overlap.GeoKukCandidates(zoom, &range));
    std::uniform_int_distribution<long long> xs(range.x0 - 200000, range.x1 + 200000);
    std::uniform_int_distribution<long long> ys(range.y0 - 200000, range.y1 + 200000);
    int overlapping = 0;
    for (int i = 0; i < 20000; ++i) {
      const long long x = xs(random), y = ys(random);
      if (!overlap.GeoKukTile(zoom, x, y)) continue;
      ++overlapping;
      EXPECT_TRUE(x >= range.x0 && x <= range.x1 && y >= range.y0 && y <= range.y1) << x << "/" << y;
    }
    EXPECT_GT(overlapping, 0);
  }
}

}  // namespace
