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
  if (s.phase == convert::SessionPhase::Working) rate_.Observe(s.phaseSeconds, s.filesDone, s.tilesDone);
  const auto now = std::chrono::steady_clock::now();
  if (drawnPhase_ == s.phase && now - lastDraw_ < kRedrawInterval) return;
  drawnPhase_ = s.phase;
  lastDraw_ = now;
  if (s.phase == convert::SessionPhase::Counting) {
    terminal_.DrawProgress(convert::FitLine(convert::CountingLine(s.filesDone, s.unit, s.countGrows), TerminalColumns()));
    return;
  }
  terminal_.DrawProgress(convert::FitProgressLine(s.filesDone, s.filesTotal, rate_.TilesPerSecond(),
                                                  rate_.SecondsLeft(s.filesTotal), TerminalColumns()));
}

}  // namespace cli
