// ProgressDisplay: draws a session's progress (convert/session_progress.h) as
// the progress line of the terminal: the count while files (or rows) are
// counted, then a bar with the files done, the tile rate and the time left
// (once the pass has run long enough to measure them, progress_text.h). The
// line is fitted to the terminal's width at every redraw, redrawn at most
// five times a second (and at once when a phase begins), and taken away when
// the walk has ended.
//
// Thread-safety: called on the session's thread only.
#pragma once

#include <chrono>
#include <optional>

#include "cli/terminal.h"
#include "convert/progress_text.h"
#include "convert/session_progress.h"

namespace cli {

class ProgressDisplay : public convert::ProgressObserver {
 public:
  explicit ProgressDisplay(Terminal& terminal) : terminal_(terminal) {}
  void Progress(const convert::ProgressSnapshot& snapshot, bool last) override;

 private:
  Terminal& terminal_;                                  // not owned
  std::optional<convert::SessionPhase> drawnPhase_;     // the phase of the last line drawn
  std::chrono::steady_clock::time_point lastDraw_{};    // when it was drawn
  convert::PassRate rate_;                              // of the working pass being drawn
};

}  // namespace cli
