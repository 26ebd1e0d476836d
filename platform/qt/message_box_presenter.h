// QMessageBoxPresenter: shows a message as a modal QMessageBox with an OK
// button, titled with the application's name; the exclamation style carries
// the warning icon, the plain style none.
//
// Thread-safety: window thread only (wrap it in WindowThreadMessageBox to
// accept calls from other threads).
#pragma once

#include "platform/message_box.h"

namespace platform::qt {

class QMessageBoxPresenter : public MessageBoxService {
 public:
  // Returns when the user has dismissed the box. REQUIRES: on the window thread.
  void Show(const std::u16string& text, MessageStyle style) override;
};

}  // namespace platform::qt
