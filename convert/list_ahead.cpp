#include "convert/list_ahead.h"

#include <cassert>
#include <utility>

#include "convert/listing_queue.h"
#include "convert/source_paths.h"
#include "platform/folder_search.h"
#include "platform/walk_guard.h"

namespace convert {

namespace {

struct ListWalk {
  ListingQueue& queue;            // not owned: where the listings go
  const std::atomic<int>* stop;   // not owned: the job's stop flag
  platform::WalkGuard guard;      // folders on the current path
};

// Lists the folders below the open `search` of the folder `folderPath`
// (relative path `relative`). Returns false when the walk must end.
bool ListBelow(ListWalk& walk, platform::FolderSearch& search, const std::string& folderPath,
               const std::string& relative) {
  platform::FolderEntry entry;
  while (search.Next(&entry)) {
    if (!entry.isDirectory || entry.name == "." || entry.name == "..") continue;
    if (walk.stop->load() != 0 || walk.queue.Closed()) return false;
    const std::string childRelative = relative.empty() ? entry.name : relative + "/" + entry.name;
    const ListingQueue::Place place = walk.queue.PlaceOf(childRelative);
    if (place == ListingQueue::Place::Passed) continue;
    const std::string childPath = JoinPath(folderPath, entry.name);
    platform::FolderSearch child;
    if (!OpenWalkedFolder(child, childPath, &search, &entry.name)) continue;
    if (place == ListingQueue::Place::Ahead && !walk.queue.Push(childRelative, child.Listing())) return false;
    const platform::WalkGuard::Scope scope(walk.guard, child.FolderDevice(), child.FolderInode());
    if (!scope.Entered()) continue;  // a link back up the tree: walked as an empty folder
    if (!ListBelow(walk, child, childPath, childRelative)) return false;
  }
  return true;
}

}  // namespace

void ListAhead(const std::string& sourceFolder, ListingQueue& queue, const std::atomic<int>* stop) {
  assert(stop != nullptr);
  platform::FolderSearch root;
  if (!OpenWalkedFolder(root, sourceFolder, nullptr, nullptr)) return;
  ListWalk walk{queue, stop, {}};
  const platform::WalkGuard::Scope scope(walk.guard, root.FolderDevice(), root.FolderInode());
  if (scope.Entered()) ListBelow(walk, root, sourceFolder, "");
}

}  // namespace convert
