#include "cli/progress_display.h"

#include "convert/progress_text.h"

namespace cli {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);  // at most five redraws a second
}  // namespace

void ProgressDisplay::Progress(const convert::ProgressSnapshot& s, bool last) {
  if (!terminal_.ShowsProgress()) return;
  if (last) {
    terminal_.ClearProgress();
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (drawnPhase_ == s.phase && now - lastDraw_ < kRedrawInterval) return;
  drawnPhase_ = s.phase;
  lastDraw_ = now;
  if (s.phase == convert::SessionPhase::Counting) {
    terminal_.DrawProgress(convert::CountingLine(s.filesDone));
    return;
  }
  const double seconds = s.phaseSeconds;
  const double tileRate = seconds > 0 ? static_cast<double>(s.tilesDone) / seconds : 0.0;
  const double fileRate = seconds > 0 ? static_cast<double>(s.filesDone) / seconds : 0.0;
  const double left = fileRate > 0 ? static_cast<double>(s.filesTotal - s.filesDone) / fileRate : -1.0;
  terminal_.DrawProgress(convert::FitProgressLine(s.filesDone, s.filesTotal, tileRate, left, TerminalColumns()));
}

}  // namespace cli
