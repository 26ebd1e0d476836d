#include "convert/progress_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <vector>

namespace convert {

namespace {

constexpr int kWideBar = 30;    // cells of the bar when there is room
constexpr int kNarrowBar = 10;  // fewest cells worth drawing
const std::string kGap = "  ";  // between the parts of a progress line

double Fraction(long long done, long long total) {
  const double fraction = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 0.0;
  return std::clamp(fraction, 0.0, 1.0);
}

std::string Bar(double fraction, int width) {
  const int filled = static_cast<int>(fraction * width);
  std::string bar = "[";
  bar.append(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(width - filled), '.');
  bar += "]";
  return bar;
}

// The parts after the bar.
struct Parts {
  std::string counter;  // "1234/5678"
  std::string percent;  // " 21%"
  std::string rate;     // "350 tiles/s"
  std::string left;     // "0:12 left"
};

Parts MakeParts(long long done, long long total, double tilesPerSecond, double secondsLeft) {
  char text[64];
  Parts parts;
  std::snprintf(text, sizeof text, "%lld/%lld", done, total);
  parts.counter = text;
  std::snprintf(text, sizeof text, "%3d%%", static_cast<int>(Fraction(done, total) * 100.0));
  parts.percent = text;
  std::snprintf(text, sizeof text, "%.0f tiles/s", std::isfinite(tilesPerSecond) ? tilesPerSecond : 0.0);
  parts.rate = text;
  parts.left = FormatDuration(secondsLeft) + " left";
  return parts;
}

std::string Join(std::initializer_list<const std::string*> parts) {
  std::string line;
  for (const std::string* part : parts) {
    if (!line.empty()) line += kGap;
    line += *part;
  }
  return line;
}

std::string RateText(long long tiles, double seconds) {
  char text[48];
  std::snprintf(text, sizeof text, " in %.1f s (%.0f tiles/s)", seconds,
                seconds > 0 ? static_cast<double>(tiles) / seconds : 0.0);
  return text;
}

std::string OutsideText(bool selected, long long outside) {
  return selected ? ", " + std::to_string(outside) + " outside the selection" : "";
}

// ", <n> rolled back with the last batch, <n> not reached" for a stopped
// job; "" otherwise.
std::string StoppedTail(bool stopped, long long rolledBack, long long notReached) {
  if (!stopped) return "";
  return ", " + std::to_string(rolledBack) + " rolled back with the last batch, " + std::to_string(notReached) +
         " not reached";
}

std::string StoppedPrefix(bool stopped, const std::string& reason) {
  if (!stopped) return "";
  return "stopped: " + (reason.empty() ? std::string("interrupted") : reason) + ": ";
}

}  // namespace

std::string FormatDuration(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) return "--:--";
  const long long total = std::llround(seconds);
  const long long hours = total / 3600;
  const long long minutes = total / 60 % 60;
  const long long rest = total % 60;
  char text[48];
  if (hours > 0) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, rest);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", minutes, rest);
  }
  return text;
}

std::string CountingLine(long long count, const char* unit, bool grows) {
  const std::string caption = std::string("counting ") + unit;
  return grows ? caption + ": " + std::to_string(count) : caption;
}

std::string ProgressLine(long long done, long long total, double tilesPerSecond, double secondsLeft,
                         int barWidth) {
  const Parts p = MakeParts(done, total, tilesPerSecond, secondsLeft);
  return Bar(Fraction(done, total), barWidth) + kGap + Join({&p.counter, &p.percent, &p.rate, &p.left});
}

std::string FitLine(const std::string& line, int columns) {
  const std::size_t room = columns > 1 ? static_cast<std::size_t>(columns - 1) : 0;
  return line.size() <= room ? line : line.substr(0, room);
}

std::string FitProgressLine(long long done, long long total, double tilesPerSecond, double secondsLeft,
                            int columns) {
  const Parts p = MakeParts(done, total, tilesPerSecond, secondsLeft);
  const int room = columns - 1;
  // The texts after the bar, from the fullest to the shortest.
  std::vector<std::string> tails;
  if (std::isfinite(tilesPerSecond) && tilesPerSecond >= 0) {
    tails.push_back(Join({&p.counter, &p.percent, &p.rate, &p.left}));
    tails.push_back(Join({&p.counter, &p.percent, &p.left}));
  }
  tails.push_back(Join({&p.counter, &p.percent}));
  for (const std::string& tail : tails) {
    const int barWidth = std::min(kWideBar, room - static_cast<int>(tail.size() + kGap.size()) - 2);
    if (barWidth >= kNarrowBar) return Bar(Fraction(done, total), barWidth) + kGap + tail;
  }
  for (const std::string& tail : tails) {
    if (static_cast<int>(tail.size()) <= room) return tail;
  }
  return FitLine(p.percent, columns);
}

void PassRate::Observe(double seconds, long long filesDone, long long tilesDone) {
  if (!started_) {
    started_ = true;
    firstSeconds_ = seconds;
    firstFiles_ = filesDone;
    firstTiles_ = tilesDone;
  }
  seconds_ = seconds;
  files_ = filesDone;
  tiles_ = tilesDone;
}

bool PassRate::Known() const {
  if (!started_) return false;
  const double watched = seconds_ - firstSeconds_;
  if (watched >= kRateSteadySeconds) return true;
  return watched >= kRateShortestSeconds && tiles_ - firstTiles_ >= kRateSteadyTiles;
}

double PassRate::TilesPerSecond() const {
  if (!Known()) return -1;
  return static_cast<double>(tiles_ - firstTiles_) / (seconds_ - firstSeconds_);
}

double PassRate::SecondsLeft(long long filesTotal) const {
  if (!Known() || files_ <= firstFiles_) return -1;
  const double filesPerSecond = static_cast<double>(files_ - firstFiles_) / (seconds_ - firstSeconds_);
  return static_cast<double>(std::max(0LL, filesTotal - files_)) / filesPerSecond;
}

std::string SummaryLine(const SummaryNumbers& n) {
  std::string line = StoppedPrefix(n.stopped, n.stopReason);
  line += std::to_string(n.filesSeen) + " " + n.unit + " seen, " + std::to_string(n.tilesStored) + " tiles stored, " +
          std::to_string(n.duplicates) + " already present, " + std::to_string(n.notTiles) + " not tiles, " +
          std::to_string(n.unreadable) + " unreadable";
  if (n.tooLarge > 0) line += ", " + std::to_string(n.tooLarge) + " too large";
  if (n.unreadableFolders > 0) line += ", " + std::to_string(n.unreadableFolders) + " unreadable folders";
  line += OutsideText(n.selected, n.outsideSelection);
  line += StoppedTail(n.stopped, n.rolledBack, n.notReached);
  return line + RateText(n.tilesStored, n.seconds);
}

std::string VerifySummaryLine(const VerifyNumbers& n) {
  const long long checked = n.identical + n.missing + n.different;
  std::string line = StoppedPrefix(n.stopped, n.stopReason);
  line += std::to_string(n.filesSeen) + " " + n.unit + " seen, " + std::to_string(checked) + " tiles checked: " +
          std::to_string(n.identical) + " identical, " + std::to_string(n.missing) + " missing, " +
          std::to_string(n.different) + " different; " + std::to_string(n.notTiles) + " not tiles, " +
          std::to_string(n.unreadable) + " unreadable";
  if (n.tooLarge > 0) line += ", " + std::to_string(n.tooLarge) + " too large";
  if (n.unreadableFolders > 0) line += ", " + std::to_string(n.unreadableFolders) + " unreadable folders";
  line += OutsideText(n.selected, n.outsideSelection);
  return line + RateText(checked, n.seconds);
}

std::string ExportSummaryLine(const ExportNumbers& n) {
  std::string line = StoppedPrefix(n.stopped, n.stopReason);
  line += std::to_string(n.rowsSeen) + " rows read, " + std::to_string(n.written) + " tiles written, " +
          std::to_string(n.alreadyPresent) + " already present, " + std::to_string(n.skipped) + " skipped" +
          OutsideText(n.selected, n.outsideSelection);
  line += StoppedTail(n.stopped, n.rolledBack, n.notReached);
  return line + RateText(n.written, n.seconds);
}

std::string ExtractSummaryLine(const ExtractNumbers& n) {
  std::string line = StoppedPrefix(n.stopped, n.stopReason);
  line += std::to_string(n.rowsInMap) + " rows in the map, " + std::to_string(n.copied) + " copied, " +
          std::to_string(n.alreadyPresent) + " already present" + OutsideText(true, n.outsideSelection);
  line += StoppedTail(n.stopped, n.rolledBack, n.notReached);
  return line + RateText(n.copied, n.seconds);
}

}  // namespace convert
