#include "platform/file_writeback.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/temp_dir.h"
#include "tests/support/page_cache_state.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

using test_support::PageCacheState;
using test_support::ReadPageCacheState;

// A descriptor closed when the test ends.
struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

// WRITEBACK-1: Attach finds the descriptor this process holds on the file,
// and finds nothing for a file that is not open, a folder or a missing path.
TEST(FileWriteback, AttachFindsAnOpenDescriptorOnly) {
  TempDir dir;
  WriteFile(dir / "map", "content");
  WriteFile(dir / "other", "content");
  platform::FileWriteback writeback;
  EXPECT_FALSE(writeback.Attach(dir / "map"));
  EXPECT_FALSE(writeback.attached());

  const Fd reader{::open((dir / "map").c_str(), O_RDONLY | O_CLOEXEC)};
  const Fd writer{::open((dir / "map").c_str(), O_RDWR | O_CLOEXEC)};
  ASSERT_GE(reader.fd, 0);
  ASSERT_GE(writer.fd, 0);
  EXPECT_TRUE(writeback.Attach(dir / "map"));
  EXPECT_TRUE(writeback.attached());
  EXPECT_FALSE(writeback.Attach(dir / "other"));  // not open: the earlier descriptor is forgotten too
  EXPECT_FALSE(writeback.attached());
  EXPECT_FALSE(writeback.Attach(dir.path()));
  EXPECT_FALSE(writeback.Attach(dir / "missing"));
  EXPECT_FALSE(writeback.Attach(""));
  writeback.Start();  // not attached: nothing happens
}

// WRITEBACK-2: Start() gets the file's changed pages written without any
// sync by the caller and leaves the content as it was; after Detach() the
// object no longer holds the descriptor and ends without hanging.
TEST(FileWriteback, StartWritesChangedPagesAndKeepsContent) {
  TempDir dir;
  if (test_support::IsMemoryFileSystem(dir.path())) GTEST_SKIP() << "tmpfs keeps its pages in memory";

  const std::string path = dir / "map";
  Fd writer{::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)};
  ASSERT_GE(writer.fd, 0);
  std::vector<unsigned char> block(1 << 20);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i * 7 + 1);
  for (int i = 0; i < 8; ++i) ASSERT_EQ(::write(writer.fd, block.data(), block.size()), ssize_t(block.size()));

  PageCacheState state;
  if (!ReadPageCacheState(writer.fd, &state)) GTEST_SKIP() << "no cachestat on this kernel";
  if (state.dirty == 0) GTEST_SKIP() << "the file system wrote the pages at once";

  {
    platform::FileWriteback writeback;
    ASSERT_TRUE(writeback.Attach(path));
    writeback.Start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      ASSERT_TRUE(ReadPageCacheState(writer.fd, &state));
      if (state.dirty == 0 && state.writeback == 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      writeback.Start();  // a request may land while the helper is still busy with one
    }
    EXPECT_EQ(state.dirty, 0u);
    EXPECT_EQ(state.writeback, 0u);
    writeback.Detach();
    EXPECT_FALSE(writeback.attached());
    ::close(writer.fd);
    writer.fd = -1;
    writeback.Start();  // detached: a harmless call, and the destructor must still end the helper
  }

  std::vector<unsigned char> back(block.size());
  const Fd reader{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  ASSERT_GE(reader.fd, 0);
  for (int i = 0; i < 8; ++i) {
    ASSERT_EQ(::read(reader.fd, back.data(), back.size()), ssize_t(back.size()));
    ASSERT_EQ(back, block) << "block " << i;
  }
}

}  // namespace
