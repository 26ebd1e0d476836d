#include "store/write_failure.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "platform/file_size_limits.h"
#include "store/sqlite_database.h"

namespace store {

namespace {

// SQLite's largest page: a write that fails within this many bytes of the
// limit is taken for one that the limit stopped.
constexpr std::uint64_t kLargestPage = 65536;

std::uint64_t FileSize(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

// A read that every map file answers; before it SQLite rolls back a hot
// journal (or fails).
constexpr char kFirstReadSql[] = "SELECT count(*) FROM sqlite_master";

}  // namespace

MapFileSizeLimit SizeLimitOfMapFile(const std::string& mapPath, std::string_view mountTable) {
  MapFileSizeLimit limit;
  const std::string type = platform::FileSystemTypeOf(mapPath, mountTable);
  if (platform::IsFatFileSystemType(type)) {
    limit.fatType = type;
    limit.largestFile = platform::kFatLargestFile;
  }
  limit.largestFile = std::min(limit.largestFile, platform::ProcessFileSizeLimit());
  return limit;
}

bool WriteFailedAtSizeLimit(const SQLite::Database& db, int code, std::uint64_t bytesPending,
                            std::string_view mountTable) {
  const int primary = code & 0xff;
  if ((primary != SQLITE_IOERR && primary != SQLITE_FULL) || db.handle == nullptr) return false;
  if (sqlite3_system_errno(db.handle) == EFBIG) return true;
  const char* name = sqlite3_db_filename(db.handle, "main");
  if (name == nullptr || *name == '\0') return false;
  const std::string file = name;
  const std::uint64_t largest = SizeLimitOfMapFile(file, mountTable).largestFile;
  if (largest == UINT64_MAX) return false;
  // A commit that failed has been rolled back already, and the file is back
  // at its size before the batch: what the batch needed counts as well.
  const std::uint64_t size = std::max(FileSize(file), FileSize(file + "-journal")) + bytesPending;
  return size + kLargestPage > largest;
}

std::string ReopenAfterWriteError(SQLite::Database& db) {
  if (db.handle == nullptr) return "";
  const char* name = sqlite3_db_filename(db.handle, "main");
  if (name == nullptr || *name == '\0' || sqlite3_db_readonly(db.handle, "main") == 1) return "";
  const std::string file = name;
  const std::u16string shownPath = db.path;
  db.close();
  const int opened = db.openNative(file);
  db.path = shownPath;
  if (db.handle == nullptr) return sqlite3_errstr(opened);
  if (opened != SQLITE_OK) return sqlite3_errmsg(db.handle);
  if (sqlite3_exec(db.handle, kFirstReadSql, nullptr, nullptr, nullptr) != SQLITE_OK) return sqlite3_errmsg(db.handle);
  return "";
}

}  // namespace store
