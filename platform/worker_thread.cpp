#include "platform/worker_thread.h"

#include <system_error>

namespace platform {

bool WorkerThread::Start(std::function<void()> routine) {
  Join();
  try {
    thread_ = std::thread(std::move(routine));
  } catch (const std::system_error&) {
    return false;
  }
  wasStarted_ = true;
  return true;
}

void WorkerThread::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace platform
