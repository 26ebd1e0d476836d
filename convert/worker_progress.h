// RunWithProgress: how a command-line session runs its job. The job runs on
// a worker thread; the session's thread wakes every kProgressInterval until
// the job has returned, forwards a stop request that came meanwhile, and
// hands the observer a snapshot (and one more, marked last, at the end).
//
// Thread-safety: called on the session's thread; `job` runs on the worker,
// `forwardStop` and `snapshot` on the calling thread while the job runs.
#pragma once

#include <chrono>
#include <functional>

#include "convert/session_progress.h"

namespace convert {

// How often the session wakes to report progress.
inline constexpr std::chrono::milliseconds kProgressInterval{200};

// Runs `job` as said above. `observer` (not owned) may be null. Returns
// false, without running the job, when no worker thread can be started.
bool RunWithProgress(const std::function<void()>& job, const std::function<void()>& forwardStop,
                     const std::function<ProgressSnapshot()>& snapshot, ProgressObserver* observer);

}  // namespace convert
