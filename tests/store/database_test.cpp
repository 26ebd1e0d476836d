#include "store/sqlite_database.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <utility>

#include "platform/message_box.h"
#include "tests/platform/temp_dir.h"
#include "tests/store/store_test_support.h"

namespace {

using platform::MessageStyle;
using platform::RecordingMessageBox;
using SQLite::Database;
using SQLite::Statement;
using testing_support::PreparedCount;
using testing_support::QueryValue;
using testing_support::TempDir;

// STORE-1: a new database is closed; close and exec on it do nothing.
TEST(Database, NewDatabaseIsClosed) {
  RecordingMessageBox boxes;
  Database db(&boxes);
  EXPECT_EQ(db.handle, nullptr);
  EXPECT_EQ(db.errorText, nullptr);
  EXPECT_TRUE(db.path.empty());
  EXPECT_EQ(db.isOpen, 0);
  EXPECT_EQ(db.inTransaction, 0);
  EXPECT_EQ(db.close(), 0);
  EXPECT_EQ(db.exec(u"THIS IS NOT SQL"), 0);
  EXPECT_EQ(db.rollback(), 0);
  EXPECT_TRUE(boxes.Messages().empty());
  EXPECT_THROW(db.prepare(u"SELECT 1"), SQLite::Error);
}

// STORE-2: open creates a missing file and sets isOpen; an empty path opens a
// private temporary database; a failing open leaves isOpen as it was.
TEST(Database, OpenSetsFlagOnSuccessOnly) {
  TempDir dir;
  Database db;
  EXPECT_EQ(db.open(u""), SQLITE_OK);
  EXPECT_EQ(db.isOpen, 1);
  db.isOpen = 0;
  const std::string file = dir / "new.cvmap";
  EXPECT_EQ(db.openNative(file), SQLITE_OK);
  EXPECT_EQ(db.isOpen, 1);
  EXPECT_EQ(db.path, platform::Utf8ToUtf16(file));
  EXPECT_EQ(db.exec(u"CREATE TABLE t(a)"), SQLITE_OK);

  db.isOpen = 0;
  EXPECT_NE(db.openNative(dir / "missing-folder/x.cvmap"), SQLITE_OK);
  EXPECT_EQ(db.isOpen, 0);
  db.isOpen = 1;
  EXPECT_NE(db.openNative(dir / "missing-folder/x.cvmap"), SQLITE_OK);
  EXPECT_EQ(db.isOpen, 1);
  EXPECT_EQ(db.close(), SQLITE_OK);  // the connection SQLite left behind
  EXPECT_EQ(db.handle, nullptr);
}

// STORE-3: a failing exec shows exactly one box "SQLite error: %s" with
// SQLite's text, exclamation style, and returns SQLite's code.
TEST(Database, FailingExecShowsOneBox) {
  RecordingMessageBox boxes;
  Database db(&boxes);
  ASSERT_EQ(db.open(u""), SQLITE_OK);
  EXPECT_EQ(db.exec(u"CREATE TABLE t(a); BOGUS;"), SQLITE_ERROR);
  auto messages = boxes.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, u"SQLite error: near \"BOGUS\": syntax error");
  EXPECT_EQ(messages[0].style, MessageStyle::Exclamation);
  ASSERT_NE(db.errorText, nullptr);
  EXPECT_STREQ(db.errorText, "near \"BOGUS\": syntax error");
  EXPECT_EQ(QueryValue(db, u"SELECT count(*) FROM t"), "0");  // the part before ran
  EXPECT_EQ(db.exec(u"SELECT 1"), SQLITE_OK);
  EXPECT_EQ(boxes.Messages().size(), 1u);
}

// STORE-4: exec on a database whose owner cleared isOpen runs nothing.
TEST(Database, ExecRunsNothingWhenNotOpen) {
  RecordingMessageBox boxes;
  Database db(&boxes);
  ASSERT_EQ(db.open(u""), SQLITE_OK);
  db.isOpen = 0;
  EXPECT_EQ(db.exec(u"CREATE TABLE t(a)"), 0);
  EXPECT_EQ(db.exec(u"BOGUS"), 0);
  EXPECT_TRUE(boxes.Messages().empty());
  db.isOpen = 1;
  EXPECT_EQ(QueryValue(db, u"SELECT count(*) FROM sqlite_master"), "0");
}

// STORE-5: a failing prepare throws SQLite's code and message unchanged and
// shows nothing.
TEST(Database, FailingPrepareThrowsSqliteMessage) {
  RecordingMessageBox boxes;
  Database db(&boxes);
  ASSERT_EQ(db.open(u""), SQLITE_OK);
  try {
    db.prepare(u"SELECT * FROM `missing_table` LIMIT 1");
    FAIL() << "prepare did not throw";
  } catch (const SQLite::Error& error) {
    EXPECT_EQ(error.code, SQLITE_ERROR);
    EXPECT_EQ(error.message, u"no such table: missing_table");
    EXPECT_EQ(error.database, &db);
  }
  EXPECT_TRUE(boxes.Messages().empty());
  EXPECT_EQ(PreparedCount(db), 0);
}

// STORE-6: copies share one statement, finalised once when the last copy goes.
TEST(Statement, CopiesFinaliseOnce) {
  Database db;
  ASSERT_EQ(db.open(u""), SQLITE_OK);
  {
    Statement first = db.prepare(u"SELECT 1");
    EXPECT_EQ(*first.useCount, 1);
    EXPECT_EQ(first.database, &db);
    {
      Statement second = first;
      EXPECT_EQ(second.handle, first.handle);
      EXPECT_EQ(second.useCount, first.useCount);
      EXPECT_EQ(*first.useCount, 2);
      Statement third = db.prepare(u"SELECT 2");
      third = second;  // releases "SELECT 2", shares "SELECT 1"
      EXPECT_EQ(*first.useCount, 3);
      EXPECT_EQ(PreparedCount(db), 1);
      third = third;
      EXPECT_EQ(*first.useCount, 3);
    }
    EXPECT_EQ(*first.useCount, 1);
    EXPECT_EQ(PreparedCount(db), 1);
    EXPECT_EQ(sqlite3_step(first.handle), SQLITE_ROW);
  }
  EXPECT_EQ(PreparedCount(db), 0);
}

// STORE-7: moving hands the share over; the moved-from handle is empty.
TEST(Statement, MoveHandsShareOver) {
  Database db;
  ASSERT_EQ(db.open(u""), SQLITE_OK);
  Statement a = db.prepare(u"SELECT 1");
  sqlite3_stmt* raw = a.handle;
  Statement b = std::move(a);
  EXPECT_EQ(a.handle, nullptr);
  EXPECT_EQ(a.useCount, nullptr);
  EXPECT_FALSE(a.IsLive());
  EXPECT_EQ(b.handle, raw);
  EXPECT_EQ(*b.useCount, 1);
  Statement c = db.prepare(u"SELECT 2");
  c = std::move(b);  // finalises "SELECT 2"
  EXPECT_EQ(c.handle, raw);
  EXPECT_EQ(PreparedCount(db), 1);
  Statement empty;
  c = empty;
  EXPECT_EQ(PreparedCount(db), 0);
}

// STORE-8: close with live statements finalises them and closes; the copies
// still alive are dead and may outlive even the database object.
TEST(Statement, CloseWithLiveStatements) {
  TempDir dir;
  Statement survivor;
  {
    Database db;
    ASSERT_EQ(db.openNative(dir / "a.db"), SQLITE_OK);
    Statement s1 = db.prepare(u"SELECT 1");
    Statement s1copy = s1;
    sqlite3_stmt* raw = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db.handle, "SELECT 3", -1, &raw, nullptr), SQLITE_OK);  // not ours
    EXPECT_TRUE(s1.IsLive());
    EXPECT_EQ(db.close(), SQLITE_OK);
    EXPECT_EQ(db.handle, nullptr);
    EXPECT_EQ(db.isOpen, 1);  // close leaves the flag to the owner
    EXPECT_FALSE(s1.IsLive());
    EXPECT_FALSE(s1copy.IsLive());

    // A statement prepared after a reopen is independent of the dead ones.
    ASSERT_EQ(db.openNative(dir / "a.db"), SQLITE_OK);
    Statement fresh = db.prepare(u"SELECT 4");
    survivor = fresh;
    s1 = Statement();
    EXPECT_TRUE(survivor.IsLive());
    EXPECT_EQ(PreparedCount(db), 1);
  }  // the destructor closes with `survivor` still holding a copy
  EXPECT_FALSE(survivor.IsLive());
}

// STORE-9: open on an open database closes the old connection first.
TEST(Database, ReopenClosesOldConnection) {
  TempDir dir;
  Database db;
  ASSERT_EQ(db.openNative(dir / "one.db"), SQLITE_OK);
  ASSERT_EQ(db.exec(u"CREATE TABLE one(a)"), SQLITE_OK);
  Statement old = db.prepare(u"SELECT * FROM one");
  ASSERT_EQ(db.openNative(dir / "two.db"), SQLITE_OK);
  EXPECT_FALSE(old.IsLive());
  EXPECT_EQ(QueryValue(db, u"SELECT count(*) FROM sqlite_master"), "0");
}

// STORE-10: rollback clears the flag before "ROLLBACK;" runs, so a failing
// rollback still leaves it at 0; without a transaction it does nothing.
TEST(Database, RollbackClearsFlagFirst) {
  RecordingMessageBox boxes;
  Database db(&boxes);
  ASSERT_EQ(db.open(u""), SQLITE_OK);
  ASSERT_EQ(db.exec(u"CREATE TABLE t(a)"), SQLITE_OK);

  db.inTransaction = 1;  // claims a transaction that SQLite does not have
  EXPECT_EQ(db.rollback(), SQLITE_ERROR);
  EXPECT_EQ(db.inTransaction, 0);
  auto messages = boxes.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, u"SQLite error: cannot rollback - no transaction is active");

  db.inTransaction = 1;
  ASSERT_EQ(db.exec(SQLite::kBeginTransactionSql), SQLITE_OK);
  ASSERT_EQ(db.exec(u"INSERT INTO t VALUES(1)"), SQLITE_OK);
  EXPECT_EQ(db.rollback(), SQLITE_OK);
  EXPECT_EQ(db.inTransaction, 0);
  EXPECT_EQ(QueryValue(db, u"SELECT count(*) FROM t"), "0");
  EXPECT_EQ(db.rollback(), 0);
  EXPECT_EQ(boxes.Messages().size(), 1u);
}

// STORE-11: closing with a transaction open rolls it back and clears the
// flag, so the next job's BEGIN/COMMIT pair works without error boxes.
TEST(Database, CloseClearsTransactionFlag) {
  TempDir dir;
  RecordingMessageBox boxes;
  Database db(&boxes);
  ASSERT_EQ(db.openNative(dir / "m.db"), SQLITE_OK);
  ASSERT_EQ(db.exec(u"CREATE TABLE t(a)"), SQLITE_OK);
  db.inTransaction = 1;
  ASSERT_EQ(db.exec(SQLite::kBeginTransactionSql), SQLITE_OK);
  ASSERT_EQ(db.exec(u"INSERT INTO t VALUES(1)"), SQLITE_OK);
  EXPECT_EQ(db.close(), SQLITE_OK);
  EXPECT_EQ(db.inTransaction, 0);

  ASSERT_EQ(db.openNative(dir / "m.db"), SQLITE_OK);
  EXPECT_EQ(QueryValue(db, u"SELECT count(*) FROM t"), "0");
  if (db.inTransaction == 0) {
    db.inTransaction = 1;
    db.exec(SQLite::kBeginTransactionSql);
  }
  db.exec(u"INSERT INTO t VALUES(2)");
  if (db.inTransaction == 1) {
    db.inTransaction = 0;
    db.exec(SQLite::kCommitSql);
  }
  EXPECT_EQ(QueryValue(db, u"SELECT count(*) FROM t"), "1");
  EXPECT_TRUE(boxes.Messages().empty());
}

// STORE-12: without a message-box service, exec failures still reach stderr.
TEST(Database, NoServiceFallsBackToStderr) {
  Database db(nullptr);
  ASSERT_EQ(db.open(u""), SQLITE_OK);
  testing::internal::CaptureStderr();
  EXPECT_EQ(db.exec(u"BOGUS"), SQLITE_ERROR);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("SQLite error: near \"BOGUS\": syntax error"),
            std::string::npos);
}

// STORE-13: destroying one database leaves the library usable for another.
TEST(Database, SecondDatabaseOutlivesFirst) {
  auto second = std::make_unique<Database>();
  {
    Database first;
    ASSERT_EQ(first.open(u""), SQLITE_OK);
    ASSERT_EQ(second->open(u""), SQLITE_OK);
  }
  EXPECT_EQ(second->exec(u"CREATE TABLE t(a)"), SQLITE_OK);
  EXPECT_EQ(QueryValue(*second, u"SELECT count(*) FROM t"), "0");
}

// STORE-14: a relative file name that looks like a URI names a plain file.
TEST(Database, UriLikeNameIsPlainFile) {
  TempDir dir;
  const std::string old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  {
    Database db;
    EXPECT_EQ(db.openNative("file:x.db?mode=memory"), SQLITE_OK);
    EXPECT_EQ(db.exec(u"CREATE TABLE t(a)"), SQLITE_OK);
    EXPECT_EQ(db.open(u":memory:"), SQLITE_OK);
    EXPECT_EQ(db.exec(u"CREATE TABLE t(a)"), SQLITE_OK);
  }
  std::filesystem::current_path(old);
  EXPECT_TRUE(std::filesystem::exists(dir / "file:x.db?mode=memory"));
  EXPECT_TRUE(std::filesystem::exists(dir / ":memory:"));
}

// STORE-15: every way of opening makes the connection wait for another
// connection's lock instead of failing at once; a set stop flag ends the
// wait at once with SQLITE_BUSY.
TEST(Database, EveryOpenWaitsForLocksUntilAStop) {
  TempDir dir;
  const std::string file = dir / "m.db";
  {
    Database setup;
    ASSERT_EQ(setup.openNative(file), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(setup.handle, "CREATE TABLE t(x)", nullptr, nullptr, nullptr), SQLITE_OK);
  }
  using Opener = int (*)(Database&, const std::string&);
  const Opener openers[] = {
      [](Database& db, const std::string& path) { return db.open(platform::Utf8ToUtf16(path)); },
      [](Database& db, const std::string& path) { return db.openNative(path); },
      [](Database& db, const std::string& path) { return db.openNativeReadOnly(path); },
  };
  for (const Opener open : openers) {
    Database holder;
    ASSERT_EQ(holder.openNative(file), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder.handle, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Database db;
    ASSERT_EQ(open(db, file), SQLITE_OK);
    std::thread release([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      sqlite3_exec(holder.handle, "COMMIT", nullptr, nullptr, nullptr);
    });
    EXPECT_EQ(sqlite3_exec(db.handle, "SELECT count(*) FROM t", nullptr, nullptr, nullptr), SQLITE_OK)
        << "the lock was not waited for";
    release.join();

    ASSERT_EQ(sqlite3_exec(holder.handle, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::atomic<int> stop{1};
    db.setBusyStop(&stop);
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(sqlite3_exec(db.handle, "SELECT count(*) FROM t", nullptr, nullptr, nullptr), SQLITE_BUSY);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, SQLite::kBusyTimeout / 2) << "a stop did not end the wait";
    sqlite3_exec(holder.handle, "COMMIT", nullptr, nullptr, nullptr);
  }
  EXPECT_EQ(SQLite::kBusyTimeout, std::chrono::milliseconds(10000));
}

}  // namespace
