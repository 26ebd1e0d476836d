// cvmap convert onto a disk that fills up, and onto a file that may grow no
// larger. Two ways: a small tmpfs mounted for the test (needs root; skipped
// with a message otherwise) and a file size limit on the cvmap process
// (works for every user; cvmap itself must keep SIGXFSZ from killing it).
// Either way the job must stop with SQLite's text and exit 1, leave a map
// file that passes integrity_check and that a read-only reader opens (no
// journal left beside it), keep every tile it held before, report only what
// it really stored, say what helps, and complete the map once there is room
// again.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "fault_support.h"
#include "tests/support/map_file_faults.h"

namespace fault_test {
namespace {

using test_support::ReadOnlyRowCount;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A tmpfs of `size` mounted on a folder while it lives.
class SmallDisk {
 public:
  SmallDisk(const std::string& folder, const std::string& size) : folder_(folder) {
    const std::string options = "size=" + size + ",mode=0755";
    mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
    if (!mounted_) error_ = std::strerror(errno);
  }
  ~SmallDisk() {
    if (mounted_ && ::umount(folder_.c_str()) != 0) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Error() const { return error_; }
  bool Grow(const std::string& size) {
    const std::string options = "size=" + size;
    return ::mount("tmpfs", folder_.c_str(), "tmpfs", MS_REMOUNT, options.c_str()) == 0;
  }

 private:
  std::string folder_;  // the mount point
  bool mounted_ = false;
  std::string error_;   // why the mount failed
};

// The number in "<n> <field>" of a summary line, or -1.
long long Count(const std::string& summary, const std::string& field) {
  const std::size_t at = summary.find(" " + field);
  if (at == std::string::npos) return -1;
  const std::size_t start = summary.rfind(' ', at - 1);
  return std::stoll(summary.substr(start + 1, at - start - 1));
}

// What a full disk must leave behind: checked after the failed run. The
// journal is gone (its rollback done) before anyone else opens the map, the
// summary says "stopped:" with the reason, its counts add up to the files of
// the tree, and the advice names the map.
void ExpectNothingLost(const std::string& map, const Tiles& before, const Tiles& all, const Outcome& failed,
                       long long treeFiles) {
  EXPECT_EQ(failed.exitCode, 1) << failed.err;
  EXPECT_FALSE(std::filesystem::exists(map + "-journal")) << "a hot journal is left beside the map";
  const long long readOnlyRows = ReadOnlyRowCount(map);
  EXPECT_EQ(IntegrityCheck(map), "ok");
  const Tiles after = ReadTiles(map);
  EXPECT_EQ(readOnlyRows, static_cast<long long>(after.size()));
  EXPECT_EQ(NotASubset(all, after), "");
  for (const auto& [key, image] : before) {
    const auto found = after.find(key);
    EXPECT_TRUE(found != after.end() && found->second == image) << "a tile from before the job is lost";
  }
  const std::string& s = failed.out;
  EXPECT_EQ(s.rfind("stopped: ", 0), 0u) << s;
  EXPECT_EQ(Count(s, "tiles stored"), static_cast<long long>(after.size() - before.size())) << s;
  EXPECT_EQ(Count(s, "files seen"), treeFiles) << s;
  EXPECT_EQ(Count(s, "tiles stored") + Count(s, "already present") + Count(s, "not tiles") + Count(s, "unreadable") +
                Count(s, "rolled back with the last batch") + Count(s, "not reached"),
            treeFiles)
      << s;
  EXPECT_TRUE(Contains(failed.err, map + " keeps every tile committed before the error")) << failed.err;
  EXPECT_TRUE(Contains(failed.err, "run the same command again")) << failed.err;
}

// FAULT-12: a 1 MB tmpfs, a map of 10 tiles on it, then 2000 tiles of 2 kB.
TEST(DiskFullTest, SmallFileSystem) {
  Scratch scratch;
  const Tiles before = WriteOsmTree(scratch, "before", 2, 5, 500);
  const Tiles more = WriteOsmTree(scratch, "more", 10, 200, 2000);
  SmallDisk disk(scratch.Folder("disk"), "1m");
  if (!disk.Mounted()) {
    GTEST_SKIP() << "cannot mount a tmpfs here (" << disk.Error()
                 << "); DiskFullTest.FileSizeLimit covers the full disk";
  }
  std::cout << "[ info ] disk full: a 1 MB tmpfs\n";
  const std::string map = scratch.Path("disk/m.cvmap");

  // No room even for the new map file's schema.
  const std::string filler = scratch.File("disk/filler", std::string(1020 * 1024, 'f'));
  Outcome r = RunCvmap({"convert", scratch.Path("before"), map});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_TRUE(Contains(r.err, "cannot create the map file " + map + ": database or disk is full")) << r.err;
  ASSERT_EQ(::unlink(filler.c_str()), 0);
  ::unlink(map.c_str());
  ASSERT_EQ(RunCvmap({"convert", scratch.Path("before"), map, "--quiet"}).exitCode, 0);

  const Outcome failed = RunCvmap({"convert", scratch.Path("more"), map});
  EXPECT_TRUE(Contains(failed.err, "database or disk is full")) << failed.err;
  EXPECT_TRUE(Contains(failed.err, "free some space on its disk")) << failed.err;
  Tiles all = before;
  all.insert(more.begin(), more.end());
  ExpectNothingLost(map, before, all, failed, static_cast<long long>(more.size()));

  ASSERT_TRUE(disk.Grow("32m"));
  const Outcome done = RunCvmap({"convert", scratch.Path("more"), map});
  EXPECT_EQ(done.exitCode, 0) << done.err;
  EXPECT_EQ(Differences(all, ReadTiles(map)), "");
}

// FAULT-13: the map file may grow no larger: a file size limit on the cvmap
// process, as a FAT card's 4 GiB would stop it. A limit on a page boundary
// makes the next write fail whole (EFBIG, an I/O error to SQLite); one
// between pages lets the system write part of a page (a full disk to
// SQLite, with no system error). Either way cvmap is not killed by SIGXFSZ,
// says that the file system holds no bigger file and what to do, and the
// counts add up as for a full disk. Needs no privileges.
TEST(DiskFullTest, FileSizeLimit) {
  Scratch scratch;
  const Tiles before = WriteOsmTree(scratch, "before", 2, 5, 500);
  const Tiles more = WriteOsmTree(scratch, "more", 10, 200, 2000);
  Tiles all = before;
  all.insert(more.begin(), more.end());
  for (const rlim_t limit : {rlim_t{512 * 1024}, rlim_t{1001 * 1024}}) {
    SCOPED_TRACE(limit);
    const std::string map = scratch.Path("m" + std::to_string(limit) + ".cvmap");
    ASSERT_EQ(RunCvmap({"convert", scratch.Path("before"), map, "--quiet"}).exitCode, 0);

    RunOptions limited;
    limited.fileSizeLimit = limit;
    const Outcome failed = RunCvmap({"convert", scratch.Path("more"), map}, limited);
    EXPECT_NE(failed.exitCode, -SIGXFSZ) << "killed by SIGXFSZ";
    EXPECT_TRUE(Contains(failed.out, "stopped: the map file is as large as its file system allows: ")) << failed.out;
    EXPECT_TRUE(Contains(failed.err, "its file system holds no bigger file")) << failed.err;
    EXPECT_TRUE(Contains(failed.err, "a card formatted exFAT or ext4")) << failed.err;
    EXPECT_TRUE(Contains(failed.err, "--zoom, --source, --area")) << failed.err;
    EXPECT_FALSE(Contains(failed.err, "make room on its disk")) << failed.err;
    ExpectNothingLost(map, before, all, failed, static_cast<long long>(more.size()));

    const Outcome done = RunCvmap({"convert", scratch.Path("more"), map});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(Differences(all, ReadTiles(map)), "");
  }
}

// FAULT-14: cvmap extract under the same limit: it stops and says that the
// file system holds no bigger file, its counts add up to the rows of MAP,
// NEWMAP holds only rows of MAP, stays whole and has no journal left beside
// it, and the same command completes it once there is room.
TEST(DiskFullTest, ExtractFileSizeLimit) {
  Scratch scratch;
  const Tiles all = WriteOsmTree(scratch, "tree", 10, 200, 2000);
  const std::string big = scratch.Path("big.cvmap");
  const std::string trip = scratch.Path("trip.cvmap");
  ASSERT_EQ(RunCvmap({"convert", scratch.Path("tree"), big, "--quiet"}).exitCode, 0);
  // Columns 100 to 104 of the ten: the west edge of column 105 lies at -179.4232.
  const std::vector<std::string> extract{"extract", big, trip, "--zoom", "16", "--area", "-85,-180,85.05113,-179.425"};
  RunOptions limited;
  limited.fileSizeLimit = 512 * 1024;
  const Outcome failed = RunCvmap(extract, limited);
  EXPECT_EQ(failed.exitCode, 1) << failed.err;
  EXPECT_EQ(IntegrityCheck(trip), "ok");
  const Tiles copied = ReadTiles(trip);
  EXPECT_EQ(NotASubset(all, copied), "");
  const std::string& s = failed.out;
  EXPECT_EQ(s.rfind("stopped: ", 0), 0u) << s;
  EXPECT_EQ(Count(s, "copied"), static_cast<long long>(copied.size())) << s;
  EXPECT_EQ(Count(s, "rows in the map"), 2000) << s;
  EXPECT_EQ(Count(s, "outside the selection"), 1000) << s;
  EXPECT_EQ(Count(s, "copied") + Count(s, "already present") + Count(s, "outside the selection") +
                Count(s, "rolled back with the last batch") + Count(s, "not reached"),
            2000)
      << s;
  EXPECT_TRUE(Contains(failed.err, trip + " keeps every tile committed before the error")) << failed.err;
  EXPECT_TRUE(Contains(failed.err, "its file system holds no bigger file")) << failed.err;
  EXPECT_TRUE(Contains(s, "the map file is as large as its file system allows")) << s;
  EXPECT_FALSE(std::filesystem::exists(trip + "-journal")) << "a hot journal is left beside NEWMAP";

  const Outcome done = RunCvmap(extract);
  EXPECT_EQ(done.exitCode, 0) << done.err;
  const Tiles complete = ReadTiles(trip);
  EXPECT_EQ(complete.size(), 1000u);
  for (const auto& [key, image] : complete) EXPECT_LT(std::get<0>(key), 105);
}

// FAULT-15: cvmap export onto a full disk, to a tile tree and to an MBTiles
// file: it stops with the reason and exit 1, every tile it left is whole
// (the tree holds no part of a tile under a tile's name and nothing else;
// the MBTiles file passes integrity_check), the counts add up to the rows of
// the map, and the same command completes the target once there is room.
TEST(DiskFullTest, ExportOntoAFullDisk) {
  Scratch scratch;
  const Tiles all = WriteOsmTree(scratch, "tree", 10, 200, 2000);
  const std::string map = scratch.Path("m.cvmap");
  ASSERT_EQ(RunCvmap({"convert", scratch.Path("tree"), map, "--quiet"}).exitCode, 0);
  SmallDisk disk(scratch.Folder("disk"), "1m");
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (" << disk.Error() << ")";
  struct Case {
    const char* target;
    const char* reason;
  };
  for (const Case& c : {Case{"disk/tree", "No space left on device"}, Case{"disk/t.mbtiles", "disk is full"}}) {
    SCOPED_TRACE(c.target);
    ASSERT_TRUE(disk.Grow("1m"));
    const std::string target = scratch.Path(c.target);
    const Outcome failed = RunCvmap({"export", map, target});
    EXPECT_EQ(failed.exitCode, 1) << failed.err;
    const std::string& s = failed.out;
    EXPECT_EQ(s.rfind(std::string("stopped: "), 0), 0u) << s;
    EXPECT_TRUE(Contains(s, c.reason)) << s;
    EXPECT_TRUE(Contains(failed.err, target + " keeps every tile")) << failed.err;
    EXPECT_EQ(Count(s, "rows read"), static_cast<long long>(all.size())) << s;
    EXPECT_EQ(Count(s, "tiles written") + Count(s, "already present") + Count(s, "skipped") +
                  Count(s, "rolled back with the last batch") + Count(s, "not reached"),
              static_cast<long long>(all.size()))
        << s;
    Tiles left;
    if (Contains(c.target, "mbtiles")) {
      EXPECT_EQ(IntegrityCheck(target), "ok");
      const Outcome back = RunCvmap({"convert", target, scratch.Path("back.cvmap"), "--quiet"});
      EXPECT_EQ(back.exitCode, 0) << back.err;
      left = ReadTiles(scratch.Path("back.cvmap"));
      ::unlink(scratch.Path("back.cvmap").c_str());
    } else {
      std::vector<std::string> strays;
      left = ExportedTiles(target, &strays);
      EXPECT_TRUE(strays.empty()) << strays.front();
    }
    EXPECT_EQ(NotASubset(all, left), "");
    EXPECT_EQ(static_cast<long long>(left.size()), Count(s, "tiles written")) << s;
    EXPECT_LT(left.size(), all.size());

    ASSERT_TRUE(disk.Grow("32m"));
    const Outcome done = RunCvmap({"export", map, target});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_TRUE(Contains(done.out, std::to_string(left.size()) + " already present")) << done.out;
    EXPECT_EQ(RunCvmap({"verify", target, map, "--quiet"}).exitCode, 0);
    std::filesystem::remove_all(target);
  }
}

}  // namespace
}  // namespace fault_test
