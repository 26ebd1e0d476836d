// The selection (--zoom, --source, --area) through cvmap convert, verify and
// extract, and cvmap info's extents, run as the built program on small
// trees. Geometry of the fixtures comes from GeographicLib's own UTM
// conversion and the Web Mercator formula, not from the code under test.
#include <gtest/gtest.h>

#include <GeographicLib/TransverseMercator.hpp>
#include <nlohmann/json.hpp>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>

#include "cvmap_runner.h"
#include "job_fixture.h"

namespace {

using convert_test::ReadRows;
using convert_test::Result;
using convert_test::RunCvmap;
using convert_test::TempTree;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The keys stored in `map` as "x/y/z/s".
std::set<std::string> Keys(const std::string& map) {
  std::set<std::string> keys;
  for (const convert_test::StoredRow& row : ReadRows(map)) {
    keys.insert(std::to_string(row.x) + "/" + std::to_string(row.y) + "/" + std::to_string(row.z) + "/" + row.s);
  }
  return keys;
}

std::string Degrees(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.9f", value);
  return text;
}

std::string AreaText(double south, double west, double north, double east) {
  return Degrees(south) + "," + Degrees(west) + "," + Degrees(north) + "," + Degrees(east);
}

// UTM zone 33N by GeographicLib's series transverse Mercator (the code under
// test uses the exact one): central meridian 15 E, false easting 500 km.
void Utm33ToDegrees(double easting, double northing, double* latitude, double* longitude) {
  GeographicLib::TransverseMercator::UTM().Reverse(15, easting - 500000, northing, *latitude, *longitude);
}
void DegreesToUtm33(double latitude, double longitude, double* easting, double* northing) {
  GeographicLib::TransverseMercator::UTM().Forward(15, latitude, longitude, *easting, *northing);
  *easting += 500000;
}

// The northing where the parallel `latitude` crosses `easting` in UTM 33N.
double ParallelNorthing(double latitude, double easting) {
  double lo = 5, hi = 25;  // longitudes that hold the easting
  double x = 0, y = 0;
  for (int i = 0; i < 200; ++i) {
    const double mid = (lo + hi) / 2;
    DegreesToUtm33(latitude, mid, &x, &y);
    (x < easting ? lo : hi) = mid;
  }
  DegreesToUtm33(latitude, lo, &x, &y);
  return y;
}

// GeoKuk's units of a UTM 33N position.
long long UnitsX(double easting) { return std::llround((easting + 3700000) * 32); }
long long UnitsY(double northing) { return std::llround((northing - 1300000) * 32); }
double Easting(long long x) { return static_cast<double>(x) / 32 - 3700000; }
double Northing(long long y) { return static_cast<double>(y) / 32 + 1300000; }

std::string GeoKukName(const std::string& source, int zoom, long long x, long long y) {
  char name[96];
  std::snprintf(name, sizeof name, "00/00/00/00/%s_%d_%llx_%llx.kachle", source.c_str(), zoom, x, y);
  return name;
}

// Web Mercator tile edges by the usual formula.
double TileLongitude(double x, int zoom) { return x / std::ldexp(1.0, zoom) * 360 - 180; }
double TileLatitude(double y, int zoom) {
  return std::atan(std::sinh(M_PI * (1 - 2 * y / std::ldexp(1.0, zoom)))) * 180 / M_PI;
}

// Small trees of both layouts: GeoKuk tiles in west Bohemia (zoom 13, two
// sources) and in Moravia (zoom 12, 16); OSM tiles in Prague (zoom 12, 14,
// 16) and one in Brno (zoom 16).
struct Trees {
  Trees() {
    geoKuk.File("00/00/00/00/turist_13_79d8000_8250000.kachle", "gk-a");    // ~50.25 N 12.09 E
    geoKuk.File("00/00/00/00/relief_l_13_79d8000_8250000.kachle", "gk-b");  // the same square
    geoKuk.File(GeoKukName("turist", 12, UnitsX(620000), UnitsY(5450000)), "gk-c");  // ~49.2 N 16.6 E
    geoKuk.File(GeoKukName("turist", 16, UnitsX(620000), UnitsY(5450000)), "gk-d");
    geoKuk.File("notes.txt", "no tile");
    osm.File("12/2212/1387.png", "o-12");   // Prague
    osm.File("14/8848/5550.png", "o-14");   // Prague
    osm.File("16/35393/22201.png", "o-16"); // Prague
    osm.File("16/35791/22452.png", "o-b");  // Brno
  }
  TempTree geoKuk;
  TempTree osm;
};

// SELCLI-1: each filter alone and combined, through convert on both layouts;
// the summary counts what the selection leaves out.
TEST(CvmapSelectionTest, FiltersAloneAndCombined) {
  Trees trees;
  struct Case {
    const char* what;
    bool geoKuk;                     // which tree
    std::vector<std::string> args;   // the selection
    std::set<std::string> stored;    // image bytes of the tiles stored
  };
  const std::string bohemia = "49.5,11.9,50.6,13.0";
  const std::string czechia = "48.5,12.0,51.1,18.9";
  const std::string brno = "49.15,16.5,49.25,16.7";
  const Case cases[] = {
      {"no selection", true, {}, {"gk-a", "gk-b", "gk-c", "gk-d"}},
      {"zoom list", true, {"--zoom", "12,16"}, {"gk-c", "gk-d"}},
      {"zoom range", true, {"--zoom", "13-15"}, {"gk-a", "gk-b"}},
      {"source", true, {"--source", "relief_l"}, {"gk-b"}},
      {"two sources", true, {"--source", "relief_l,turist"}, {"gk-a", "gk-b", "gk-c", "gk-d"}},
      {"area", true, {"--area", bohemia}, {"gk-a", "gk-b"}},
      {"zoom and source and area", true, {"--zoom", "8-13", "--source=turist", "--area", czechia}, {"gk-a", "gk-c"}},
      {"zoom and area", true, {"--zoom", "16", "--area", brno}, {"gk-d"}},
      {"osm zoom", false, {"--zoom", "12-14"}, {"o-12", "o-14"}},
      {"osm source never drops", false, {"--source", "turist"}, {"o-12", "o-14", "o-16", "o-b"}},
      {"osm area", false, {"--area", brno}, {"o-b"}},
      {"osm zoom and area", false, {"--zoom", "16", "--area", "49.9,14.2,50.2,14.7"}, {"o-16"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempTree maps;
    const std::string map = maps.Path("m.cvmap");
    std::vector<std::string> args{"convert", c.geoKuk ? trees.geoKuk.Root() : trees.osm.Root(), map};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Result r = RunCvmap(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::set<std::string> stored;
    for (const convert_test::StoredRow& row : ReadRows(map)) stored.insert(row.image);
    EXPECT_EQ(stored, c.stored);
    const std::string outside = std::to_string(4 - c.stored.size()) + " outside the selection";
    EXPECT_EQ(Has(r.out, outside), !c.args.empty()) << r.out;
  }
}

// SELCLI-2: a tile that touches the area's edge is in, one a metre off is
// out; a GeoKuk square that meets the area only at one corner, far from the
// area's corner points (where the area's south edge, a parallel, bows south
// of the chord between them), is in.
TEST(CvmapSelectionTest, EdgesAndCorners) {
  // A GeoKuk zoom 16 square (128 m) and the degrees of its north-east corner.
  const long long x = UnitsX(300000), y = UnitsY(5560000);
  double cornerLat = 0, cornerLon = 0;
  Utm33ToDegrees(Easting(x) + 128, Northing(y) + 128, &cornerLat, &cornerLon);
  double offLat = 0, offLon = 0;  // a metre north-east of it
  Utm33ToDegrees(Easting(x) + 129, Northing(y) + 129, &offLat, &offLon);

  // Squares of zoom 16 about 50 km east of the zone's meridian, one with its
  // north-west corner half a metre north of the parallel 49 N (the rest of it
  // south of it), one a metre south of it.
  const double east = 550000;
  const double arc = ParallelNorthing(49.0, east);
  const long long cornerIn = UnitsY(arc + 0.5 - 128), cornerOut = UnitsY(arc - 1.0 - 128);
  ASSERT_GT(Northing(cornerIn) + 128 - ParallelNorthing(49.0, east), 0.3);
  ASSERT_LT(Northing(cornerIn) + 128 - ParallelNorthing(49.0, east + 128), -0.3);  // its north-east corner is out
  const std::string strip = "49,12,49.5,18";  // corner points near 12 E and 18 E, hundreds of km away

  // A Web Mercator zoom 16 tile and its north-east corner.
  const int wx = 35393, wy = 22201;
  const double wLat = TileLatitude(wy, 16), wLon = TileLongitude(wx + 1, 16);

  struct Case {
    const char* what;
    std::string file;   // the one tile of the tree
    std::string area;   // --area
    bool taken;
  };
  const Case cases[] = {
      {"GeoKuk corner on the area's corner", GeoKukName("t", 16, x, y), AreaText(cornerLat, cornerLon, cornerLat + 0.01, cornerLon + 0.01), true},
      {"GeoKuk a metre outside", GeoKukName("t", 16, x, y), AreaText(offLat, offLon, offLat + 0.01, offLon + 0.01), false},
      {"GeoKuk corner under the bowed edge", GeoKukName("t", 16, UnitsX(east), cornerIn), strip, true},
      {"GeoKuk a metre south of the bowed edge", GeoKukName("t", 16, UnitsX(east), cornerOut), strip, false},
      {"Web Mercator corner on the area's corner", "16/35393/22201.png", AreaText(wLat, wLon, wLat + 0.01, wLon + 0.01), true},
      {"Web Mercator a metre outside", "16/35393/22201.png",
       AreaText(wLat + 1 / 111320.0, wLon + 1 / (111320.0 * std::cos(wLat * M_PI / 180)), wLat + 0.01, wLon + 0.01), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.what) + " " + c.area);
    TempTree tree;
    tree.File(c.file);
    TempTree maps;
    const Result r = RunCvmap({"convert", tree.Root(), maps.Path("m.cvmap"), "--area", c.area});
    EXPECT_EQ(r.exitCode, c.taken ? 0 : 1) << r.err;
    EXPECT_EQ(ReadRows(maps.Path("m.cvmap")).size(), c.taken ? 1u : 0u);
  }
}

// SELCLI-3: every bad selection is refused before anything is opened: one
// message naming the option, exit 2, no file created. An area beyond the Web
// Mercator grid is refused only where it may meet Web Mercator tiles.
TEST(CvmapSelectionTest, BadSelectionsAreRefused) {
  Trees trees;
  TempTree maps;
  const std::string map = maps.Path("new.cvmap");
  TempTree held;
  const std::string osmMap = held.Path("osm.cvmap");
  const std::string geoKukMap = held.Path("gk.cvmap");
  ASSERT_EQ(RunCvmap({"convert", trees.osm.Root(), osmMap, "-q"}).exitCode, 0);
  ASSERT_EQ(RunCvmap({"convert", trees.geoKuk.Root(), geoKukMap, "-q"}).exitCode, 0);
  const std::string polar = "86,10,88,20";
  struct Case {
    std::vector<std::string> args;
    const char* option;  // named in the message
  };
  const Case cases[] = {
      {{"convert", trees.osm.Root(), map, "--zoom", "12,,14"}, "--zoom"},
      {{"convert", trees.osm.Root(), map, "--zoom", "100"}, "--zoom"},
      {{"convert", trees.osm.Root(), map, "--zoom", "16-12"}, "--zoom"},
      {{"convert", trees.osm.Root(), map, "--zoom", "x"}, "--zoom"},
      {{"convert", trees.osm.Root(), map, "--zoom="}, "--zoom"},
      {{"convert", trees.osm.Root(), map, "--source", "turist,"}, "--source"},
      {{"convert", trees.osm.Root(), map, "--area", "50,14,49,15"}, "--area"},
      {{"convert", trees.osm.Root(), map, "--area", "49,15,50,14"}, "--area"},
      {{"convert", trees.osm.Root(), map, "--area", "49,14,50"}, "--area"},
      {{"convert", trees.osm.Root(), map, "--area", "49,14,50,east"}, "--area"},
      {{"convert", trees.osm.Root(), map, "--area", "-91,14,50,15"}, "--area"},
      {{"convert", trees.osm.Root(), map, "--area", polar, "--layout", "osm"}, "--area"},
      {{"convert", trees.osm.Root(), map, "--area", polar}, "--area"},  // OSM found by the probe
      {{"verify", trees.osm.Root(), osmMap, "--area", polar}, "--area"},
      {{"verify", trees.osm.Root(), osmMap, "--zoom", "123"}, "--zoom"},
      {{"extract", osmMap, map, "--area", polar}, "--area"},  // rows whose s is a number
      {{"extract", osmMap, map, "--source", ""}, "--source"},
      {{"extract", osmMap, map, "--zoom", "1-2-3"}, "--zoom"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    const Result r = RunCvmap(c.args);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(Has(r.err, std::string("cvmap: ") + c.option)) << r.err;
    EXPECT_FALSE(std::filesystem::exists(map));
  }
  // For GeoKuk tiles the area may reach the pole: nothing lies there, so
  // nothing is taken (exit 1), but nothing is refused either.
  Result r = RunCvmap({"convert", trees.geoKuk.Root(), map, "--area", polar});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(Has(r.err, "in the selection")) << r.err;
  r = RunCvmap({"extract", geoKukMap, maps.Path("other.cvmap"), "--area", polar});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_FALSE(std::filesystem::exists(maps.Path("other.cvmap")));
  // An area that reaches the grid's edge as info prints it is taken.
  r = RunCvmap({"extract", osmMap, maps.Path("edge.cvmap"), "--area", "-85.05113,-180,85.05113,180"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadRows(maps.Path("edge.cvmap")).size(), 4u);
}

// SELCLI-4: a selection that takes no tile ends in exit 1 and says so;
// extract then leaves NEWMAP uncreated.
TEST(CvmapSelectionTest, NothingSelected) {
  Trees trees;
  TempTree maps;
  const std::string map = maps.Path("m.cvmap");
  Result r = RunCvmap({"convert", trees.geoKuk.Root(), map, "--zoom", "5"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.out, "0 tiles stored, 0 already present, 1 not tiles, 0 unreadable, 4 outside the selection"))
      << r.out;
  EXPECT_TRUE(Has(r.err, "no tile of " + trees.geoKuk.Root() + " is in the selection")) << r.err;
  ASSERT_EQ(RunCvmap({"convert", trees.geoKuk.Root(), map, "-q"}).exitCode, 0);
  r = RunCvmap({"verify", trees.geoKuk.Root(), map, "--source", "letecka"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "nothing was checked")) << r.err;
  r = RunCvmap({"extract", map, maps.Path("new.cvmap"), "--area", "-10,-10,10,10"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "nothing was copied")) << r.err;
  EXPECT_FALSE(std::filesystem::exists(maps.Path("new.cvmap")));
}

// SELCLI-5: a file outside the selection is never opened: a FIFO and a
// dangling link named like tiles count as outside, not as unreadable (inside
// the selection the same files are unreadable); -v says why.
TEST(CvmapSelectionTest, FilesOutsideAreNeverOpened) {
  TempTree tree;
  tree.File("16/35393/22201.png", "taken");
  tree.Fifo("15/17696/11100.png");
  tree.Link("/nonexistent/tile", "15/17696/11101.png");
  TempTree maps;
  Result r = RunCvmap({"convert", tree.Root(), maps.Path("m.cvmap"), "--zoom", "16", "-v"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "1 tiles stored, 0 already present, 0 not tiles, 0 unreadable, 2 outside the selection"))
      << r.out;
  EXPECT_TRUE(Has(r.err, "cvmap: not stored: 15/17696/11100.png: outside the selection\n")) << r.err;
  r = RunCvmap({"verify", tree.Root(), maps.Path("m.cvmap"), "--zoom", "16", "-v"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "outside the selection: 15/17696/11101.png\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "0 unreadable, 2 outside the selection")) << r.out;
  r = RunCvmap({"convert", tree.Root(), maps.Path("all.cvmap"), "--zoom", "15-16"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "2 unreadable, 0 outside the selection")) << r.out;
}

// SELCLI-6: extract into a new map and into one that holds some keys (its
// rows stay, first stored wins); the same map gives the same rows every
// time; verify with the selection passes on the extract; a GeoKuk source
// named "12" (stored as the integer 12) is taken by --source 12 and placed
// on GeoKuk's grid; MAP never changes and is refused as its own NEWMAP, by
// any path.
TEST(CvmapSelectionTest, Extract) {
  Trees trees;
  TempTree maps;
  const std::string big = maps.Path("big.cvmap");
  ASSERT_EQ(RunCvmap({"convert", trees.geoKuk.Root(), big, "-q"}).exitCode, 0);
  ASSERT_EQ(RunCvmap({"convert", trees.osm.Root(), big, "-q"}).exitCode, 0);
  const std::string before = convert_test::Slurp(big);
  const std::vector<std::string> selection{"--zoom", "12-16", "--area", "49.0,12.0,50.5,17.0", "--source", "turist"};

  std::vector<std::string> args{"extract", big, maps.Path("trip.cvmap")};
  args.insert(args.end(), selection.begin(), selection.end());
  Result r = RunCvmap(args);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "8 rows in the map, 7 copied, 0 already present, 1 outside the selection")) << r.out;
  const std::vector<convert_test::StoredRow> trip = ReadRows(maps.Path("trip.cvmap"));
  ASSERT_EQ(trip.size(), 7u);
  for (const convert_test::StoredRow& row : trip) EXPECT_NE(row.image, "gk-b") << "relief_l is not selected";
  args[2] = maps.Path("again.cvmap");
  ASSERT_EQ(RunCvmap(args).exitCode, 0);
  const std::vector<convert_test::StoredRow> again = ReadRows(maps.Path("again.cvmap"));
  ASSERT_EQ(again.size(), trip.size());
  for (std::size_t i = 0; i < trip.size(); ++i) {
    EXPECT_EQ(std::tie(again[i].x, again[i].y, again[i].z, again[i].sType, again[i].s, again[i].imageType, again[i].image),
              std::tie(trip[i].x, trip[i].y, trip[i].z, trip[i].sType, trip[i].s, trip[i].imageType, trip[i].image));
  }

  // A map holding one of the keys with other bytes keeps them.
  const std::string some = maps.Path("some.cvmap");
  TempTree changed;
  changed.File("16/35393/22201.png", "older");
  ASSERT_EQ(RunCvmap({"convert", changed.Root(), some, "-q"}).exitCode, 0);
  r = RunCvmap({"extract", big, some, "--zoom", "16"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "8 rows in the map, 2 copied, 1 already present, 5 outside the selection")) << r.out;
  EXPECT_EQ(Keys(some).size(), 3u);
  bool kept = false;
  for (const convert_test::StoredRow& row : ReadRows(some)) kept = kept || row.image == "older";
  EXPECT_TRUE(kept);

  // verify with the selection passes on the extract, and fails without it.
  std::vector<std::string> check{"verify", trees.geoKuk.Root(), maps.Path("trip.cvmap")};
  check.insert(check.end(), selection.begin(), selection.end());
  r = RunCvmap(check);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_TRUE(Has(r.out, "3 tiles checked: 3 identical")) << r.out;
  EXPECT_EQ(RunCvmap({"verify", trees.geoKuk.Root(), maps.Path("trip.cvmap")}).exitCode, 1);

  // A source whose name reads as a number.
  TempTree numbered;
  numbered.File("79/82/d8/50/12_13_79d8000_8250000.kachle", "twelve");
  numbered.File("79/82/d8/50/turist_13_79d8000_8250000.kachle", "turist");
  const std::string mixed = maps.Path("numbered.cvmap");
  ASSERT_EQ(RunCvmap({"convert", numbered.Root(), mixed, "-q"}).exitCode, 0);
  // The tile's corner lies at 50.2464 N 12.0906 E: the area holds it on
  // GeoKuk's grid, and no Web Mercator tile of zoom 13 at that x and y.
  r = RunCvmap({"extract", mixed, maps.Path("twelve.cvmap"), "--source", "12", "--area", "50.2,12.0,50.3,12.2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "2 rows in the map, 1 copied, 0 already present, 1 outside the selection")) << r.out;
  const std::vector<convert_test::StoredRow> twelve = ReadRows(maps.Path("twelve.cvmap"));
  ASSERT_EQ(twelve.size(), 1u);
  EXPECT_EQ(twelve[0].image, "twelve");

  // The same file, by its path, a link and a second name.
  ASSERT_EQ(::link(big.c_str(), maps.Path("hard.cvmap").c_str()), 0);
  maps.Link(big, "soft.cvmap");
  for (const std::string& same : {big, maps.Path("hard.cvmap"), maps.Path("soft.cvmap")}) {
    r = RunCvmap({"extract", big, same});
    EXPECT_EQ(r.exitCode, 2) << same;
    EXPECT_TRUE(Has(r.err, "are the same file")) << r.err;
  }
  EXPECT_EQ(convert_test::Slurp(big), before);
  // NEWMAP that is no map file is refused and left as it is.
  const std::string notes = maps.File("notes.cvmap", std::string(3000, 'n'));
  EXPECT_EQ(RunCvmap({"extract", big, notes}).exitCode, 2);
  EXPECT_EQ(convert_test::Slurp(notes), std::string(3000, 'n'));
}

// SELCLI-7: info gives per zoom level and grid the range of x and y and the
// area, rounded outward; that area given to extract takes every tile of the
// level. Rows that cannot be placed are counted, never placed. --json says
// the same.
TEST(CvmapSelectionTest, InfoExtents) {
  Trees trees;
  TempTree maps;
  const std::string map = maps.Path("m.cvmap");
  ASSERT_EQ(RunCvmap({"convert", trees.osm.Root(), map, "-q"}).exitCode, 0);
  ASSERT_EQ(RunCvmap({"convert", trees.geoKuk.Root(), map, "-q"}).exitCode, 0);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(map.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "INSERT INTO tiles VALUES (1.5, 2, 3, 0, x'00'), (1, 2, 3, x'0102', x'00'), "
                         "(0, 0, -9223372036854775808, 0, x'00')", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);

  Result r = RunCvmap({"info", map});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "tiles: 11\n")) << r.out;  // the lines before the extents stay
  EXPECT_TRUE(Has(r.out, "  zoom ? (z -9223372036854775808) Web Mercator: 1 tiles, x 0-0, y 0-0, no area")) << r.out;
  EXPECT_TRUE(Has(r.out, "  zoom 16 (z 1) Web Mercator: 2 tiles, x 35393-35791, y 22201-22452, area ")) << r.out;
  EXPECT_TRUE(Has(r.out, "\n2 rows cannot be placed")) << r.out;

  r = RunCvmap({"info", "--json", map});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json report = nlohmann::json::parse(r.out);
  EXPECT_EQ(report["tiles"], 11);
  EXPECT_EQ(report["unplaced"], 2);
  ASSERT_EQ(report["extents"].size(), 7u);  // GeoKuk 12, 13, 16; Web Mercator 12, 14, 16; a z of no zoom
  for (const nlohmann::json& extent : report["extents"]) {
    SCOPED_TRACE(extent.dump());
    if (extent["zoom"].is_null()) {
      EXPECT_TRUE(extent["area"].is_null());
      continue;
    }
    ASSERT_TRUE(extent["area"].is_object());
    const nlohmann::json& a = extent["area"];
    const double values[] = {a["south"], a["west"], a["north"], a["east"]};
    for (double v : values) EXPECT_NEAR(v * 1e5, std::round(v * 1e5), 1e-6);  // five decimals
    char area[128];
    std::snprintf(area, sizeof area, "%.5f,%.5f,%.5f,%.5f", values[0], values[1], values[2], values[3]);
    const std::string out = maps.Path("level.cvmap");
    std::filesystem::remove(out);
    const int zoom = extent["zoom"];
    const Result e = RunCvmap({"extract", map, out, "--zoom", std::to_string(zoom), "--area", area});
    ASSERT_EQ(e.exitCode, 0) << e.err;
    long long sameGrid = 0;
    for (const convert_test::StoredRow& row : ReadRows(out)) {
      EXPECT_EQ(row.z, 17 - zoom);
      sameGrid += (row.sType == "text") == (extent["grid"] == "geokuk");
    }
    EXPECT_EQ(sameGrid, extent["tiles"].get<long long>());
  }
  // The Web Mercator level of Prague and Brno, read off by hand.
  const nlohmann::json& wm16 = report["extents"][5];  // by z, largest first; the foreign z comes last
  EXPECT_EQ(wm16["grid"], "webmercator");
  EXPECT_LE(wm16["area"]["south"].get<double>(), TileLatitude(22453, 16));
  EXPECT_GE(wm16["area"]["north"].get<double>(), TileLatitude(22201, 16));
  EXPECT_LE(wm16["area"]["west"].get<double>(), TileLongitude(35393, 16));
  EXPECT_GE(wm16["area"]["east"].get<double>(), TileLongitude(35792, 16));
  EXPECT_LT(wm16["area"]["east"].get<double>() - TileLongitude(35792, 16), 1e-5);
}

}  // namespace
