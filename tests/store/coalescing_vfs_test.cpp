// The file layer that gathers SQLite's page writes: what connections read,
// what reaches the file, and a write the system refuses.
#include "store/coalescing_vfs.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "store/sqlite_database.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/page_cache_state.h"

namespace {

using testing_support::TempDir;

// Write system calls this process has made so far (all threads, all files).
long long WriteCalls() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long long value = 0;
  while (io >> key >> value) {
    if (key == "syscw:") return value;
  }
  return -1;
}

std::string Blob(std::mt19937& random, std::size_t size) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

void Exec(sqlite3* db, const char* sql) { ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql; }

// Inserts image `bytes` under key k through `db`; returns SQLite's result.
int Insert(sqlite3* db, int k, const std::string& bytes) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "INSERT INTO t(k, image) VALUES(?, ?)", -1, &st, nullptr) != SQLITE_OK) return -1;
  sqlite3_bind_int(st, 1, k);
  sqlite3_bind_blob(st, 2, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
  const int rc = sqlite3_step(st);
  sqlite3_finalize(st);
  return rc;
}

// The image under key k as `db` reads it; "<none>" when there is none.
std::string ImageOf(sqlite3* db, int k) {
  sqlite3_stmt* st = nullptr;
  std::string image = "<none>";
  if (sqlite3_prepare_v2(db, "SELECT image FROM t WHERE k = ?", -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_int(st, 1, k);
    if (sqlite3_step(st) == SQLITE_ROW) {
      image.assign(static_cast<const char*>(sqlite3_column_blob(st, 0)), sqlite3_column_bytes(st, 0));
    }
  }
  sqlite3_finalize(st);
  return image;
}

long long Count(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  long long n = -1;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
    n = sqlite3_column_int64(st, 0);
  }
  sqlite3_finalize(st);
  return n;
}

// SQLite's integrity check of the file at `path`, read on the system's own
// layer: "ok" for a sound file.
std::string IntegrityCheck(const std::string& path) {
  sqlite3* check = nullptr;
  std::string result = "<cannot open>";
  if (sqlite3_open_v2(path.c_str(), &check, SQLITE_OPEN_READONLY, "unix") == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(check, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
      result = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(check);
  return result;
}

// VFS-1: a connection of this program gathers its page writes (far fewer
// write calls than pages) and still reads, inside its own transaction, every
// row it has written; each commit leaves nothing of the file unwritten to
// the disk; after it a connection on the system's own layer reads exactly
// those rows, and the file is sound.
TEST(CoalescingVfs, GathersWritesAndEveryReaderSeesThem) {
  SQLite::Database keepsLibrary;  // makes the layer the default, as every run of the program does
  ASSERT_STREQ(sqlite3_vfs_find(nullptr)->zName, "corvane-coalescing");
  TempDir dir;
  const std::string path = dir.path() + "/map.db";
  sqlite3* writer = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &writer, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
  Exec(writer, "CREATE TABLE t(k INTEGER PRIMARY KEY, image BLOB)");
  sqlite3* reader = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &reader, SQLITE_OPEN_READONLY, "unix"), SQLITE_OK);

  std::mt19937 random(20261208);
  std::vector<std::string> images;
  for (int batch = 0; batch < 3; ++batch) {
    // The last batch: pages leave SQLite's cache, and are read back, within
    // the transaction.
    if (batch == 2) Exec(writer, "PRAGMA cache_size = 20");
    const long long pagesBefore = Count(writer, "PRAGMA page_count");
    const long long writesBefore = WriteCalls();
    Exec(writer, "BEGIN");
    for (int i = 0; i < 400; ++i) {
      const int k = static_cast<int>(images.size());
      images.push_back(Blob(random, 1000 + random() % 9000));
      ASSERT_EQ(Insert(writer, k, images.back()), SQLITE_DONE);
      // Reads inside the transaction, of rows far back, after SQLite may
      // have written their pages out of its cache.
      if (i % 25 == 24) {
        const int back = static_cast<int>(images.size() - 1 - random() % 25);  // written moments ago
        ASSERT_EQ(ImageOf(writer, back), images[back]) << back;
      }
    }
    Exec(writer, "COMMIT");
    // The commit's sync found every byte in the file: nothing of it is
    // left to write.
    test_support::PageCacheState state;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0 && test_support::ReadPageCacheState(fd, &state)) {
      EXPECT_EQ(state.dirty, 0u) << "batch " << batch;
    }
    if (fd >= 0) ::close(fd);
    const long long pages = Count(writer, "PRAGMA page_count") - pagesBefore;
    const long long writes = WriteCalls() - writesBefore;
    if (batch < 2) {
      EXPECT_LT(writes * 2, pages) << "batch " << batch << ": " << writes << " write calls for " << pages << " pages";
    }
    ASSERT_EQ(Count(reader, "SELECT count(*) FROM t"), static_cast<long long>(images.size()));
    for (int k = 0; k < static_cast<int>(images.size()); k += 37) ASSERT_EQ(ImageOf(reader, k), images[k]) << k;
  }
  sqlite3_close(reader);
  sqlite3_close(writer);
  EXPECT_EQ(IntegrityCheck(path), "ok");
}

// VFS-3: a database whose commit does not sync it before the journal goes
// (synchronous off), or whose checkpoints tell readers through shared memory
// (write-ahead log), writes every page as it comes: as many write calls as
// pages, and a reader on the system's own layer reads every row.
TEST(CoalescingVfs, GathersNothingWhereTheCommitOrderDiffers) {
  SQLite::Database keepsLibrary;
  // Each mode, and the statement whose writes reach the database file.
  const struct {
    const char* pragma;
    const char* writesToDatabase;
  } kModes[] = {{"PRAGMA synchronous = OFF", "COMMIT"}, {"PRAGMA journal_mode = WAL", "PRAGMA wal_checkpoint(TRUNCATE)"}};
  for (const auto& mode : kModes) {
    const char* pragma = mode.pragma;
    SCOPED_TRACE(pragma);
    TempDir dir;
    const std::string path = dir.path() + "/map.db";
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &writer, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
    Exec(writer, pragma);
    Exec(writer, "CREATE TABLE t(k INTEGER PRIMARY KEY, image BLOB)");
    std::mt19937 random(3);
    Exec(writer, "BEGIN");
    for (int k = 0; k < 300; ++k) ASSERT_EQ(Insert(writer, k, Blob(random, 6000)), SQLITE_DONE);
    if (std::strcmp(mode.writesToDatabase, "COMMIT") != 0) Exec(writer, "COMMIT");
    const long long writesBefore = WriteCalls();
    Exec(writer, mode.writesToDatabase);
    const long long writes = WriteCalls() - writesBefore;
    EXPECT_GT(writes * 2, Count(writer, "PRAGMA page_count"));  // gathered, it would be about 1 call in 15
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &reader, SQLITE_OPEN_READONLY, "unix"), SQLITE_OK);
    EXPECT_EQ(Count(reader, "SELECT count(*) FROM t"), 300);
    sqlite3_close(reader);
    sqlite3_close(writer);
  }
}

// VFS-2: a write the system refuses (the file-size limit here) is reported
// by the statement or commit whose data it was, never lost: the transaction
// fails with SQLite's write error and the system's errno, it is rolled back,
// and the file holds exactly the rows committed before.
TEST(CoalescingVfs, RefusedWriteFailsTheTransaction) {
  TempDir dir;
  const std::string path = dir.path() + "/map.db";
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child alone runs under the limit; it reports what it saw.
    ::close(pipeFds[0]);
    ::signal(SIGXFSZ, SIG_IGN);
    int result[3] = {-1, -1, -1};  // the first failing result code, its errno, the committed rows
    {
      SQLite::Database keepsLibrary;
      sqlite3* db = nullptr;
      sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
      sqlite3_exec(db, "CREATE TABLE t(k INTEGER PRIMARY KEY, image BLOB)", nullptr, nullptr, nullptr);
      std::mt19937 random(7);
      sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
      for (int k = 0; k < 50; ++k) Insert(db, k, Blob(random, 4000));
      sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
      result[2] = static_cast<int>(Count(db, "SELECT count(*) FROM t"));
      struct rlimit limit {2u << 20, 2u << 20};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
      for (int k = 50; k < 2000 && result[0] < 0; ++k) {
        const int rc = Insert(db, k, Blob(random, 4000));
        if (rc != SQLITE_DONE) result[0] = rc;
      }
      if (result[0] < 0) result[0] = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
      result[1] = sqlite3_system_errno(db);
      sqlite3_close(db);
    }
    const bool sent = ::write(pipeFds[1], result, sizeof result) == static_cast<ssize_t>(sizeof result);
    ::_exit(sent ? 0 : 1);
  }
  ::close(pipeFds[1]);
  int result[3] = {-1, -1, -1};
  const bool received = ::read(pipeFds[0], result, sizeof result) == static_cast<ssize_t>(sizeof result);
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(received);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(result[2], 50);
  EXPECT_TRUE((result[0] & 0xff) == SQLITE_IOERR || result[0] == SQLITE_FULL) << result[0];
  EXPECT_EQ(result[1], EFBIG);

  sqlite3* check = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &check, SQLITE_OPEN_READWRITE, "unix"), SQLITE_OK);
  EXPECT_EQ(Count(check, "SELECT count(*) FROM t"), 50);  // the rollback is completed by this connection
  sqlite3_close(check);
  EXPECT_EQ(IntegrityCheck(path), "ok");
}

}  // namespace
