// Helpers of the tests that leave a map file as a failed or killed writer
// leaves it, and look at it as its next reader does: a hot journal made by
// a writer that died mid-transaction, a reader that may not write, and a
// file size limit on the test process itself.
//
// Thread-safety: each helper belongs to one test thread; the size limit is
// process-wide while its scope lives.
#pragma once

#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace test_support {

// Leaves `map` (a map file) as a writer that died in the middle of a
// transaction leaves it: a child process writes 300 rows with a one-page
// cache (so that pages reach the file before the commit) and ends without
// committing. True when a journal is left beside the map.
inline bool LeaveHotJournal(const std::string& map) {
  const pid_t child = ::fork();
  if (child == 0) {
    sqlite3* db = nullptr;
    sqlite3_open(map.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA cache_size = 1; BEGIN; "
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
                 "INSERT INTO tiles SELECT i, i, 9, 'dead', randomblob(1000) FROM n",
                 nullptr, nullptr, nullptr);
    ::_exit(0);  // no commit, no close
  }
  int status = 0;
  return child > 0 && ::waitpid(child, &status, 0) == child && std::filesystem::exists(map + "-journal");
}

// The rows of `tiles` in `map` as a reader that may not write sees them, or
// -1 when it refuses the file (as it does while a hot journal lies beside it).
inline long long ReadOnlyRowCount(const std::string& map) {
  sqlite3* db = nullptr;
  sqlite3_stmt* st = nullptr;
  long long rows = -1;
  if (sqlite3_open_v2(map.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "SELECT count(*) FROM tiles", -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW) {
    rows = sqlite3_column_int64(st, 0);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return rows;
}

// While it lives, files this process writes may grow to `bytes` at most
// (the soft RLIMIT_FSIZE), and a write past that fails with EFBIG instead
// of raising SIGXFSZ: as a FAT card's 4 GiB stops a map file. Only the code
// under test may write files meanwhile.
class FileSizeLimitScope {
 public:
  explicit FileSizeLimitScope(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved_;
    limited.rlim_cur = bytes;
    active_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
  }
  ~FileSizeLimitScope() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, previous_);
  }
  FileSizeLimitScope(const FileSizeLimitScope&) = delete;
  FileSizeLimitScope& operator=(const FileSizeLimitScope&) = delete;

  bool Active() const { return active_; }  // the limit could be set

 private:
  struct rlimit saved_ {};          // the limit before, restored
  sighandler_t previous_ = SIG_DFL;  // SIGXFSZ's action before, restored
  bool active_ = false;
};

}  // namespace test_support
