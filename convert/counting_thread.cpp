#include "convert/counting_thread.h"

#include <utility>

namespace convert {

bool CountingThread::Start(std::function<void()> walk) {
  ended_ = false;
  woken_ = false;
  return thread_.Start([this, walk = std::move(walk)] {
    walk();
    Counted();
  });
}

void CountingThread::Counted() {
  if (ended_.load(std::memory_order_relaxed)) return;
  ended_.store(true, std::memory_order_release);
  Wake();
}

void CountingThread::WaitCounted() {
  std::unique_lock<std::mutex> lock(mutex_);
  woken_cv_.wait(lock, [this] { return Ended(); });
}

void CountingThread::Wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
  }
  woken_cv_.notify_all();
}

bool CountingThread::WaitForOverlap() {
  if (overlapFrom_ == 0) return Ended();
  std::unique_lock<std::mutex> lock(mutex_);
  woken_cv_.wait(lock, [this] { return woken_; });
  return Ended();
}

}  // namespace convert
