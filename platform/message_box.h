// MessageBoxService: shows a modal message to the user and blocks the calling
// thread, window thread or worker, until the user has dismissed it.
//
// Sinks: the window shows a real message box; the command line writes the
// text to stderr; tests record the calls.
//
// Thread-safety: Show() may be called from any thread; implementations
// serialise as they need.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace platform {

enum class MessageStyle {
  Plain,        // OK button, no icon
  Exclamation,  // OK button, exclamation icon
};

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  // Shows `text` and returns once the user has dismissed it.
  virtual void Show(const std::u16string& text, MessageStyle style) = 0;
};

// Writes every message as one UTF-8 line "<prefix><text>" to stderr.
class StderrMessageBox : public MessageBoxService {
 public:
  explicit StderrMessageBox(std::string prefix = "error: ") : prefix_(std::move(prefix)) {}
  void Show(const std::u16string& text, MessageStyle style) override;

 private:
  std::string prefix_;  // written before every message
  std::mutex mutex_;    // keeps lines from two threads apart
};

// Records every message; for tests.
class RecordingMessageBox : public MessageBoxService {
 public:
  struct Message {
    std::u16string text;  // the text as shown
    MessageStyle style;   // the box style
  };
  void Show(const std::u16string& text, MessageStyle style) override;
  std::vector<Message> Messages() const;  // a copy of everything shown so far
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;  // in the order shown
};

}  // namespace platform
