// WorkerThread: starts one routine on a new thread at once, and waits for it.
//
// Join() returns when the thread has ended, at once if it already has or was
// never started. The destructor joins.
//
// Thread-safety: Start() and Join() are called by the owning thread only.
#pragma once

#include <functional>
#include <thread>

namespace platform {

class WorkerThread {
 public:
  WorkerThread() = default;
  ~WorkerThread() { Join(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Starts `routine` on a new thread; joins a previous thread first.
  // Returns false when the thread cannot be created.
  bool Start(std::function<void()> routine);
  // Waits without a time limit for the thread to end.
  void Join();
  // True once Start() has succeeded (a job was started at some time).
  bool WasStarted() const { return wasStarted_; }

 private:
  std::thread thread_;      // the worker, joinable while not yet joined
  bool wasStarted_ = false; // set by the first successful Start()
};

}  // namespace platform
