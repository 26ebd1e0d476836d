// ListingQueue: hands the folder listings that one walk of a source tree has
// read on to a walk of the same tree behind it, so that the second walk does
// not open and read each folder again (on a cache of one tile a folder, that
// is most of a walk's system calls).
//
// Each listing is keyed by its folder's path relative to the source folder
// ("16/100", separators '/'). Every walk of a conversion visits folders in
// one order: depth first, a folder before what lies below it, the entries of
// a folder in name order. CompareWalkOrder() states that order on paths.
// The walk behind asks with Take() for each folder it enters: listings of
// folders that come before it in that order are stale (the walk passed them
// by another way) and are dropped, and a listing is handed out only when its
// path is exactly the folder's. When the two walks went different ways (the
// tree changed between them, the walk ahead skipped folders or stopped), the
// walk behind therefore never gets another folder's names: it lists the
// folder itself, as it would without the queue.
//
// Memory: the listings held are bounded by capBytes. They are kept packed
// (a name and its kind take the name's bytes and two more; a folder's path
// and identity a few dozen) in chunks of kListingChunkBytes, so a small
// bound holds the listings of many folders. Offer() never waits and
// refuses a listing when there is no room (for a walk ahead that must never
// wait for the one behind); Push() waits for room.
//
// Thread-safety: any number of threads; every member takes the queue's lock.
// Meant for one thread ahead (Offer, Push, PlaceOf) and one behind (Take).
//
// Invariants:
//  1. Take(path) hands out only a listing offered or pushed for exactly path,
//     and each at most once.
//  2. The listings held exceed capBytes at most by one listing pushed into an
//     empty queue.
//  3. After Close(), Offer() and Push() refuse at once, Push() never waits,
//     and nothing is held any more.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_search.h"

namespace convert {

// <0, 0, >0 as folder `a` comes before, is, or comes after folder `b` in a
// walk (both relative paths; "" is the source folder, which comes first).
// Compares name by name as folder listings order names; a folder comes
// before every folder below it.
int CompareWalkOrder(std::string_view a, std::string_view b);

// True when the folder `below` lies somewhere beneath the folder `folder`.
bool IsBeneath(std::string_view below, std::string_view folder);

// Bytes of one chunk of packed listings (a larger listing gets a chunk of
// its own size).
inline constexpr std::size_t kListingChunkBytes = 64u << 10;

class ListingQueue {
 public:
  explicit ListingQueue(std::size_t capBytes) : capBytes_(capBytes) {}
  ListingQueue(const ListingQueue&) = delete;
  ListingQueue& operator=(const ListingQueue&) = delete;

  // Keeps a copy of `listing` for the folder `path` if it fits beside what
  // is held. Returns false, keeping nothing, when it does not or the queue
  // is closed.
  bool Offer(std::string_view path, const platform::FolderListing& listing);

  // Keeps a copy of `listing` for `path`, waiting while the queue has no
  // room for it. Returns false, keeping nothing, once the queue is closed.
  bool Push(std::string_view path, const platform::FolderListing& listing);

  // Where a walk ahead that lists the tree again stands with the folder
  // `path`, against the last listing queued and the last folder asked for.
  enum class Place {
    Passed,    // the folder and all below it lie behind both: nothing there is needed
    OnTheWay,  // the folder has been queued or asked for, or lies above them: go through it
    Ahead,     // nothing has been queued or asked for at or beyond it: list it
  };
  Place PlaceOf(std::string_view path) const;

  // The walk behind enters the folder `path`: drops the listings of folders
  // before it and, when the next listing is the folder's own, fills
  // *listing with it and returns true. Returns false when there is none.
  // REQUIRES: listing != nullptr.
  bool Take(std::string_view path, platform::FolderListing* listing);

  // Drops everything held and refuses listings from now on; wakes a Push().
  void Close();
  bool Closed() const;

  // Bytes the listings held take, packed (for tests).
  std::size_t HeldBytes() const;

 private:
  // A run of packed listings, each: its size, identity, path and entries.
  struct Chunk {
    std::vector<char> bytes;  // capacity of the chunk; bytes.size() bytes
    std::size_t used = 0;     // bytes written, from the start
  };
  // Packs and appends one listing of `size` packed bytes. REQUIRES: lock held.
  void Keep(std::string_view path, const platform::FolderListing& listing, std::size_t size);
  // The oldest listing held (*item, packed) and its path. Returns false when
  // none is held. REQUIRES: lock held.
  bool Front(std::string_view* path, const char** item) const;
  void DropFront();                                              // REQUIRES: lock held, Front() true

  const std::size_t capBytes_;         // bound on heldBytes_
  mutable std::mutex mutex_;           // guards everything below
  std::condition_variable roomCv_;     // a Push() waits here for room
  std::deque<Chunk> chunks_;           // oldest first; listings in walk order
  std::size_t readOffset_ = 0;         // where the oldest listing held begins in chunks_.front()
  std::size_t heldBytes_ = 0;          // packed bytes of the listings held
  std::string lastQueued_;             // path of the newest listing kept; meaningful once queuedAny_
  bool queuedAny_ = false;             // a listing has been kept
  std::string lastAsked_;              // path of the newest Take(); meaningful once askedAny_
  bool askedAny_ = false;              // Take() has been called
  bool closed_ = false;                // Close() was called
  bool pushWaiting_ = false;           // a Push() waits for room
};

}  // namespace convert
