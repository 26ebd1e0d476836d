#include "platform/folder_search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstring>

namespace platform {

// The folder is read with getdents64 on the descriptor that Open() made and
// stat'ed: a DIR stream would stat the descriptor again and query its flags,
// two more system calls for every folder, which a tree of small folders
// (one tile each) pays as often as it reads a tile.
constexpr std::size_t kEntryBufferBytes = 32 * 1024;  // one getdents64 batch

struct FolderSearch::Impl {
  int fd = -1;                     // owned; the open folder, -1 when no search is open
  EntryDetail detail = EntryDetail::Full;
  int dotsReported = 0;            // 0, 1 or 2 of ".", ".." handed out so far
  std::uint64_t device = 0;        // st_dev of the searched folder
  std::uint64_t inode = 0;         // st_ino of the searched folder
  std::unique_ptr<char[]> buffer;  // getdents64 records, kEntryBufferBytes; made on first Open()
  std::size_t filled = 0;          // bytes of buffer that the last getdents64 filled
  std::size_t offset = 0;          // bytes of those already handed out
  bool ended = false;              // getdents64 reported the end (or an error)

  // The next record of the folder, or null at its end. A read error ends the
  // folder as if it had no more entries.
  const struct dirent64* NextRecord();
};

const struct dirent64* FolderSearch::Impl::NextRecord() {
  if (offset >= filled) {
    if (ended) return nullptr;
    ssize_t n;
    do {
      n = getdents64(fd, buffer.get(), kEntryBufferBytes);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
      ended = true;
      return nullptr;
    }
    filled = static_cast<std::size_t>(n);
    offset = 0;
  }
  const auto* record = reinterpret_cast<const struct dirent64*>(buffer.get() + offset);
  offset += record->d_reclen;
  return record;
}

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
  return OpenAt(AT_FDCWD, folder, detail);
}

bool FolderSearch::OpenEntry(const FolderSearch& parent, const std::string& name, EntryDetail detail) {
  assert(&parent != this);
  Close();
  if (parent.impl_->fd < 0 || name.empty()) return false;
  return OpenAt(parent.impl_->fd, name, detail);
}

bool FolderSearch::OpenAt(int folderFd, const std::string& path, EntryDetail detail) {
  const int fd = openat(folderFd, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    ::close(fd);
    return false;
  }
  Impl& s = *impl_;
  if (!s.buffer) s.buffer = std::make_unique_for_overwrite<char[]>(kEntryBufferBytes);
  s.fd = fd;
  s.detail = detail;
  s.dotsReported = 0;
  s.filled = 0;
  s.offset = 0;
  s.ended = false;
  s.device = static_cast<std::uint64_t>(st.st_dev);
  s.inode = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

bool FolderSearch::Next(FolderEntry* entry) {
  assert(entry != nullptr);
  Impl& s = *impl_;
  if (s.fd < 0) return false;
  // Field by field, so that the name keeps its capacity from entry to entry.
  entry->isDirectory = false;
  entry->kind = EntryKind::Other;
  entry->isSymlink = false;
  entry->size = 0;

  if (s.dotsReported < 2) {
    entry->name = s.dotsReported == 0 ? "." : "..";
    entry->isDirectory = true;
    entry->kind = EntryKind::Directory;
    ++s.dotsReported;
    return true;
  }

  const int dirFd = s.fd;
  for (;;) {
    const struct dirent64* d = s.NextRecord();
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

ReadStatus FolderSearch::ReadEntry(const std::string& name, std::vector<unsigned char>* buffer,
                                   std::uint64_t maxSize) const {
  assert(buffer != nullptr);
  if (impl_->fd < 0) {
    buffer->clear();
    return ReadStatus::CannotOpen;
  }
  return ReadWholeFileAt(impl_->fd, name, buffer, maxSize);
}

void FolderSearch::Close() {
  if (impl_->fd >= 0) {
    ::close(impl_->fd);
    impl_->fd = -1;
  }
  impl_->device = 0;
  impl_->inode = 0;
}

std::uint64_t FolderSearch::FolderDevice() const { return impl_->device; }
std::uint64_t FolderSearch::FolderInode() const { return impl_->inode; }

}  // namespace platform
