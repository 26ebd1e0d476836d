// FolderSearch: enumerates the entries of one folder in name order.
//
// Every entry is reported, "." and ".." included: they come first, as
// folders, whether or not the folder listing returned them (the copies it
// returns are skipped). The other entries follow sorted by their names as
// platform::CompareNames (name_order.h) orders them: case-insensitively by
// their UTF-16 forms, ties by raw bytes. The order is thus the same on every
// file system and on every copy of a tree, whatever order the file system
// keeps its folders in; a walk, its first file and which of two files with
// one key comes first never depend on it. Open() reads the folder's names
// whole before the first entry is handed out: a walk holds the names of the
// folders on its current path, never those of the whole tree.
//
// Per entry the caller gets its name (native bytes), whether it is a folder,
// its kind and, unless the search was opened with EntryDetail::KindOnly, its
// size. The kind is taken from the listing's d_type where that settles it;
// stat is called (when the entry is handed out) only for symbolic links, for
// entries of unknown type and for the sizes of regular files.
//
// A folder that cannot be opened yields no entry and no error: Open() returns
// false and Next() returns false. A folder whose listing fails part way
// yields the entries read before the failure, and ListingFailed() says so. An entry that vanishes between the listing
// and stat is reported as kind Other.
//
// Symbolic links: a link is reported with the kind of its target (a link to a
// folder is a folder, a link to a regular file is a regular file of the
// target's size). A dangling link is reported as kind Other.
//
// Folder links and cycles: walks do descend into linked folders, but detect
// cycles. After Open() the search knows the (device, inode) of the folder it
// reads (FolderDevice()/FolderInode()); a walker keeps the identities of the
// folders on its current path in a WalkGuard (walk_guard.h) and does not enter
// a folder that is already on that path. A link that points back up the tree
// is thus never followed, while a link to a folder elsewhere is walked.
//
// Handed-over listings: a walk on another thread that has read a folder can
// hand its listing (FolderListing, a copy of Listing()) to a walk that
// comes to the same folder later; OpenListed() then searches that listing
// without opening the folder or reading it again. Such a search holds no
// folder descriptor of its own: it reads, stats and opens its entries by
// their paths below the nearest ancestor search that has one, which must
// stay open while it is used (a walk keeps its parents' searches open).
//
// Thread-safety: one object is used by one thread; distinct objects are
// independent. A FolderListing is a plain value and may move between
// threads.
//
// Invariants:
//  1. After Open() returned false, Next() returns false until the next Open().
//  2. Close() is idempotent; the destructor closes.
//  3. "." is the first entry and ".." the second of every opened folder.
//  4. The other entries come in strictly increasing CompareNames order.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_io.h"

namespace platform {

enum class EntryKind {
  Regular,    // a regular file (or a link to one)
  Directory,  // a folder (or a link to one)
  Other,      // FIFO, socket, device, dangling link, vanished entry
};

// How much a search finds out about each entry.
enum class EntryDetail {
  Full,      // kind and size (a stat per regular file)
  KindOnly,  // kind only; size stays 0 unless a stat was needed for the kind
};

struct FolderEntry {
  std::string name;          // entry name, native bytes, no separator
  bool isDirectory = false;  // the directory attribute: kind == Directory
  EntryKind kind = EntryKind::Other;
  bool isSymlink = false;    // the entry itself is a symbolic link
  std::uint64_t size = 0;    // size in bytes of a regular file; 0 otherwise
  std::uint32_t sizeLow() const { return static_cast<std::uint32_t>(size); }  // low 32 bits
};

// The names, kinds and identity of one folder as a search read them,
// detached from the open folder.
struct FolderListing {
  // One entry of the folder as the listing gave it.
  struct Record {
    std::uint32_t nameOffset;  // first byte of the name in `names`
    std::uint32_t nameLength;  // bytes of the name, without its terminator
    unsigned char type;        // d_type
  };
  std::string names;             // every name of the folder, each followed by '\0'
  std::vector<Record> records;   // the entries besides "." and "..", in name order
  bool listingFailed = false;    // reading the names failed before their end
  std::uint64_t device = 0;      // st_dev of the folder
  std::uint64_t inode = 0;       // st_ino of the folder
};

class FolderSearch {
 public:
  FolderSearch();
  ~FolderSearch();
  FolderSearch(const FolderSearch&) = delete;
  FolderSearch& operator=(const FolderSearch&) = delete;

  // Starts enumerating `folder` (native path, no trailing separator needed);
  // closes a previous search first. Returns false, with nothing to enumerate,
  // when the folder cannot be opened (missing, not a folder, no permission,
  // empty path).
  bool Open(const std::string& folder, EntryDetail detail = EntryDetail::Full);

  // As Open(), for the entry `name` of the folder that `parent` is searching,
  // opened relative to it: a walk would otherwise have the kernel resolve
  // every folder of the path again for each folder it enters. Returns false
  // when parent has no open search. REQUIRES: &parent != this.
  bool OpenEntry(const FolderSearch& parent, const std::string& name, EntryDetail detail = EntryDetail::Full);

  // Searches `listing`, the listing another search made of the entry `name`
  // of the folder that `parent` is searching, as if OpenEntry(parent, name)
  // had read it: the same entries in the same order, the same identity and
  // ListingFailed(). Nothing is opened or read; entries are reached by their
  // paths below `parent`'s nearest ancestor with an open folder, which must
  // outlive this search. REQUIRES: parent is open, &parent != this.
  void OpenListed(const FolderSearch& parent, const std::string& name, FolderListing listing,
                  EntryDetail detail = EntryDetail::Full);

  // The listing of the open search (empty when no search is open); valid
  // until the search is closed or opened again.
  const FolderListing& Listing() const;

  // True while the search is open (by any of the Open calls).
  bool IsOpen() const;

  // True while the search is open on a handed-over listing (OpenListed).
  bool IsListed() const;

  // Fills *entry with the next entry. Returns false when there is none left
  // (or the search is not open). A read error of the folder ends the entries
  // as if the folder had no more. REQUIRES: entry != nullptr.
  bool Next(FolderEntry* entry);

  // Reads the entry `name` of the folder being searched whole, as
  // ReadWholeFile() does (file_io.h), but opened relative to the open folder:
  // a walk that reads every file would otherwise have the kernel resolve
  // every folder of the path again for each one. Returns CannotOpen when no
  // search is open.
  ReadStatus ReadEntry(const std::string& name, std::vector<unsigned char>* buffer,
                       std::uint64_t maxSize = std::numeric_limits<std::uint64_t>::max()) const;

  // Starts reading the entry `name` of the folder being searched into the
  // page cache, as PrefetchFileAt() does (file_io.h), opened relative to the
  // open folder. Returns Skipped when no search is open.
  // REQUIRES: size != nullptr.
  PrefetchStatus PrefetchEntry(const std::string& name, std::uint64_t maxSize, std::uint64_t* size) const;

  // True when reading the folder's names failed before their end (an I/O
  // error, a damaged folder): the entries handed out are only those read
  // before the failure, and a walk must not take the folder for complete.
  bool ListingFailed() const;

  // Ends the search; safe to call more than once.
  void Close();

  // Identity of the folder being searched (st_dev, st_ino after following
  // links); 0 when no search is open.
  std::uint64_t FolderDevice() const;
  std::uint64_t FolderInode() const;

 private:
  // Opens `path` relative to the folder descriptor folderFd (AT_FDCWD: the
  // working folder). REQUIRES: no search is open.
  bool OpenAt(int folderFd, const std::string& path, EntryDetail detail);

  struct Impl;
  std::unique_ptr<Impl> impl_;  // owned; holds the folder descriptor, the listing and the "."/".." state
};

}  // namespace platform
