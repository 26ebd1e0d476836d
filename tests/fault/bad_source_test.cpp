// Source trees that fight back: folders and files that cannot be read,
// special files and links named like tiles, link loops, names that are not
// UTF-8 or as long as the file system allows, and files that vanish while a
// job runs. The job must never block or crash, must store exactly the tiles
// it can read, and must say when it could not read something.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "convert/conversion_job.h"
#include "convert/layouts.h"
#include "fault_support.h"
#include "platform/message_box.h"
#include "platform/name_order.h"
#include "platform/notification.h"
#include "store/map_file.h"
#include "store/sqlite_database.h"

namespace fault_test {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// FAULT-20: as an unprivileged user, a folder without permissions and a tile
// without permissions: every readable tile is stored, the tile is counted as
// unreadable and the folder is named in a warning (it used to vanish from
// the job without a word). A source folder that cannot be listed at all is
// refused (it used to "convert" as an empty folder, exit 0).
TEST(BadSourceTest, UnreadableFoldersAndFiles) {
  if (!UnprivilegedChildWorks()) GTEST_SKIP() << "cannot run cvmap as an unprivileged user here";
  Scratch scratch;
  Tiles expected = WriteOsmTree(scratch, "src", 3, 2, 50);  // columns 100..102, rows 100..101
  ::chmod(scratch.Path("src/16/101").c_str(), 0);
  ::chmod(scratch.Path("src/16/102/100.png").c_str(), 0);
  for (int y : {100, 101}) expected.erase({101, y, 1, "0"});
  expected.erase({102, 100, 1, "0"});
  ::chmod(scratch.Folder("maps").c_str(), 0777);
  RunOptions unprivileged;
  unprivileged.asNobody = true;

  Outcome r = RunCvmap({"convert", scratch.Path("src"), scratch.Path("maps/a.cvmap"), "--layout", "osm"},
                       unprivileged);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "4 files seen, 3 tiles stored, 0 already present, 0 not tiles, 1 unreadable"))
      << r.out;
  EXPECT_TRUE(Contains(r.err, "warning: 1 folder could not be read")) << r.err;
  EXPECT_EQ(Differences(expected, ReadTiles(scratch.Path("maps/a.cvmap"))), "");

  for (mode_t mode : {0000, 0311}) {
    ::chmod(scratch.Path("src").c_str(), mode);
    const std::string map = scratch.Path("maps/b.cvmap");
    r = RunCvmap({"convert", scratch.Path("src"), map, "--layout", "osm"}, unprivileged);
    EXPECT_EQ(r.exitCode, 2) << r.out;
    EXPECT_TRUE(Contains(r.err, "cannot read the folder " + scratch.Path("src") + ": Permission denied"))
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(map));
  }
  ::chmod(scratch.Path("src").c_str(), 0755);
}

// FAULT-21: a FIFO, a dangling link, a link to a device and link loops, all
// named like tiles, beside real tiles; folder links back up the tree and a
// link to a folder elsewhere. Nothing blocks, each special entry is one
// unreadable file, the cycle is walked once, the outside folder is walked.
TEST(BadSourceTest, SpecialFilesAndLinkLoops) {
  Scratch scratch;
  Tiles expected = WriteOsmTree(scratch, "src", 2, 2, 50);
  const Tiles outside = WriteOsmTree(scratch, "elsewhere", 1, 2, 60);
  scratch.Fifo("src/16/100/500.png");
  scratch.Link("/nonexistent/tile.png", "src/16/100/501.png");
  scratch.Link("/dev/zero", "src/16/100/502.png");
  scratch.Link("503.png", "src/16/100/503.png");  // itself
  scratch.Link("505.png", "src/16/100/504.png");  // a pair of links to each other
  scratch.Link("504.png", "src/16/100/505.png");
  scratch.Link("../..", "src/16/101/up");          // back to the source folder
  scratch.Link(scratch.Path("src/16"), "src/16/101/16");
  scratch.Link(scratch.Path("elsewhere/16/100"), "src/16/300");
  for (const auto& [key, image] : outside) expected[{300, std::get<1>(key), 1, "0"}] = image;

  RunOptions quick;
  quick.timeout = std::chrono::seconds(30);
  const std::string map = scratch.Path("m.cvmap");
  const Outcome r = RunCvmap({"convert", scratch.Path("src"), map, "--layout", "osm"}, quick);
  ASSERT_FALSE(r.timedOut) << "the conversion blocked";
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "12 files seen, 6 tiles stored, 0 already present, 0 not tiles, 6 unreadable"))
      << r.out;
  EXPECT_EQ(Differences(expected, ReadTiles(map)), "");

  // A FIFO as the one file the layout probe looks at.
  Scratch lone;
  lone.Fifo("src/16/100/100.png");
  const Outcome probed = RunCvmap({"convert", lone.Path("src"), lone.Path("m.cvmap")}, quick);
  ASSERT_FALSE(probed.timedOut) << "the conversion blocked on a FIFO";
  EXPECT_EQ(probed.exitCode, 0) << probed.err;
  EXPECT_TRUE(Contains(probed.out, "1 unreadable")) << probed.out;
}

// FAULT-24: a tile file larger than any value SQLite can store (here a
// sparse file of 4 GiB) is counted as too large without being read: it used
// to be read whole into memory first, so a large enough one exhausted it.
TEST(BadSourceTest, HugeTileIsNotReadIntoMemory) {
  Scratch scratch;
  const Tiles expected = WriteOsmTree(scratch, "src", 1, 2, 50);
  const std::string huge = scratch.File("src/16/100/200.png", "");
  ASSERT_EQ(::truncate(huge.c_str(), (4ll << 30) + 1), 0);
  const std::string map = scratch.Path("m.cvmap");
  const Outcome r = RunCvmap({"convert", scratch.Path("src"), map, "-v"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "3 files seen, 2 tiles stored, 0 already present, 0 not tiles, 0 unreadable, 1 too large"))
      << r.out;
  EXPECT_TRUE(Contains(r.err, "cvmap: not stored: 16/100/200.png: too large")) << r.err;
  EXPECT_LT(r.maxRssKb, 512 * 1024) << "the huge file was read into memory";
  EXPECT_EQ(Differences(expected, ReadTiles(map)), "");
}

// FAULT-22: names that are not UTF-8, in the source folder's own path and in
// the map path, and names of 255 bytes (the longest a file system allows) in
// ASCII and in two-byte characters, for files and for folders. A GeoKuk name
// that is not UTF-8 is no tile: its source name would be stored with U+FFFD
// for the bad bytes, so "\xfe_..." and "\xff_..." would merge into one
// source and verify could never pass.
TEST(BadSourceTest, NamesNotUtf8AndNamesOf255Bytes) {
  Scratch scratch;
  const std::string source = "src-\xff\xfe";
  const std::string leaf = source + "/79/82/d8/50/";
  const std::string asciiName = std::string(255 - 14, 'a') + "_13_1_1.kachle";
  std::string czech;
  for (int i = 0; i < 120; ++i) czech += "\xc4\x8d";  // 120 times U+010D
  const std::string czechName = czech + "b_13_2_1.kachle";
  const std::string longFolder(255, 'd');
  ASSERT_EQ(asciiName.size(), 255u);
  ASSERT_EQ(czechName.size(), 255u);
  scratch.File(leaf + "tur\xffist_13_10_20.kachle", "bad byte");
  scratch.File(leaf + "\xfe_13_1_2.kachle", "fe");
  scratch.File(leaf + "\xff_13_1_2.kachle", "ff");
  scratch.File(leaf + asciiName, "ascii");
  scratch.File(leaf + czechName, "czech");
  scratch.File(leaf + longFolder + "/x_13_3_1.kachle", "deep");
  scratch.File(leaf + "\xfe\xff.txt", "no tile");

  const std::string map = scratch.Path("mapa-\xe9.cvmap");  // Latin-1 byte, not UTF-8
  const Outcome r = RunCvmap({"convert", scratch.Path(source), map, "-v"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "7 files seen, 3 tiles stored, 0 already present, 4 not tiles")) << r.out;
  EXPECT_TRUE(Contains(r.err, "not stored: 79/82/d8/50/\\xfe_13_1_2.kachle: not a tile of the layout (its name, "
                              "which holds the source name, is not UTF-8)\n"))
      << r.err;
  EXPECT_TRUE(Contains(r.err, "not stored: 79/82/d8/50/tur\\xffist_13_10_20.kachle: not a tile")) << r.err;
  const Outcome check = RunCvmap({"verify", scratch.Path(source), map});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
  const Tiles expected = {
      {{1, 1, 4, std::string(241, 'a')}, "ascii"},
      {{2, 1, 4, czech + "b"}, "czech"},
      {{3, 1, 4, "x"}, "deep"},
  };
  EXPECT_EQ(Differences(expected, ReadTiles(map)), "");
}

// A channel that runs a hook on the worker for every notice.
class HookChannel : public platform::NotificationChannel {
 public:
  void Post(int code, int count) override {
    notices.push_back({code, count});
    if (hook) hook(code, count);
  }
  std::vector<platform::Notification> notices;  // all, in order
  std::function<void(int, int)> hook;           // runs on the worker thread
};

// A conversion job on a fresh map file in `scratch`.
struct JobOnMap {
  JobOnMap(const Scratch& scratch, const std::string& source) : mapPath(scratch.Path("job.cvmap")) {
    store::CreateMapFileNative(db, mapPath);
    job.layout = convert::LayoutOsmTrackerStorage;
    job.sourceFolder = source;
    job.database = &db;
    job.notifications = &channel;
    job.messageBoxes = &boxes;
    job.running = 1;
  }
  std::string mapPath;                  // the map file
  platform::RecordingMessageBox boxes;  // messages of the job
  SQLite::Database db{&boxes};          // open on mapPath
  HookChannel channel;                  // the job's notices
  convert::ConversionJob job;           // the job under test
};

// FAULT-23: files that vanish or change kind between the counting and the
// converting pass, and folders that vanish while the converting pass runs:
// the job ends normally, reports no database error, and stores exactly the
// tiles that were still regular files when it reached them.
TEST(BadSourceTest, FilesVanishWhileTheJobRuns) {
  Scratch scratch;
  const Tiles tree = WriteOsmTree(scratch, "src", 4, 5, 40);  // 20 tiles in 4 column folders
  const std::string src = scratch.Path("src");
  JobOnMap rig(scratch, src);
  const int folders = 6;  // src, 16 and four columns: one counting notice each
  int counted = 0;
  Tiles expected = tree;
  rig.channel.hook = [&](int code, int) {
    if (code != convert::NotifyCounted || ++counted != folders) return;
    // Between the passes: one column folder goes, tiles go or change kind.
    RemoveTree(src + "/16/103");
    std::filesystem::remove(src + "/16/100/100.png");
    std::filesystem::remove(src + "/16/100/101.png");
    ::mkfifo((src + "/16/100/101.png").c_str(), 0644);
    std::filesystem::remove(src + "/16/101/100.png");
    std::filesystem::create_directory(src + "/16/101/100.png");
    std::filesystem::remove(src + "/16/102/100.png");
    std::filesystem::create_symlink("/nonexistent", src + "/16/102/100.png");
    for (int y = 100; y < 105; ++y) expected.erase({103, y, 1, "0"});
    for (int x : {100, 101, 102}) expected.erase({x, 100, 1, "0"});
    expected.erase({100, 101, 1, "0"});
  };
  convert::RunConversion(rig.job);
  ASSERT_EQ(counted, folders);
  EXPECT_EQ(rig.channel.notices.back().code, convert::NotifyFinished);
  EXPECT_TRUE(rig.boxes.Messages().empty());
  EXPECT_EQ(rig.job.stats.databaseErrors.load(), 0);
  EXPECT_EQ(rig.job.stats.unreadable.load(), 2);  // the FIFO and the dangling link
  rig.db.close();
  EXPECT_EQ(Differences(expected, ReadTiles(rig.mapPath)), "");

  // During the converting pass: after the first column folder's end, every
  // other column folder disappears at once (after their parent listed them).
  Scratch second;
  const Tiles again = WriteOsmTree(second, "src", 4, 5, 40);
  std::vector<std::string> columns;  // in the order the walk meets them: name order
  for (const auto& entry : std::filesystem::directory_iterator(second.Path("src/16"))) {
    columns.push_back(entry.path().filename().string());
  }
  std::sort(columns.begin(), columns.end(),
            [](const std::string& a, const std::string& b) { return platform::CompareNames(a, b) < 0; });
  ASSERT_EQ(columns.size(), 4u);
  JobOnMap rig2(second, second.Path("src"));
  bool removed = false;
  rig2.channel.hook = [&](int code, int) {
    if (code != convert::NotifyConverted || removed) return;
    removed = true;
    for (std::size_t i = 1; i < columns.size(); ++i) RemoveTree(second.Path("src/16/" + columns[i]));
  };
  convert::RunConversion(rig2.job);
  EXPECT_TRUE(removed);
  EXPECT_EQ(rig2.channel.notices.back().code, convert::NotifyFinished);
  EXPECT_TRUE(rig2.boxes.Messages().empty());
  // They are told apart from folders that cannot be read.
  EXPECT_EQ(rig2.job.stats.unreadableFolders.load(), 3);
  EXPECT_EQ(rig2.job.stats.vanishedFolders.load(), 3);
  rig2.db.close();
  Tiles firstColumn;
  for (const auto& [key, image] : again) {
    if (std::to_string(std::get<0>(key)) == columns[0]) firstColumn[key] = image;
  }
  EXPECT_EQ(Differences(firstColumn, ReadTiles(rig2.mapPath)), "");
  EXPECT_EQ(IntegrityCheck(rig2.mapPath), "ok");

  // cvmap says so truthfully: the folder was removed, not unreadable. The
  // column folder 999 goes while the walk stores the 8000 tiles of 100 (the
  // map file grows past its schema once the first thousand or so are in).
  Scratch third;
  WriteOsmTree(third, "src", 1, 8000, 2048);
  third.File("src/16/999/100.png", "last");
  const std::string map = third.Path("m.cvmap");
  CvmapProcess run({"convert", third.Path("src"), map, "-v"});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  struct stat status {};
  while ((::stat(map.c_str(), &status) != 0 || status.st_size <= 4 * 4096) && run.Running() &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  RemoveTree(third.Path("src/16/999"));
  const Outcome r = run.Finish();
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Contains(r.err, "cvmap: not read: 16/999: the folder was removed while the job ran\n")) << r.err;
  EXPECT_TRUE(Contains(r.err, "warning: 1 folder was removed while the job ran; the tiles in them are not in the map"))
      << r.err;
  EXPECT_FALSE(Contains(r.err, "no permission")) << r.err;
}

}  // namespace
}  // namespace fault_test
