// An MBTiles file as the source of a conversion job and of a check, and as
// the probe sees it.
#include <gtest/gtest.h>

#include <algorithm>

#include "convert/conversion_job.h"
#include "convert/layouts.h"
#include "convert/probe.h"
#include "convert/skip_listener.h"
#include "convert/verify_walk.h"
#include "job_fixture.h"
#include "platform/utf.h"
#include "store/mbtiles_reader.h"
#include "tests/support/mbtiles_fixture.h"

namespace {

using convert::LayoutMbtiles;
using convert::NotifyCounted;
using convert::NotifyFinished;
using convert_test::JobRig;
using convert_test::ReadRows;
using convert_test::TempTree;
using test_support::MbtilesRow;

class SkipRecorder : public convert::SkipListener {
 public:
  void Skipped(std::string_view where, convert::SkipReason reason) override {
    lines.push_back(std::string(where) + ":" + std::to_string(static_cast<int>(reason)));
  }
  std::vector<std::string> lines;
};

// Rows of every kind: tiles (one of them empty), NULL data, a column and a
// row outside their zoom level, a zoom level that does not fit.
const std::vector<MbtilesRow> kRows = {
    {0, 0, 0, "world"},       {1, 0, 0, "south-west"}, {1, 1, 1, "north-east"}, {16, 35210, 42635, ""},
    {3, 2, 5, "", true},      {2, 4, 0, "column"},      {2, 0, 4, "row"},        {32, 0, 0, "deep"},
};

// MBS-1: both schemas convert to the same rows: x the column, y flipped, z
// 17 minus the zoom, s 0, the bytes as they are; the rows that are no tile
// are counted by reason and told; progress counts rows.
TEST(MbtilesSourceTest, ConvertsTablesAndViews) {
  for (const test_support::MbtilesSchema schema : {test_support::MbtilesSchema::Table, test_support::MbtilesSchema::View}) {
    SCOPED_TRACE(schema == test_support::MbtilesSchema::View ? "view" : "table");
    TempTree files;
    const std::string source = files.Path("tiles.mbtiles");
    test_support::WriteMbtiles(source, kRows, schema);
    JobRig rig(source, LayoutMbtiles);
    SkipRecorder skips;
    rig.job.skipListener = &skips;
    rig.Run();
    std::vector<std::string> rows;
    for (const convert_test::StoredRow& row : ReadRows(rig.mapPath)) {
      rows.push_back(std::to_string(row.x) + "," + std::to_string(row.y) + "," + std::to_string(row.z) + "," +
                     row.sType + ":" + row.s + "=" + row.imageType + ":" + row.image);
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"0,0,17,integer:0=blob:world", "0,1,16,integer:0=blob:south-west",
                                              "1,0,16,integer:0=blob:north-east", "35210,22900,1,integer:0=blob:"}));
    const convert::ConversionStats& stats = rig.job.stats;
    EXPECT_EQ(stats.filesCounted.load(), 8);
    EXPECT_EQ(stats.filesSeen.load(), 8);
    EXPECT_EQ(stats.tilesStored.load(), 4);
    EXPECT_EQ(stats.notTiles.load(), 4);
    EXPECT_EQ(stats.rowsWithoutData.load(), 1);
    EXPECT_EQ(stats.rowsOutsideRange.load(), 2);
    EXPECT_EQ(stats.rowsZoomUnfit.load(), 1);
    EXPECT_EQ(stats.databaseErrors.load(), 0);
    std::sort(skips.lines.begin(), skips.lines.end());
    EXPECT_EQ(skips.lines, (std::vector<std::string>{"zoom 2, column 0, row 4:4", "zoom 2, column 4, row 0:4",
                                                     "zoom 3, column 2, row 5:5", "zoom 32, column 0, row 0:6"}));
    ASSERT_FALSE(rig.channel.notices.empty());
    EXPECT_EQ(rig.channel.notices.front().code, NotifyCounted);
    EXPECT_EQ(rig.channel.notices.front().count, 8);
    EXPECT_EQ(rig.channel.notices.back().code, NotifyFinished);
    EXPECT_EQ(rig.channel.notices.back().count, 8);
    // Converting again stores nothing new.
    rig.Run();
    EXPECT_EQ(rig.job.stats.duplicates.load(), 4);
    EXPECT_EQ(ReadRows(rig.mapPath).size(), 4u);
  }
}

// MBS-2: a file that cannot be read stops the job with one message, and no
// row is stored; a stop request ends the pass at the next row, keeping what
// was stored.
TEST(MbtilesSourceTest, UnreadableFileAndStop) {
  TempTree files;
  files.File("text.mbtiles", std::string(500, 't'));
  JobRig broken(files.Path("text.mbtiles"), LayoutMbtiles);
  broken.Run();
  EXPECT_EQ(broken.job.stats.sourceErrors.load(), 1);
  EXPECT_EQ(broken.job.stats.databaseErrors.load(), 1);
  ASSERT_EQ(broken.boxes.Messages().size(), 1u);
  EXPECT_NE(platform::Utf16ToUtf8(broken.boxes.Messages()[0].text).find("no SQLite database"), std::string::npos);
  EXPECT_TRUE(ReadRows(broken.mapPath).empty());

  std::vector<MbtilesRow> many;
  for (int column = 0; column < 2000; ++column) many.push_back({11, column, 7, "tile"});
  const std::string source = files.Path("many.mbtiles");
  test_support::WriteMbtiles(source, many);
  JobRig rig(source, LayoutMbtiles);
  rig.job.skipListener = nullptr;
  rig.channel.onPost = [&](int code, int count) {
    if (code == convert::NotifyConverted && count >= 1000) rig.job.stopRequested = 1;
  };
  rig.Run();
  const long long stored = rig.job.stats.tilesStored.load();
  EXPECT_GE(stored, 1000);
  EXPECT_LT(stored, 2000);
  EXPECT_EQ(static_cast<long long>(ReadRows(rig.mapPath).size()), stored);  // what was stored is committed
}

// MBS-3: verify reads the same rows: all identical against the map they
// made; a tile changed in the map is different, one deleted is missing.
TEST(MbtilesSourceTest, VerifiesAgainstTheMap) {
  TempTree files;
  const std::string source = files.Path("tiles.mbtiles");
  test_support::WriteMbtiles(source, kRows, test_support::MbtilesSchema::View);
  JobRig rig(source, LayoutMbtiles);
  rig.Run();
  auto check = [&](bool countFirst) {
    convert::VerifyJob job;
    job.layout = LayoutMbtiles;
    job.sourceFolder = source;
    job.database = &rig.db;
    job.countFirst = countFirst;
    convert::RunVerify(job);
    EXPECT_FALSE(job.stats.failed.load()) << platform::Utf16ToUtf8(job.errorText);
    if (countFirst) {
      EXPECT_EQ(job.stats.filesCounted.load(), 8);
    }
    EXPECT_EQ(job.stats.filesSeen.load(), 8);
    EXPECT_EQ(job.stats.notTiles.load(), 4);
    return std::vector<long long>{job.stats.identical.load(), job.stats.missing.load(), job.stats.different.load()};
  };
  EXPECT_EQ(check(true), (std::vector<long long>{4, 0, 0}));
  ASSERT_EQ(rig.db.exec(u"UPDATE tiles SET image = x'00' WHERE z = 17"), SQLITE_OK);
  ASSERT_EQ(rig.db.exec(u"DELETE FROM tiles WHERE z = 1"), SQLITE_OK);
  EXPECT_EQ(check(false), (std::vector<long long>{2, 1, 1}));
}

// MBS-4: the probe tells an MBTiles file by its content, whatever its name,
// accepts any other file without a layout, and points out a TMS tree's
// tilemapresource.xml without ever detecting TMS.
TEST(MbtilesSourceTest, Probe) {
  TempTree tree;
  test_support::WriteMbtiles(tree.Path("atlas.dat"), kRows);
  tree.File("notes.mbtiles", "not a database");
  tree.File("tms/0/0/0.png");
  tree.File("tms/tilemapresource.xml", "<TileMap/>");
  struct Case {
    const char* path;
    bool accepted;
    int layout;
    bool deciding;       // the file itself decided
    bool tileMapResource;
  };
  const Case cases[] = {
      {"atlas.dat", true, LayoutMbtiles, true, false},
      {"notes.mbtiles", true, -1, false, false},
      {"tms", true, convert::LayoutOsmTrackerStorage, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    int layout = -1;
    const convert::ProbeOutcome outcome = convert::ProbeSource(tree.Path(c.path), &layout);
    EXPECT_EQ(outcome.accepted, c.accepted);
    EXPECT_EQ(layout, c.layout);
    EXPECT_EQ(outcome.decidingFile == tree.Path(c.path), c.deciding);
    EXPECT_EQ(outcome.tileMapResource, c.tileMapResource);
    int windowLayout = -1;
    EXPECT_EQ(convert::ProbeSourceFolder(tree.Path(c.path), tree.Path(c.path), true, &windowLayout), c.accepted);
    EXPECT_EQ(windowLayout, c.layout);
  }
}

}  // namespace
