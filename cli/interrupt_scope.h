// InterruptScope: while it lives, Ctrl-C (SIGINT) asks the running session to
// stop instead of ending the process. A second Ctrl-C gets the default
// action and ends the process (the map file's journal keeps it whole). A
// process that was started with Ctrl-C ignored keeps ignoring it.
//
// Thread-safety: one scope at a time, made and destroyed on the main thread.
// The handler only stores to lock-free atomics and calls `stop`, which must
// do no more than that.
#pragma once

#include <signal.h>

namespace cli {

class InterruptScope {
 public:
  // `stop(context)` runs in the signal handler.
  InterruptScope(void (*stop)(void* context), void* context);
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

  // True once Ctrl-C arrived while the scope lived.
  bool Interrupted() const;

  // Exit code of a command stopped by Ctrl-C: 128 + SIGINT, as shells report it.
  static constexpr int kExitCode = 130;

 private:
  struct sigaction previous_ {};  // restored on destruction
};

// A stop function for InterruptScope that calls RequestStop() on a session.
template <typename Session>
void RequestStopOf(void* session) {
  static_cast<Session*>(session)->RequestStop();
}

}  // namespace cli
