// TempTree: a folder tree under a fresh temporary folder, removed on
// destruction. Paths given to it are relative to its root.
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

namespace convert_test {

class TempTree {
 public:
  TempTree() {
    std::string pattern = (std::filesystem::temp_directory_path() / "cvmap-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
  }
  ~TempTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& Root() const { return root_; }
  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }

  // Writes a file (creating its folders) with the given bytes.
  std::string File(const std::string& relative, const std::string& bytes = "tile") const {
    const std::string path = Path(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return path;
  }
  std::string Folder(const std::string& relative) const {
    const std::string path = Path(relative);
    std::filesystem::create_directories(path);
    return path;
  }
  void Link(const std::string& target, const std::string& relative) const {
    std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
    std::filesystem::create_symlink(target, Path(relative));
  }
  void Fifo(const std::string& relative) const {
    std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
    if (::mkfifo(Path(relative).c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
  }

 private:
  std::string root_;  // the temporary folder, no trailing '/'
};

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
