#include "platform/file_io.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cassert>
#include <cstdint>
#include <cerrno>
#include <memory>
#include <new>
#include <stdexcept>

namespace platform {

bool PathExists(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// realpath() of `path`, or "" when it cannot be resolved.
std::string Resolved(const std::string& path) {
  std::unique_ptr<char, decltype(&::free)> resolved(::realpath(path.c_str(), nullptr), &::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

}  // namespace

std::string ResolvedAbsolutePath(const std::string& path) {
  if (std::string whole = Resolved(path); !whole.empty()) return whole;
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (std::string parent = Resolved(folder); !parent.empty()) return parent == "/" ? "/" + name : parent + "/" + name;
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

namespace {

// Owns one file descriptor.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;  // -1 when none
};

// read() that resumes after a signal. Returns the byte count or -1.
ssize_t ReadSome(int fd, unsigned char* data, std::size_t size) {
  for (;;) {
    ssize_t n = ::read(fd, data, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

}  // namespace

ReadStatus ReadWholeFile(const std::string& path, std::vector<unsigned char>* buffer, std::uint64_t maxSize) {
  return ReadWholeFileAt(AT_FDCWD, path, buffer, maxSize);
}

ReadStatus ReadWholeFileAt(int folderFd, const std::string& path, std::vector<unsigned char>* buffer,
                           std::uint64_t maxSize) {
  assert(buffer != nullptr);
  // The buffer is emptied only on failure: resizing it straight from the last
  // file's size to this one's writes zeros only where it grows, where a
  // clear() first would zero every byte of every file before reading it.
  const auto fail = [buffer](ReadStatus status) {
    buffer->clear();
    return status;
  };
  if (path.empty()) return fail(ReadStatus::CannotOpen);
  // O_NONBLOCK: opening a FIFO must not wait for a writer; the descriptor is
  // refused below before anything is read from it.
  Descriptor fd(::openat(folderFd, path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) {
    // A folder may fail to open with EISDIR on some systems: still not regular.
    return fail(errno == EISDIR ? ReadStatus::NotRegular : ReadStatus::CannotOpen);
  }
  struct stat st;
  if (fstat(fd.get(), &st) != 0) return fail(ReadStatus::ReadFailed);
  if (!S_ISREG(st.st_mode)) return fail(ReadStatus::NotRegular);

  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (size > maxSize) return fail(ReadStatus::TooLarge);
  // One byte more than the file is asked for. A read of a regular file that
  // returns less than was asked has met the end of the file, so a tile is
  // normally read with one call; a read that fills the extra byte shows that
  // the file grew after fstat.
  const auto wanted = static_cast<std::size_t>(size) + 1;
  try {
    buffer->resize(wanted);
  } catch (const std::bad_alloc&) {
    return fail(ReadStatus::ReadFailed);
  } catch (const std::length_error&) {
    return fail(ReadStatus::ReadFailed);
  }
  std::size_t done = 0;
  for (;;) {
    const ssize_t n = ReadSome(fd.get(), buffer->data() + done, wanted - done);
    if (n < 0) return fail(ReadStatus::ReadFailed);
    if (n == 0) break;  // the end of the file
    done += static_cast<std::size_t>(n);
    if (done == wanted) return fail(ReadStatus::ReadFailed);  // the file grew after fstat
    if (done == size) break;  // a short read that reached the size: the end of the file
  }
  if (done != size) return fail(ReadStatus::ReadFailed);  // the file became shorter than its size
  buffer->resize(static_cast<std::size_t>(size));
  return ReadStatus::Ok;
}

PrefetchStatus PrefetchFileAt(int folderFd, const std::string& path, std::uint64_t maxSize, std::uint64_t* size) {
  assert(size != nullptr);
  *size = 0;
  if (path.empty()) return PrefetchStatus::Skipped;
  Descriptor fd(::openat(folderFd, path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat st;
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return PrefetchStatus::Skipped;
  *size = static_cast<std::uint64_t>(st.st_size);
  if (*size > maxSize) return PrefetchStatus::Skipped;
  if (st.st_size == 0) return PrefetchStatus::Cached;
  // A one-byte read that may not wait tells whether the first page is in
  // memory already; a kernel that cannot tell says EAGAIN or EOPNOTSUPP, and
  // the pages are asked for.
  unsigned char probe;
  struct iovec vector {&probe, 1};
  if (::preadv2(fd.get(), &vector, 1, 0, RWF_NOWAIT) == 1) return PrefetchStatus::Cached;
  ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_WILLNEED);
  return PrefetchStatus::Started;
}

}  // namespace platform
