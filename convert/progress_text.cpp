#include "convert/progress_text.h"

#include <cmath>
#include <cstdio>

namespace convert {

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

std::string CountingLine(long long files) {
  return "counting files: " + std::to_string(files);
}

std::string ProgressLine(long long done, long long total, double tilesPerSecond, double secondsLeft,
                         int barWidth) {
  double fraction = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 0.0;
  if (fraction > 1.0) fraction = 1.0;
  if (fraction < 0.0) fraction = 0.0;
  const int filled = static_cast<int>(fraction * barWidth);
  std::string line = "[";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(barWidth - filled), '.');
  line += "]";
  char text[160];
  std::snprintf(text, sizeof text, "  %lld/%lld  %3d%%  %.0f tiles/s  %s left", done, total,
                static_cast<int>(fraction * 100.0), std::isfinite(tilesPerSecond) ? tilesPerSecond : 0.0,
                FormatDuration(secondsLeft).c_str());
  return line + text;
}

std::string SummaryLine(const SummaryNumbers& n) {
  const double rate = n.seconds > 0 ? static_cast<double>(n.tilesStored) / n.seconds : 0.0;
  char text[320];
  std::snprintf(text, sizeof text,
                "%lld files seen, %lld tiles stored, %lld already present, %lld not tiles, "
                "%lld unreadable in %.1f s (%.0f tiles/s)",
                n.filesSeen, n.tilesStored, n.duplicates, n.notTiles, n.unreadable, n.seconds, rate);
  return text;
}

}  // namespace convert
