// FolderSearch: enumerates the entries of one folder, in the order the file
// system returns them.
//
// Every entry is reported, "." and ".." included (they are reported first, as
// directories, whether or not the underlying readdir returned them). Per entry
// the caller gets its name (native bytes), whether it is a folder, its kind as
// far as readdir tells it, and its size. A folder that cannot be opened yields
// no entry and no error: Open() returns false and Next() returns false.
//
// Symbolic links: a link is reported with the kind of its target (a link to a
// folder is a folder, a link to a regular file is a file). A dangling link is
// reported as a file of kind Other. Walks must not loop through linked folders;
// see folder_walk_guard.h.
//
// Thread-safety: one object is used by one thread; distinct objects are
// independent.
//
// Invariants:
//  1. After Open() returned false, Next() returns false until the next Open().
//  2. Close() is idempotent; the destructor closes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class EntryKind {
  Regular,    // a regular file (or a link to one)
  Directory,  // a folder (or a link to one)
  Other,      // FIFO, socket, device, dangling link
};

struct FolderEntry {
  std::string name;         // entry name, native bytes, no separator
  bool isDirectory = false; // the directory attribute
  EntryKind kind = EntryKind::Other;
  bool isSymlink = false;   // the entry itself is a symbolic link
  std::uint64_t size = 0;   // size in bytes (0 for folders and others)
  std::uint32_t sizeLow() const { return static_cast<std::uint32_t>(size); }  // low 32 bits
  std::uint64_t device = 0; // st_dev of the entry (of the link target for links)
  std::uint64_t inode = 0;  // st_ino of the entry (of the link target for links)
};

class FolderSearch {
 public:
  FolderSearch();
  ~FolderSearch();
  FolderSearch(const FolderSearch&) = delete;
  FolderSearch& operator=(const FolderSearch&) = delete;

  // Starts enumerating `folder` (native path, no trailing separator needed).
  // Returns false, with nothing to enumerate, when the folder cannot be read.
  bool Open(const std::string& folder);

  // Fills *entry with the next entry. Returns false when there is none left
  // (or the search was never opened). REQUIRES: entry != nullptr.
  bool Next(FolderEntry* entry);

  // Ends the search; safe to call more than once.
  void Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;  // owned; holds the DIR* and the "."/".." state
};

}  // namespace platform
