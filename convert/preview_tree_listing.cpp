#include "convert/preview_tree_listing.h"

#include <cassert>
#include <cstdint>

#include "platform/folder_search.h"

namespace convert {

FolderListing ListFolder(const std::string& folder, PreviewStats* stats) {
  assert(stats != nullptr);
  FolderListing listing;
  stats->folderListings.fetch_add(1, std::memory_order_relaxed);
  platform::FolderSearch search;
  if (!search.Open(folder, platform::EntryDetail::KindOnly)) return listing;
  platform::FolderEntry entry;
  while (search.Next(&entry)) {
    if (entry.isDirectory) {
      if (entry.name != "." && entry.name != "..") listing.folders.push_back(entry.name);
    } else if (entry.kind == platform::EntryKind::Regular) {
      listing.files.push_back(entry.name);
    }
  }
  return listing;
}

long long DecimalName(const std::string& name, std::size_t maxDigits) {
  if (name.empty() || name.size() > maxDigits) return -1;
  long long value = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) return -1;
  }
  return value;
}

std::vector<std::size_t> SpreadSample(std::size_t size, std::size_t count) {
  assert(count >= 2);
  std::vector<std::size_t> picks;
  if (size <= count) {
    for (std::size_t i = 0; i < size; ++i) picks.push_back(i);
    return picks;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = i * (size - 1) / (count - 1);
    if (picks.empty() || picks.back() != at) picks.push_back(at);
  }
  return picks;
}

}  // namespace convert
