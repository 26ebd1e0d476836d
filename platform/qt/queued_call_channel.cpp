#include "platform/qt/queued_call_channel.h"

#include <QTimer>
#include <cassert>
#include <utility>

namespace platform::qt {

QueuedCallChannel::QueuedCallChannel(QObject* receiver, Handler handler, std::chrono::milliseconds minimumGap)
    : shared_(std::make_shared<Shared>()) {
  assert(receiver != nullptr && handler);
  shared_->receiver = receiver;
  shared_->handler = std::move(handler);
  shared_->gap = minimumGap;
}

void QueuedCallChannel::Post(int code, int count) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->posted.push_back({code, count});
    if (!shared_->scheduled) {
      shared_->scheduled = true;
      wake = true;
    }
  }
  QObject* receiver = shared_->receiver.data();
  if (!wake || receiver == nullptr) return;  // no receiver any more: dropped with it
  // The receiver is the context object: Qt drops the call if it is deleted
  // before the call runs.
  QMetaObject::invokeMethod(
      receiver, [shared = shared_] { Wake(shared); }, Qt::QueuedConnection);
}

void QueuedCallChannel::SetDeliveryEnd(std::function<void()> delivered) { shared_->delivered = std::move(delivered); }

long long QueuedCallChannel::Deliveries() const { return shared_->deliveries; }

void QueuedCallChannel::Wake(const std::shared_ptr<Shared>& shared) {
  const auto now = std::chrono::steady_clock::now();
  const auto due = shared->lastDelivery + shared->gap;
  if (!shared->lastDeliveryKnown || now >= due) {
    Deliver(shared);
    return;
  }
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now);
  QTimer::singleShot(wait, shared->receiver.data(), [shared] { Deliver(shared); });
}

void QueuedCallChannel::Deliver(const std::shared_ptr<Shared>& shared) {
  {
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->delivering.insert(shared->delivering.end(), shared->posted.begin(), shared->posted.end());
    shared->posted.clear();
    shared->scheduled = false;
  }
  shared->lastDeliveryKnown = true;
  shared->lastDelivery = std::chrono::steady_clock::now();
  ++shared->deliveries;
  // Taken one at a time from the shared list: a handler that runs a nested
  // event loop may deliver again, and then goes on where this one stands.
  while (!shared->delivering.empty()) {
    const Notification next = shared->delivering.front();
    shared->delivering.pop_front();
    shared->handler(next.code, next.count);
  }
  if (shared->delivered) shared->delivered();
}

}  // namespace platform::qt
