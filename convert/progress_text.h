// Texts of the command line's progress display and closing summaries.
//
// Thread-safety: pure functions.
#pragma once

#include <string>

namespace convert {

// "1:05" for 65 seconds, "1:02:03" from one hour on; "--:--" when unknown
// (negative or not finite).
std::string FormatDuration(double seconds);

// The counting pass: "counting files: 12345" of a tree, "counting rows:
// 12345" of a map's keys; without the number ("counting rows") while one
// query counts them all at once (`grows` false), so that no "0" stands for
// a count that is not known yet.
std::string CountingLine(long long count, const char* unit = "files", bool grows = true);

// The working pass: "[#####.....]  1234/5678  21%  350 tiles/s  0:12 left".
// `barWidth` is the number of cells between the brackets. A total of 0 shows
// an empty bar; done above total is shown as full. secondsLeft < 0: unknown.
std::string ProgressLine(long long done, long long total, double tilesPerSecond, double secondsLeft,
                         int barWidth);

// The working pass's line for a terminal of `columns` columns: it never
// reaches the last column, so the terminal never wraps it and "\r" redraws
// it in place. The bar takes up to 30 cells; on a narrower terminal it
// shrinks, then the rate, the bar and the time left are left out, and at
// last the line is cut. A rate that is not known yet (negative or not
// finite) leaves out the rate and the time left.
std::string FitProgressLine(long long done, long long total, double tilesPerSecond, double secondsLeft,
                            int columns);

// How long a working pass must have been watched before its rate is shown:
// a second, or a few hundred tiles over at least a fifth of one. A rate
// taken over the first milliseconds of a pass, or over a few tiles, would
// be a wild guess ("317073171 tiles/s  0:00 left").
inline constexpr double kRateSteadySeconds = 1.0;
inline constexpr long long kRateSteadyTiles = 300;
inline constexpr double kRateShortestSeconds = 0.2;

// The rate of a working pass and the time it still needs, measured from the
// progress seen since the first observation of the pass (whatever was done
// before the watcher first looked does not count).
//
// Thread-safety: one object belongs to one thread.
class PassRate {
 public:
  // An observation: `seconds` since the pass began, files and tiles done by
  // then. Times must not go back.
  void Observe(double seconds, long long filesDone, long long tilesDone);
  // True once the pass has been watched long enough (see above).
  bool Known() const;
  // Tiles a second; -1 while not Known().
  double TilesPerSecond() const;
  // Seconds until `filesTotal` files are done at the file rate seen; -1
  // while not Known() or when no file was done since the first observation.
  double SecondsLeft(long long filesTotal) const;

 private:
  bool started_ = false;     // a first observation was made
  double firstSeconds_ = 0;  // its time
  long long firstFiles_ = 0; // files done at it
  long long firstTiles_ = 0; // tiles done at it
  double seconds_ = 0;       // the latest observation's time
  long long files_ = 0;      // files done at it
  long long tiles_ = 0;      // tiles done at it
};

// `line` cut to fit a terminal of `columns` columns (as above).
std::string FitLine(const std::string& line, int columns);

struct SummaryNumbers {
  const char* unit = "files";       // what the source holds: "files" of a tree, "rows" of an MBTiles file
  long long filesSeen = 0;          // files of the tree (met, plus not reached when stopped)
  long long tilesStored = 0;        // rows inserted and kept
  long long duplicates = 0;         // tiles already present
  long long notTiles = 0;           // files that are not tiles of the layout
  long long unreadable = 0;         // tiles that could not be read
  long long tooLarge = 0;           // tiles too large to store (shown when not 0)
  long long unreadableFolders = 0;  // folders that could not be listed (shown when not 0)
  bool selected = false;            // a selection was given: outsideSelection is shown
  long long outsideSelection = 0;   // tiles the selection leaves out
  bool stopped = false;             // the job ended early: the line says why and what is left
  std::string stopReason;           // stopped: why, e.g. "database or disk is full"
  long long rolledBack = 0;         // stopped: tiles lost with the last batch
  long long notReached = 0;         // stopped: files not met
  double seconds = 0;               // wall time of the whole job
};

// "1200 files seen, 1100 tiles stored, 50 already present, 40 not tiles,
// 10 unreadable in 3.2 s (344 tiles/s)", with ", <n> too large" and
// ", <n> unreadable folders" after "unreadable" when they are not 0, and
// with a selection ", <n> outside the selection" after those; when stopped
// it begins with "stopped: <reason>: " and adds ", <n> rolled back with the
// last batch, <n> not reached" before " in".
std::string SummaryLine(const SummaryNumbers& numbers);

struct VerifyNumbers {
  const char* unit = "files";       // "files" of a tree, "rows" of an MBTiles file
  long long filesSeen = 0;          // files met
  long long identical = 0;          // tiles held with the same bytes
  long long missing = 0;            // tiles not held
  long long different = 0;          // tiles held with other bytes
  long long notTiles = 0;           // files that are not tiles of the layout
  long long unreadable = 0;         // tiles that could not be read
  long long tooLarge = 0;           // tiles too large to be in a map (shown when not 0)
  long long unreadableFolders = 0;  // folders that could not be listed (shown when not 0)
  bool selected = false;            // a selection was given: outsideSelection is shown
  long long outsideSelection = 0;   // tiles the selection leaves out (not checked)
  bool stopped = false;             // the check ended early
  std::string stopReason;           // stopped: why
  double seconds = 0;               // wall time of the check
};

// "1200 files seen, 1100 tiles checked: 1090 identical, 5 missing,
// 5 different; 100 not tiles, 0 unreadable in 3.2 s (344 tiles/s)"; with a
// selection ", <n> outside the selection" follows the unreadable ones; when
// stopped it begins with "stopped: <reason>: ".
std::string VerifySummaryLine(const VerifyNumbers& numbers);

struct ExportNumbers {
  long long rowsSeen = 0;        // rows of the map (read, plus not reached when stopped)
  long long written = 0;         // tiles written
  long long alreadyPresent = 0;  // tiles the target held already
  long long skipped = 0;         // rows not written (no place in the target, no name, ...)
  bool selected = false;         // a selection was given: outsideSelection is shown
  long long outsideSelection = 0;  // rows the selection leaves out
  bool stopped = false;          // the export ended early
  std::string stopReason;        // stopped: why
  long long rolledBack = 0;      // stopped: tiles taken back with the last batch
  long long notReached = 0;      // stopped: rows not read
  double seconds = 0;            // wall time of the export
};

// "1200 rows read, 1100 tiles written, 50 already present, 50 skipped in
// 3.2 s (344 tiles/s)"; with a selection ", <n> outside the selection"
// follows the skipped ones; when stopped it begins with "stopped: <reason>: "
// and adds ", <n> rolled back with the last batch, <n> not reached".
std::string ExportSummaryLine(const ExportNumbers& numbers);

struct ExtractNumbers {
  long long rowsInMap = 0;         // rows of the map copied from
  long long copied = 0;            // rows copied and kept
  long long alreadyPresent = 0;    // selected rows whose key the new map held
  long long outsideSelection = 0;  // rows the selection leaves out
  bool stopped = false;            // the copy ended early
  std::string stopReason;          // stopped: why
  long long rolledBack = 0;        // stopped: rows lost with the last batch
  long long notReached = 0;        // stopped: selected rows not reached
  double seconds = 0;              // wall time of the copy
};

// "1200 rows in the map, 1100 copied, 50 already present, 50 outside the
// selection in 3.2 s (344 tiles/s)"; when stopped it begins with "stopped:
// <reason>: " and adds ", <n> rolled back with the last batch, <n> not
// reached" before " in".
std::string ExtractSummaryLine(const ExtractNumbers& numbers);

}  // namespace convert
