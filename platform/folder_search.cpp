#include "platform/folder_search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/name_order.h"

namespace platform {

// The folder is read with getdents64 on the descriptor that Open() made and
// stat'ed: a DIR stream would stat the descriptor again and query its flags,
// two more system calls for every folder, which a tree of small folders
// (one tile each) pays as often as it reads a tile.
constexpr std::size_t kEntryBufferBytes = 32 * 1024;  // one getdents64 batch

using Record = FolderListing::Record;

struct FolderSearch::Impl {
  int fd = -1;                     // owned; the open folder, -1 when none is open (or the search is listed)
  bool open = false;               // a search is open (with its own folder, or listed)
  int baseFd = -1;                 // listed search: not owned, the descriptor of the nearest ancestor search with one
  std::string below;               // listed search: this folder's path relative to baseFd, no trailing '/'
  EntryDetail detail = EntryDetail::Full;
  int dotsReported = 0;            // 0, 1 or 2 of ".", ".." handed out so far
  FolderListing listing;           // the folder's names, kinds and identity
  std::size_t next = 0;            // index of the next record to hand out

  std::string_view Name(const Record& r) const { return {listing.names.data() + r.nameOffset, r.nameLength}; }
  const char* CName(const Record& r) const { return listing.names.data() + r.nameOffset; }

  // The descriptor and the path relative to it by which the entry `name` is
  // reached: the folder's own descriptor and the name, or for a listed
  // search the ancestor's descriptor and the path below it (built in
  // *scratch, which the result then refers to).
  struct EntryPath {
    int dirFd;                // descriptor the path is relative to
    const std::string& path;  // `name` or *scratch
  };
  EntryPath At(const std::string& name, std::string* scratch) const {
    if (fd >= 0) return {fd, name};
    scratch->assign(below);
    scratch->push_back('/');
    scratch->append(name);
    return {baseFd, *scratch};
  }

  // Reads every entry of the open folder into the listing and sorts them.
  // A read error ends the folder as if it had no more entries.
  void ReadAll();
};

namespace {

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace

void FolderSearch::Impl::ReadAll() {
  std::string& names = listing.names;
  std::vector<Record>& records = listing.records;
  names.clear();
  records.clear();
  next = 0;
  listing.listingFailed = false;
  // One listing buffer per thread, reused by every folder the thread reads.
  thread_local const std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(kEntryBufferBytes);
  bool ascii = true;  // every name is ASCII: the order needs no UTF-16 keys
  for (;;) {
    ssize_t n;
    do {
      n = getdents64(fd, buffer.get(), kEntryBufferBytes);
    } while (n < 0 && errno == EINTR);
    if (n < 0) listing.listingFailed = true;
    if (n <= 0) break;
    for (ssize_t offset = 0; offset < n;) {
      const auto* d = reinterpret_cast<const struct dirent64*>(buffer.get() + offset);
      offset += d->d_reclen;
      if (IsDotOrDotDot(d->d_name)) continue;
      const std::size_t length = std::strlen(d->d_name);
      if (names.size() + length + 1 > UINT32_MAX) continue;  // beyond 4 GB of names: not listed
      records.push_back(Record{static_cast<std::uint32_t>(names.size()), static_cast<std::uint32_t>(length),
                               d->d_type});
      for (std::size_t i = 0; i < length && ascii; ++i) ascii = static_cast<unsigned char>(d->d_name[i]) < 0x80;
      names.append(d->d_name, length + 1);
    }
  }
  if (records.size() < 2) return;
  if (ascii) {
    std::sort(records.begin(), records.end(),
              [this](const Record& a, const Record& b) { return CompareAsciiNames(Name(a), Name(b)) < 0; });
    return;
  }
  // Names beyond ASCII: each name's key is made once, not at every comparison.
  std::vector<std::u16string> keys;
  keys.reserve(records.size());
  for (const Record& r : records) keys.push_back(NameOrderKey(Name(r)));
  std::vector<std::uint32_t> order(records.size());
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    const int byKey = keys[a].compare(keys[b]);
    if (byKey != 0) return byKey < 0;
    return Name(records[a]) < Name(records[b]);  // raw bytes break the tie
  });
  std::vector<Record> sorted;
  sorted.reserve(records.size());
  for (const std::uint32_t i : order) sorted.push_back(records[i]);
  records.swap(sorted);
}

namespace {

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
  if (!parent.impl_->open || name.empty()) return false;
  std::string scratch;
  const Impl::EntryPath at = parent.impl_->At(name, &scratch);
  return OpenAt(at.dirFd, at.path, detail);
}

void FolderSearch::OpenListed(const FolderSearch& parent, const std::string& name, FolderListing listing,
                              EntryDetail detail) {
  assert(&parent != this && parent.impl_->open && !name.empty());
  Close();
  Impl& s = *impl_;
  const Impl& p = *parent.impl_;
  s.baseFd = p.fd >= 0 ? p.fd : p.baseFd;
  s.below = p.fd >= 0 ? name : p.below + "/" + name;
  s.listing = std::move(listing);
  s.open = true;
  s.detail = detail;
  s.dotsReported = 0;
  s.next = 0;
}

const FolderListing& FolderSearch::Listing() const { return impl_->listing; }

bool FolderSearch::IsOpen() const { return impl_->open; }

bool FolderSearch::IsListed() const { return impl_->open && impl_->fd < 0; }

bool FolderSearch::OpenAt(int folderFd, const std::string& path, EntryDetail detail) {
  const int fd = openat(folderFd, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    ::close(fd);
    return false;
  }
  Impl& s = *impl_;
  s.fd = fd;
  s.open = true;
  s.detail = detail;
  s.dotsReported = 0;
  s.ReadAll();
  s.listing.device = static_cast<std::uint64_t>(st.st_dev);
  s.listing.inode = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

bool FolderSearch::Next(FolderEntry* entry) {
  assert(entry != nullptr);
  Impl& s = *impl_;
  if (!s.open) return false;
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

  if (s.next >= s.listing.records.size()) return false;
  const Record& record = s.listing.records[s.next++];
  const char* name = s.CName(record);
  entry->name.assign(name, record.nameLength);
  thread_local std::string scratch;  // the path of a listed search's entry
  switch (record.type) {
    case DT_DIR:
      entry->kind = EntryKind::Directory;
      break;
    case DT_REG:
      entry->kind = EntryKind::Regular;
      if (s.detail == EntryDetail::Full) {
        const Impl::EntryPath at = s.At(entry->name, &scratch);
        FillFromStat(at.dirFd, at.path.c_str(), entry);
      }
      break;
    case DT_LNK: {
      entry->isSymlink = true;
      const Impl::EntryPath at = s.At(entry->name, &scratch);
      FillFromStat(at.dirFd, at.path.c_str(), entry);
      break;
    }
    case DT_UNKNOWN: {
      const Impl::EntryPath at = s.At(entry->name, &scratch);
      entry->isSymlink = IsLink(at.dirFd, at.path.c_str());
      FillFromStat(at.dirFd, at.path.c_str(), entry);
      break;
    }
    default:  // FIFO, socket, character or block device
      entry->kind = EntryKind::Other;
      break;
  }
  entry->isDirectory = entry->kind == EntryKind::Directory;
  return true;
}

ReadStatus FolderSearch::ReadEntry(const std::string& name, std::vector<unsigned char>* buffer,
                                   std::uint64_t maxSize) const {
  assert(buffer != nullptr);
  if (!impl_->open) {
    buffer->clear();
    return ReadStatus::CannotOpen;
  }
  thread_local std::string scratch;  // the path of a listed search's entry
  const Impl::EntryPath at = impl_->At(name, &scratch);
  return ReadWholeFileAt(at.dirFd, at.path, buffer, maxSize);
}

PrefetchStatus FolderSearch::PrefetchEntry(const std::string& name, std::uint64_t maxSize, std::uint64_t* size) const {
  assert(size != nullptr);
  if (!impl_->open) {
    *size = 0;
    return PrefetchStatus::Skipped;
  }
  thread_local std::string scratch;  // the path of a listed search's entry
  const Impl::EntryPath at = impl_->At(name, &scratch);
  return PrefetchFileAt(at.dirFd, at.path, maxSize, size);
}

bool FolderSearch::ListingFailed() const { return impl_->listing.listingFailed; }

void FolderSearch::Close() {
  Impl& s = *impl_;
  if (s.fd >= 0) {
    ::close(s.fd);
    s.fd = -1;
  }
  s.open = false;
  s.baseFd = -1;
  s.below.clear();
  s.listing.names.clear();
  s.listing.records.clear();
  s.listing.listingFailed = false;
  s.listing.device = 0;
  s.listing.inode = 0;
  s.next = 0;
}

std::uint64_t FolderSearch::FolderDevice() const { return impl_->listing.device; }
std::uint64_t FolderSearch::FolderInode() const { return impl_->listing.inode; }

}  // namespace platform
