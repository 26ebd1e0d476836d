// File status and whole-file reading on native paths.
//
// Thread-safety: the functions keep no state; they may run on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace platform {

// True exactly when `path` names an existing file or folder (following
// symbolic links). An empty path is not found.
bool PathExists(const std::string& path);

// True when `path` names an existing folder (following symbolic links).
bool IsDirectory(const std::string& path);

// `path` made absolute with its symbolic links resolved as far as it
// exists: the whole path when it exists, else its folder with the last name
// appended, else the path made absolute as it is written (against the
// working folder). Two paths that name one file or one place for a new file
// give the same text.
std::string ResolvedAbsolutePath(const std::string& path);

// True when `path` names an existing regular file (following symbolic links):
// not a folder, FIFO, socket or device, which SQLite must never be given
// (opening a FIFO for reading waits for a writer).
bool IsRegularFile(const std::string& path);

// True when both paths name one existing file or folder (the same device
// and inode, after following links).
bool SameFile(const std::string& a, const std::string& b);

enum class ReadStatus {
  Ok,          // the whole file is in the buffer
  CannotOpen,  // missing, no permission, dangling link
  NotRegular,  // FIFO, socket, device or folder: never opened for reading
  ReadFailed,  // opened, but reading failed or the size changed under us
  TooLarge,    // larger than the caller's limit: nothing was read or allocated
};

// Reads the whole regular file at `path` into *buffer (resized to the file's
// real size; the buffer's capacity is reused between calls). A FIFO or device
// is never opened, so the call never blocks on one. On any failure *buffer is
// left empty and the status says why. A file larger than `maxSize` bytes is
// refused before any memory is taken for it (a huge or sparse file would
// otherwise be read whole into memory). REQUIRES: buffer != nullptr.
ReadStatus ReadWholeFile(const std::string& path, std::vector<unsigned char>* buffer,
                         std::uint64_t maxSize = std::numeric_limits<std::uint64_t>::max());

// As ReadWholeFile, with a relative `path` taken from the open folder
// `folderFd` (AT_FDCWD: the working folder) rather than resolved from the
// root again. REQUIRES: buffer != nullptr.
ReadStatus ReadWholeFileAt(int folderFd, const std::string& path, std::vector<unsigned char>* buffer,
                           std::uint64_t maxSize = std::numeric_limits<std::uint64_t>::max());

// What PrefetchFileAt() found.
enum class PrefetchStatus {
  Started,   // the file's pages were not all in memory; reading them has begun
  Cached,    // the file's first page is already in memory: nothing to do
  Skipped,   // no regular file there, it cannot be opened, or it is too large: nothing done
};

// Asks the kernel to start reading the regular file `path` (relative to the
// open folder `folderFd`) into the page cache, without waiting for the disk:
// a later read of the file then finds its pages there, or waits only for
// what is still in flight. The file's size goes to *size (0 when Skipped).
// The file is opened and closed again; nothing is read into process memory.
// A FIFO or device is never read, and a file larger than maxSize bytes is
// left alone (Skipped, with its size): reading it would only push earlier
// files out of memory. REQUIRES: size != nullptr.
PrefetchStatus PrefetchFileAt(int folderFd, const std::string& path, std::uint64_t maxSize, std::uint64_t* size);

}  // namespace platform
