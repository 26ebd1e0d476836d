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
class QueueChannel : public NotificationChannel {
 public:
  void Post(int code, int count) override;
  // Takes the oldest notification, waiting at most `timeout` for one.
  std::optional<Notification> Take(std::chrono::milliseconds timeout);
  // Takes the oldest notification if there is one, without waiting.
  std::optional<Notification> TryTake();

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Notification> queue_;  // oldest first
};

}  // namespace platform
