#include "platform/file_writeback.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <exception>

namespace platform {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

// Queues the changed pages of the file behind `fd` for writing without
// waiting for them. An error (a file system without it, say) is of no
// consequence to the data, which the database's own sync still writes.
void StartWriting(int fd) { (void)::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE); }

// A descriptor of this process open on the regular file `target` (device and
// inode), preferring one open for writing; -1 when there is none.
int FindDescriptor(const struct stat& target) {
  // The descriptor table is read from /proc; the listing's own descriptor is
  // a folder and never matches a regular file.
  const std::unique_ptr<DIR, DirCloser> fds(::opendir("/proc/self/fd"));
  if (!fds) return -1;
  int found = -1;
  while (const dirent* entry = ::readdir(fds.get())) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd < 0) continue;  // "." and ".."
    struct stat st;
    if (::fstat(static_cast<int>(fd), &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != target.st_dev ||
        st.st_ino != target.st_ino) {
      continue;
    }
    found = static_cast<int>(fd);
    const int flags = ::fcntl(found, F_GETFL);
    if (flags >= 0 && (flags & O_ACCMODE) != O_RDONLY) break;  // the writer's own descriptor
  }
  return found;
}

}  // namespace

FileWriteback::~FileWriteback() {
  Detach();
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
  }
  wake_.notify_one();
  if (helper_.joinable()) helper_.join();
}

bool FileWriteback::Attach(const std::string& path) {
  Detach();
  struct stat target;
  if (path.empty() || ::stat(path.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) return false;
  const int fd = FindDescriptor(target);
  const std::lock_guard<std::mutex> lock(mutex_);
  fd_ = fd;
  return fd_ >= 0;
}

void FileWriteback::Detach() {
  std::unique_lock<std::mutex> lock(mutex_);
  fd_ = -1;
  requested_ = false;
  idle_.wait(lock, [this] { return !busy_; });
}

bool FileWriteback::attached() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return fd_ >= 0;
}

void FileWriteback::Start() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (fd_ < 0) return;
  if (!helper_.joinable()) {
    try {
      helper_ = std::thread([this] { HelperLoop(); });
    } catch (const std::exception&) {
      StartWriting(fd_);  // no thread to be had (no resources, no memory): start the writing here
      return;
    }
  }
  requested_ = true;
  lock.unlock();
  wake_.notify_one();
}

void FileWriteback::HelperLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return ending_ || requested_; });
    if (ending_) return;
    requested_ = false;
    const int fd = fd_;
    if (fd < 0) continue;
    busy_ = true;
    lock.unlock();
    StartWriting(fd);
    lock.lock();
    busy_ = false;
    idle_.notify_all();
  }
}

}  // namespace platform
