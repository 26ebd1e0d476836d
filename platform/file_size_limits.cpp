#include "platform/file_size_limits.h"

#include <signal.h>
#include <sys/resource.h>

#include <fstream>
#include <sstream>

#include "platform/file_io.h"

namespace platform {

namespace {

// The mount table writes a space, tab, line feed and backslash in a field as
// "\040", "\011", "\012" and "\134".
std::string UnescapeMountField(std::string_view field) {
  std::string text;
  text.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    const bool escape = field[i] == '\\' && i + 3 < field.size();
    if (escape && field[i + 1] >= '0' && field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
        field[i + 3] >= '0' && field[i + 3] <= '7') {
      text.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
      i += 3;
    } else {
      text.push_back(field[i]);
    }
  }
  return text;
}

// True when the folder `mountPoint` holds `path` (or is it).
bool Holds(const std::string& mountPoint, const std::string& path) {
  if (mountPoint == "/") return !path.empty() && path[0] == '/';
  if (path.compare(0, mountPoint.size(), mountPoint) != 0) return false;
  return path.size() == mountPoint.size() || path[mountPoint.size()] == '/';
}

}  // namespace

void IgnoreFileSizeSignal() { ::signal(SIGXFSZ, SIG_IGN); }

std::uint64_t ProcessFileSizeLimit() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return UINT64_MAX;
  return static_cast<std::uint64_t>(limit.rlim_cur);
}

std::string ReadMountTable() {
  std::ifstream in("/proc/self/mounts");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string FileSystemTypeOf(const std::string& path, std::string_view mountTable) {
  const std::string absolute = ResolvedAbsolutePath(path);
  std::string bestPoint;
  std::string bestType;
  bool found = false;
  std::istringstream lines{std::string(mountTable)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, point, type;
    if (!(fields >> device >> point >> type)) continue;
    point = UnescapeMountField(point);
    if (!Holds(point, absolute)) continue;
    // Longer mount points are nearer; an equal one listed later is mounted
    // on top of the earlier one.
    if (!found || point.size() >= bestPoint.size()) {
      bestPoint = point;
      bestType = UnescapeMountField(type);
      found = true;
    }
  }
  return bestType;
}

bool IsFatFileSystemType(std::string_view type) {
  return type == "vfat" || type == "msdos" || type == "fuse.fusefat";
}

}  // namespace platform
