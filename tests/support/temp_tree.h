// TempTree: a fresh temporary folder for a test's fixture files, removed with
// everything below it on destruction. Paths given to it are relative to its
// root.
//
// The root is open to every user (0755), so a child process that dropped to an
// unprivileged account can reach it. Removal works on trees deeper than the
// system's path-length limit and on folders whose permissions a test took
// away: every folder is handled through a descriptor of its parent, so no full
// path is ever formed.
//
// Thread-safety: each object belongs to one test thread.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace test_support {

// Removes `name` (relative to the folder open as `parentFd`) and everything
// below it, however deep. Missing entries are ignored.
inline void RemoveTreeAt(int parentFd, const char* name) {
  struct stat st;
  if (fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    fchmodat(parentFd, name, 0700, 0);
    const int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
      if (DIR* dir = fdopendir(fd)) {
        std::vector<std::string> names;
        while (dirent* d = readdir(dir)) {
          const std::string entry = d->d_name;
          if (entry != "." && entry != "..") names.push_back(entry);
        }
        for (const std::string& entry : names) RemoveTreeAt(dirfd(dir), entry.c_str());
        closedir(dir);
      } else {
        ::close(fd);
      }
    }
    unlinkat(parentFd, name, AT_REMOVEDIR);
  } else {
    unlinkat(parentFd, name, 0);
  }
}

inline void RemoveTree(const std::string& path) { RemoveTreeAt(AT_FDCWD, path.c_str()); }

class TempTree {
 public:
  // Under `base` when it is given (a test that needs a file system of its
  // own, such as tmpfs at /dev/shm), else in the system's temporary folder.
  explicit TempTree(const std::string& base = "") {
    std::string pattern =
        ((base.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(base)) / "cvmap-test-XXXXXX")
            .string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    ::chmod(root_.c_str(), 0755);
  }
  ~TempTree() { RemoveTree(root_); }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& Root() const { return root_; }
  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }

  // Writes a file with `bytes`, creating its folders. Returns its path.
  // Throws when the file cannot be written.
  std::string File(const std::string& relative, const std::string& bytes = "tile") const {
    const std::string path = Path(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
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
    if (::mkfifo(Path(relative).c_str(), 0644) != 0) throw std::runtime_error("mkfifo failed");
  }

 private:
  std::string root_;  // the temporary folder, no trailing '/'
};

}  // namespace test_support
