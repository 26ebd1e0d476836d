// Paths of a source tree: joining a folder and an entry name, opening the
// folders and reading the tiles of a walk, and the relative path that the
// layout patterns are matched against.
//
// Native paths are bytes and stay bytes for every file system call. The
// relative path is the only path turned into UTF-16: it is the text the
// patterns see, written with '\' as the separator so that the patterns apply
// exactly as they are written.
//
// Thread-safety: pure functions.
//
// Invariants:
//  1. RelativePath() of a path below the source folder begins with exactly
//     one '\', whether or not the source folder text ends with '/'.
//  2. The source folder text is removed once, at the start of the path only;
//     the same text deeper in the path stays.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"

namespace platform {
class FolderSearch;
struct FolderEntry;
}

namespace convert {

// folder + "/" + name, without doubling a '/' that folder already ends with.
std::string JoinPath(const std::string& folder, const std::string& name);
// The same into *path, whose capacity is reused: the walks join a path for
// every file. REQUIRES: path != nullptr.
void JoinPathInto(const std::string& folder, const std::string& name, std::string* path);

// Opens the folder `path` that a walk enters, on `search`: relative to the
// parent's open search when `parent` is given (`name` is the folder's entry
// in it), which spares the kernel resolving every folder of the path again,
// else by the path. The path must fit the system's limit either way, so that
// a tree too deep for paths is treated alike. Returns false when the folder
// cannot be opened. REQUIRES: name != nullptr when parent != nullptr.
bool OpenWalkedFolder(platform::FolderSearch& search, const std::string& path, const platform::FolderSearch* parent,
                      const std::string* name);

// Reads the tile `entry` of the folder `search` is walking (its full path
// `fullPath`) whole into *buffer, as both walks must: only a regular file is
// opened (a FIFO or device named like a tile would block or never end), a
// path longer than the system takes is not opened (as if it were opened by
// the path), and a file longer than `longestValue` (the longest value SQLite
// stores) is TooLarge without being read. REQUIRES: buffer != nullptr.
platform::ReadStatus ReadTileFile(const platform::FolderSearch& search, const platform::FolderEntry& entry,
                                  const std::string& fullPath, std::vector<unsigned char>* buffer,
                                  std::uint64_t longestValue);

// The full native path with the source folder removed once at its start,
// converted to UTF-16 (invalid UTF-8 bytes become U+FFFD), every '/' written
// as '\' and every '\' of a name as '/' (so that only separators are '\'). A run of separators where the folder text ends is written as one
// '\'. A path that does not start with the source folder is converted whole.
std::u16string RelativePath(const std::string& fullPath, const std::string& sourceFolder);

// The same path as native bytes for messages: the source folder removed as
// RelativePath() removes it, then every leading '/', so "05/123/567.png".
// A view into fullPath.
std::string_view NativeRelativePath(std::string_view fullPath, const std::string& sourceFolder);

}  // namespace convert
