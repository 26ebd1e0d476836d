// Fixture trees of the conversion tests (TempTree, shared with the other
// suites) and the order in which the file system lists a folder.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/folder_search.h"
#include "tests/support/temp_tree.h"

namespace convert_test {

using TempTree = test_support::TempTree;

// Names of a folder's entries in the order the file system returns them,
// without "." and "..": tests whose outcome depends on that order read it
// here instead of assuming one.
inline std::vector<std::string> EntriesInSearchOrder(const std::string& folder) {
  std::vector<std::string> names;
  platform::FolderSearch search;
  platform::FolderEntry entry;
  if (!search.Open(folder)) return names;
  while (search.Next(&entry)) {
    if (entry.name != "." && entry.name != "..") names.push_back(entry.name);
  }
  return names;
}

}  // namespace convert_test
