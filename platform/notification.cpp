#include "platform/notification.h"

#include <cassert>

namespace platform {

void QueueChannel::Post(int code, int count) {
  bool wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back({code, count});
    wake = waiting_ > 0;
  }
  if (wake) ready_.notify_one();
}

std::optional<Notification> QueueChannel::Take(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  ++waiting_;
  const bool ready = ready_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
  --waiting_;
  if (!ready) return std::nullopt;
  Notification n = queue_.front();
  queue_.pop_front();
  return n;
}

std::optional<Notification> QueueChannel::TryTake() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (queue_.empty()) return std::nullopt;
  Notification n = queue_.front();
  queue_.pop_front();
  return n;
}

bool QueueChannel::TakeAll(std::vector<Notification>* batch, std::chrono::milliseconds timeout) {
  assert(batch != nullptr);
  batch->clear();
  std::unique_lock<std::mutex> lock(mutex_);
  if (queue_.empty()) {
    ++waiting_;
    const bool ready = ready_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
    --waiting_;
    if (!ready) return false;
  }
  batch->assign(queue_.begin(), queue_.end());
  queue_.clear();
  return true;
}

}  // namespace platform
