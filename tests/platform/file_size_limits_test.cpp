// How large a file may grow: the file system a path lies on, from a given
// mount table; the file size limit's signal; and the machine-wide lock by
// name.
#include "platform/file_size_limits.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/process_lock.h"
#include "tests/platform/temp_dir.h"

namespace {

using testing_support::TempDir;

// LIMIT-1: the mount whose mount point is the nearest folder above the path
// decides, whole names only, with the table's escapes read, the last of two
// on one mount point winning; a path that does not exist yet is looked up by
// its folder.
TEST(FileSystemType, FromAMountTable) {
  TempDir dir;
  const std::string here = std::filesystem::canonical(dir.path()).string();
  std::filesystem::create_directories(here + "/card b");
  const std::string table =
      "/dev/vda / ext4 rw,relatime 0 0\n"
      "proc /proc proc rw 0 0\n"
      "/dev/sdb1 " + here + "/card\\040b vfat rw 0 0\n"
      "/dev/sdc1 " + here + "/car msdos rw 0 0\n"
      "fusefat " + here + "/fuse fuse.fusefat rw 0 0\n"
      "/dev/sdd1 " + here + "/over vfat rw 0 0\n"
      "/dev/sde1 " + here + "/over exfat rw 0 0\n"
      "broken line\n";
  struct Case {
    std::string path;
    const char* type;
    bool fat;
  } cases[] = {
      {here + "/card b/map.cvmap", "vfat", true},  // not there yet: its folder decides
      {here + "/card b", "vfat", true},
      {here + "/card bb/map.cvmap", "ext4", false},  // "card b" is no folder above it
      {here + "/car/x/m.cvmap", "msdos", true},
      {here + "/fuse/m.cvmap", "fuse.fusefat", true},
      {here + "/over/m.cvmap", "exfat", false},
      {"/proc/self", "proc", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(platform::FileSystemTypeOf(c.path, table), c.type);
    EXPECT_EQ(platform::IsFatFileSystemType(platform::FileSystemTypeOf(c.path, table)), c.fat);
  }
  EXPECT_EQ(platform::FileSystemTypeOf(here + "/m", ""), "");
  EXPECT_FALSE(platform::ReadMountTable().empty());
}

// LIMIT-2: a write past the file size limit kills a process that leaves
// SIGXFSZ at its default, and fails with EFBIG in one that ignores it.
TEST(FileSizeSignal, IgnoredMakesTheWriteFail) {
  TempDir dir;
  for (const bool ignored : {false, true}) {
    SCOPED_TRACE(ignored);
    const std::string file = dir / (ignored ? "ignored" : "default");
    const pid_t child = ::fork();
    if (child == 0) {
      ::signal(SIGXFSZ, SIG_DFL);
      if (ignored) platform::IgnoreFileSizeSignal();
      const struct rlimit limit {4096, RLIM_INFINITY};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
      if (platform::ProcessFileSizeLimit() != 4096) ::_exit(4);
      const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      static char block[4096];
      if (::write(fd, block, sizeof block) != 4096) ::_exit(5);
      const ssize_t past = ::write(fd, block, 1);
      ::_exit(past == -1 && errno == EFBIG ? 0 : 6);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (ignored) {
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 0);
    } else {
      ASSERT_TRUE(WIFSIGNALED(status));
      EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    }
  }
}

// LOCK-1: a name is held by one lock at a time, in this process and in
// another; a release (or the end of the holder) frees it at once.
TEST(ProcessLock, OneHolderAtATime) {
  using Result = platform::ProcessLock::Result;
  const std::string name = "cz.corvane.test/lock-" + std::to_string(::getpid());
  platform::ProcessLock first, second;
  ASSERT_EQ(first.TryAcquire(name), Result::Acquired);
  EXPECT_TRUE(first.Held());
  EXPECT_EQ(second.TryAcquire(name), Result::HeldElsewhere);
  EXPECT_FALSE(second.Held());
  EXPECT_EQ(second.TryAcquire(name + "-other"), Result::Acquired);

  const pid_t child = ::fork();
  if (child == 0) {
    platform::ProcessLock theirs;
    ::_exit(theirs.TryAcquire(name) == Result::HeldElsewhere ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another process got a held name";

  first.Release();
  EXPECT_FALSE(first.Held());
  EXPECT_EQ(second.TryAcquire(name), Result::Acquired);
  platform::ProcessLock third;
  EXPECT_EQ(third.TryAcquire(name + "-other"), Result::Acquired) << "taking another name releases the one held";
}

}  // namespace
