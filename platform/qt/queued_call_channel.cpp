#include "platform/qt/queued_call_channel.h"

#include <cassert>
#include <utility>

namespace platform::qt {

QueuedCallChannel::QueuedCallChannel(QObject* receiver, Handler handler)
    : receiver_(receiver), handler_(std::move(handler)) {
  assert(receiver != nullptr && handler_);
}

void QueuedCallChannel::Post(int code, int count) {
  // The receiver is the context object: Qt drops the call if it is deleted
  // before the call runs.
  QMetaObject::invokeMethod(
      receiver_.data(), [handler = handler_, code, count] { handler(code, count); },
      Qt::QueuedConnection);
}

}  // namespace platform::qt
