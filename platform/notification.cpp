#include "platform/notification.h"

namespace platform {

void QueueChannel::Post(int code, int count) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back({code, count});
  }
  ready_.notify_one();
}

std::optional<Notification> QueueChannel::Take(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!ready_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) return std::nullopt;
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

}  // namespace platform
