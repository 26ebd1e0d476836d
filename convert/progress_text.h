// Texts of the command line's progress display and closing summary.
//
// Thread-safety: pure functions.
#pragma once

#include <string>

namespace convert {

// "1:05" for 65 seconds, "1:02:03" from one hour on; "--:--" when unknown
// (negative or not finite).
std::string FormatDuration(double seconds);

// The counting pass: "counting files: 12345".
std::string CountingLine(long long files);

// The converting pass: "[#####.....]  1234/5678  21%  350 tiles/s  0:12 left".
// `barWidth` is the number of cells between the brackets. A total of 0 shows
// an empty bar; done above total is shown as full. secondsLeft < 0: unknown.
std::string ProgressLine(long long done, long long total, double tilesPerSecond, double secondsLeft,
                         int barWidth);

struct SummaryNumbers {
  long long filesSeen = 0;    // files met by the converting pass (or counted, when it did not run)
  long long tilesStored = 0;  // rows inserted
  long long duplicates = 0;   // tiles already present
  long long notTiles = 0;     // files that are not tiles of the layout
  long long unreadable = 0;   // tiles that could not be read
  double seconds = 0;         // wall time of the whole job
};

// "1200 files seen, 1100 tiles stored, 50 already present, 40 not tiles,
// 10 unreadable in 3.2 s (344 tiles/s)".
std::string SummaryLine(const SummaryNumbers& numbers);

}  // namespace convert
