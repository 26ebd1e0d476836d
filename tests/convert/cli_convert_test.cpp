// cvmap convert and cvmap probe, run as the built program on temporary trees.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>

#include "cvmap_runner.h"
#include "job_fixture.h"

namespace {

using convert_test::ReadRows;
using convert_test::Result;
using convert_test::RunCvmap;
using convert_test::Slurp;
using convert_test::TempTree;

// CLI-1: both layouts end to end; a re-run stores nothing new.
TEST(CvmapConvertTest, ConvertsBothLayoutsAndRerunsCleanly) {
  TempTree source;
  source.File("79/82/d8/50/turist_13_79d8000_8250000.kachle", "a");
  source.File("79/82/d8/51/relief_l_13_79d8000_8251000.kachle", "b");
  TempTree osm;
  osm.File("16/353/220.png", "c");
  TempTree maps;
  const std::string map = maps.Path("out.cvmap");

  Result r = RunCvmap({"convert", source.Root() + "/", map});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("2 files seen, 2 tiles stored, 0 already present"), std::string::npos) << r.out;
  r = RunCvmap({"convert", osm.Root(), map, "--layout", "auto"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("1 files seen, 1 tiles stored, 0 already present, 0 not tiles"), std::string::npos) << r.out;
  EXPECT_EQ(ReadRows(map).size(), 3u);

  r = RunCvmap({"convert", "--quiet", source.Root(), map});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  r = RunCvmap({"convert", source.Root(), map, "--layout=geokuk"});
  EXPECT_NE(r.out.find("0 tiles stored, 2 already present"), std::string::npos) << r.out;
  EXPECT_EQ(ReadRows(map).size(), 3u);
}

// CLI-2: a target that exists and is no map file is refused untouched; an
// empty file becomes a map file.
TEST(CvmapConvertTest, TargetFiles) {
  TempTree source;
  source.File("16/353/220.png", "c");
  TempTree maps;
  const std::string text(5000, 'q');
  const std::string notMap = maps.File("notes.cvmap", text);
  Result r = RunCvmap({"convert", source.Root(), notMap});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("file is not a database"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(notMap), text);

  const std::string empty = maps.File("empty.cvmap", "");
  r = RunCvmap({"convert", source.Root(), empty});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadRows(empty).size(), 1u);
}

// CLI-3: bad usage and bad sources exit 2 with a clear message.
TEST(CvmapConvertTest, RefusesBadInput) {
  TempTree source;
  source.File("readme.txt", "x");
  TempTree maps;
  const std::string map = maps.Path("m.cvmap");
  Result r = RunCvmap({"convert", source.Root(), map});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find(source.Path("readme.txt")), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(map));

  EXPECT_EQ(RunCvmap({"convert", source.Path("missing"), map}).exitCode, 2);
  EXPECT_EQ(RunCvmap({"convert", source.Root(), map, "--layout", "bogus"}).exitCode, 2);
  EXPECT_EQ(RunCvmap({"convert", source.Root()}).exitCode, 2);
  EXPECT_EQ(RunCvmap({"convert", source.Root(), map, "--bogus"}).exitCode, 2);
  // With the layout given there is no probe: the text file is counted, and
  // a run in which no file is a tile fails instead of passing for done.
  r = RunCvmap({"convert", source.Root(), map, "--layout", "osm"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.out.find("1 not tiles"), std::string::npos);
  EXPECT_NE(r.err.find("is a tile of the OSM Tracker Storage layout, so nothing was stored"), std::string::npos) << r.err;
}

// CLI-4: probe names the layout, or the file that rejects the folder.
TEST(CvmapProbeTest, NamesTheLayout) {
  TempTree geoKuk;
  geoKuk.File("00/00/01/a3/base_n_13_1b2_a3.kachle");
  TempTree osm;
  osm.File("5/17/11.png");
  TempTree other;
  other.File("x/y/z.txt");
  Result r = RunCvmap({"probe", geoKuk.Root()});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "GeoKuk\n");
  r = RunCvmap({"probe", osm.Root()});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "OSM Tracker Storage\n");
  r = RunCvmap({"probe", other.Root()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("z.txt"), std::string::npos) << r.err;
  EXPECT_EQ(RunCvmap({"probe", other.Path("missing")}).exitCode, 2);
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// CLI-6: verify on a complete map, on one with a tile deleted and one
// changed, and on a map of another tree; bad input is refused and nothing is
// created or changed.
TEST(CvmapVerifyTest, ComparesTheMapWithItsSource) {
  TempTree source;
  source.File("16/353/220.png", "a");
  source.File("16/353/221.png", "b");
  source.File("16/354/220.png", "c");
  source.File("notes.txt", "not a tile");
  TempTree other;
  other.File("15/1/1.png", "elsewhere");
  TempTree maps;
  const std::string map = maps.Path("m.cvmap");
  const std::string otherMap = maps.Path("other.cvmap");
  ASSERT_EQ(RunCvmap({"convert", source.Root(), map, "--layout", "osm", "-q"}).exitCode, 0);
  ASSERT_EQ(RunCvmap({"convert", other.Root(), otherMap, "-q"}).exitCode, 0);

  Result r = RunCvmap({"verify", source.Root(), map, "--layout=osm"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "4 files seen, 3 tiles checked: 3 identical, 0 missing, 0 different; 1 not tiles")) << r.out;
  EXPECT_TRUE(Has(r.out, "verified: " + map + " holds all 3 tiles of " + source.Root())) << r.out;

  const std::string before = Slurp(otherMap);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(map.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "DELETE FROM tiles WHERE y = 221; UPDATE tiles SET image = x'00' WHERE x = 354",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  r = RunCvmap({"verify", "-v", source.Root(), map, "--layout", "osm"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(Has(r.out, "missing: 16/353/221.png\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "different: 16/354/220.png\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "not a tile: notes.txt\n")) << r.out;
  EXPECT_TRUE(Has(r.err, map + " does not hold every tile of " + source.Root() + " as it is: 1 missing, 1 different"))
      << r.err;

  r = RunCvmap({"verify", source.Root(), otherMap, "--layout", "osm"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.out, "0 identical, 3 missing, 0 different")) << r.out;
  EXPECT_EQ(Slurp(otherMap), before);

  // With the wrong layout no file is a tile: that is no success.
  r = RunCvmap({"verify", source.Root(), map, "--layout", "geokuk"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "nothing was checked")) << r.err;

  r = RunCvmap({"verify", source.Root(), maps.Path("missing.cvmap")});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_FALSE(std::filesystem::exists(maps.Path("missing.cvmap")));
  const std::string notes = maps.File("notes.cvmap", std::string(3000, 'n'));
  r = RunCvmap({"verify", source.Root(), notes, "--layout", "osm"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(Has(r.err, notes + " is not a map file: file is not a database")) << r.err;
  EXPECT_EQ(RunCvmap({"verify", source.Path("missing"), map}).exitCode, 2);
}

// CLI-7: an atlas root (one folder per map source, a stray file first):
// probe and convert --layout auto name the deciding file and the folders to
// give instead; an empty folder is said to be empty.
TEST(CvmapProbeTest, SuggestsTheFolderToGive) {
  TempTree atlas;
  atlas.File("Readme.txt", "about the atlas");
  atlas.File("turist/16/353/220.png");
  atlas.File("relief/79/82/d8/50/relief_13_79d8000_8250000.kachle");
  TempTree maps;
  Result r = RunCvmap({"probe", atlas.Root()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, atlas.Path("Readme.txt") + " is neither a GeoKuk nor an OSM Tracker Storage tile")) << r.err;
  EXPECT_TRUE(Has(r.err, atlas.Path("relief") + " holds GeoKuk tiles; give that folder instead")) << r.err;
  EXPECT_TRUE(Has(r.err, atlas.Path("turist") + " holds OSM Tracker Storage tiles; give that folder instead")) << r.err;
  r = RunCvmap({"convert", atlas.Root(), maps.Path("m.cvmap")});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(Has(r.err, atlas.Path("turist") + " holds OSM Tracker Storage tiles")) << r.err;
  EXPECT_FALSE(std::filesystem::exists(maps.Path("m.cvmap")));

  TempTree empty;
  r = RunCvmap({"probe", empty.Root()});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, empty.Root() + " is empty: no file to tell a layout by\n");
}

// CLI-8: convert --verbose names every file it does not store, and why.
TEST(CvmapConvertTest, VerboseListsWhatIsNotStored) {
  TempTree source;
  source.File("16/353/220.png", "a");
  source.File("16/353/220.png.part", "partial");
  source.Fifo("16/353/221.png");
  source.File("notes.txt");
  TempTree maps;
  const std::string map = maps.Path("m.cvmap");
  Result r = RunCvmap({"convert", source.Root(), map, "-v", "--layout", "osm"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.err, "cvmap: not stored: 16/353/220.png.part: not a tile of the layout\n")) << r.err;
  EXPECT_TRUE(Has(r.err, "cvmap: not stored: 16/353/221.png: unreadable\n")) << r.err;
  EXPECT_TRUE(Has(r.err, "cvmap: not stored: notes.txt: not a tile of the layout\n")) << r.err;
  EXPECT_TRUE(Has(r.out, "4 files seen, 1 tiles stored, 0 already present, 2 not tiles, 1 unreadable")) << r.out;
  // --quiet promises nothing but errors, --verbose beside it too.
  r = RunCvmap({"convert", source.Root(), map, "-qv", "--layout", "osm"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  r = RunCvmap({"verify", source.Root(), map, "-qv", "--layout", "osm"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(Has(r.err, "not a tile: ")) << r.err;
}

// CLI-9: a name holding a line feed, another control character, a backslash
// or bytes that are no UTF-8 is printed escaped, so that every listed file
// and every message stays one line: in convert's and verify's lists and in
// probe's messages. Hidden names (".nomedia") decide nothing in the probe.
TEST(CvmapConvertTest, OddNamesStayOneLineEach) {
  TempTree source;
  source.File(".nomedia");
  source.File("16/353/220.png", "a");
  struct Name {
    std::string name;     // below 16/353/
    std::string printed;  // as listed
  } names[] = {
      {"221.png\nnot stored: 999.png", "221.png\\nnot stored: 999.png"},
      {"a\tb\x1b[31m.png", "a\\tb\\x1b[31m.png"},
      {"back\\slash.png", "back\\\\slash.png"},
      {"caf\xe9.png", "caf\\xe9.png"},
      {"\xc2\x9b" "2J.png", "\\xc2\\x9b" "2J.png"},  // the C1 control U+009B
      {"\xc4\x8d.png", "\xc4\x8d.png"},             // U+010D is printed as it is
  };
  for (const Name& n : names) source.File("16/353/" + n.name, "x");
  TempTree maps;
  const std::string map = maps.Path("m.cvmap");
  Result r = RunCvmap({"convert", source.Root(), map, "-v"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "8 files seen, 1 tiles stored, 0 already present, 7 not tiles")) << r.out;
  EXPECT_TRUE(Has(r.err, "cvmap: not stored: .nomedia: not a tile of the layout\n")) << r.err;
  r = RunCvmap({"verify", source.Root(), map, "-v"});
  const std::string verified = r.out;
  r = RunCvmap({"convert", source.Root(), map, "-v"});
  for (const Name& n : names) {
    SCOPED_TRACE(n.printed);
    EXPECT_TRUE(Has(r.err, "\ncvmap: not stored: 16/353/" + n.printed + ": not a tile of the layout\n")) << r.err;
    EXPECT_TRUE(Has(verified, "\nnot a tile: 16/353/" + n.printed + "\n")) << verified;
  }
  // Every line of the list is one message.
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = r.err.find('\n', at)) != std::string::npos; ++at) ++lines;
  EXPECT_EQ(lines, 8u) << r.err;

  TempTree odd;
  odd.File(".DS_Store");
  odd.File("a\nb/x.txt");
  r = RunCvmap({"probe", odd.Root()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, " is rejected: " + odd.Root() + "/a\\nb/x.txt is neither")) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

}  // namespace
