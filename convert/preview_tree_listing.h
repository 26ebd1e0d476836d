// Folder listings for the preview's tree sources: the names of one folder,
// split into folders and regular files, in the folder search's name order.
//
// Thread-safety: pure functions over the file system.
#pragma once

#include <string>
#include <vector>

#include "convert/preview_source.h"

namespace convert {

struct FolderListing {
  std::vector<std::string> folders;  // subfolder names, "." and ".." left out
  std::vector<std::string> files;    // regular file names
};

// Lists `folder` (native path), counting the listing in *stats. A folder
// that cannot be opened lists as empty. REQUIRES: stats != nullptr.
FolderListing ListFolder(const std::string& folder, PreviewStats* stats);

// The value of a name made of 1 .. maxDigits decimal digits (leading zeros
// allowed), or -1 for any other name and for a value beyond INT32_MAX.
long long DecimalName(const std::string& name, std::size_t maxDigits);

// Up to `count` indexes of 0 .. size - 1, evenly spread, the first and the
// last included. REQUIRES: count >= 2.
std::vector<std::size_t> SpreadSample(std::size_t size, std::size_t count);

}  // namespace convert
