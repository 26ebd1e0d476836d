// ShownMessageLog: passes every message box on to the presenter that shows
// it, and remembers what was shown since the last Restart(), so that the
// window can name in a tooltip the SQLite message a refresh or a job showed.
//
// Thread-safety: window thread only (it sits below WindowThreadMessageBox,
// which calls the presenter on the window thread alone).
//
// Invariants:
//  1. Every message reaches the presenter, unchanged and in order.
//  2. Memory stays bounded: only the first and the last text since the
//     restart are kept.
#pragma once

#include <string>

#include "platform/message_box.h"

namespace app {

class ShownMessageLog : public platform::MessageBoxService {
 public:
  // `presenter` shows the boxes; not owned, must outlive this object.
  // REQUIRES: presenter != nullptr.
  explicit ShownMessageLog(platform::MessageBoxService* presenter);

  // Records the text, then shows it through the presenter.
  void Show(const std::u16string& text, platform::MessageStyle style) override;

  // Forgets what was shown so far.
  void Restart();
  int CountSinceRestart() const { return count_; }
  // The first and the last text shown since the restart; empty when none.
  const std::u16string& FirstSinceRestart() const { return first_; }
  const std::u16string& LastSinceRestart() const { return last_; }

 private:
  platform::MessageBoxService* presenter_;  // not owned
  int count_ = 0;                           // messages since the restart
  std::u16string first_;                    // the first of them
  std::u16string last_;                     // the last of them
};

}  // namespace app
