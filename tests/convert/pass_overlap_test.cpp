// The converting pass running beside the counting pass: what the window and
// the map file get is what the two passes one after the other give.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

#include "convert/conversion_job.h"
#include "convert/layouts.h"
#include "convert/skip_listener.h"
#include "job_fixture.h"

namespace convert {
namespace {

using convert_test::EventLog;
using convert_test::EventLogMutex;
using convert_test::JobRig;
using convert_test::TempTree;
using Notices = std::vector<std::pair<int, int>>;
using Heard = std::vector<std::pair<std::string, SkipReason>>;

// The passes one after the other, the converting pass beside the count from
// the start, and beside it once three files are counted; the folders'
// listings handed over from the count (room for all of them, for about one
// at a time, none).
constexpr long long kOneAfterTheOther = -1;
struct Mode {
  long long overlapFrom;     // ConversionJob::overlapFromFiles
  std::size_t listingBytes;  // ConversionJob::listingBytes
};
constexpr Mode kModes[] = {{kOneAfterTheOther, kListingBytes}, {0, kListingBytes}, {3, kListingBytes}, {0, 40}, {3, 0}};

struct SkipRecorder : SkipListener {
  void Skipped(std::string_view path, SkipReason reason) override { heard.emplace_back(path, reason); }
  Heard heard;
};

Notices NoticesOf(const JobRig& rig) {
  std::lock_guard<std::mutex> lock(EventLogMutex());
  Notices notices;
  for (const platform::Notification& n : rig.channel.notices) notices.emplace_back(n.code, n.count);
  return notices;
}

// Every row in the order it was inserted (rowid), with its image.
using InsertedRow = std::tuple<long long, int, int, int, std::string, std::string>;
std::vector<InsertedRow> RowsInInsertOrder(const std::string& map) {
  std::vector<InsertedRow> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(map.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT rowid, x, y, z, s, image FROM tiles ORDER BY rowid", -1, &st, nullptr) ==
        SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        const auto* image = static_cast<const char*>(sqlite3_column_blob(st, 5));
        rows.emplace_back(sqlite3_column_int64(st, 0), sqlite3_column_int(st, 1), sqlite3_column_int(st, 2),
                          sqlite3_column_int(st, 3), reinterpret_cast<const char*>(sqlite3_column_text(st, 4)),
                          std::string(image != nullptr ? image : "", sqlite3_column_bytes(st, 5)));
      }
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return rows;
}

// Waits (at most 10 s) until a line of the event log satisfies `found`.
bool WaitForLogLine(const EventLog& log, const std::function<bool(const std::string&)>& found) {
  for (int i = 0; i < 10000; ++i) {
    {
      std::lock_guard<std::mutex> lock(EventLogMutex());
      for (const std::string& line : log) {
        if (found(line)) return true;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

bool IsInsert(const std::string& line) { return line.rfind("SQL:INSERT", 0) == 0; }

// A GeoKuk cache with nested folders, tiles before and after subfolders, an
// empty folder, duplicates of one key (by folder and by the case of the hex
// digits) and files that are no tiles.
void MakeTree(TempTree& source) {
  source.File("00/00/00/00/t_13_1_2.kachle", "first of 1,2");
  source.File("0a/0b/0c/0d/t_13_A_B.kachle", "upper, met first");
  source.File("0a/0b/0c/0d/t_13_a_b.kachle", "lower");
  source.File("0a/0b/0c/0d/deeper/t_14_c_d.kachle", "five levels");
  source.File("0a/0b/0c/0d/notes.txt", "no tile");
  source.File("0a/0b/0c/0e/t_14_e_f.kachle", "after a subfolder's sibling");
  source.Folder("0a/0b/empty");
  source.File("0a/readme.txt", "no tile");
  for (int i = 0; i < 12; ++i) {
    std::string leaf = "1";  // appended piece by piece: g++ 12 warns falsely on a literal + std::string
    leaf += std::to_string(i % 10);
    leaf += "/22/33/4";
    leaf += "0123456789ab"[i];
    source.File(leaf + "/relief_15_" + std::to_string(i) + "_9.kachle", std::to_string(i));
  }
  source.File("ff/00/00/00/t_13_1_2.kachle", "second of 1,2");
  source.File("Thumbs.db", "no tile");
}

// JOB-16: beside the count or after it, the job posts the same notices in
// the same order (every NotifyCounted, then the NotifyConverted of the
// folders in walk order, then NotifyFinished), stores the same rows in the
// same order (the first of two files with one key wins), and tells the same
// files it did not store, in the same order.
TEST(PassOverlapTest, SameNoticesRowsAndReportsBesideTheCount) {
  TempTree source;
  MakeTree(source);
  std::vector<Notices> notices;
  std::vector<std::vector<InsertedRow>> rows;
  std::vector<Heard> heard;
  for (const auto [overlapFrom, listingBytes] : kModes) {
    JobRig rig(source.Root(), LayoutGeoKuk);
    SkipRecorder skips;
    rig.job.skipListener = &skips;
    rig.job.overlapFromFiles = overlapFrom;
    rig.job.listingBytes = listingBytes;
    // Beside the count, its first notice waits for the converting pass's
    // first insert, so that the two walks surely overlap.
    bool overlapped = false;
    rig.channel.onPost = [&](int code, int count) {
      if (overlapFrom >= 0 && code == NotifyCounted && count >= overlapFrom && !overlapped) {
        overlapped = WaitForLogLine(rig.log, IsInsert);
      }
    };
    rig.Run();
    if (overlapFrom >= 0) {
      EXPECT_TRUE(overlapped) << overlapFrom;
    }
    // With three files counted first, the count has listed the first folders
    // when the converting walk comes to them.
    const long long handedOver = rig.job.stats.foldersHandedOver.load();
    if (overlapFrom == 3 && listingBytes > 0) {
      EXPECT_GT(handedOver, 0);
    }
    if (overlapFrom < 0 || listingBytes == 0) {
      EXPECT_EQ(handedOver, 0) << overlapFrom;
    }
    notices.push_back(NoticesOf(rig));
    rows.push_back(RowsInInsertOrder(rig.mapPath));
    heard.push_back(skips.heard);
    EXPECT_EQ(rig.job.stats.filesCounted.load(), 21) << overlapFrom;
    EXPECT_EQ(rig.job.stats.filesSeen.load(), 21) << overlapFrom;
    EXPECT_EQ(rig.job.stats.tilesStored.load(), 16) << overlapFrom;
    EXPECT_EQ(rig.job.stats.duplicates.load(), 2) << overlapFrom;
    EXPECT_EQ(rig.job.stats.notTiles.load(), 3) << overlapFrom;
    EXPECT_EQ(rig.db.inTransaction, 0);
    EXPECT_NE(sqlite3_get_autocommit(rig.db.handle), 0);
    EXPECT_TRUE(rig.boxes.Messages().empty());
  }
  // The order the window relies on, in the passes one after the other.
  const Notices& first = notices[0];
  ASSERT_FALSE(first.empty());
  std::size_t i = 0;
  while (i < first.size() && first[i].first == NotifyCounted) ++i;
  EXPECT_EQ(first[i - 1].second, 21);  // the source folder's notice: the total
  while (i < first.size() && first[i].first == NotifyConverted) ++i;
  EXPECT_EQ(i, first.size() - 1);
  EXPECT_EQ(first.back(), std::make_pair(int{NotifyFinished}, 21));
  ASSERT_EQ(rows[0].size(), 16u);
  EXPECT_EQ(std::get<5>(rows[0][0]), "first of 1,2");
  EXPECT_EQ(std::get<5>(rows[0][1]), "five levels");  // a subfolder is walked where it comes
  EXPECT_EQ(std::get<5>(rows[0][2]), "upper, met first");
  ASSERT_EQ(heard[0].size(), 5u);
  EXPECT_EQ(heard[0][3], std::make_pair(std::string("ff/00/00/00/t_13_1_2.kachle"), SkipReason::AlreadyPresent));
  for (std::size_t mode = 1; mode < notices.size(); ++mode) {
    EXPECT_EQ(notices[mode], notices[0]) << mode;
    EXPECT_EQ(rows[mode], rows[0]) << mode;
    EXPECT_EQ(heard[mode], heard[0]) << mode;
  }
}

// JOB-16b: a stop while the count runs beside the converting pass ends the
// job as a stop in the counting pass: the notices of the count so far, then
// NotifyFinished with its count; what the converting pass had inserted is
// rolled back, and nothing of it is told or counted. A stop after the count
// ends the converting pass as before: no folder notice after the stop,
// NotifyFinished with the files handled, every stored tile committed.
TEST(PassOverlapTest, StopsBesideTheCount) {
  TempTree source;
  MakeTree(source);
  for (const int stopIn : {int{CountingPass}, int{ConvertingPass}}) {
    JobRig rig(source.Root(), LayoutGeoKuk);
    SkipRecorder skips;
    rig.job.skipListener = &skips;
    rig.job.overlapFromFiles = 0;
    int noticesAtStop = -1;
    rig.channel.onPost = [&](int code, int) {
      if (noticesAtStop >= 0) return;
      const bool counting = code == NotifyCounted && stopIn == CountingPass;
      if (counting && !WaitForLogLine(rig.log, IsInsert)) return;  // the converting pass has begun
      if (counting || (code == NotifyConverted && stopIn == ConvertingPass)) {
        rig.job.stopRequested = 1;
        noticesAtStop = static_cast<int>(rig.channel.notices.size());
      }
    };
    rig.Run();
    ASSERT_GT(noticesAtStop, 0) << stopIn;
    const Notices notices = NoticesOf(rig);
    // Nothing follows the notice at which the stop came but NotifyFinished.
    ASSERT_EQ(notices.size(), static_cast<std::size_t>(noticesAtStop) + 1) << stopIn;
    EXPECT_EQ(notices.back().first, NotifyFinished);
    const auto rows = RowsInInsertOrder(rig.mapPath);
    const ConversionStats& stats = rig.job.stats;
    if (stopIn == CountingPass) {
      EXPECT_EQ(notices.back().second, notices[noticesAtStop - 1].second);  // the count reached
      EXPECT_TRUE(rows.empty());
      EXPECT_EQ(stats.pass.load(), CountingPass);
      EXPECT_EQ(stats.tilesStored.load() + stats.duplicates.load() + stats.notTiles.load(), 0);
      EXPECT_TRUE(skips.heard.empty());
    } else {
      EXPECT_EQ(notices[noticesAtStop - 1].first, NotifyConverted);
      EXPECT_EQ(notices.back().second, stats.filesSeen.load());
      EXPECT_EQ(stats.filesSeen.load(),
                stats.tilesStored.load() + stats.duplicates.load() + stats.notTiles.load() + stats.unreadable.load());
      EXPECT_EQ(rows.size(), static_cast<std::size_t>(stats.tilesStored.load()));
      EXPECT_GT(rows.size(), 0u);
    }
    EXPECT_EQ(rig.db.inTransaction, 0) << stopIn;
    EXPECT_NE(sqlite3_get_autocommit(rig.db.handle), 0) << stopIn;
    EXPECT_EQ(rig.job.stopRequested.load(), 0);
    EXPECT_EQ(rig.job.running.load(), 0);
    EXPECT_TRUE(rig.boxes.Messages().empty());
  }
}

// JOB-16c: a database error the converting pass meets while the count still
// runs is shown once the count has ended, after its last notice, and ends the
// job as it would after the count: one message, NotifyFinished, nothing
// stored.
TEST(PassOverlapTest, DatabaseErrorBesideTheCountIsShownAfterIt) {
  TempTree source;
  MakeTree(source);
  JobRig rig(source.Root(), LayoutGeoKuk);
  rig.db.exec(u"DROP TABLE tiles");
  rig.job.overlapFromFiles = 0;
  std::vector<std::size_t> boxesAtCountNotices;
  rig.channel.onPost = [&](int code, int) {
    if (code != NotifyCounted) return;
    // The first notice waits until the converting pass has met the error.
    if (boxesAtCountNotices.empty()) {
      EXPECT_TRUE(WaitForLogLine(rig.log, [](const std::string& line) { return line == "SQL:ROLLBACK;"; }));
    }
    boxesAtCountNotices.push_back(rig.boxes.Messages().size());
  };
  rig.Run();
  EXPECT_EQ(boxesAtCountNotices, std::vector<std::size_t>(boxesAtCountNotices.size(), 0));
  const auto messages = rig.boxes.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, u"no such table: tiles");
  const Notices notices = NoticesOf(rig);
  ASSERT_GE(notices.size(), 2u);
  EXPECT_EQ(notices[notices.size() - 2], std::make_pair(int{NotifyCounted}, 21));  // the whole count came first
  EXPECT_EQ(notices.back(), std::make_pair(int{NotifyFinished}, 1));
  EXPECT_EQ(rig.job.stats.databaseErrors.load(), 1);
  EXPECT_EQ(rig.job.stats.pass.load(), ConvertingPass);
  EXPECT_EQ(rig.job.stats.rolledBack.load(), 1);
  EXPECT_EQ(rig.db.inTransaction, 0);
}

// JOB-16d: folders removed after the count had listed them (their listings
// handed over to the converting walk) are told as folders found gone:
// counted unreadable and vanished, reported once each, none of their files
// counted or stored; the folder before them is stored whole.
TEST(PassOverlapTest, FoldersRemovedAfterTheCountListedThem) {
  TempTree source;
  for (int x = 100; x < 104; ++x) {
    for (int y = 100; y < 105; ++y) {
      const std::string name = std::to_string(x) + "/" + std::to_string(y);
      source.File("16/" + name + ".png", name);
    }
  }
  JobRig rig(source.Root(), LayoutOsmTrackerStorage);
  SkipRecorder skips;
  rig.job.skipListener = &skips;
  rig.job.overlapFromFiles = 0;
  // The converting walk's first insert waits until the count has listed the
  // whole tree and three of its four columns are gone.
  std::atomic<bool> removed{false};
  int countNotices = 0;
  rig.channel.onPost = [&](int code, int) {
    if (code != NotifyCounted || ++countNotices != 6) return;  // the source folder's: the count's last
    for (const char* column : {"16/101", "16/102", "16/103"}) std::filesystem::remove_all(source.Path(column));
    removed = true;
  };
  struct FirstInsert {
    std::atomic<bool>* removed;
    bool waited = false;
  } firstInsert{&removed};
  sqlite3_trace_v2(
      rig.db.handle, SQLITE_TRACE_STMT,
      [](unsigned, void* context, void*, void* text) {
        auto* wait = static_cast<FirstInsert*>(context);
        if (!wait->waited && std::string_view(static_cast<const char*>(text)).rfind("INSERT", 0) == 0) {
          wait->waited = true;
          for (int i = 0; i < 10000 && !wait->removed->load(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }
        }
        return 0;
      },
      &firstInsert);
  rig.Run();
  ASSERT_TRUE(removed.load());
  const ConversionStats& stats = rig.job.stats;
  EXPECT_GE(stats.foldersHandedOver.load(), 3);
  EXPECT_EQ(stats.filesCounted.load(), 20);
  EXPECT_EQ(stats.filesSeen.load(), 5);
  EXPECT_EQ(stats.tilesStored.load(), 5);
  EXPECT_EQ(stats.unreadable.load(), 0);
  EXPECT_EQ(stats.unreadableFolders.load(), 3);
  EXPECT_EQ(stats.vanishedFolders.load(), 3);
  EXPECT_EQ(skips.heard, (Heard{{"16/101", SkipReason::FolderUnreadable},
                                {"16/102", SkipReason::FolderUnreadable},
                                {"16/103", SkipReason::FolderUnreadable}}));
  const auto rows = RowsInInsertOrder(rig.mapPath);
  ASSERT_EQ(rows.size(), 5u);
  for (const InsertedRow& row : rows) EXPECT_EQ(std::get<1>(row), 100);
  EXPECT_TRUE(rig.boxes.Messages().empty());
  EXPECT_EQ(rig.db.inTransaction, 0);
}

}  // namespace
}  // namespace convert
