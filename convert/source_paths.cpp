#include "convert/source_paths.h"

#include "platform/utf.h"

namespace convert {

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path = folder;
  if (path.empty() || path.back() != '/') path.push_back('/');
  path += name;
  return path;
}

std::u16string RelativePath(const std::string& fullPath, const std::string& sourceFolder) {
  // The folder text without its trailing separators: "/tiles/" and "/tiles"
  // name the same folder, and the separator that follows belongs to the
  // relative path.
  std::size_t prefixLength = sourceFolder.size();
  while (prefixLength > 0 && sourceFolder[prefixLength - 1] == '/') --prefixLength;

  std::string_view rest(fullPath);
  if (rest.substr(0, prefixLength) == std::string_view(sourceFolder).substr(0, prefixLength)) {
    rest.remove_prefix(prefixLength);
    // Collapse the separators where the folder text ended into one.
    while (rest.size() > 1 && rest[0] == '/' && rest[1] == '/') rest.remove_prefix(1);
  }
  std::u16string relative = platform::Utf8ToUtf16(rest);
  for (char16_t& c : relative) {
    if (c == u'/') c = u'\\';
  }
  return relative;
}

}  // namespace convert
