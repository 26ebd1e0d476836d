// After a failed write: the size limit of the map file's place, and the
// reopening that completes a rollback SQLite left to the next user.
#include "store/write_failure.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "store/map_file.h"
#include "store/sqlite_database.h"
#include "tests/platform/temp_dir.h"

namespace {

using testing_support::TempDir;

// Leaves `map` as a writer that died with its transaction open leaves it: a
// child writes rows with a one-page cache, so that its pages reach the file
// before the commit, and ends without committing.
bool LeaveHotJournal(const std::string& map) {
  const pid_t child = ::fork();
  if (child == 0) {
    sqlite3* db = nullptr;
    sqlite3_open(map.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA cache_size = 1; BEGIN; "
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
                 "INSERT INTO tiles SELECT i, i, 9, 'dead', randomblob(1000) FROM n",
                 nullptr, nullptr, nullptr);
    ::_exit(0);
  }
  int status = 0;
  return child > 0 && ::waitpid(child, &status, 0) == child && std::filesystem::exists(map + "-journal");
}

// Rows as a connection that may not write sees them; -1 when it refuses the
// file (a hot journal beside it).
long long ReadOnlyRows(const std::string& map) {
  sqlite3* db = nullptr;
  long long rows = -1;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_open_v2(map.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "SELECT count(*) FROM tiles", -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW) {
    rows = sqlite3_column_int64(st, 0);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return rows;
}

// WRITE-1: reopening rolls a hot journal back, so that a read-only reader
// opens the map again, and keeps the shown path; when another connection
// holds the map locked (and the wait is cut short) it says why instead.
TEST(WriteFailure, ReopeningCompletesTheRollback) {
  TempDir dir;
  const std::string map = dir / "m.cvmap";
  {
    SQLite::Database creator;
    ASSERT_TRUE(store::CreateMapFileNative(creator, map));
  }
  ASSERT_TRUE(LeaveHotJournal(map));
  ASSERT_EQ(ReadOnlyRows(map), -1) << "a read-only reader should refuse a map with a hot journal";

  SQLite::Database db;
  ASSERT_EQ(db.openNative(map), SQLITE_OK);
  db.path = u"as the user typed it";
  EXPECT_EQ(store::ReopenAfterWriteError(db), "");
  EXPECT_EQ(db.path, u"as the user typed it");
  EXPECT_EQ(db.isOpen, 1);
  EXPECT_FALSE(std::filesystem::exists(map + "-journal"));
  EXPECT_EQ(ReadOnlyRows(map), 0);

  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(map.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  const std::atomic<int> stop{1};
  db.setBusyStop(&stop);
  EXPECT_EQ(store::ReopenAfterWriteError(db), "database is locked");
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);

  SQLite::Database closed;
  EXPECT_EQ(store::ReopenAfterWriteError(closed), "") << "nothing open: nothing to do";
}

// WRITE-2: the largest map file a place allows, from a given mount table:
// FAT types hold less than 4 GiB, other file systems have no limit of
// their own.
TEST(WriteFailure, SizeLimitOfTheMapFilesPlace) {
  TempDir dir;
  const std::string map = dir / "m.cvmap";
  const std::string place = std::filesystem::canonical(dir.path()).string();
  const std::string card = "/dev/sdb1 " + place + " vfat rw,relatime 0 0\n";
  struct Case {
    std::string table;
    std::string fatType;
  } cases[] = {
      {"/dev/vda / ext4 rw 0 0\n" + card, "vfat"},
      {"/dev/vda / ext4 rw 0 0\n", ""},
      {"/dev/vda / ext4 rw 0 0\n" + card + "tmpfs " + place + " tmpfs rw 0 0\n", ""},  // mounted on top
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    const store::MapFileSizeLimit limit = store::SizeLimitOfMapFile(map, c.table);
    EXPECT_EQ(limit.fatType, c.fatType);
    if (!c.fatType.empty()) {
      EXPECT_EQ(limit.largestFile, 0xFFFFFFFFull);
    }
  }
}

}  // namespace
