// FileWriteback: asks the kernel to start writing a file's changed pages to
// the disk now, without waiting for them.
//
// A conversion writes gigabytes into the map file. Left alone, the kernel
// keeps most of it in memory until the next commit's sync, which then waits
// for all of it while the conversion stands still. Started in steps while the
// conversion runs, the writing overlaps the work and a commit finds little
// left to write. Durability still rests on the database's own sync at commit;
// this only moves the writing earlier.
//
// The object borrows a descriptor that the process already has open on the
// file (the database connection's own). It never opens or closes one on the
// file itself: closing any descriptor of a file drops every POSIX record lock
// the process holds on it, and SQLite's locks are such locks.
//
// Starting writeback costs CPU time of its own (the file system places the
// blocks and builds the requests), so it runs on a helper thread that the
// object starts on the first Start(): on a machine with a second core that
// work runs beside the conversion instead of inside it.
//
// Thread-safety: the public calls come from one thread (the owner's); the
// helper thread only calls the system with the borrowed descriptor.
//
// Invariants:
//  1. The file's content and its locks are never changed, and Start() never
//     waits for the disk or for the helper thread.
//  2. Every failure is silent: without an open descriptor, or where the
//     system cannot start writeback, Start() does nothing.
//  3. After Detach() returns the helper no longer uses the descriptor, so the
//     connection that owns it may close it.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

class FileWriteback {
 public:
  FileWriteback() = default;
  ~FileWriteback();  // Detach(), then ends the helper thread
  FileWriteback(const FileWriteback&) = delete;
  FileWriteback& operator=(const FileWriteback&) = delete;

  // Finds a descriptor of this process open on the file at `path` (the same
  // device and inode) and keeps it for Start(). Returns false, and Start()
  // does nothing, when the file or no such descriptor is found.
  bool Attach(const std::string& path);

  // Forgets the borrowed descriptor (it is not closed), after waiting for a
  // writeback call the helper is making with it to return.
  void Detach();

  // Asks the helper thread to start writing the file's changed pages to the
  // disk and returns at once. A request made while the helper is still busy
  // with the last one is merged into the next call. If no helper thread can
  // be started, the call is made here instead.
  void Start();

  bool attached() const;

 private:
  void HelperLoop();

  mutable std::mutex mutex_;        // guards the fields below
  std::condition_variable wake_;    // the helper waits here for a request or the end
  std::condition_variable idle_;    // Detach() waits here for the helper's call to return
  int fd_ = -1;                     // borrowed, never closed here; -1 when not attached
  bool requested_ = false;          // a writeback is asked for and not yet started
  bool busy_ = false;               // the helper is inside a writeback call
  bool ending_ = false;             // the destructor asks the helper to end
  std::thread helper_;              // started by the first Start(); joined by the destructor
};

}  // namespace platform
