#include "convert/worker_progress.h"

#include "platform/notification.h"
#include "platform/worker_thread.h"

namespace convert {

namespace {
// The worker's one notice: the job has returned.
constexpr int kJobEnded = 1;
}  // namespace

bool RunWithProgress(const std::function<void()>& job, const std::function<void()>& forwardStop,
                     const std::function<ProgressSnapshot()>& snapshot, ProgressObserver* observer) {
  platform::QueueChannel ended;
  platform::WorkerThread worker;
  if (!worker.Start([&job, &ended] {
        job();
        ended.Post(kJobEnded, 0);
      })) {
    return false;
  }
  while (!ended.Take(kProgressInterval)) {
    forwardStop();
    if (observer != nullptr) observer->Progress(snapshot(), false);
  }
  worker.Join();
  if (observer != nullptr) observer->Progress(snapshot(), true);
  return true;
}

}  // namespace convert
