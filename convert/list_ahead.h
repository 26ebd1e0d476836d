// ListAhead: lists the folders of a source tree ahead of a converting walk
// and queues their listings for it (ListingQueue), so that the converting
// walk reads no folder itself.
//
// The walk goes through the tree in the converting walk's order (name
// order, depth first, the same cycle guard), but skips every folder the
// queue says lies behind (ListingQueue::PlaceOf): it can begin on a tree
// whose first part another walk has listed already, or that the converting
// walk has passed, and it reaches the point where listings are needed after
// listing only the folders above it. It queues a listing with Push(), so it
// waits while the queue is full and holds memory bounded by the queue's
// cap; a folder it cannot open is left to the converting walk, which finds
// it unreadable itself.
//
// Thread-safety: runs on the thread that calls it; shares only the queue
// (thread-safe) and the stop flag (atomic).
#pragma once

#include <atomic>
#include <string>

namespace convert {

class ListingQueue;

// Lists `sourceFolder` as above until the walk is through, the queue is
// closed, or *stop is non-zero. REQUIRES: stop != nullptr.
void ListAhead(const std::string& sourceFolder, ListingQueue& queue, const std::atomic<int>* stop);

}  // namespace convert
