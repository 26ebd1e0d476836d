// After a failed write: the size limit of the map file's place, and the
// reopening that completes a rollback SQLite left to the next user. And the
// readers' turn a writer gives between two batches.
#include "store/write_failure.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>

#include "store/map_file.h"
#include "store/reader_turn.h"
#include "store/sqlite_database.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/map_file_faults.h"

namespace {

using test_support::LeaveHotJournal;
using test_support::ReadOnlyRowCount;
using testing_support::TempDir;

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
  ASSERT_EQ(ReadOnlyRowCount(map), -1) << "a read-only reader should refuse a map with a hot journal";

  SQLite::Database db;
  ASSERT_EQ(db.openNative(map), SQLITE_OK);
  db.path = u"as the user typed it";
  EXPECT_EQ(store::ReopenAfterWriteError(db), "");
  EXPECT_EQ(db.path, u"as the user typed it");
  EXPECT_EQ(db.isOpen, 1);
  EXPECT_FALSE(std::filesystem::exists(map + "-journal"));
  EXPECT_EQ(ReadOnlyRowCount(map), 0);

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

// TURN-1: a batch after a commit keeps its pages in memory (a large page
// cache) for the readers' window, inside its transaction too, and the
// connection's own cache size is back once the window has passed or the
// writer ends; a first batch opens no window.
TEST(ReaderTurn, LargeCacheOnlyForTheWindowAfterACommit) {
  TempDir dir;
  SQLite::Database db;
  ASSERT_TRUE(store::CreateMapFileNative(db, dir / "m.cvmap"));
  ASSERT_EQ(db.exec(u"PRAGMA cache_size = -3000"), SQLITE_OK);
  const auto cacheSize = [&db] {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db.handle, "PRAGMA cache_size", -1, &st, nullptr);
    const int size = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : 0;
    sqlite3_finalize(st);
    return size;
  };
  store::ReaderTurn turn(db);
  turn.BatchBegun(false);
  EXPECT_EQ(cacheSize(), -3000);
  ASSERT_EQ(db.exec(u"BEGIN"), SQLITE_OK);
  turn.BatchBegun(true);
  EXPECT_EQ(cacheSize(), -store::kHoldCacheKiB);
  turn.BatchOpenFor(store::kReaderWindow / 2);
  EXPECT_EQ(cacheSize(), -store::kHoldCacheKiB);
  turn.BatchOpenFor(store::kReaderWindow);
  EXPECT_EQ(cacheSize(), -3000);
  turn.BatchBegun(true);
  turn.End();
  EXPECT_EQ(cacheSize(), -3000);
  EXPECT_EQ(db.exec(u"COMMIT"), SQLITE_OK);
}

}  // namespace
