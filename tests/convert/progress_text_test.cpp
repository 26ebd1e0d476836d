// Texts of the command line's progress display and summary.
#include "convert/progress_text.h"

#include <gtest/gtest.h>

#include <cmath>

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

}  // namespace
}  // namespace convert
