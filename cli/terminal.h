// Terminal: cvmap's stderr. It writes message lines, and while a job runs it
// may keep one progress line at the bottom, redrawn in place.
//
// The progress line is drawn only when stderr is a terminal (and the command
// was not asked to be quiet). It is cut to the terminal's width less one
// column, so the terminal never wraps it and "\r" always returns to its
// start: a narrow terminal shows a shorter line, never a broken one. The
// width is read anew for every line: COLUMNS when it holds a positive number,
// else the terminal's own size (TIOCGWINSZ), else 80. A message line first
// clears the progress line, which the next redraw brings back.
//
// Thread-safety: all members may be called from any thread; lines of two
// threads never mix.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "platform/message_box.h"

namespace cli {

// The width a line for stderr may use: COLUMNS, else TIOCGWINSZ, else 80.
int TerminalColumns();

class Terminal {
 public:
  // `progress`: the caller wants a progress line; it is drawn only when
  // stderr is a terminal.
  explicit Terminal(bool progress);
  ~Terminal();
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  bool ShowsProgress() const { return progress_; }

  // Redraws the progress line with `line` (cut to the width).
  void DrawProgress(const std::string& line);
  // Takes the progress line off the screen.
  void ClearProgress();
  // Writes `text` and a newline to `stream` (stdout or stderr), on a clean
  // line.
  void Line(std::FILE* stream, const std::string& text);

 private:
  void ClearLocked();

  const bool progress_;  // stderr is a terminal and a progress line is wanted
  std::mutex mutex_;     // one writer at a time
  bool drawn_ = false;   // a progress line is on the screen
};

// A message-box service for the job's messages: each one becomes the line
// "<prefix><text>" on stderr, written through the terminal.
class TerminalMessageBox : public platform::MessageBoxService {
 public:
  TerminalMessageBox(Terminal& terminal, std::string prefix) : terminal_(terminal), prefix_(std::move(prefix)) {}
  void Show(const std::u16string& text, platform::MessageStyle style) override;

 private:
  Terminal& terminal_;   // not owned
  std::string prefix_;   // written before every message
};

}  // namespace cli
