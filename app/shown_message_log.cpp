#include "app/shown_message_log.h"

#include <cassert>

namespace app {

ShownMessageLog::ShownMessageLog(platform::MessageBoxService* presenter) : presenter_(presenter) {
  assert(presenter_ != nullptr);
}

void ShownMessageLog::Show(const std::u16string& text, platform::MessageStyle style) {
  if (count_ == 0) first_ = text;
  last_ = text;
  ++count_;
  presenter_->Show(text, style);
}

void ShownMessageLog::Restart() {
  count_ = 0;
  first_.clear();
  last_.clear();
}

}  // namespace app
