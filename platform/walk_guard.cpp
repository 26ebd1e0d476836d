#include "platform/walk_guard.h"

#include <algorithm>
#include <cassert>

namespace platform {

bool WalkGuard::Enter(std::uint64_t device, std::uint64_t inode) {
  const std::pair<std::uint64_t, std::uint64_t> id{device, inode};
  // Walk paths are short (tens of levels), so a linear scan is the cheapest.
  if (std::find(path_.begin(), path_.end(), id) != path_.end()) return false;
  path_.push_back(id);
  return true;
}

void WalkGuard::Leave() {
  assert(!path_.empty());
  if (!path_.empty()) path_.pop_back();
}

}  // namespace platform
