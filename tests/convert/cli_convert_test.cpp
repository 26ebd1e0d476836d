// cvmap convert and cvmap probe, run as the built program on temporary trees.
#include <gtest/gtest.h>

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
  EXPECT_EQ(RunCvmap({"convert", source.Root(), map, "--layout", "tms"}).exitCode, 2);
  EXPECT_EQ(RunCvmap({"convert", source.Root()}).exitCode, 2);
  EXPECT_EQ(RunCvmap({"convert", source.Root(), map, "--bogus"}).exitCode, 2);
  // With the layout given there is no probe: the text file is only counted.
  r = RunCvmap({"convert", source.Root(), map, "--layout", "osm"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("1 not tiles"), std::string::npos);
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

}  // namespace
