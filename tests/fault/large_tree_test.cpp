// Trees at the limits: 64 folder levels (and a branch whose paths grow past
// PATH_MAX), and one folder of 100,000 tiles. Slow: building the trees alone
// takes seconds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "fault_support.h"

namespace fault_test {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Creates the folders `names`, each inside the one before, below `root`, and
// the file `file` holding `bytes` in the last. Works through descriptors, so
// the full path may be longer than PATH_MAX.
void MakeChain(const std::string& root, const std::vector<std::string>& names, const std::string& file,
               const std::string& bytes) {
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  for (const std::string& name : names) {
    ::mkdirat(fd, name.c_str(), 0755);
    const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    ASSERT_GE(next, 0) << name;
    fd = next;
  }
  const int out = ::openat(fd, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ::close(fd);
  ASSERT_GE(out, 0);
  ASSERT_EQ(::write(out, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ::close(out);
}

// FAULT-30: a GeoKuk tile 64 folder levels deep is stored; a branch whose
// paths grow past PATH_MAX cannot be walked, and the job says so instead of
// leaving its tiles out without a word.
TEST(LargeTreeTest, SixtyFourLevelsAndPathsPastPathMax) {
  Scratch scratch;
  scratch.Folder("src");
  std::vector<std::string> deep{"00", "00", "00", "00"};
  for (int level = 4; level < 64; ++level) deep.push_back("level" + std::to_string(level));
  MakeChain(scratch.Path("src"), deep, "t_13_1_1.kachle", "deep tile");
  std::vector<std::string> tooLong{"00", "00", "00", "01"};
  for (int level = 4; level < 64; ++level) tooLong.push_back(std::string(100, 'L'));
  MakeChain(scratch.Path("src"), tooLong, "t_13_2_1.kachle", "out of reach");

  const std::string map = scratch.Path("m.cvmap");
  const Outcome r = RunCvmap({"convert", scratch.Path("src"), map, "--layout", "geokuk"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "1 files seen, 1 tiles stored")) << r.out;
  EXPECT_TRUE(Contains(r.err, "warning: 1 folder could not be read")) << r.err;
  EXPECT_EQ(Differences({{{1, 1, 4, "t"}, "deep tile"}}, ReadTiles(map)), "");
}

// FAULT-31: one folder of 100,000 tiles (fewer under the sanitizers): all of
// them stored, each under its own key with its own bytes, and a re-run adds
// nothing.
TEST(LargeTreeTest, OneFolderOfAHundredThousandFiles) {
  Scratch scratch;
  const int files = kSanitized ? 30000 : 100000;
  const Tiles expected = WriteOsmTree(scratch, "src", 1, files, 24);
  const std::string map = scratch.Path("m.cvmap");
  const std::string count = std::to_string(files);

  Outcome r = RunCvmap({"convert", scratch.Path("src"), map}, RunOptions{false, RLIM_INFINITY, std::chrono::minutes(3)});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, count + " files seen, " + count + " tiles stored, 0 already present")) << r.out;
  EXPECT_EQ(Differences(expected, ReadTiles(map)), "");
  r = RunCvmap({"convert", scratch.Path("src"), map}, RunOptions{false, RLIM_INFINITY, std::chrono::minutes(3)});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "0 tiles stored, " + count + " already present")) << r.out;
}

}  // namespace
}  // namespace fault_test
