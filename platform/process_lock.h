// ProcessLock: a lock that one process of the machine holds at a time, by
// name, and that the system gives up for it when the process ends, however
// it ends (killed included). It is an abstract Unix socket bound to the
// name: no file is made, nothing is left behind, and a name in use makes the
// bind fail at once.
//
// It tells processes of one machine (and one network namespace) apart; it
// is a courtesy between programs that look for it, never a guard of data:
// what a file holds is guarded by the file's own locks.
//
// Thread-safety: one object is used by one thread. Two objects of one
// process with the same name exclude each other like two processes.
//
// Invariants:
//  1. Held() is true exactly between a TryAcquire() that returned Acquired
//     and the next Release() (or the destructor).
#pragma once

#include <string>

namespace platform {

class ProcessLock {
 public:
  enum class Result {
    Acquired,       // this object holds the name now
    HeldElsewhere,  // another object or process holds it
    Unavailable,    // the system offers no such lock (no socket could be made)
  };

  ProcessLock() = default;
  ~ProcessLock() { Release(); }
  ProcessLock(const ProcessLock&) = delete;
  ProcessLock& operator=(const ProcessLock&) = delete;

  // Takes the lock `name` (at most 100 bytes) without waiting; a lock this
  // object holds already is released first.
  Result TryAcquire(const std::string& name);
  // Gives the lock up; nothing happens when none is held.
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;  // the bound socket; -1 when no lock is held
};

}  // namespace platform
