// PageCacheState: how much of a file the kernel holds in memory, and how
// much of that is changed and not yet written, from the cachestat system
// call (Linux 6.5 and later; the C library here does not declare it yet).
// Tests use it to see whether a file's pages were written to the disk.
#pragma once

#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace test_support {

struct PageCacheState {
  std::uint64_t cached = 0;           // pages of the file in memory
  std::uint64_t dirty = 0;            // of them, changed and not yet written
  std::uint64_t writeback = 0;        // of them, being written now
  std::uint64_t evicted = 0;          // pages dropped from memory
  std::uint64_t recentlyEvicted = 0;  // of them, dropped recently
};

// Fills *state for the whole file behind `fd`. False when the kernel has no
// cachestat (or refuses it for this descriptor); *state is then unchanged.
inline bool ReadPageCacheState(int fd, PageCacheState* state) {
  constexpr long kCachestat = 451;  // the system call's number on x86-64 and every newer table
  struct {
    std::uint64_t offset;
    std::uint64_t length;  // 0: to the end of the file
  } range{0, 0};
  PageCacheState read;
  if (::syscall(kCachestat, fd, &range, &read, 0) != 0) return false;
  *state = read;
  return true;
}

// True when files in `folder` live in memory only (tmpfs): their pages are
// never dirty and never written, so a writeback cannot be seen there.
inline bool IsMemoryFileSystem(const std::string& folder) {
  struct statfs fs {};
  return ::statfs(folder.c_str(), &fs) == 0 && fs.f_type == 0x01021994;
}

}  // namespace test_support
