// Texts of the command line's progress display and summary.
#include "convert/progress_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace convert {
namespace {

// TEXT-1: durations, including unknown ones.
TEST(ProgressTextTest, FormatsDurations) {
  EXPECT_EQ(FormatDuration(0), "0:00");
  EXPECT_EQ(FormatDuration(65.4), "1:05");
  EXPECT_EQ(FormatDuration(3723), "1:02:03");
  EXPECT_EQ(FormatDuration(-1), "--:--");
  EXPECT_EQ(FormatDuration(NAN), "--:--");
  EXPECT_EQ(FormatDuration(INFINITY), "--:--");
}

// TEXT-2: the bar stays within its cells for any done/total.
TEST(ProgressTextTest, DrawsABoundedBar) {
  EXPECT_EQ(ProgressLine(5, 10, 12.4, 30, 10), "[#####.....]  5/10   50%  12 tiles/s  0:30 left");
  EXPECT_EQ(ProgressLine(0, 0, 0, -1, 4), "[....]  0/0    0%  0 tiles/s  --:-- left");
  EXPECT_EQ(ProgressLine(12, 10, 1, 0, 4).substr(0, 6), "[####]");
  EXPECT_EQ(CountingLine(42), "counting files: 42");
}

TEST(ProgressTextTest, SummarisesTheJob) {
  SummaryNumbers n;
  n.filesSeen = 120;
  n.tilesStored = 100;
  n.duplicates = 5;
  n.notTiles = 10;
  n.unreadable = 5;
  n.seconds = 2.0;
  EXPECT_EQ(SummaryLine(n),
            "120 files seen, 100 tiles stored, 5 already present, 10 not tiles, 5 unreadable in 2.0 s (50 tiles/s)");
  n.seconds = 0;
  EXPECT_NE(SummaryLine(n).find("(0 tiles/s)"), std::string::npos);
}

// TEXT-4: fitted to any terminal width, the line never reaches the last
// column; what there is room for stays, the counter longest of all.
TEST(ProgressTextTest, FitsTheTerminalWidth) {
  const long long done = 123456, total = 9876543;
  for (int columns = 1; columns <= 120; ++columns) {
    const std::string line = FitProgressLine(done, total, 4321, 3725, columns);
    SCOPED_TRACE(columns);
    EXPECT_LE(line.size(), static_cast<std::size_t>(std::max(columns - 1, 0))) << line;
    if (columns > 22) {
      EXPECT_NE(line.find("123456/9876543"), std::string::npos) << line;
    }
  }
  EXPECT_EQ(FitProgressLine(done, total, 4321, 3725, 80),
            "[...........................]  123456/9876543    1%  4321 tiles/s  1:02:05 left");  // 79 columns
  EXPECT_EQ(FitProgressLine(done, total, 4321, 3725, 50), "[...........]  123456/9876543    1%  1:02:05 left");
  EXPECT_EQ(FitProgressLine(done, total, 4321, 3725, 30), "123456/9876543    1%");
  EXPECT_EQ(FitProgressLine(done, total, 4321, 3725, 160).substr(0, 32), "[" + std::string(30, '.') + "]");
  // A rate not known yet leaves out the rate and the time left, not the bar.
  EXPECT_EQ(FitProgressLine(done, total, -1, -1, 80), "[" + std::string(30, '.') + "]  123456/9876543    1%");
  EXPECT_EQ(FitLine("counting files: 12345", 10), "counting ");
  EXPECT_EQ(FitLine("short", 80), "short");
}

// TEXT-5: a stopped job's summary says why and adds what is left, so that
// the counts add up; the check's summary splits the tiles checked.
TEST(ProgressTextTest, SummarisesAStoppedJobAndACheck) {
  SummaryNumbers n;
  n.filesSeen = 870;
  n.tilesStored = 300;
  n.notTiles = 46;
  n.unreadableFolders = 2;
  n.stopped = true;
  n.stopReason = "database or disk is full";
  n.rolledBack = 120;
  n.notReached = 404;
  n.seconds = 3.0;
  EXPECT_EQ(SummaryLine(n),
            "stopped: database or disk is full: 870 files seen, 300 tiles stored, 0 already present, 46 not tiles, "
            "0 unreadable, 2 unreadable folders, 120 rolled back with the last batch, 404 not reached in 3.0 s "
            "(100 tiles/s)");
  n.stopReason.clear();
  EXPECT_EQ(SummaryLine(n).rfind("stopped: interrupted: 870 files seen", 0), 0u);

  VerifyNumbers v;
  v.filesSeen = 12;
  v.identical = 8;
  v.missing = 1;
  v.different = 2;
  v.notTiles = 1;
  v.seconds = 1.0;
  EXPECT_EQ(VerifySummaryLine(v),
            "12 files seen, 11 tiles checked: 8 identical, 1 missing, 2 different; 1 not tiles, 0 unreadable in "
            "1.0 s (11 tiles/s)");
}

// TEXT-6: with a selection every summary counts what it left out, after the
// unreadable ones and before what a stop left; extract's line adds up to the
// rows of the map.
TEST(ProgressTextTest, SummariesCountWhatTheSelectionLeavesOut) {
  SummaryNumbers n;
  n.filesSeen = 10;
  n.tilesStored = 4;
  n.selected = true;
  n.outsideSelection = 6;
  n.seconds = 1.0;
  EXPECT_EQ(SummaryLine(n),
            "10 files seen, 4 tiles stored, 0 already present, 0 not tiles, 0 unreadable, 6 outside the selection "
            "in 1.0 s (4 tiles/s)");
  VerifyNumbers v;
  v.filesSeen = 3;
  v.identical = 3;
  v.selected = true;
  v.seconds = 1.0;
  EXPECT_EQ(VerifySummaryLine(v), "3 files seen, 3 tiles checked: 3 identical, 0 missing, 0 different; 0 not tiles, "
                                  "0 unreadable, 0 outside the selection in 1.0 s (3 tiles/s)");
  ExtractNumbers e;
  e.rowsInMap = 100;
  e.copied = 20;
  e.alreadyPresent = 5;
  e.outsideSelection = 50;
  e.stopped = true;
  e.stopReason = "database or disk is full";
  e.rolledBack = 10;
  e.notReached = 15;
  e.seconds = 2.0;
  EXPECT_EQ(ExtractSummaryLine(e),
            "stopped: database or disk is full: 100 rows in the map, 20 copied, 5 already present, 50 outside the "
            "selection, 10 rolled back with the last batch, 15 not reached in 2.0 s (10 tiles/s)");
}

// TEXT-7: the rate and the time left are shown only once the pass has been
// watched for a second, or for a few hundred tiles over a fifth of one; what
// was done before the first look (the pass may be well under way by then)
// never counts as done in no time.
TEST(ProgressTextTest, RateOnlyOnceMeasurable) {
  struct Look {
    double seconds;
    long long files, tiles;
  };
  struct Case {
    const char* what;
    std::vector<Look> looks;
    long long filesTotal;
    double tilesPerSecond;  // -1: not shown
    double secondsLeft;     // -1: not shown
  } cases[] = {
      {"first look, far into the pass", {{0.00004, 13000, 12683}}, 20000, -1, -1},
      {"a few tiles over a quarter second", {{0.001, 1300, 1300}, {0.25, 1400, 1400}}, 2000, -1, -1},
      {"many tiles, but too soon", {{0, 0, 0}, {0.1, 1000, 1000}}, 2000, -1, -1},
      {"a few hundred tiles over a quarter second", {{0, 0, 0}, {0.25, 400, 400}}, 2000, 1600, 1.0},
      {"work before the first look does not count", {{0.5, 5000, 5000}, {1.5, 5100, 5050}}, 5200, 50, 1.0},
      {"a slow pass after a second", {{0, 0, 0}, {0.5, 4, 2}, {1.0, 10, 5}}, 20, 5, 1.0},
      {"nothing done in a second", {{0, 0, 0}, {1.0, 0, 0}}, 20, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PassRate rate;
    for (const Look& look : c.looks) rate.Observe(look.seconds, look.files, look.tiles);
    EXPECT_EQ(rate.Known(), c.tilesPerSecond >= 0);
    EXPECT_NEAR(rate.TilesPerSecond(), c.tilesPerSecond, 1e-9);
    EXPECT_NEAR(rate.SecondsLeft(c.filesTotal), c.secondsLeft, 1e-9);
  }
}

// TEXT-8: the counting pass says what it counts: the files of a tree as they
// are found, the rows of a map's key pass as they are decided, and no number
// while one query counts the rows of a map or an MBTiles file at once.
TEST(ProgressTextTest, CountingSaysWhatItCounts) {
  const struct {
    long long count;
    const char* unit;
    bool grows;
    const char* line;
  } cases[] = {
      {987, "files", true, "counting files: 987"},
      {0, "files", true, "counting files: 0"},
      {4096, "rows", true, "counting rows: 4096"},
      {0, "rows", false, "counting rows"},
      {5000, "rows", false, "counting rows"},
  };
  for (const auto& c : cases) EXPECT_EQ(CountingLine(c.count, c.unit, c.grows), c.line);
  EXPECT_EQ(CountingLine(12), "counting files: 12");
}

}  // namespace
}  // namespace convert
