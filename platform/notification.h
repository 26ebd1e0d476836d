// NotificationChannel: the worker's way of telling the window thread how far
// a job has got. A notification carries two numbers, a code and a count.
//
// Post() never blocks the sender; notifications arrive one at a time, in the
// order they were posted, with both numbers intact.
//
// Thread-safety: Post() may be called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace platform {

struct Notification {
  int code = 0;   // what happened (the conversion job's codes 1, 2, 3)
  int count = 0;  // the file count at the moment of posting
};

class NotificationChannel {
 public:
  virtual ~NotificationChannel() = default;
  virtual void Post(int code, int count) = 0;
};

// An unbounded FIFO queue: the command line's and the tests' channel.
//
// A receiver that takes every notification at once (TakeAll) and then
// pauses costs the sender nothing per notification but a short lock: Post()
// wakes the receiver only when the receiver is waiting for an empty queue,
// so a job that posts at every folder end wakes a receiver that polls every
// 20 ms at most 50 times a second, however many folders it ends.
class QueueChannel : public NotificationChannel {
 public:
  void Post(int code, int count) override;
  // Takes the oldest notification, waiting at most `timeout` for one.
  std::optional<Notification> Take(std::chrono::milliseconds timeout);
  // Takes the oldest notification if there is one, without waiting.
  std::optional<Notification> TryTake();
  // Waits at most `timeout` until a notification is queued, then moves every
  // queued one into *batch (cleared first), oldest first. Returns false,
  // with *batch empty, when none came in time. REQUIRES: batch != nullptr.
  bool TakeAll(std::vector<Notification>* batch, std::chrono::milliseconds timeout);

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Notification> queue_;  // oldest first
  int waiting_ = 0;                 // receivers blocked on ready_ (guarded by mutex_)
};

}  // namespace platform
