// Conversion jobs on real temporary trees: notices, stored rows, transactions,
// stops and database errors.
#include "convert/conversion_job.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <thread>
#include <tuple>

#include "convert/layouts.h"
#include "convert/skip_listener.h"
#include "job_fixture.h"
#include "platform/utf.h"
#include "platform/worker_thread.h"
#include "tests/support/map_file_faults.h"
#include "tests/support/page_cache_state.h"

namespace convert {
namespace {

using convert_test::JobRig;
using convert_test::ReadRows;
using convert_test::StoredRow;
using convert_test::TempTree;
using Notices = std::vector<std::pair<int, int>>;

Notices NoticesOf(const JobRig& rig) {
  Notices notices;
  for (const platform::Notification& n : rig.channel.notices) notices.emplace_back(n.code, n.count);
  return notices;
}

long long Count(const std::vector<std::string>& sql, const std::string& prefix) {
  return std::count_if(sql.begin(), sql.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; });
}

// Checks the transaction discipline on an event log: every INSERT runs inside
// a transaction, every COMMIT is at a folder end (a folder notice or the end
// of the job follows at once), no folder end with a full batch pending
// goes by without a commit, and nothing is left open.
void ExpectTransactionDiscipline(const convert_test::EventLog& log, long long commitBatch = kCommitBatch) {
  bool open = false;
  long long pending = 0;
  for (std::size_t i = 0; i < log.size(); ++i) {
    const std::string& line = log[i];
    if (line == "SQL:BEGIN TRANSACTION;") {
      EXPECT_FALSE(open) << "BEGIN at event " << i;
      open = true;
    } else if (line == "SQL:COMMIT;" || line == "SQL:ROLLBACK;") {
      EXPECT_TRUE(open) << line << " at event " << i;
      if (line == "SQL:COMMIT;") {
        ASSERT_LT(i + 1, log.size());
        EXPECT_TRUE(log[i + 1].rfind("N2:", 0) == 0 || log[i + 1].rfind("N3:", 0) == 0)
            << "COMMIT not at a folder end, event " << i;
      }
      open = false;
      pending = 0;
    } else if (line.rfind("SQL:INSERT", 0) == 0) {
      EXPECT_TRUE(open) << "INSERT outside a transaction at event " << i;
      ++pending;
    } else if (line.rfind("N2:", 0) == 0) {
      EXPECT_LT(pending, commitBatch) << "a full batch passed a folder end uncommitted, event " << i;
    }
  }
  EXPECT_FALSE(open) << "a transaction was left open";
}

// JOB-1: an empty source folder.
TEST(ConversionJobTest, EmptySourceFolder) {
  TempTree source;
  JobRig rig(source.Root(), LayoutGeoKuk);
  rig.Run();
  EXPECT_EQ(NoticesOf(rig), (Notices{{NotifyCounted, 0}, {NotifyConverted, 0}, {NotifyFinished, 0}}));
  EXPECT_EQ(rig.Sql(), (std::vector<std::string>{"BEGIN TRANSACTION;", "COMMIT;"}));
  EXPECT_EQ(rig.job.running.load(), 0);
  EXPECT_EQ(rig.db.inTransaction, 0);
  EXPECT_TRUE(rig.boxes.Messages().empty());
}

// JOB-2: nested folders only: one notice per folder and pass, deepest first.
TEST(ConversionJobTest, NestedFoldersOnly) {
  TempTree source;
  source.Folder("a/b/c");
  JobRig rig(source.Root(), LayoutOsmTrackerStorage);
  rig.Run();
  EXPECT_EQ(NoticesOf(rig), (Notices{{1, 0}, {1, 0}, {1, 0}, {1, 0},
                                     {2, 0}, {2, 0}, {2, 0}, {2, 0}, {3, 0}}));
  ExpectTransactionDiscipline(rig.log);
}

// JOB-3: an OSM Tracker Storage tree: rows, keys, non-tiles, totals; a re-run
// stores nothing new and keeps the earlier images.
TEST(ConversionJobTest, OsmTrackerStorageTree) {
  TempTree source;
  source.File("16/353/220.png", "png-bytes");
  source.File("18/00012/034.jpg", "jpg-bytes");
  source.File("16/353/empty.png", "");   // not a number: not a tile
  source.File("5/17/11.png", "short");    // one-digit zoom: an overview level, stored
  source.File("10/3/7.png", "seven");     // one-digit column and row
  source.File("16/35/22.jpeg", "x");      // jpeg: not stored
  source.File("16/35/22.PNG", "x");       // upper case: not stored
  source.File("15/17621/11308.png.part", "half");  // a partial download: not stored
  source.File("12/34/56.png", "");        // empty tile: an empty blob
  JobRig rig(source.Root() + "/", LayoutOsmTrackerStorage);
  rig.Run();

  const std::vector<StoredRow> rows = ReadRows(rig.mapPath);
  ASSERT_EQ(rows.size(), 5u);
  const std::vector<std::tuple<int, int, int, std::string>> expected = {
      {3, 7, 7, "seven"}, {12, 34, -1, "jpg-bytes"}, {17, 11, 12, "short"}, {34, 56, 5, ""}, {353, 220, 1, "png-bytes"}};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(std::tie(rows[i].x, rows[i].y, rows[i].z, rows[i].image), expected[i]) << i;
    EXPECT_EQ(rows[i].imageType, "blob");
    EXPECT_EQ(rows[i].sType, "integer");
    EXPECT_EQ(rows[i].s, "0");
  }

  const Notices notices = NoticesOf(rig);
  ASSERT_FALSE(notices.empty());
  EXPECT_EQ(notices.back(), std::make_pair(int{NotifyFinished}, 9));
  const auto lastCounted = std::find_if(notices.rbegin(), notices.rend(), [](auto n) { return n.first == 1; });
  EXPECT_EQ(lastCounted->second, 9);
  EXPECT_EQ(rig.job.stats.tilesStored.load(), 5);
  EXPECT_EQ(rig.job.stats.notTiles.load(), 4);
  ExpectTransactionDiscipline(rig.log);

  source.File("16/353/220.png", "changed");
  rig.Run();
  EXPECT_EQ(rig.job.stats.tilesStored.load(), 0);
  EXPECT_EQ(rig.job.stats.duplicates.load(), 5);
  EXPECT_EQ(ReadRows(rig.mapPath)[4].image, "png-bytes");
  EXPECT_TRUE(rig.boxes.Messages().empty());
}

// JOB-4: a GeoKuk cache: real names, overlay sources, base_n, upper-case
// folders, tiles deeper than four levels, non-tile names.
TEST(ConversionJobTest, GeoKukCache) {
  TempTree source;
  source.File("79/82/d8/50/turist_13_79d8000_8250000.kachle", "t");
  source.File("79/82/d8/50/relief_l_13_79d8000_8250000.kachle", "r");
  source.File("00/00/01/a3/base_n_13_1b2_a3.kachle", "b");
  source.File("00/00/01/a3/deeper/ophoto_18_00ff_10.kachle", "o");   // five levels: still a tile
  source.File("00/00/01/a3/relief_a_b.kachle", "n");                  // no zoom: not a tile
  source.File("7A/82/d8/50/turist_13_1_2.kachle", "u");               // upper-case folder
  source.File("79/82/d8/50/turist_13_1_2.KACHLE", "u");               // upper-case extension
  // Copies, leftovers and names with parts that are no sound key: none stored.
  source.File("79/82/d8/50/turist_13_79d8000_8250000 - kopie (2).kachle", "c");
  source.File("79/82/d8/50/turist_16_79d8000_8250000.kachle.tmp", "c");
  source.File("79/82/d8/50/turist_16_79d8000_8250000.kachle.bak", "c");
  source.File("79/82/d8/50/turist_14_0x10_5.kachle", "c");
  source.File("79/82/d8/50/turist_14_123456789_5.kachle", "c");
  JobRig rig(source.Root(), LayoutGeoKuk);
  rig.Run();

  const std::vector<StoredRow> rows = ReadRows(rig.mapPath);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].x, 255);
  EXPECT_EQ(rows[0].y, 16);
  EXPECT_EQ(rows[0].z, -1);
  EXPECT_EQ(rows[0].s, "ophoto");
  EXPECT_EQ(rows[1].x, 434);
  EXPECT_EQ(rows[1].y, 163);
  EXPECT_EQ(rows[1].z, 4);
  EXPECT_EQ(rows[1].s, "base_n");
  EXPECT_EQ(rows[1].sType, "text");
  EXPECT_EQ(rows[2].s, "relief_l");
  EXPECT_EQ(rows[2].image, "r");
  EXPECT_EQ(rows[3].s, "turist");
  EXPECT_EQ(rows[3].x, 0x79d8000);
  EXPECT_EQ(rows[3].y, 0x8250000);
  EXPECT_EQ(rows[3].image, "t");
  EXPECT_EQ(rig.job.stats.notTiles.load(), 8);
  ExpectTransactionDiscipline(rig.log);
}

// JOB-4b: two copies of one tree, created in opposite orders, on the
// temporary folder and on tmpfs (which lists newest first), make maps that
// are identical row for row. Of two files with one key the first in name
// order is stored: "00" before "ff", "t_13_A_B" before "t_13_a_b".
TEST(ConversionJobTest, SameMapFromEveryCopyOfATree) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"00/00/00/00/t_13_1_2.kachle", "first-folder"},
      {"ff/00/00/00/t_13_1_2.kachle", "later-folder"},
      {"0a/0b/0c/0d/t_13_A_B.kachle", "upper"},
      {"0a/0b/0c/0d/t_13_a_b.kachle", "lower"},
      {"0a/0b/0c/0d/relief_l_14_c_d.kachle", "relief"},
      {"tiles.sqlite", "db"},
      {"Thumbs.db", "thumbs"},
  };
  std::vector<std::vector<StoredRow>> maps;
  for (const std::string& base : {std::string(), std::string("/dev/shm")}) {
    if (!base.empty() && !std::filesystem::is_directory(base)) continue;
    for (const bool reversed : {false, true}) {
      TempTree source(base);
      if (reversed) {
        for (auto it = files.rbegin(); it != files.rend(); ++it) source.File(it->first, it->second);
      } else {
        for (const auto& [path, bytes] : files) source.File(path, bytes);
      }
      JobRig rig(source.Root(), LayoutGeoKuk);
      rig.Run();
      maps.push_back(ReadRows(rig.mapPath));
    }
  }
  ASSERT_GE(maps.size(), 2u);
  ASSERT_EQ(maps[0].size(), 3u);
  EXPECT_EQ(maps[0][0].image, "first-folder");
  EXPECT_EQ(maps[0][1].image, "upper");
  EXPECT_EQ(maps[0][2].s, "relief_l");
  for (const std::vector<StoredRow>& map : maps) {
    ASSERT_EQ(map.size(), maps[0].size());
    for (std::size_t i = 0; i < map.size(); ++i) {
      EXPECT_EQ(std::tie(map[i].x, map[i].y, map[i].z, map[i].s, map[i].image),
                std::tie(maps[0][i].x, maps[0][i].y, maps[0][i].z, maps[0][i].s, maps[0][i].image));
    }
  }
}

// JOB-4c: the skip listener hears of every file not stored, in walk order,
// with its path below the source folder and the reason.
TEST(ConversionJobTest, TellsEveryFileNotStored) {
  struct Recorder : SkipListener {
    void Skipped(std::string_view path, SkipReason reason) override { heard.emplace_back(path, reason); }
    std::vector<std::pair<std::string, SkipReason>> heard;
  } recorder;
  TempTree source;
  source.File("16/353/220.png");
  source.File("16/353/220.png.part");
  source.Fifo("16/353/221.png");
  source.File("notes.txt");
  JobRig rig(source.Root() + "/", LayoutOsmTrackerStorage);
  rig.job.skipListener = &recorder;
  rig.Run();
  using Heard = std::vector<std::pair<std::string, SkipReason>>;
  EXPECT_EQ(recorder.heard, (Heard{{"16/353/220.png.part", SkipReason::NotTile},
                                   {"16/353/221.png", SkipReason::Unreadable},
                                   {"notes.txt", SkipReason::NotTile}}));
  recorder.heard.clear();
  rig.Run();
  EXPECT_EQ(recorder.heard.front(), std::make_pair(std::string("16/353/220.png"), SkipReason::AlreadyPresent));
  EXPECT_EQ(recorder.heard.size(), 4u);
}

// JOB-5: special files named like tiles never block; links do not loop.
TEST(ConversionJobTest, SpecialFilesAndLinks) {
  TempTree source;
  TempTree outside;
  outside.File("7/88.png", "linked");
  source.File("16/353/11.png", "a");
  source.Fifo("16/353/12.png");
  source.Link(source.Path("16/353/missing.png"), "16/353/13.png");  // dangling
  source.Link(source.Path("16/353/11.png"), "16/353/14.png");       // a link to a file is read
  source.Link(source.Root(), "16/353/loop");                         // back to the root
  source.Link(outside.Path("7"), "16/77");                           // a folder elsewhere
  JobRig rig(source.Root(), LayoutOsmTrackerStorage);
  rig.Run();
  std::vector<std::pair<int, int>> keys;
  for (const StoredRow& row : ReadRows(rig.mapPath)) keys.emplace_back(row.x, row.y);
  EXPECT_EQ(keys, (std::vector<std::pair<int, int>>{{77, 88}, {353, 11}, {353, 14}}));
  EXPECT_EQ(rig.job.stats.unreadable.load(), 2);
  EXPECT_EQ(rig.job.stats.tilesStored.load(), 3);
}

// JOB-6: a stop in the counting pass: no converting pass, nothing written.
TEST(ConversionJobTest, StopWhileCounting) {
  TempTree source;
  source.File("16/10/10.png");
  source.File("16/20/10.png");
  JobRig rig(source.Root(), LayoutOsmTrackerStorage);
  rig.channel.onPost = [&](int code, int) {
    if (code == NotifyCounted) rig.job.stopRequested = 1;
  };
  rig.Run();
  const Notices notices = NoticesOf(rig);
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0].first, NotifyCounted);
  EXPECT_EQ(notices[1].first, NotifyFinished);
  EXPECT_TRUE(rig.Sql().empty());
  EXPECT_TRUE(ReadRows(rig.mapPath).empty());
  EXPECT_EQ(rig.job.stopRequested.load(), 0);
  EXPECT_EQ(rig.job.running.load(), 0);
}

// JOB-7: a stop in the converting pass keeps every stored tile, commits, and
// leaves the database clean for the next job.
TEST(ConversionJobTest, StopWhileConverting) {
  TempTree source;
  for (int x = 10; x < 20; ++x) source.File("16/" + std::to_string(x) + "/10.png");
  JobRig rig(source.Root(), LayoutOsmTrackerStorage);
  rig.channel.onPost = [&](int code, int) {
    if (code == NotifyConverted) rig.job.stopRequested = 1;
  };
  rig.Run();
  const Notices notices = NoticesOf(rig);
  ASSERT_GE(notices.size(), 2u);
  EXPECT_EQ(notices[notices.size() - 2].first, NotifyConverted);
  EXPECT_EQ(notices.back(), std::make_pair(int{NotifyFinished}, 1));  // one file handled
  EXPECT_EQ(rig.job.stats.tilesStored.load(), 1);
  EXPECT_EQ(ReadRows(rig.mapPath).size(), 1u);
  EXPECT_EQ(rig.db.inTransaction, 0);
  EXPECT_NE(sqlite3_get_autocommit(rig.db.handle), 0);
  ExpectTransactionDiscipline(rig.log);

  rig.channel.onPost = nullptr;
  rig.Run();
  EXPECT_EQ(ReadRows(rig.mapPath).size(), 10u);
  EXPECT_TRUE(rig.boxes.Messages().empty());
}

// JOB-8: the insert cannot be prepared: roll back, one message, stop.
TEST(ConversionJobTest, PrepareFailure) {
  TempTree source;
  source.File("16/10/10.png");
  source.File("16/20/10.png");
  JobRig rig(source.Root(), LayoutOsmTrackerStorage);
  rig.db.exec(u"DROP TABLE tiles");
  rig.Run();
  const auto messages = rig.boxes.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, u"no such table: tiles");
  EXPECT_EQ(messages[0].style, platform::MessageStyle::Exclamation);
  const std::vector<std::string> sql = rig.Sql();
  EXPECT_EQ(sql, (std::vector<std::string>{"BEGIN TRANSACTION;", "ROLLBACK;"}));
  EXPECT_EQ(NoticesOf(rig).back(), std::make_pair(int{NotifyFinished}, 1));
  EXPECT_EQ(rig.db.inTransaction, 0);
  EXPECT_EQ(rig.job.stopRequested.load(), 0);
  EXPECT_EQ(rig.job.stats.databaseErrors.load(), 1);
}

// JOB-9: a failing step (read-only file; full disk) is no silent loss.
TEST(ConversionJobTest, FailingStepStopsTheJob) {
  TempTree source;
  for (int x = 10; x < 60; ++x) source.File("16/" + std::to_string(x) + "/10.png", std::string(4000, 'x'));
  {
    JobRig rig(source.Root(), LayoutOsmTrackerStorage);
    rig.db.close();
    rig.db.openNativeReadOnly(rig.mapPath);
    rig.Run();
    const auto messages = rig.boxes.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find(u"readonly"), std::u16string::npos);
    EXPECT_EQ(rig.job.stats.tilesStored.load(), 0);
    EXPECT_EQ(rig.job.stats.databaseErrors.load(), 1);
    EXPECT_EQ(rig.db.inTransaction, 0);
    EXPECT_NE(sqlite3_get_autocommit(rig.db.handle), 0);
  }
  {
    JobRig rig(source.Root(), LayoutOsmTrackerStorage);
    rig.db.exec(u"PRAGMA max_page_count = 20");
    rig.Run();
    const auto messages = rig.boxes.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find(u"full"), std::u16string::npos);
    EXPECT_EQ(rig.db.inTransaction, 0);
    EXPECT_NE(sqlite3_get_autocommit(rig.db.handle), 0);
    EXPECT_LT(rig.job.fileCount, 50);  // stopped early
    EXPECT_TRUE(ReadRows(rig.mapPath).empty());  // the open batch was rolled back
    EXPECT_EQ(rig.job.stats.tilesStored.load(), 0);  // and is not counted as stored
    EXPECT_EQ(rig.job.stats.rolledBack.load(), rig.job.fileCount);  // but as rolled back, the failed tile too
    EXPECT_EQ(rig.job.stats.databaseErrorCode.load() & 0xff, SQLITE_FULL);
  }
}

// JOB-9b: a stop while the job waits for another program's lock on the map
// ends the wait at once: the job ends as stopped, with no message and no
// database error, and the map holds nothing of it.
TEST(ConversionJobTest, StopEndsAWaitForAnotherProgramsLock) {
  TempTree source;
  for (int x = 10; x < 20; ++x) source.File("16/" + std::to_string(x) + "/10.png", "tile");
  JobRig rig(source.Root(), LayoutOsmTrackerStorage);
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(rig.mapPath.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    rig.job.stopRequested = 1;
  });
  const auto begin = std::chrono::steady_clock::now();
  rig.Run();
  const auto took = std::chrono::steady_clock::now() - begin;
  stopper.join();
  sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  EXPECT_LT(took, SQLite::kBusyTimeout / 2) << "the stop did not end the wait";
  EXPECT_TRUE(rig.boxes.Messages().empty());
  EXPECT_EQ(rig.job.stats.databaseErrors.load(), 0);
  EXPECT_EQ(rig.job.stats.tilesStored.load(), 0);
  EXPECT_EQ(rig.db.inTransaction, 0);
  EXPECT_TRUE(ReadRows(rig.mapPath).empty());
}

// JOB-14: a COMMIT that fails (a deferred constraint here) stops the job and
// rolls the batch back, with exec's one message; nothing claims to be stored.
TEST(ConversionJobTest, FailingCommitStopsTheJob) {
  TempTree source;
  source.File("16/10/10.png");
  source.File("16/20/10.png");
  JobRig rig(source.Root(), LayoutOsmTrackerStorage);
  rig.db.exec(u"PRAGMA foreign_keys = ON");
  rig.db.exec(u"CREATE TABLE parent(id INTEGER PRIMARY KEY)");
  rig.db.exec(u"CREATE TABLE child(p REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED)");
  rig.db.exec(u"CREATE TRIGGER orphan AFTER INSERT ON tiles BEGIN INSERT INTO child VALUES(1); END");
  rig.Run();
  const auto messages = rig.boxes.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, u"SQLite error: FOREIGN KEY constraint failed");
  EXPECT_EQ(rig.db.inTransaction, 0);
  EXPECT_NE(sqlite3_get_autocommit(rig.db.handle), 0);
  EXPECT_TRUE(ReadRows(rig.mapPath).empty());
  EXPECT_EQ(rig.job.stats.tilesStored.load(), 0);
  EXPECT_EQ(rig.job.stats.rolledBack.load(), 2);
  EXPECT_EQ(rig.job.stopReason, u"FOREIGN KEY constraint failed");
  EXPECT_EQ(rig.job.stats.databaseErrors.load(), 1);
  const std::vector<std::string> sql = rig.Sql();
  ASSERT_GE(sql.size(), 2u);
  EXPECT_EQ(sql[sql.size() - 2], "COMMIT;");
  EXPECT_EQ(sql.back(), "ROLLBACK;");
  EXPECT_EQ(rig.log.back().rfind("N3:", 0), 0u);
  EXPECT_EQ(rig.log[rig.log.size() - 2], "SQL:ROLLBACK;");  // no folder notice after the failed commit
}

// JOB-10: batched commits on a tree of many small folders, files after a
// subfolder, and the source folder's own files.
TEST(ConversionJobTest, CommitsInBatchesAtFolderEnds) {
  TempTree source;
  int files = 0;
  for (int x = 10; x < 40; ++x) {
    for (int y = 10; y < 90; ++y, ++files) source.File("16/" + std::to_string(x) + "/" + std::to_string(y) + ".png");
  }
  JobRig rig(source.Root(), LayoutOsmTrackerStorage);
  rig.job.commitBatch = 1000;
  rig.job.commitInterval = std::chrono::hours(1);  // only the tile count decides
  rig.Run();
  EXPECT_EQ(rig.job.stats.tilesStored.load(), files);
  EXPECT_EQ(ReadRows(rig.mapPath).size(), static_cast<std::size_t>(files));
  ExpectTransactionDiscipline(rig.log, rig.job.commitBatch);
  const std::vector<std::string> sql = rig.Sql();
  EXPECT_EQ(Count(sql, "INSERT"), files);
  // 2400 tiles in folders of 80: a commit after 1040, after 2080, and at the end.
  EXPECT_EQ(Count(sql, "COMMIT;"), 3);
}

// JOB-10b: a batch that has been open long enough is committed at the next
// folder end that follows a stored tile, however few tiles it holds; folder
// ends with nothing stored since the last commit commit nothing.
TEST(ConversionJobTest, CommitsBatchesThatHaveBeenOpenLongEnough) {
  TempTree source;
  for (int x = 10; x < 14; ++x) {
    for (int y = 10; y < 13; ++y) source.File("16/" + std::to_string(x) + "/" + std::to_string(y) + ".png");
  }
  source.File("16/20/notes.txt");  // a folder without a tile
  JobRig rig(source.Root(), LayoutOsmTrackerStorage);
  rig.job.commitInterval = std::chrono::steady_clock::duration::zero();
  rig.Run();
  ExpectTransactionDiscipline(rig.log);
  EXPECT_EQ(ReadRows(rig.mapPath).size(), 12u);
  // One commit per column folder that stored tiles (4); the tile-less folder,
  // the zoom folder and the source folder find nothing pending, but the
  // source folder's end still closes the transaction its walk began.
  const std::vector<std::string> sql = rig.Sql();
  EXPECT_EQ(Count(sql, "COMMIT;"), Count(sql, "BEGIN TRANSACTION;"));
  EXPECT_GE(Count(sql, "COMMIT;"), 4);
  EXPECT_LE(Count(sql, "COMMIT;"), 5);
  long long insertsSinceCommit = 0;
  for (const std::string& line : rig.log) {
    if (line.rfind("SQL:INSERT", 0) == 0) ++insertsSinceCommit;
    if (line == "SQL:COMMIT;") insertsSinceCommit = 0;
    if (line.rfind("N2:", 0) == 0) {
      EXPECT_EQ(insertsSinceCommit, 0) << "a batch passed a folder end uncommitted";
    }
  }
}

// JOB-11: a relative source folder whose name recurs deeper in the tree.
TEST(ConversionJobTest, RelativeSourceFolderRecurringInTheTree) {
  TempTree base;
  base.File("ab/ab/ab/ab/ab/base_n_13_1b2_a3.kachle", "deep");
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(base.Root().c_str()), 0);
  JobRig rig("ab", LayoutGeoKuk);
  rig.Run();
  ASSERT_EQ(chdir(previous), 0);
  const std::vector<StoredRow> rows = ReadRows(rig.mapPath);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].image, "deep");
}

// JOB-12: a layout value that is no layout stores nothing but walks fully.
TEST(ConversionJobTest, UnknownLayoutStoresNothing) {
  TempTree source;
  source.File("16/10/10.png");
  JobRig rig(source.Root(), 7);
  rig.Run();
  EXPECT_TRUE(ReadRows(rig.mapPath).empty());
  EXPECT_EQ(rig.job.stats.notTiles.load(), 1);
  EXPECT_EQ(NoticesOf(rig).back(), std::make_pair(int{NotifyFinished}, 1));
}

// JOB-12b: while tiles are stored and no commit has run, the job gets the
// map file's changed pages written: at the end of the last folder, before
// the final commit syncs anything, the file has no dirty pages left (read
// with the cachestat system call, where the kernel has it).
TEST(ConversionJobTest, StartsTheMapFilesWritebackBeforeTheCommit) {
  TempTree source;
  std::mt19937 random(20261207);
  std::string image(1 << 20, '\0');
  for (int x = 10; x < 13; ++x) {
    for (int y = 10; y < 12; ++y) {
      for (char& c : image) c = static_cast<char>(random());
      source.File("16/" + std::to_string(x) + "/" + std::to_string(y) + ".png", image);
    }
  }
  JobRig rig(source.Root(), LayoutOsmTrackerStorage);
  if (test_support::IsMemoryFileSystem(std::filesystem::path(rig.mapPath).parent_path())) {
    GTEST_SKIP() << "tmpfs keeps its pages in memory";
  }
  rig.job.commitBatch = 1000000;
  rig.job.commitInterval = std::chrono::hours(1);  // one commit, at the end
  rig.job.writebackStep = 1;                       // after every tile
  bool measured = false;
  test_support::PageCacheState state;
  int convertedFolders = 0;
  // Closing a descriptor of the map file would drop the connection's record
  // locks, so the one read here is closed only after the job has committed.
  int fd = -1;
  rig.channel.onPost = [&](int code, int) {
    if (code != NotifyConverted || ++convertedFolders != 3) return;  // the third column folder: all 6 MB stored
    fd = ::open(rig.mapPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (test_support::ReadPageCacheState(fd, &state)) {
      measured = true;
      if ((state.dirty == 0 && state.writeback == 0) || std::chrono::steady_clock::now() > deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  };
  rig.Run();
  if (fd >= 0) ::close(fd);
  EXPECT_EQ(ReadRows(rig.mapPath).size(), 6u);
  if (!measured) GTEST_SKIP() << "no cachestat on this kernel";
  if (state.cached == 0) GTEST_SKIP() << "this file system does not show the map file's pages";
  EXPECT_GT(state.cached, 256u);  // SQLite had written most of the 6 MB into the file
  EXPECT_EQ(state.dirty, 0u);
  EXPECT_EQ(state.writeback, 0u);
}

// Drops the pages of every file below `root` from the page cache (written to
// disk first, so that they can be dropped). Returns how many files were
// left with no page in memory; 0 where that cannot be seen or done.
int DropPages(const std::string& root) {
  int dropped = 0;
  ::sync();
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    test_support::PageCacheState state;
    if (test_support::ReadPageCacheState(fd, &state) && state.cached == 0) ++dropped;
    ::close(fd);
  }
  return dropped;
}

// JOB-15: on a cold tree the read-ahead starts reading tiles before the walk
// reaches them, and the map holds exactly the rows of a pass without it; on
// a warm tree it finds the tiles in memory and starts nothing.
TEST(ConversionJobTest, ReadsAheadWithoutChangingWhatIsStored) {
  TempTree source;
  std::mt19937 random(20261208);
  std::string image(4096, '\0');
  for (int x = 0; x < 20; ++x) {
    for (int y = 0; y < 30; ++y) {
      for (char& c : image) c = static_cast<char>(random());
      source.File("15/" + std::to_string(x) + "/" + std::to_string(y) + ".png", image);
    }
    source.File("15/" + std::to_string(x) + "/notes.txt", "not a tile");
  }
  source.File("15/07/3.png", "same key as 15/7/3.png, met first");
  std::vector<std::vector<StoredRow>> maps;
  std::vector<long long> started;
  for (const long long minFiles : {-1LL, 0LL, 0LL}) {
    const bool cold = maps.size() < 2;
    const int dropped = cold ? DropPages(source.Root()) : 0;
    JobRig rig(source.Root(), LayoutOsmTrackerStorage);
    rig.job.readAheadMinFiles = minFiles;
    rig.Run();
    maps.push_back(ReadRows(rig.mapPath));
    started.push_back(rig.job.stats.readAheadStarted.load());
    if (minFiles == 0 && cold && dropped > 500) {
      EXPECT_GT(started.back(), 0) << dropped << " files were cold";
    }
  }
  ASSERT_EQ(maps[0].size(), 600u);
  EXPECT_EQ(maps[0][7 * 30 + 3].image, "same key as 15/7/3.png, met first");  // rows sorted by x, then y
  for (const std::vector<StoredRow>& map : maps) {
    ASSERT_EQ(map.size(), maps[0].size());
    for (std::size_t i = 0; i < map.size(); ++i) {
      EXPECT_EQ(std::tie(map[i].x, map[i].y, map[i].z, map[i].image),
                std::tie(maps[0][i].x, maps[0][i].y, maps[0][i].z, maps[0][i].image));
    }
  }
  EXPECT_EQ(started[0], 0);  // no read-ahead asked for
  EXPECT_EQ(started[2], 0);  // warm: every tile found in memory
}

// JOB-15b: the read-ahead keeps out of very deep folders, so that with the
// descriptors a process may hold just enough for the worker's own path and
// a few dozen more, the walk still opens every folder of a tree 60 levels
// deep and stores its tiles.
TEST(ConversionJobTest, ReadAheadLeavesTheWorkerDescriptorsOnDeepTrees) {
  TempTree source;
  std::string deep = "00/01/02/03";
  for (int level = 4; level < 60; ++level) {
    deep += '/';
    deep += std::to_string(10 + level);
  }
  for (int i = 0; i < 5; ++i) source.File(deep + "/t_13_" + std::to_string(i) + "_1.kachle");
  JobRig rig(source.Root(), LayoutGeoKuk);
  rig.job.readAheadMinFiles = 0;
  int open = 0;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) open += fd.is_symlink() ? 1 : 0;
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  // The worker's 60 folders, the read-ahead's bounded share, and a margin:
  // less than the two walks would need if the read-ahead went as deep.
  struct rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(open + 60 + kReadAheadMaxDepth + 10);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  for (int run = 0; run < 3; ++run) {
    rig.Run();
    EXPECT_EQ(rig.job.stats.unreadableFolders.load(), 0) << "run " << run;
  }
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(ReadRows(rig.mapPath).size(), 5u);
}

// JOB-16: a tile longer than SQLite's length limit is "too large", never a
// database error: refused before it is read, by the bind, or by the step
// (the image fits, the whole row does not).
TEST(ConversionJobTest, TilesTooLargeForSqlite) {
  struct Recorder : SkipListener {
    void Skipped(std::string_view path, SkipReason reason) override { heard.emplace_back(path, reason); }
    std::vector<std::pair<std::string, SkipReason>> heard;
  } recorder;
  constexpr int kLimit = 10000;
  TempTree source;
  source.File("16/1/1.png", std::string(100, 'a'));
  source.File("16/1/2.png", std::string(kLimit - 1, 'r'));  // the row passes the limit
  source.File("16/1/3.png", std::string(kLimit, 'b'));       // the image fits no bind
  source.File("16/1/4.png", std::string(kLimit + 1, 'f'));   // never read
  JobRig rig(source.Root(), LayoutOsmTrackerStorage);
  sqlite3_limit(rig.db.handle, SQLITE_LIMIT_LENGTH, kLimit);
  rig.job.skipListener = &recorder;
  rig.Run();
  EXPECT_EQ(rig.job.stats.tilesStored.load(), 1);
  EXPECT_EQ(rig.job.stats.tooLarge.load(), 3);
  EXPECT_EQ(rig.job.stats.unreadable.load(), 0);
  EXPECT_EQ(rig.job.stats.databaseErrors.load(), 0);
  EXPECT_TRUE(rig.boxes.Messages().empty());
  using Heard = std::vector<std::pair<std::string, SkipReason>>;
  EXPECT_EQ(recorder.heard, (Heard{{"16/1/2.png", SkipReason::TooLarge},
                                   {"16/1/3.png", SkipReason::TooLarge},
                                   {"16/1/4.png", SkipReason::TooLarge}}));
}

// JOB-17: inside one folder of many tiles a batch is committed once it has
// been open for longestBatch, so that a reader of the map never waits for a
// whole folder; with the default a small folder is one batch.
TEST(ConversionJobTest, LongFolderIsCommittedInBatches) {
  TempTree source;
  for (int y = 10; y < 30; ++y) source.File("16/10/" + std::to_string(y) + ".png", "tile");
  struct Case {
    std::chrono::steady_clock::duration longestBatch;
    long long commits;
  } cases[] = {{std::chrono::steady_clock::duration::zero(), 20}, {kLongestBatch, 1}};
  for (const Case& c : cases) {
    JobRig rig(source.Root(), LayoutOsmTrackerStorage);
    rig.job.longestBatch = c.longestBatch;
    rig.Run();
    const std::vector<std::string> sql = rig.Sql();
    EXPECT_EQ(Count(sql, "COMMIT;"), c.commits);
    EXPECT_EQ(Count(sql, "BEGIN TRANSACTION;"), c.commits);
    bool open = false;
    for (const std::string& line : sql) {
      if (line == "BEGIN TRANSACTION;") open = true;
      if (line == "COMMIT;") open = false;
      if (line.rfind("INSERT", 0) == 0) {
        EXPECT_TRUE(open) << "an insert outside a transaction";
      }
    }
    EXPECT_EQ(ReadRows(rig.mapPath).size(), 20u);
  }
}

// JOB-18: a write past the file size limit (as a FAT card's 4 GiB) stops the
// job as a size limit, not a full disk, and the job leaves no journal behind:
// the rollback SQLite leaves to the next user is done before the job ends,
// so a read-only reader opens the map and finds what was committed.
TEST(ConversionJobTest, FileSizeLimitStopsTheJobAndLeavesNoJournal) {
  TempTree source;
  for (int x = 10; x < 20; ++x) {
    for (int y = 10; y < 60; ++y) source.File("16/" + std::to_string(x) + "/" + std::to_string(y) + ".png", std::string(3000, 'x'));
  }
  JobRig rig(source.Root(), LayoutOsmTrackerStorage);
  rig.job.commitInterval = std::chrono::steady_clock::duration::zero();  // every folder is committed
  {
    test_support::FileSizeLimitScope limit(512 * 1024);
    ASSERT_TRUE(limit.Active());
    rig.Run();
  }

  EXPECT_EQ(rig.job.stats.databaseErrors.load(), 1);
  EXPECT_TRUE(rig.job.stats.fileSizeLimit.load()) << rig.job.stats.databaseErrorCode.load() << " "
                                                  << platform::Utf16ToUtf8(rig.job.stopReason);
  EXPECT_EQ(rig.job.rollbackLeft, "");
  EXPECT_FALSE(std::filesystem::exists(rig.mapPath + "-journal"));
  EXPECT_EQ(rig.db.isOpen, 1);
  EXPECT_EQ(ReadRows(rig.mapPath).size(), static_cast<std::size_t>(rig.job.stats.tilesStored.load()));
  EXPECT_GT(rig.job.stats.tilesStored.load(), 0);
  EXPECT_LT(rig.job.stats.tilesStored.load(), 500);
}

// JOB-13: the job on its worker thread, as the window and cvmap start it.
TEST(ConversionJobTest, RunsOnAWorkerThread) {
  TempTree source;
  source.File("16/10/10.png");
  JobRig rig(source.Root(), LayoutOsmTrackerStorage);
  platform::QueueChannel queue;
  rig.job.notifications = &queue;
  rig.job.running = 1;
  {
    platform::WorkerThread worker;
    ASSERT_TRUE(worker.Start([&rig] { ConversionThreadProc(&rig.job); }));
    std::optional<platform::Notification> notice;
    do {
      notice = queue.Take(std::chrono::seconds(30));
      ASSERT_TRUE(notice.has_value());
    } while (notice->code != NotifyFinished);
    EXPECT_EQ(notice->count, 1);
  }
  EXPECT_EQ(rig.job.running.load(), 0);
  EXPECT_EQ(ReadRows(rig.mapPath).size(), 1u);
}

}  // namespace
}  // namespace convert
