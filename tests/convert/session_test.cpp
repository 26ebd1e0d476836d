// The command line's sessions on real trees: the source check, a conversion
// stopped by a database error (its counts add up), and the verification of a
// map against its source (the same walk and rules as the conversion).
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "convert/conversion_session.h"
#include "convert/layouts.h"
#include "convert/verify_session.h"
#include "job_fixture.h"
#include "platform/message_box.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/mbtiles_fixture.h"

namespace convert {
namespace {

using convert_test::TempTree;

bool RunSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  const bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

// SESSION-1: what the source check says about each kind of folder.
TEST(SessionTest, ChecksTheSource) {
  TempTree tree;
  tree.File("osm/16/353/220.png");
  tree.File("atlas/readme.txt");
  tree.File("atlas/turist/79/82/d8/50/turist_13_79d8000_8250000.kachle");
  tree.File("atlas/maps/relief/15/20/7.png");  // two levels down
  tree.Folder("empty");
  tree.Folder("hollow/a");                      // the first folder path holds no file
  tree.File("hollow/b/readme.txt");
  tree.File("file.txt");
  test_support::WriteMbtiles(tree.Path("tiles.mbtiles"), {{0, 0, 0, "png"}});
  struct Case {
    const char* folder;
    int layout;
    SourceStatus status;
    int detected;
    std::vector<std::string> hints;
  };
  const Case cases[] = {
      {"osm", kDetectLayout, SourceStatus::Ready, LayoutOsmTrackerStorage, {}},
      {"osm", LayoutGeoKuk, SourceStatus::Ready, LayoutGeoKuk, {}},  // a given layout is not probed
      {"atlas", kDetectLayout, SourceStatus::Refused, kDetectLayout, {"atlas/maps/relief", "atlas/turist"}},
      {"atlas", LayoutOsmTrackerStorage, SourceStatus::Ready, LayoutOsmTrackerStorage, {}},
      {"empty", kDetectLayout, SourceStatus::Empty, kDetectLayout, {}},
      {"empty", LayoutGeoKuk, SourceStatus::Ready, LayoutGeoKuk, {}},
      {"hollow", kDetectLayout, SourceStatus::NoLayout, kDetectLayout, {}},
      {"file.txt", kDetectLayout, SourceStatus::NotMbtiles, kDetectLayout, {}},  // a file must be an MBTiles file
      {"file.txt", LayoutOsmTrackerStorage, SourceStatus::NotAFolder, kDetectLayout, {}},
      {"tiles.mbtiles", kDetectLayout, SourceStatus::Ready, LayoutMbtiles, {}},
      {"tiles.mbtiles", LayoutMbtiles, SourceStatus::Ready, LayoutMbtiles, {}},
      {"tiles.mbtiles", LayoutTms, SourceStatus::NotAFolder, kDetectLayout, {}},
      {"osm", LayoutMbtiles, SourceStatus::NotMbtiles, kDetectLayout, {}},
      {"missing", LayoutGeoKuk, SourceStatus::NotAFolder, kDetectLayout, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.folder) + " " + std::to_string(c.layout));
    const SourceCheck check = CheckSource(tree.Path(c.folder), c.layout);
    EXPECT_EQ(check.status, c.status);
    if (c.status == SourceStatus::Ready) {
      EXPECT_EQ(check.layout, c.detected);
    }
    std::vector<std::string> hints;
    for (const SourceHint& hint : check.hints) hints.push_back(hint.folder);
    std::vector<std::string> expected;
    for (const std::string& hint : c.hints) expected.push_back(tree.Path(hint));
    EXPECT_EQ(hints, expected);
  }
  // "maps" comes first in name order: the probe went down it and decided on
  // the file there, which lies a level too deep.
  EXPECT_EQ(CheckSource(tree.Path("atlas"), kDetectLayout).probe.decidingFile,
            tree.Path("atlas/maps/relief/15/20/7.png"));
}

// SESSION-2: a database error in the middle of a conversion (a CHECK that
// refuses the tiles from x 120 on; batches of 6 tiles): the batches committed
// before stay, the open batch and the refused tile are counted as rolled
// back, the rest as not reached, and the counts add up to the files of the
// tree.
TEST(SessionTest, CountsOfAStoppedConversionAddUp) {
  TempTree source;
  for (int x = 100; x < 130; ++x) source.File("16/" + std::to_string(x) + "/100.png", "tile " + std::to_string(x));
  source.File("16/readme.txt");  // after the column folders in name order
  TempTree maps;
  const std::string map = maps.Path("m.cvmap");
  ASSERT_TRUE(RunSql(map, "CREATE TABLE tiles(x int, y int, z int, s int, image blob CHECK (x < 120), "
                          "PRIMARY KEY (x,y,z,s))"));
  platform::RecordingMessageBox boxes;
  ConversionSession session;
  session.job().commitBatch = 6;
  session.job().commitInterval = std::chrono::hours(1);
  const ConversionOutcome outcome = session.Run({source.Root(), map, LayoutOsmTrackerStorage, &boxes, {}}, nullptr);
  ASSERT_EQ(outcome.status, ConversionStatus::DatabaseError);
  EXPECT_NE(outcome.errorText.find("CHECK constraint failed"), std::string::npos) << outcome.errorText;
  EXPECT_EQ(outcome.errorCode & 0xff, SQLITE_CONSTRAINT);
  EXPECT_EQ(boxes.Messages().size(), 1u);
  const ConversionCounts& n = outcome.counts;
  // Batches of 6 committed up to x 117; 118, 119 and the refused 120 are
  // lost with the open batch; 121-129 and the text file are not reached.
  EXPECT_EQ(std::make_tuple(n.tilesStored, n.rolledBack, n.notReached, n.filesSeen), std::make_tuple(18LL, 3LL, 10LL, 31LL));
  EXPECT_EQ(n.filesSeen, n.tilesStored + n.duplicates + n.notTiles + n.unreadable + n.rolledBack + n.notReached);
  EXPECT_EQ(static_cast<long long>(convert_test::ReadRows(map).size()), n.tilesStored);
}

// SESSION-3: a stop asked for before the session starts its job: nothing is
// walked or written, and the map file is left as it was.
TEST(SessionTest, StopBeforeTheJobStarts) {
  TempTree source;
  source.File("16/353/220.png");
  TempTree maps;
  ConversionSession session;
  session.RequestStop();
  const ConversionOutcome outcome = session.Run({source.Root(), maps.Path("m.cvmap"), kDetectLayout, nullptr, {}}, nullptr);
  EXPECT_EQ(outcome.status, ConversionStatus::Stopped);
  EXPECT_EQ(outcome.counts.filesSeen, 0);
  EXPECT_TRUE(convert_test::ReadRows(maps.Path("m.cvmap")).empty());
}

// Hears every finding of a check.
struct FindingRecorder : VerifyListener {
  void Found(std::string_view path, VerifyFinding finding) override { heard.emplace_back(path, finding); }
  std::vector<std::pair<std::string, VerifyFinding>> heard;
};
using Findings = std::vector<std::pair<std::string, VerifyFinding>>;

struct Checked {
  VerifyOutcome outcome;
  Findings findings;
};

Checked Verify(const std::string& source, const std::string& map, int layout = kDetectLayout) {
  FindingRecorder recorder;
  VerifySession session;
  Checked checked;
  checked.outcome = session.Run({source, map, layout, &recorder, true, {}}, nullptr);
  checked.findings = recorder.heard;
  return checked;
}

// SESSION-4: a map made from a tree verifies against it: every tile the
// conversion stored is identical; the later of two files of one key is
// different when its bytes are (the map keeps the first); partial downloads
// and other files are no tiles, a FIFO is unreadable. The map's bytes and
// time stay. Then one row deleted and one image changed: both named, in walk
// order; and a map of another tree: every tile missing.
TEST(SessionTest, VerifiesAMapAgainstItsTree) {
  TempTree source;
  source.File("00/00/00/00/t_13_1_2.kachle", "first");
  source.File("00/00/00/01/t_13_3_4.kachle", "second");
  source.File("ff/00/00/00/t_13_1_2.kachle", "same key, other bytes");
  source.File("00/00/00/01/t_13_5_6.kachle.part", "partial");
  source.Fifo("00/00/00/02/t_13_7_8.kachle");
  source.File("tiles.sqlite", "a database of GeoKuk's own");
  TempTree maps;
  const std::string map = maps.Path("m.cvmap");
  ConversionSession conversion;
  ASSERT_EQ(conversion.Run({source.Root(), map, LayoutGeoKuk, nullptr, {}}, nullptr).status, ConversionStatus::Done);
  struct stat before {};
  ASSERT_EQ(::stat(map.c_str(), &before), 0);
  const std::string bytes = testing_support::ReadFile(map);

  Checked checked = Verify(source.Root(), map, LayoutGeoKuk);
  ASSERT_EQ(checked.outcome.status, VerifyStatus::Checked);
  const VerifyCounts& n = checked.outcome.counts;
  EXPECT_EQ(std::make_tuple(n.filesSeen, n.identical, n.missing, n.different, n.notTiles, n.unreadable),
            std::make_tuple(6LL, 2LL, 0LL, 1LL, 2LL, 1LL));
  EXPECT_EQ(checked.findings, (Findings{{"00/00/00/01/t_13_5_6.kachle.part", VerifyFinding::NotTile},
                                        {"00/00/00/02/t_13_7_8.kachle", VerifyFinding::Unreadable},
                                        {"ff/00/00/00/t_13_1_2.kachle", VerifyFinding::Different},
                                        {"tiles.sqlite", VerifyFinding::NotTile}}));
  struct stat after {};
  ASSERT_EQ(::stat(map.c_str(), &after), 0);
  EXPECT_EQ(testing_support::ReadFile(map), bytes);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);

  ASSERT_TRUE(RunSql(map, "DELETE FROM tiles WHERE x = 1; UPDATE tiles SET image = x'00' WHERE x = 3"));
  checked = Verify(source.Root(), map);  // GeoKuk, as the probe detects
  EXPECT_EQ(checked.outcome.source.layout, LayoutGeoKuk);
  EXPECT_EQ(checked.outcome.counts.identical, 0);
  EXPECT_EQ(checked.outcome.counts.missing, 2);
  EXPECT_EQ(checked.outcome.counts.different, 1);
  EXPECT_EQ(checked.findings[0], std::make_pair(std::string("00/00/00/00/t_13_1_2.kachle"), VerifyFinding::Missing));
  EXPECT_EQ(checked.findings[1], std::make_pair(std::string("00/00/00/01/t_13_3_4.kachle"), VerifyFinding::Different));

  TempTree other;
  other.File("16/353/220.png");
  other.File("16/353/221.png");
  checked = Verify(other.Root(), map);
  EXPECT_EQ(checked.outcome.counts.missing, 2);
  EXPECT_EQ(checked.outcome.counts.identical, 0);
  EXPECT_FALSE(checked.outcome.counts.AllIdentical());
}

}  // namespace
}  // namespace convert
