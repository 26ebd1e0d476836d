// cvmap export, and cvmap convert and verify of MBTiles files and TMS trees,
// run as the built program on temporary trees.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <map>

#include "cvmap_runner.h"
#include "job_fixture.h"
#include "tests/support/mbtiles_fixture.h"

namespace {

using convert_test::ReadRows;
using convert_test::Result;
using convert_test::RunCvmap;
using convert_test::Slurp;
using convert_test::TempTree;

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "png body";
const std::string kJpeg = "\xff\xd8\xff jpeg body";

// Every file below `root` by its relative path, with its bytes.
std::map<std::string, std::string> TreeFiles(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files[std::filesystem::relative(entry.path(), root)] = Slurp(entry.path());
  }
  return files;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Runs `sql` on the map file at `path`.
void Sql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  test_support::ExecOrThrow(db, sql);
  sqlite3_close(db);
}

// EXP-1: convert, verify, delete the tree, export, verify: the tree comes
// back file for file, byte for byte, for both layouts (a source name that
// reads as a number included); a second export finds every tile present.
TEST(CvmapExportTest, RoundTripOfBothLayouts) {
  TempTree osm;
  osm.File("16/353/220.png", kPng);
  osm.File("5/17/11.jpg", kJpeg);
  osm.File("0/0/0.png", "bytes of no image format");
  osm.File("7/3/2.png", "");
  TempTree geoKuk;
  geoKuk.File("79/82/d8/50/turist_13_79d8000_8250000.kachle", "turist");
  geoKuk.File("79/82/d8/51/relief_l_13_79d8000_8251000.kachle", "relief");
  geoKuk.File("00/00/00/00/base_n_5_00001b2_00000a3.kachle", "base");
  geoKuk.File("79/82/d8/50/12_13_79d8000_8250000.kachle", "numbered source");
  for (const TempTree* tree : {&osm, &geoKuk}) {
    SCOPED_TRACE(tree == &osm ? "OSM Tracker Storage" : "GeoKuk");
    TempTree work;
    const std::string map = work.Path("m.cvmap");
    const std::map<std::string, std::string> original = TreeFiles(tree->Root());
    Result r = RunCvmap({"convert", tree->Root(), map});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(RunCvmap({"verify", tree->Root(), map}).exitCode, 0);
    const std::string out = work.Path("back");
    r = RunCvmap({"export", map, out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "4 rows read, 4 tiles written, 0 already present, 0 skipped")) << r.out;
    EXPECT_EQ(TreeFiles(out), original);
    r = RunCvmap({"verify", out, map});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "4 tiles checked: 4 identical")) << r.out;
    r = RunCvmap({"export", map, out, "-q"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = RunCvmap({"export", map, out});
    EXPECT_TRUE(Has(r.out, "0 tiles written, 4 already present")) << r.out;
  }
}

// EXP-2: rows with no place in a tree are skipped, counted and named, the
// others written; --layout takes one grid; a file that exists is never
// replaced.
TEST(CvmapExportTest, SkipsWhatHasNoNameAndKeepsWhatExists) {
  TempTree work;
  const std::string map = work.Path("m.cvmap");
  ASSERT_EQ(RunCvmap({"create", map}).exitCode, 0);
  Sql(map,
      "INSERT INTO tiles VALUES (1, 2, 4, 'turist', 'a');"       // GeoKuk tile
      "INSERT INTO tiles VALUES (3, 4, 1, 0, 'b');"              // Web Mercator tile, zoom 16
      "INSERT INTO tiles VALUES (5, 6, 4, 'a_1', 'c');"          // the '_' makes the name read another key
      "INSERT INTO tiles VALUES (7, 8, 4, 'x.kachle', 'd');"     // ".kachle" inside the name
      "INSERT INTO tiles VALUES (9, 9, -90, 0, 'e');"            // zoom 107
      "INSERT INTO tiles VALUES (-1, 9, 1, 0, 'f');"             // negative column
      "INSERT INTO tiles VALUES (2, 2, 2, NULL, 'g');"           // no source
      "INSERT INTO tiles VALUES (4, 4, 4, 0, NULL);");           // no image
  const std::string out = work.Path("out");
  work.File("out/16/3/4.png", "older tile");
  Result r = RunCvmap({"export", map, out, "-v"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "8 rows read, 1 tiles written, 1 already present, 6 skipped")) << r.out;
  EXPECT_TRUE(Has(r.err, "warning: 6 rows were not exported: 4 whose key no file name of its layout reads back; "
                         "1 whose x, y or z is no whole number or whose s holds no source; 1 without an image"))
      << r.err;
  EXPECT_TRUE(Has(r.err, "not exported: x 5, y 6, z 4, s \"a_1\": no file name")) << r.err;
  EXPECT_EQ(Slurp(out + "/16/3/4.png"), "older tile");
  EXPECT_EQ(TreeFiles(out).size(), 2u);
  EXPECT_EQ(Slurp(out + "/00/00/00/00/turist_13_0000001_0000002.kachle"), "a");

  TempTree osmOnly;
  r = RunCvmap({"export", map, osmOnly.Root(), "--layout", "osm"});
  EXPECT_TRUE(Has(r.out, "1 tiles written, 0 already present, 7 skipped")) << r.out;
  EXPECT_TRUE(Has(r.err, "3 tiles of a named source (GeoKuk's grid), not of --layout osm")) << r.err;
  EXPECT_EQ(TreeFiles(osmOnly.Root()), (std::map<std::string, std::string>{{"16/3/4.png", "b"}}));
}

// EXP-3: map to MBTiles to map: the same Web Mercator rows; the GeoKuk
// ones are skipped and named; the metadata says what the file holds; the
// MBTiles file verifies against both maps; adding again finds every tile.
TEST(CvmapExportTest, MbtilesRoundTrip) {
  TempTree osm;
  osm.File("1/0/0.png", kPng);
  osm.File("1/1/1.png", kPng + "2");
  osm.File("3/5/2.jpg", kJpeg);
  TempTree geoKuk;
  geoKuk.File("79/82/d8/50/turist_13_79d8000_8250000.kachle", "turist");
  TempTree work;
  const std::string map = work.Path("trip.cvmap");
  ASSERT_EQ(RunCvmap({"convert", osm.Root(), map}).exitCode, 0);
  ASSERT_EQ(RunCvmap({"convert", geoKuk.Root(), map}).exitCode, 0);
  const std::string tiles = work.Path("trip.mbtiles");
  Result r = RunCvmap({"export", map, tiles});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "4 rows read, 3 tiles written, 0 already present, 1 skipped")) << r.out;
  EXPECT_TRUE(Has(r.err, "1 tiles of a named source (GeoKuk's grid), which an MBTiles file cannot hold")) << r.err;
  EXPECT_TRUE(Has(r.err, "several formats (2 png, 1 jpg); the metadata names png")) << r.err;
  EXPECT_EQ(test_support::MetadataValue(tiles, "name"), "trip");
  EXPECT_EQ(test_support::MetadataValue(tiles, "format"), "png");
  EXPECT_EQ(test_support::MetadataValue(tiles, "minzoom"), "1");
  EXPECT_EQ(test_support::MetadataValue(tiles, "maxzoom"), "3");
  EXPECT_EQ(test_support::MetadataValue(tiles, "bounds"), "-180,-85.05112877980659,180,85.05112877980659");
  const std::vector<test_support::MbtilesRow> rows = test_support::ReadMbtiles(tiles);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].row, 1);  // 1/0/0.png lies in the north: row 1 from the south
  EXPECT_EQ(rows[2].row, 5);  // 3/5/2: 8 - 1 - 2

  const std::string back = work.Path("back.cvmap");
  r = RunCvmap({"convert", tiles, back});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "3 rows seen, 3 tiles stored")) << r.out;
  std::vector<convert_test::StoredRow> expected;
  for (const convert_test::StoredRow& row : ReadRows(map)) {
    if (row.sType == "integer") expected.push_back(row);
  }
  const std::vector<convert_test::StoredRow> got = ReadRows(back);
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(std::tie(got[i].x, got[i].y, got[i].z, got[i].s, got[i].image),
              std::tie(expected[i].x, expected[i].y, expected[i].z, expected[i].s, expected[i].image));
  }
  EXPECT_EQ(RunCvmap({"verify", tiles, map}).exitCode, 0);
  EXPECT_EQ(RunCvmap({"verify", tiles, back, "--layout", "mbtiles"}).exitCode, 0);
  r = RunCvmap({"export", map, tiles, "--layout", "mbtiles"});
  EXPECT_TRUE(Has(r.out, "0 tiles written, 3 already present, 1 skipped")) << r.out;
  EXPECT_EQ(RunCvmap({"probe", tiles}).out, "MBTiles\n");
}

// EXP-4: MBTiles sources of both schemas with rows that are no tiles, and
// files that are no MBTiles: clear messages and exit 2, files untouched.
TEST(CvmapExportTest, MbtilesSources) {
  TempTree work;
  for (const auto schema : {test_support::MbtilesSchema::Table, test_support::MbtilesSchema::View}) {
    const std::string source = work.Path(schema == test_support::MbtilesSchema::View ? "view.dat" : "table.dat");
    test_support::WriteMbtiles(source, {{1, 0, 0, "a"}, {1, 5, 0, "outside"}, {2, 1, 1, "", true}, {40, 0, 0, "z"}},
                               schema);
    const std::string map = work.Path("from-" + std::filesystem::path(source).stem().string() + ".cvmap");
    const Result r = RunCvmap({"convert", source, map});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "4 rows seen, 1 tiles stored, 0 already present, 3 not tiles")) << r.out;
    EXPECT_TRUE(Has(r.err, "3 rows are no tile and not stored: 1 outside the columns and rows of their zoom level, "
                           "1 without tile_data, 1 of a zoom level that is no integer of 0 to 31"))
        << r.err;
    ASSERT_EQ(ReadRows(map).size(), 1u);
    EXPECT_EQ(ReadRows(map)[0].y, 1);
  }
  const std::string text(400, 'q');
  work.File("notes.mbtiles", text);
  const std::string cvmapFile = work.Path("from-table.cvmap");
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{"convert", work.Path("notes.mbtiles"), work.Path("n.cvmap")}, "notes.mbtiles is not an MBTiles file: it is no SQLite database"},
      {{"verify", cvmapFile, cvmapFile}, "is not an MBTiles file: it has no table or view tiles(zoom_level"},
      {{"probe", work.Path("notes.mbtiles")}, "is not an MBTiles file"},
      {{"convert", work.Path("notes.mbtiles"), work.Path("n.cvmap"), "--layout", "osm"}, "is a file, not a folder"},
      {{"export", cvmapFile, work.Path("notes.mbtiles")}, "is not an MBTiles file: it is no SQLite database"},
      {{"export", cvmapFile, cvmapFile}, "is the map file"},
      {{"export", cvmapFile, work.Path("notes.mbtiles"), "--layout", "osm"}, "is a file, not a folder"},
      {{"export", work.Path("missing.cvmap"), work.Path("out")}, "no such file"},
      {{"export", cvmapFile, work.Path("out"), "--layout", "tms"}, "unknown layout 'tms'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    const Result r = RunCvmap(c.args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(Has(r.err, c.message)) << r.err;
  }
  EXPECT_EQ(Slurp(work.Path("notes.mbtiles")), text);
  EXPECT_FALSE(std::filesystem::exists(work.Path("n.cvmap")));
  EXPECT_FALSE(std::filesystem::exists(work.Path("out")));
}

// EXP-5: --layout tms flips the rows; auto never guesses TMS but points out
// a tilemapresource.xml.
TEST(CvmapExportTest, TmsTrees) {
  TempTree tms;
  tms.File("2/1/0.png", "south");
  tms.File("2/1/3.png", "north");
  tms.File("tilemapresource.xml", "<TileMap/>");
  TempTree work;
  const std::string map = work.Path("m.cvmap");
  Result r = RunCvmap({"convert", tms.Root(), map, "--layout", "tms"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(Has(r.err, "tilemapresource.xml")) << r.err;
  std::vector<std::string> rows;
  for (const convert_test::StoredRow& row : ReadRows(map)) rows.push_back(std::to_string(row.y) + "=" + row.image);
  EXPECT_EQ(rows, (std::vector<std::string>{"0=north", "3=south"}));
  EXPECT_EQ(RunCvmap({"verify", tms.Root(), map, "--layout", "tms"}).exitCode, 0);
  r = RunCvmap({"probe", tms.Root()});
  EXPECT_EQ(r.out, "OSM Tracker Storage\n");
  EXPECT_TRUE(Has(r.err, "tilemapresource.xml") && Has(r.err, "--layout tms")) << r.err;
  r = RunCvmap({"verify", tms.Root(), map});
  EXPECT_EQ(r.exitCode, 1);  // read as OSM Tracker Storage, every tile is upside down
  EXPECT_TRUE(Has(r.err, "--layout tms")) << r.err;
}

// EXP-6: the selection applies to export and to an MBTiles source: rows it
// leaves out are counted apart and never written; an area beyond the Web
// Mercator grid is refused where Web Mercator tiles would be taken.
TEST(CvmapExportTest, Selection) {
  TempTree work;
  const std::string map = work.Path("m.cvmap");
  ASSERT_EQ(RunCvmap({"create", map}).exitCode, 0);
  Sql(map,
      "INSERT INTO tiles VALUES (0, 0, 16, 0, 'z1');"       // zoom 1, the north-west quarter
      "INSERT INTO tiles VALUES (1, 1, 16, 0, 'z1se');"     // zoom 1, the south-east quarter
      "INSERT INTO tiles VALUES (1, 0, 16, 0, 'z1ne');"     // zoom 1, the north-east quarter
      "INSERT INTO tiles VALUES (3, 3, 15, 0, 'z2');"       // zoom 2
      "INSERT INTO tiles VALUES (1, 2, 4, 'turist', 'g');"  // GeoKuk, zoom 13
      "INSERT INTO tiles VALUES (1, 3, 4, 'relief', 'h');");
  struct Case {
    std::vector<std::string> options;
    const char* target;
    const char* summary;
    std::vector<std::string> files;  // in the target, for a folder
  };
  const std::vector<Case> cases = {
      {{"--zoom", "1"}, "zoom1", "6 rows read, 3 tiles written, 0 already present, 0 skipped, 3 outside the selection",
       {"1/0/0.png", "1/1/0.png", "1/1/1.png"}},
      {{"--source", "turist"}, "turist",
       "6 rows read, 5 tiles written, 0 already present, 0 skipped, 1 outside the selection",
       {"00/00/00/00/turist_13_0000001_0000002.kachle", "1/0/0.png", "1/1/0.png", "1/1/1.png", "2/3/3.png"}},
      {{"--zoom", "1", "--area", "10,10,20,20"}, "ne.mbtiles",
       "6 rows read, 1 tiles written, 0 already present, 0 skipped, 5 outside the selection", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    std::vector<std::string> args{"export", map, work.Path(c.target)};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Result r = RunCvmap(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Has(r.out, c.summary)) << r.out;
    if (c.files.empty()) continue;
    std::vector<std::string> files;
    for (const auto& [path, bytes] : TreeFiles(work.Path(c.target))) files.push_back(path);
    EXPECT_EQ(files, c.files);
  }
  // The MBTiles file holds the north-east tile of zoom 1: column 1, row 1.
  const std::vector<test_support::MbtilesRow> rows = test_support::ReadMbtiles(work.Path("ne.mbtiles"));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].data, "z1ne");
  EXPECT_EQ(rows[0].column, 1);
  EXPECT_EQ(rows[0].row, 1);
  Result r = RunCvmap({"export", map, work.Path("none"), "--zoom", "9"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "is in the selection")) << r.err;
  r = RunCvmap({"export", map, work.Path("far.mbtiles"), "--area", "86,0,87,1"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(Has(r.err, "--area")) << r.err;
  EXPECT_FALSE(std::filesystem::exists(work.Path("far.mbtiles")));
  r = RunCvmap({"export", map, work.Path("far"), "--area", "86,0,87,1", "--layout", "geokuk"});
  EXPECT_NE(r.exitCode, 2) << r.err;  // GeoKuk tiles may take any latitude

  // The MBTiles source: --zoom takes one level.
  const std::string tiles = work.Path("all.mbtiles");
  ASSERT_EQ(RunCvmap({"export", map, tiles}).exitCode, 0);
  r = RunCvmap({"convert", tiles, work.Path("z2.cvmap"), "--zoom", "2"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "4 rows seen, 1 tiles stored, 0 already present, 0 not tiles, 0 unreadable, 3 outside "
                         "the selection"))
      << r.out;
  r = RunCvmap({"verify", tiles, work.Path("z2.cvmap"), "--zoom", "2"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  r = RunCvmap({"convert", tiles, work.Path("far.cvmap"), "--area", "86,0,87,1"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(Has(r.err, "MBTiles tiles")) << r.err;
}

}  // namespace
