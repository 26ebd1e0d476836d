#include "bench/reference_loops.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace bench {
namespace {

bool IsDots(const char* name) { return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')); }

// True when the entry is a folder; d_type where it is known, stat otherwise.
bool IsFolder(const std::string& path, const dirent* d) {
  if (d->d_type != DT_UNKNOWN && d->d_type != DT_LNK) return d->d_type == DT_DIR;
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Calls onFile(path) for every file below folder, depth first.
template <typename OnFile>
void Walk(const std::string& folder, OnFile& onFile) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  std::string path = folder + "/";
  const std::size_t stem = path.size();
  while (const dirent* d = ::readdir(dir)) {
    if (IsDots(d->d_name)) continue;
    path.resize(stem);
    path += d->d_name;
    if (IsFolder(path, d)) {
      Walk(path, onFile);
    } else {
      onFile(path, d->d_name);
    }
  }
  ::closedir(dir);
}

// Reads the whole file into *buffer. False when it cannot be read.
bool ReadFile(const std::string& path, std::vector<unsigned char>* buffer) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0;
  if (ok) {
    buffer->resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (ok && done < buffer->size()) {
      const ssize_t n = ::read(fd, buffer->data() + done, buffer->size() - done);
      ok = n > 0;
      if (ok) done += static_cast<std::size_t>(n);
    }
  }
  ::close(fd);
  return ok;
}

}  // namespace

long long BareWalk(const std::string& folder) {
  long long files = 0;
  auto count = [&files](const std::string&, const char*) { ++files; };
  Walk(folder, count);
  return files;
}

sqlite3* OpenPlainMap(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, "unix") != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

long long LimitLoop(const std::string& source, LimitLayout layout, sqlite3* db) {
  sqlite3_stmt* insert = nullptr;
  if (sqlite3_prepare_v2(db, "INSERT INTO `tiles` (`x`, `y`, `z`, `s`, `image`) VALUES(?, ?, ?, ?, ?)", -1,
                         &insert, nullptr) != SQLITE_OK) {
    return -1;
  }
  if (sqlite3_exec(db, "BEGIN TRANSACTION;", nullptr, nullptr, nullptr) != SQLITE_OK) {
    sqlite3_finalize(insert);
    return -1;
  }
  std::vector<unsigned char> buffer;
  long long rows = 0;
  auto store = [&](const std::string& path, const char* name) {
    if (!ReadFile(path, &buffer)) return;
    int zoom = 0;
    unsigned x = 0;
    unsigned y = 0;
    if (layout == LimitLayout::GeoKuk) {
      // source_zoom_x_y.kachle
      const char* underscore = std::strchr(name, '_');
      if (underscore == nullptr || std::sscanf(underscore, "_%d_%x_%x", &zoom, &x, &y) != 3) return;
      sqlite3_bind_text(insert, 4, name, static_cast<int>(underscore - name), SQLITE_STATIC);
    } else {
      // source/zoom/column/row.png
      int column = 0;
      int row = 0;
      if (std::sscanf(path.c_str() + source.size(), "/%d/%d/%d", &zoom, &column, &row) != 3) return;
      x = static_cast<unsigned>(column);
      y = static_cast<unsigned>(row);
      sqlite3_bind_int(insert, 4, 0);
    }
    sqlite3_bind_int(insert, 1, static_cast<int>(x));
    sqlite3_bind_int(insert, 2, static_cast<int>(y));
    sqlite3_bind_int(insert, 3, 17 - zoom);
    sqlite3_bind_blob64(insert, 5, buffer.data(), buffer.size(), SQLITE_STATIC);
    if (sqlite3_step(insert) == SQLITE_DONE) ++rows;
    sqlite3_reset(insert);
  };
  Walk(source, store);
  sqlite3_finalize(insert);
  if (sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr) != SQLITE_OK) return -1;
  return rows;
}

}  // namespace bench
