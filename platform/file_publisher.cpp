#include "platform/file_publisher.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {

// Writes all `size` bytes to `fd`. Returns 0, or the error number.
int WriteAll(int fd, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

// Opens the folder `name` in `parentFd`, creating it when it is missing.
int OpenOrMakeFolder(int parentFd, const std::string& name) {
  int fd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0 || errno != ENOENT) return fd;
  if (::mkdirat(parentFd, name.c_str(), 0777) != 0 && errno != EEXIST) return -1;
  return ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

bool NameTaken(int folderFd, const std::string& name) {
  struct stat status {};
  return ::fstatat(folderFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace

FilePublisher::~FilePublisher() {
  CloseChain(0);
  if (rootFd_ >= 0) ::close(rootFd_);
}

bool FilePublisher::Open(const std::string& root, int* error) {
  assert(error != nullptr);
  CloseChain(0);
  if (rootFd_ >= 0) ::close(rootFd_);
  std::error_code made;
  std::filesystem::create_directories(root, made);
  rootFd_ = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (rootFd_ < 0) {
    *error = made ? made.value() : errno;
    return false;
  }
  return true;
}

void FilePublisher::CloseChain(std::size_t keep) {
  while (chain_.size() > keep) {
    ::close(chain_.back().second);
    chain_.pop_back();
  }
}

int FilePublisher::FolderFd(std::string_view folder, int* error) {
  // The folder's names, compared with the chain of the last path: the part
  // they share stays open.
  std::size_t level = 0;
  std::size_t at = 0;
  int parent = rootFd_;
  while (at < folder.size()) {
    std::size_t slash = folder.find('/', at);
    if (slash == std::string_view::npos) slash = folder.size();
    const std::string_view part = folder.substr(at, slash - at);
    at = slash + 1;
    if (part.empty()) continue;
    if (level < chain_.size() && chain_[level].first == part) {
      parent = chain_[level].second;
      ++level;
      continue;
    }
    CloseChain(level);
    const std::string name(part);
    const int fd = OpenOrMakeFolder(parent, name);
    if (fd < 0) {
      *error = errno;
      return -1;
    }
    chain_.emplace_back(name, fd);
    parent = fd;
    ++level;
  }
  CloseChain(level);
  return parent;
}

FilePublisher::Result FilePublisher::PublishUnnamed(int folderFd, const std::string& name, const unsigned char* data,
                                                    std::size_t size, int* error, bool* unsupported) {
  *unsupported = false;
  const int fd = ::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    // No unnamed files on this file system (or an old kernel): EOPNOTSUPP,
    // EISDIR or EINVAL. Any other error is the folder's own.
    *unsupported = errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL;
    *error = errno;
    return Result::Failed;
  }
  const int written = WriteAll(fd, data, size);
  if (written != 0) {
    ::close(fd);  // the unnamed file goes with its last descriptor
    *error = written;
    return Result::Failed;
  }
  // The link through /proc needs no privilege, where AT_EMPTY_PATH does.
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  const int linked = ::linkat(AT_FDCWD, self.c_str(), folderFd, name.c_str(), AT_SYMLINK_FOLLOW);
  const int linkError = errno;
  ::close(fd);
  if (linked == 0) return Result::Written;
  if (linkError == EEXIST) return Result::Exists;
  // Without /proc the unnamed file cannot be linked: named files then.
  *unsupported = linkError == ENOENT && ::access("/proc/self/fd", F_OK) != 0;
  *error = linkError;
  return Result::Failed;
}

FilePublisher::Result FilePublisher::PublishTemporary(int folderFd, const std::string& name,
                                                      const unsigned char* data, std::size_t size, int* error) {
  const std::string temporary =
      ".cvmap-" + std::to_string(::getpid()) + "-" + std::to_string(++temporaryCount_) + ".part";
  const int fd = ::openat(folderFd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    *error = errno;
    return Result::Failed;
  }
  int failure = WriteAll(fd, data, size);
  if (::close(fd) != 0 && failure == 0) failure = errno;
  if (failure != 0) {
    ::unlinkat(folderFd, temporary.c_str(), 0);
    *error = failure;
    return Result::Failed;
  }
  Result result = Result::Failed;
  int nameError = 0;
  while (true) {
    if (method_ == Method::RenameNoReplace) {
      if (::renameat2(folderFd, temporary.c_str(), folderFd, name.c_str(), RENAME_NOREPLACE) == 0) return Result::Written;
      nameError = errno;
      if (nameError == EINVAL || nameError == ENOSYS) {
        method_ = Method::Link;
        continue;
      }
    } else if (method_ == Method::Link) {
      if (::linkat(folderFd, temporary.c_str(), folderFd, name.c_str(), 0) == 0) {
        result = Result::Written;
        break;
      }
      nameError = errno;
      if (nameError == EPERM || nameError == EOPNOTSUPP || nameError == EMLINK) {
        method_ = Method::CheckThenRename;
        continue;
      }
    } else {
      // The file system can neither refuse a rename onto a name nor link:
      // the name is looked up just before the rename.
      if (NameTaken(folderFd, name)) {
        nameError = EEXIST;
      } else if (::renameat(folderFd, temporary.c_str(), folderFd, name.c_str()) == 0) {
        return Result::Written;
      } else {
        nameError = errno;
      }
    }
    break;
  }
  ::unlinkat(folderFd, temporary.c_str(), 0);
  if (result == Result::Written) return result;
  if (nameError == EEXIST) return Result::Exists;
  *error = nameError;
  return Result::Failed;
}

FilePublisher::Result FilePublisher::Publish(std::string_view folder, std::string_view name,
                                             const unsigned char* data, std::size_t size, int* error) {
  assert(rootFd_ >= 0 && error != nullptr);
  const int folderFd = FolderFd(folder, error);
  if (folderFd < 0) return Result::Failed;
  const std::string fileName(name);
  if (NameTaken(folderFd, fileName)) return Result::Exists;
  if (method_ == Method::Unnamed) {
    bool unsupported = false;
    const Result result = PublishUnnamed(folderFd, fileName, data, size, error, &unsupported);
    if (!unsupported) return result;
    method_ = Method::RenameNoReplace;
  }
  return PublishTemporary(folderFd, fileName, data, size, error);
}

bool FilePublisher::Sync(int* error) {
  assert(error != nullptr);
  if (rootFd_ < 0) return true;
  if (::syncfs(rootFd_) != 0) {
    *error = errno;
    return false;
  }
  return true;
}

}  // namespace platform
