#include "convert/source_paths.h"

#include <limits.h>

#include <cassert>

#include "platform/folder_search.h"
#include "platform/utf.h"

namespace convert {

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  JoinPathInto(folder, name, &path);
  return path;
}

void JoinPathInto(const std::string& folder, const std::string& name, std::string* path) {
  assert(path != nullptr);
  path->assign(folder);
  if (path->empty() || path->back() != '/') path->push_back('/');
  *path += name;
}

bool OpenWalkedFolder(platform::FolderSearch& search, const std::string& path, const platform::FolderSearch* parent,
                      const std::string* name) {
  if (path.size() >= PATH_MAX) {
    search.Close();
    return false;
  }
  if (parent == nullptr) return search.Open(path, platform::EntryDetail::KindOnly);
  assert(name != nullptr);
  return search.OpenEntry(*parent, *name, platform::EntryDetail::KindOnly);
}

platform::ReadStatus ReadTileFile(const platform::FolderSearch& search, const platform::FolderEntry& entry,
                                  const std::string& fullPath, std::vector<unsigned char>* buffer,
                                  std::uint64_t longestValue) {
  assert(buffer != nullptr);
  if (entry.kind != platform::EntryKind::Regular || fullPath.size() >= PATH_MAX) {
    return platform::ReadStatus::CannotOpen;
  }
  return search.ReadEntry(entry.name, buffer, longestValue);
}

namespace {

// fullPath without the source folder text at its start (the folder text
// without its trailing separators: "/tiles/" and "/tiles" name the same
// folder, and the separator that follows belongs to the relative path), the
// separators where it ended collapsed into one.
std::string_view WithoutSourceFolder(std::string_view fullPath, const std::string& sourceFolder) {
  std::size_t prefixLength = sourceFolder.size();
  while (prefixLength > 0 && sourceFolder[prefixLength - 1] == '/') --prefixLength;
  std::string_view rest(fullPath);
  if (rest.substr(0, prefixLength) == std::string_view(sourceFolder).substr(0, prefixLength)) {
    rest.remove_prefix(prefixLength);
    while (rest.size() > 1 && rest[0] == '/' && rest[1] == '/') rest.remove_prefix(1);
  }
  return rest;
}

}  // namespace

std::string_view NativeRelativePath(std::string_view fullPath, const std::string& sourceFolder) {
  std::string_view rest = WithoutSourceFolder(fullPath, sourceFolder);
  while (!rest.empty() && rest[0] == '/') rest.remove_prefix(1);
  return rest;
}

std::u16string RelativePath(const std::string& fullPath, const std::string& sourceFolder) {
  const std::string_view rest = WithoutSourceFolder(fullPath, sourceFolder);
  std::u16string relative = platform::Utf8ToUtf16(rest);
  // '/' separates names; a '\\' inside a name is written as '/', which no
  // name holds, so that it is never taken for a separator ("17621\\11308.png"
  // in the folder 15 is no tile 15/17621/11308).
  for (char16_t& c : relative) {
    if (c == u'/') {
      c = u'\\';
    } else if (c == u'\\') {
      c = u'/';
    }
  }
  return relative;
}

}  // namespace convert
