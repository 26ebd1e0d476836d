#include "platform/folder_search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstring>

namespace platform {

struct FolderSearch::Impl {
  DIR* dir = nullptr;              // owned; null when no search is open
  EntryDetail detail = EntryDetail::Full;
  int dotsReported = 0;            // 0, 1 or 2 of ".", ".." handed out so far
  std::uint64_t device = 0;        // st_dev of the searched folder
  std::uint64_t inode = 0;         // st_ino of the searched folder
};

namespace {

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Fills kind and size of *entry from a stat of the entry itself (following a
// link). For a failed stat the entry is Other: dangling link or vanished.
void FillFromStat(int dirFd, const char* name, FolderEntry* entry) {
  struct stat st;
  if (fstatat(dirFd, name, &st, 0) != 0) {
    entry->kind = EntryKind::Other;
    return;
  }
  if (S_ISDIR(st.st_mode)) {
    entry->kind = EntryKind::Directory;
  } else if (S_ISREG(st.st_mode)) {
    entry->kind = EntryKind::Regular;
    entry->size = static_cast<std::uint64_t>(st.st_size);
  } else {
    entry->kind = EntryKind::Other;
  }
}

// True when `name` in the folder is itself a symbolic link (for entries whose
// d_type readdir did not give).
bool IsLink(int dirFd, const char* name) {
  struct stat st;
  return fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

FolderSearch::FolderSearch() : impl_(std::make_unique<Impl>()) {}

FolderSearch::~FolderSearch() { Close(); }

bool FolderSearch::Open(const std::string& folder, EntryDetail detail) {
  Close();
  if (folder.empty()) return false;
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    ::close(fd);
    return false;
  }
  DIR* dir = fdopendir(fd);  // takes the descriptor on success
  if (dir == nullptr) {
    ::close(fd);
    return false;
  }
  impl_->dir = dir;
  impl_->detail = detail;
  impl_->dotsReported = 0;
  impl_->device = static_cast<std::uint64_t>(st.st_dev);
  impl_->inode = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

bool FolderSearch::Next(FolderEntry* entry) {
  assert(entry != nullptr);
  Impl& s = *impl_;
  if (s.dir == nullptr) return false;
  *entry = FolderEntry();

  if (s.dotsReported < 2) {
    entry->name = s.dotsReported == 0 ? "." : "..";
    entry->isDirectory = true;
    entry->kind = EntryKind::Directory;
    ++s.dotsReported;
    return true;
  }

  const int dirFd = dirfd(s.dir);
  for (;;) {
    errno = 0;
    struct dirent* d = readdir(s.dir);
    if (d == nullptr) return false;  // end of folder or a read error
    if (IsDotOrDotDot(d->d_name)) continue;
    entry->name = d->d_name;
    switch (d->d_type) {
      case DT_DIR:
        entry->kind = EntryKind::Directory;
        break;
      case DT_REG:
        entry->kind = EntryKind::Regular;
        if (s.detail == EntryDetail::Full) FillFromStat(dirFd, d->d_name, entry);
        break;
      case DT_LNK:
        entry->isSymlink = true;
        FillFromStat(dirFd, d->d_name, entry);
        break;
      case DT_UNKNOWN:
        entry->isSymlink = IsLink(dirFd, d->d_name);
        FillFromStat(dirFd, d->d_name, entry);
        break;
      default:  // FIFO, socket, character or block device
        entry->kind = EntryKind::Other;
        break;
    }
    entry->isDirectory = entry->kind == EntryKind::Directory;
    return true;
  }
}

void FolderSearch::Close() {
  if (impl_->dir != nullptr) {
    closedir(impl_->dir);
    impl_->dir = nullptr;
  }
  impl_->device = 0;
  impl_->inode = 0;
}

std::uint64_t FolderSearch::FolderDevice() const { return impl_->device; }
std::uint64_t FolderSearch::FolderInode() const { return impl_->inode; }

}  // namespace platform
