// CountingThread: runs a conversion's counting pass on a thread of its own,
// so that the converting pass can begin on the worker while the count goes
// on.
//
// The worker starts the counting walk here and waits with WaitForOverlap()
// until the walk has either ended or counted `overlapFrom` files. A small
// tree is thus counted whole before the converting pass begins, exactly as
// when the passes run one after the other; on a large one the two walks run
// side by side, the counting walk ahead (it only lists folders), which also
// brings the folders into memory for the converting walk behind it.
//
// The walk itself is the caller's routine: it reports each file it counts
// with FileCounted() and posts its own notices, and may call Counted() when
// the count is over but the routine goes on with other work (listing folders
// ahead of the converting walk). What the count leaves behind (its total,
// whether it was stopped) the worker reads after WaitCounted().
//
// Thread-safety: Start(), WaitForOverlap(), WaitCounted(), Join() and the
// destructor belong to the worker; FileCounted() and Counted() to the
// counting walk; Ended() may be called from any thread and costs one atomic
// load.
//
// Invariants:
//  1. After WaitCounted() returns, everything the routine wrote before
//     Counted() (or before it returned) is visible to the caller; after
//     Join(), everything it wrote at all.
//  2. WaitForOverlap() returns at the latest when the count has ended.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "platform/worker_thread.h"

namespace convert {

class CountingThread {
 public:
  // overlapFrom: files counted after which WaitForOverlap() returns even
  // though the walk goes on; 0: at once; < 0: only at its end.
  explicit CountingThread(long long overlapFrom) : overlapFrom_(overlapFrom) {}
  ~CountingThread() { Join(); }
  CountingThread(const CountingThread&) = delete;
  CountingThread& operator=(const CountingThread&) = delete;

  // Starts `walk` on a new thread. Returns false when no thread could be
  // started (nothing ran).
  bool Start(std::function<void()> walk);

  // The walk has counted `filesSoFar` files. Wakes a WaitForOverlap() once
  // the count reaches overlapFrom; otherwise one comparison.
  void FileCounted(long long filesSoFar) {
    if (filesSoFar == overlapFrom_) Wake();
  }

  // The routine: the count is over (called on the counting thread; the
  // routine's return says so as well). Idempotent.
  void Counted();

  // Waits until the count has ended or has counted overlapFrom files.
  // Returns true when it has ended.
  bool WaitForOverlap();

  // Waits until the count has ended.
  void WaitCounted();

  // True once the count has ended (WaitCounted() then does not wait).
  bool Ended() const { return ended_.load(std::memory_order_acquire); }

  // Waits for the thread to end; at once when it has ended or never started.
  void Join() { thread_.Join(); }

 private:
  void Wake();  // the walk: the waiter may go on

  const long long overlapFrom_;   // files after which the waiter goes on
  std::atomic<bool> ended_{false};  // the count has ended
  std::mutex mutex_;              // guards woken_
  std::condition_variable woken_cv_;
  bool woken_ = false;            // the overlap count was reached, or the count ended
  platform::WorkerThread thread_;  // the counting walk
};

}  // namespace convert
