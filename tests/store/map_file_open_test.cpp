// Opening a map file for a job: what each kind of path gives, that a refused
// file keeps its bytes, and that a lock held for a while is waited for.
#include "store/map_file_open.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "store/map_file.h"
#include "store/tile_inserter.h"
#include "tests/platform/temp_dir.h"
#include "tests/store/store_test_support.h"

namespace {

using store::MapOpenStatus;
using testing_support::QueryValue;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// Makes a map file holding one tile at `path`.
void MakeMapWithOneTile(const std::string& path) {
  SQLite::Database db;
  ASSERT_TRUE(store::CreateMapFileNative(db, path));
  store::TileInserter inserter(db);
  ASSERT_EQ(inserter.Insert(store::TileKey{1, 2, 3, false, u""}, std::vector<unsigned char>{'t'}),
            store::TileInserter::Outcome::Stored);
}

// OPEN-1: every kind of path, opened for writing and for reading.
TEST(MapFileOpen, KindsOfPath) {
  TempDir dir;
  struct Case {
    const char* name;                          // the path below dir
    std::function<void(const std::string&)> make;  // makes it (null: nothing)
    MapOpenStatus writing;                     // OpenMapFileForWriting's status
    MapOpenStatus reading;                     // OpenMapFileForReading's status (on a fresh copy)
    const char* detail;                        // part of the writing detail
  };
  const Case cases[] = {
      {"missing.cvmap", nullptr, MapOpenStatus::Ready, MapOpenStatus::Missing, ""},
      {"empty.cvmap", [](const std::string& p) { WriteFile(p, ""); }, MapOpenStatus::Ready,
       MapOpenStatus::NotAMap, ""},
      {"map.cvmap", MakeMapWithOneTile, MapOpenStatus::Ready, MapOpenStatus::Ready, ""},
      {"notes.cvmap", [](const std::string& p) { WriteFile(p, std::string(3000, 'n')); }, MapOpenStatus::NotAMap,
       MapOpenStatus::NotAMap, "file is not a database"},
      {"other.db",
       [](const std::string& p) {
         SQLite::Database db;
         db.openNative(p);
         db.exec(u"CREATE TABLE info(minzoom,maxzoom)");
       },
       MapOpenStatus::NotAMap, MapOpenStatus::NotAMap, "no such table: tiles"},
      {"folder.cvmap", [](const std::string& p) { std::filesystem::create_directory(p); }, MapOpenStatus::IsFolder,
       MapOpenStatus::IsFolder, ""},
      {"fifo.cvmap", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); },
       MapOpenStatus::NotRegularFile, MapOpenStatus::NotRegularFile, ""},
      {"no-folder/m.cvmap", nullptr, MapOpenStatus::CannotCreate, MapOpenStatus::Missing,
       "no-folder: No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / (std::string("w-") + c.name);
    const std::string copy = dir / (std::string("r-") + c.name);
    if (c.make) {
      c.make(path);
      c.make(copy);
    }
    const bool regular = std::filesystem::is_regular_file(path);  // a FIFO must never be read
    const std::string before = regular ? ReadFile(path) : "";

    SQLite::Database db;
    const store::MapOpenResult written = store::OpenMapFileForWriting(db, path);
    EXPECT_EQ(written.status, c.writing);
    EXPECT_NE(written.detail.find(c.detail), std::string::npos) << written.detail;
    EXPECT_EQ(written.created, c.writing == MapOpenStatus::Ready && before.empty());
    if (c.writing == MapOpenStatus::Ready) {
      EXPECT_EQ(db.isOpen, 1);
      EXPECT_EQ(QueryValue(db, u"SELECT count(*) FROM tiles"), before.empty() ? "0" : "1");
    } else if (regular) {
      EXPECT_EQ(ReadFile(path), before);
    }
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));

    SQLite::Database reader;
    EXPECT_EQ(store::OpenMapFileForReading(reader, copy).status, c.reading);
    EXPECT_EQ(std::filesystem::exists(copy), static_cast<bool>(c.make));  // reading creates nothing
  }
}

// OPEN-2: a write lock that another connection gives up after a while is
// waited for; the open then leaves no lock of its own behind.
TEST(MapFileOpen, WaitsForALockThatEnds) {
  TempDir dir;
  const std::string path = dir / "m.cvmap";
  MakeMapWithOneTile(path);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; INSERT INTO tiles VALUES(9, 9, 9, 0, x'00')", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  const auto held = std::chrono::milliseconds(400);
  std::thread release([&] {
    std::this_thread::sleep_for(held);
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
  });
  const auto start = std::chrono::steady_clock::now();
  SQLite::Database db;
  const store::MapOpenResult result = store::OpenMapFileForWriting(db, path);
  const auto waited = std::chrono::steady_clock::now() - start;
  release.join();
  EXPECT_EQ(result.status, MapOpenStatus::Ready) << result.detail;
  EXPECT_GE(waited, held - std::chrono::milliseconds(50));
  EXPECT_EQ(QueryValue(db, u"SELECT count(*) FROM tiles"), "2");
  // No transaction is left open: the other connection can take every lock.
  sqlite3_busy_timeout(other, 0);
  EXPECT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE; COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
}

}  // namespace
