// FilePublisher: writes whole files into a folder tree so that a file
// appears under its name only once it is complete, and never over a file
// (or link) that is already there.
//
// Each file is first written where no name shows it, then given its name in
// one step that fails when the name exists:
//   - where the file system has unnamed files (O_TMPFILE: ext4, XFS, Btrfs,
//     tmpfs), it is written as one and linked under its name; a stop or a
//     crash before the link leaves nothing at all;
//   - elsewhere (a USB stick's FAT) under a temporary name in its folder,
//     ".cvmap-<pid>-<n>.part", renamed without replacing (RENAME_NOREPLACE,
//     else a hard link, else a check for the name just before the rename).
//     A crash may leave such a temporary file; its name is no tile of any
//     layout, so the tile readers pass it by as no tile.
// A name that exists is found before anything is written, so a second
// export into the same tree costs one look-up a file.
//
// Folders: the folders of a file are created when missing. The descriptors
// of the folders of the last file's path are kept open, so that the next
// file in the same or a neighbouring folder resolves no path again.
//
// Durability: nothing is synced file by file; Sync() writes everything the
// process wrote to the tree's file system to the disk, once, at the end.
//
// Thread-safety: one object is used by one thread.
//
// Invariants:
//  1. No file that existed before Publish() is changed, replaced or
//     removed by it.
//  2. A name given by Publish() holds all `size` bytes, or the name was
//     not created.
//  3. The open descriptors are those of the root and of the folders of the
//     last file's path, no more.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

class FilePublisher {
 public:
  // `unnamedFiles` false never tries unnamed files and always writes under a
  // temporary name (what a file system without them gets; for tests).
  explicit FilePublisher(bool unnamedFiles = true)
      : method_(unnamedFiles ? Method::Unnamed : Method::RenameNoReplace) {}
  ~FilePublisher();  // closes the folders
  FilePublisher(const FilePublisher&) = delete;
  FilePublisher& operator=(const FilePublisher&) = delete;

  // Opens the tree's root folder `root`, creating it and its parents when
  // missing. Returns false, with the system's error number in *error, when
  // it cannot be created or opened. REQUIRES: error != nullptr.
  bool Open(const std::string& root, int* error);

  enum class Result {
    Written,  // the file is there under its name, whole
    Exists,   // the name was taken already; nothing was written
    Failed,   // *error holds the system's error number; nothing is left under the name
  };

  // Writes `size` bytes at `data` as the file `name` in `folder` below the
  // root ('/'-separated, "" for the root itself), creating the missing
  // folders. REQUIRES: Open() succeeded, error != nullptr, name is one
  // path component.
  Result Publish(std::string_view folder, std::string_view name, const unsigned char* data, std::size_t size,
                 int* error);

  // Writes everything written to the tree's file system to the disk.
  // Returns false with *error set when that fails. REQUIRES: error != nullptr.
  bool Sync(int* error);

 private:
  // How a file is given its name; found out by the first files.
  enum class Method { Unnamed, RenameNoReplace, Link, CheckThenRename };

  // The descriptor of `folder` below the root, opened (and created) as
  // needed, or -1 with *error set.
  int FolderFd(std::string_view folder, int* error);
  void CloseChain(std::size_t keep);
  // Writes the file through an unnamed file; false with *error set when
  // the file system has none (Method then changes) or writing failed.
  Result PublishUnnamed(int folderFd, const std::string& name, const unsigned char* data, std::size_t size,
                        int* error, bool* unsupported);
  Result PublishTemporary(int folderFd, const std::string& name, const unsigned char* data, std::size_t size,
                          int* error);

  int rootFd_ = -1;                                     // the root folder, owned
  std::vector<std::pair<std::string, int>> chain_;      // the last path's folders below the root: name, owned descriptor
  Method method_;                                       // how names are given now
  unsigned long long temporaryCount_ = 0;               // temporary names made so far (their <n>)
};

}  // namespace platform
