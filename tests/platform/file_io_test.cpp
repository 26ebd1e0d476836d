#include "platform/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/platform/temp_dir.h"

namespace {

using platform::ReadStatus;
using platform::ReadWholeFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// FILE-1: a regular file is read whole and byte for byte; a buffer that held
// a bigger file before gets exactly the new size.
TEST(ReadWholeFile, ReadsRegularFilesExactly) {
  TempDir dir;
  std::mt19937 random(20240611);
  std::string bytes(300000, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  WriteFile(dir / "tile.png", bytes);
  WriteFile(dir / "small.png", "PNG");

  std::vector<unsigned char> buffer;
  ASSERT_EQ(ReadWholeFile(dir / "tile.png", &buffer), ReadStatus::Ok);
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), bytes);
  ASSERT_EQ(ReadWholeFile(dir / "small.png", &buffer), ReadStatus::Ok);
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "PNG");
}

// FILE-2: an empty file reads as Ok with nothing in the buffer.
TEST(ReadWholeFile, EmptyFileIsOk) {
  TempDir dir;
  WriteFile(dir / "empty", "");
  std::vector<unsigned char> buffer{1, 2, 3};
  EXPECT_EQ(ReadWholeFile(dir / "empty", &buffer), ReadStatus::Ok);
  EXPECT_TRUE(buffer.empty());
}

// FILE-3: what cannot be read is reported, and the buffer is left empty. A
// FIFO without a writer is refused at once instead of blocking.
TEST(ReadWholeFile, ReportsWhatCannotBeRead) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder");
  std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
  std::vector<unsigned char> buffer{9};
  EXPECT_EQ(ReadWholeFile(dir / "pipe", &buffer), ReadStatus::NotRegular);
  EXPECT_TRUE(buffer.empty());
  buffer = {9};
  EXPECT_EQ(ReadWholeFile(dir / "folder", &buffer), ReadStatus::NotRegular);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(ReadWholeFile(dir / "missing", &buffer), ReadStatus::CannotOpen);
  EXPECT_EQ(ReadWholeFile(dir / "dangling", &buffer), ReadStatus::CannotOpen);
  EXPECT_EQ(ReadWholeFile("", &buffer), ReadStatus::CannotOpen);
}

// FILE-4: a file whose content does not match its reported size is a failed
// read, not silently truncated data (/proc files report size 0).
TEST(ReadWholeFile, SizeMismatchIsReadFailed) {
  std::vector<unsigned char> buffer;
  EXPECT_EQ(ReadWholeFile("/proc/self/status", &buffer), ReadStatus::ReadFailed);
  EXPECT_TRUE(buffer.empty());
}

// FILE-4b: a file whose content ends before its reported size is a failed
// read too (sysfs attributes report a whole page and hold a line).
TEST(ReadWholeFile, ContentShorterThanSizeIsReadFailed) {
  std::string shortFile;
  for (const char* candidate : {"/sys/kernel/mm/transparent_hugepage/enabled", "/sys/power/state",
                                "/sys/kernel/profiling", "/sys/class/net/lo/mtu"}) {
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error) && std::filesystem::file_size(candidate, error) > 64) {
      shortFile = candidate;
      break;
    }
  }
  if (shortFile.empty()) GTEST_SKIP() << "no sysfs attribute to read here";
  std::vector<unsigned char> buffer{1, 2, 3};
  EXPECT_EQ(ReadWholeFile(shortFile, &buffer), ReadStatus::ReadFailed);
  EXPECT_TRUE(buffer.empty());
}

// FILE-5: file status follows links; empty and dangling paths are not found.
TEST(FileStatus, ExistsAndIsDirectory) {
  TempDir dir;
  WriteFile(dir / "file", "x");
  std::filesystem::create_directory(dir / "folder");
  std::filesystem::create_symlink(dir / "folder", dir / "folder-link");
  std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
  EXPECT_TRUE(platform::PathExists(dir / "file"));
  EXPECT_FALSE(platform::IsDirectory(dir / "file"));
  EXPECT_TRUE(platform::PathExists(dir / "folder"));
  EXPECT_TRUE(platform::IsDirectory(dir / "folder"));
  EXPECT_TRUE(platform::IsDirectory(dir / "folder-link"));
  EXPECT_FALSE(platform::PathExists(dir / "dangling"));
  EXPECT_FALSE(platform::PathExists(dir / "missing"));
  EXPECT_FALSE(platform::PathExists(""));
  EXPECT_FALSE(platform::IsDirectory(""));
}

}  // namespace
