#include "cli/interrupt_scope.h"

#include <atomic>

namespace cli {

namespace {

static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<void*>::is_always_lock_free);
std::atomic<int> g_interrupted{0};                 // 1 once Ctrl-C arrived
std::atomic<void (*)(void*)> g_stop{nullptr};      // the scope's stop function
std::atomic<void*> g_context{nullptr};             // its argument

extern "C" void OnInterrupt(int) {
  g_interrupted.store(1);
  void (*stop)(void*) = g_stop.load();
  if (stop != nullptr) stop(g_context.load());
}

}  // namespace

InterruptScope::InterruptScope(void (*stop)(void*), void* context) {
  g_interrupted = 0;
  g_context = context;
  g_stop = stop;
  // A program started with Ctrl-C ignored (`cvmap ... &` in a script: the
  // shell ignores it for background jobs) keeps it ignored, as shells and
  // their tools do, so that Ctrl-C meant for the foreground leaves it alone.
  sigaction(SIGINT, nullptr, &previous_);
  if (previous_.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, &previous_);
}

InterruptScope::~InterruptScope() {
  sigaction(SIGINT, &previous_, nullptr);
  g_stop = nullptr;
  g_context = nullptr;
}

bool InterruptScope::Interrupted() const { return g_interrupted.load() != 0; }

}  // namespace cli
