// WalkGuard: keeps a recursive folder walk out of cycles made by symbolic
// links (or bind mounts) to folders.
//
// The guard holds the identities (device, inode) of the folders on the walk's
// current path, from the root down to the folder being walked. Before the
// walk enters a folder it calls Enter() with that folder's identity (from
// FolderSearch::FolderDevice()/FolderInode() after Open()); Enter() refuses a
// folder that is already on the path, which is exactly the case of a link
// that leads back to one of its own ancestors. A folder reached twice through
// different, non-cyclic links is walked each time.
//
// Usage:
//   FolderSearch search;
//   if (search.Open(path)) {
//     WalkGuard::Scope scope(guard, search.FolderDevice(), search.FolderInode());
//     if (scope.Entered()) { ... walk the entries, recursing ... }
//   }
//
// Thread-safety: one guard belongs to one walk on one thread.
//
// Invariants:
//  1. Depth() is the number of successful Enter() calls not yet matched by
//     Leave().
//  2. No identity occurs twice on the path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace platform {

class WalkGuard {
 public:
  // Puts the folder on the path and returns true, or returns false and
  // changes nothing when the folder is already on the path.
  bool Enter(std::uint64_t device, std::uint64_t inode);

  // Takes the folder most recently entered off the path.
  // REQUIRES: Depth() > 0.
  void Leave();

  std::size_t Depth() const { return path_.size(); }

  // Enters on construction and leaves on destruction if the entry succeeded.
  class Scope {
   public:
    Scope(WalkGuard& guard, std::uint64_t device, std::uint64_t inode)
        : guard_(guard), entered_(guard.Enter(device, inode)) {}
    ~Scope() {
      if (entered_) guard_.Leave();
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    bool Entered() const { return entered_; }  // false: the folder closes a cycle

   private:
    WalkGuard& guard_;  // not owned
    bool entered_;      // Enter() succeeded
  };

 private:
  std::vector<std::pair<std::uint64_t, std::uint64_t>> path_;  // (device, inode), root first
};

}  // namespace platform
