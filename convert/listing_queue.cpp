#include "convert/listing_queue.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "platform/name_order.h"

namespace convert {

namespace {

// The next name of `path` from *offset on; *offset moves past it and its
// separator.
std::string_view NextName(std::string_view path, std::size_t* offset) {
  const std::size_t begin = *offset;
  std::size_t end = path.find('/', begin);
  if (end == std::string_view::npos) end = path.size();
  *offset = end < path.size() ? end + 1 : end;
  return path.substr(begin, end - begin);
}

}  // namespace

int CompareWalkOrder(std::string_view a, std::string_view b) {
  if (a == b) return 0;
  std::size_t inA = 0;
  std::size_t inB = 0;
  while (inA < a.size() && inB < b.size()) {
    const std::string_view nameA = NextName(a, &inA);
    const std::string_view nameB = NextName(b, &inB);
    if (nameA == nameB) continue;
    return platform::CompareNames(nameA, nameB);
  }
  // One path is the other's folder (or they are equal): the folder first.
  if (inA >= a.size() && inB >= b.size()) return 0;
  return inA >= a.size() ? -1 : 1;
}

bool IsBeneath(std::string_view below, std::string_view folder) {
  if (folder.empty()) return !below.empty();
  return below.size() > folder.size() && below.substr(0, folder.size()) == folder && below[folder.size()] == '/';
}

namespace {

// A packed listing: its size, the folder's identity, the listing's end
// state, the path, then each entry's kind (d_type), name and terminator.
struct PackedHeader {
  std::uint32_t size;         // bytes of the packed listing, this header included
  std::uint64_t device;       // st_dev of the folder
  std::uint64_t inode;        // st_ino of the folder
  std::uint32_t pathLength;   // bytes of the path that follows the header
  std::uint32_t entryCount;   // entries that follow the path
  std::uint8_t listingFailed; // the listing broke off
};

std::size_t PackedSize(std::string_view path, const platform::FolderListing& listing) {
  std::size_t size = sizeof(PackedHeader) + path.size();
  for (const platform::FolderListing::Record& r : listing.records) size += 2 + r.nameLength;
  return size;
}

PackedHeader HeaderOf(const char* item) {
  PackedHeader header;
  std::memcpy(&header, item, sizeof header);
  return header;
}

std::string_view PathOf(const char* item) {
  return {item + sizeof(PackedHeader), HeaderOf(item).pathLength};
}

void Unpack(const char* item, platform::FolderListing* listing) {
  const PackedHeader header = HeaderOf(item);
  listing->device = header.device;
  listing->inode = header.inode;
  listing->listingFailed = header.listingFailed != 0;
  listing->names.clear();
  listing->records.clear();
  const char* entry = item + sizeof header + header.pathLength;
  const char* const end = item + header.size;
  listing->names.reserve(static_cast<std::size_t>(end - entry) - header.entryCount);
  listing->records.reserve(header.entryCount);
  while (entry < end) {
    const auto type = static_cast<unsigned char>(*entry++);
    const std::size_t length = std::strlen(entry);
    listing->records.push_back(platform::FolderListing::Record{static_cast<std::uint32_t>(listing->names.size()),
                                                               static_cast<std::uint32_t>(length), type});
    listing->names.append(entry, length + 1);
    entry += length + 1;
  }
}

}  // namespace

bool ListingQueue::Offer(std::string_view path, const platform::FolderListing& listing) {
  const std::size_t size = PackedSize(path, listing);
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_ || heldBytes_ + size > capBytes_ || size > UINT32_MAX) return false;
  Keep(path, listing, size);
  return true;
}

bool ListingQueue::Push(std::string_view path, const platform::FolderListing& listing) {
  const std::size_t size = PackedSize(path, listing);
  if (size > UINT32_MAX) return false;
  std::unique_lock<std::mutex> lock(mutex_);
  pushWaiting_ = true;
  roomCv_.wait(lock, [&] { return closed_ || heldBytes_ == 0 || heldBytes_ + size <= capBytes_; });
  pushWaiting_ = false;
  if (closed_) return false;
  Keep(path, listing, size);
  return true;
}

void ListingQueue::Keep(std::string_view path, const platform::FolderListing& listing, std::size_t size) {
  if (chunks_.empty() || chunks_.back().used + size > chunks_.back().bytes.size()) {
    chunks_.emplace_back();
    chunks_.back().bytes.resize(std::max(kListingChunkBytes, size));
  }
  Chunk& chunk = chunks_.back();
  char* out = chunk.bytes.data() + chunk.used;
  const PackedHeader header{static_cast<std::uint32_t>(size), listing.device, listing.inode,
                            static_cast<std::uint32_t>(path.size()),
                            static_cast<std::uint32_t>(listing.records.size()),
                            static_cast<std::uint8_t>(listing.listingFailed ? 1 : 0)};
  std::memcpy(out, &header, sizeof header);
  out += sizeof header;
  std::memcpy(out, path.data(), path.size());
  out += path.size();
  for (const platform::FolderListing::Record& r : listing.records) {
    *out++ = static_cast<char>(r.type);
    std::memcpy(out, listing.names.data() + r.nameOffset, r.nameLength + 1);  // with its terminator
    out += r.nameLength + 1;
  }
  chunk.used += size;
  heldBytes_ += size;
  lastQueued_.assign(path);
  queuedAny_ = true;
}

bool ListingQueue::Front(std::string_view* path, const char** item) const {
  if (chunks_.empty()) return false;
  const Chunk& front = chunks_.front();
  if (readOffset_ >= front.used) return false;  // DropFront() moves on to the next chunk
  *item = front.bytes.data() + readOffset_;
  *path = PathOf(*item);
  return true;
}

void ListingQueue::DropFront() {
  const std::uint32_t size = HeaderOf(chunks_.front().bytes.data() + readOffset_).size;
  readOffset_ += size;
  heldBytes_ -= size;
  // A chunk read to its end goes; the last one is kept for the listings to
  // come, from its start again.
  if (readOffset_ >= chunks_.front().used) {
    if (chunks_.size() > 1) {
      chunks_.pop_front();
    } else {
      chunks_.front().used = 0;
    }
    readOffset_ = 0;
  }
}

ListingQueue::Place ListingQueue::PlaceOf(std::string_view path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  // The farther of the two marks in walk order.
  const std::string* mark = nullptr;
  if (queuedAny_) mark = &lastQueued_;
  if (askedAny_ && (mark == nullptr || CompareWalkOrder(lastAsked_, *mark) > 0)) mark = &lastAsked_;
  if (mark == nullptr) return Place::Ahead;
  const int order = CompareWalkOrder(path, *mark);
  if (order > 0) return Place::Ahead;
  // At or above the mark the walk goes on below; before it and not above it,
  // everything below comes before the mark as well.
  if (order == 0 || IsBeneath(*mark, path)) return Place::OnTheWay;
  return Place::Passed;
}

bool ListingQueue::Take(std::string_view path, platform::FolderListing* listing) {
  assert(listing != nullptr);
  std::unique_lock<std::mutex> lock(mutex_);
  lastAsked_.assign(path);
  askedAny_ = true;
  bool found = false;
  std::string_view frontPath;
  const char* item = nullptr;
  while (Front(&frontPath, &item)) {
    const int order = frontPath == path ? 0 : CompareWalkOrder(frontPath, path);
    if (order > 0) break;  // a folder still to come
    if (order == 0) {
      Unpack(item, listing);
      found = true;
    }
    DropFront();
    if (found) break;
  }
  // A Push() waiting for room goes on once half the room is free again, not
  // after every folder.
  const bool wake = pushWaiting_ && heldBytes_ <= capBytes_ / 2;
  lock.unlock();
  if (wake) roomCv_.notify_all();
  return found;
}

void ListingQueue::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    chunks_.clear();
    readOffset_ = 0;
    heldBytes_ = 0;
  }
  roomCv_.notify_all();
}

bool ListingQueue::Closed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

std::size_t ListingQueue::HeldBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return heldBytes_;
}

}  // namespace convert
