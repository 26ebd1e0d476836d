#include "cli/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

#include "convert/progress_text.h"
#include "platform/utf.h"

namespace cli {

namespace {
constexpr int kDefaultColumns = 80;
}  // namespace

int TerminalColumns() {
  if (const char* columns = std::getenv("COLUMNS")) {
    char* end = nullptr;
    const long value = std::strtol(columns, &end, 10);
    if (end != columns && *end == '\0' && value > 0 && value < 100000) return static_cast<int>(value);
  }
  struct winsize size {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultColumns;
}

Terminal::Terminal(bool progress) : progress_(progress && ::isatty(STDERR_FILENO) == 1) {}

Terminal::~Terminal() { ClearProgress(); }

void Terminal::DrawProgress(const std::string& line) {
  if (!progress_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string fitted = convert::FitLine(line, TerminalColumns());
  std::fprintf(stderr, "\r%s\x1b[K", fitted.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void Terminal::ClearProgress() {
  std::lock_guard<std::mutex> lock(mutex_);
  ClearLocked();
}

void Terminal::ClearLocked() {
  if (!drawn_) return;
  std::fputs("\r\x1b[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

void Terminal::Line(std::FILE* stream, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  ClearLocked();
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

void TerminalMessageBox::Show(const std::u16string& text, platform::MessageStyle) {
  terminal_.Line(stderr, prefix_ + platform::Utf16ToUtf8(text));
}

}  // namespace cli
