#include "platform/message_box.h"

#include <cstdio>

#include "platform/utf.h"

namespace platform {

void StderrMessageBox::Show(const std::u16string& text, MessageStyle /*style*/) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string line = prefix_ + Utf16ToUtf8(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void RecordingMessageBox::Show(const std::u16string& text, MessageStyle style) {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.push_back({text, style});
}

std::vector<RecordingMessageBox::Message> RecordingMessageBox::Messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

void RecordingMessageBox::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.clear();
}

}  // namespace platform
