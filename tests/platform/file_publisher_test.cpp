// FilePublisher: whole files under their names, never over an existing one,
// nothing else left in the tree, by both ways of naming a file.
#include "platform/file_publisher.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "tests/platform/temp_dir.h"

namespace {

using platform::FilePublisher;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// Every file and link below `root`, relative, sorted.
std::vector<std::string> Files(const std::string& root) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_directory() || entry.is_symlink()) files.push_back(std::filesystem::relative(entry.path(), root));
  }
  std::sort(files.begin(), files.end());
  return files;
}

const unsigned char* Bytes(const std::string& text) { return reinterpret_cast<const unsigned char*>(text.data()); }

// PUB-1: files go where they are asked to, folders are made, a name that is
// taken (by a file or a dangling link) is left alone, a folder that is a
// file fails; no other name appears, with unnamed files or without.
TEST(FilePublisherTest, PublishesWholeFilesOnly) {
  for (const bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed files" : "temporary names");
    TempDir dir;
    const std::string root = dir / "tree";
    WriteFile(root + "/16/353/220.png", "old");
    std::filesystem::create_symlink("nowhere", root + "/16/353/221.png");
    WriteFile(root + "/blocked", "a file where a folder would go");
    FilePublisher files(unnamed);
    int error = 0;
    ASSERT_TRUE(files.Open(root, &error)) << error;
    const std::string big(300000, 'b');
    struct Case {
      const char* folder;
      const char* name;
      std::string bytes;
      FilePublisher::Result result;
    };
    const Case cases[] = {
        {"16/353", "222.png", "new", FilePublisher::Result::Written},
        {"16/353", "220.png", "replacement", FilePublisher::Result::Exists},
        {"16/353", "221.png", "through the link", FilePublisher::Result::Exists},
        {"79/82/d8/50", "t_13_79d8000_8250000.kachle", big, FilePublisher::Result::Written},
        {"79/82/d8/51", "t_13_79d8000_8251000.kachle", "", FilePublisher::Result::Written},
        {"", "top.png", "top", FilePublisher::Result::Written},
        {"16/353", "222.png", "again", FilePublisher::Result::Exists},
        {"blocked/1", "2.png", "x", FilePublisher::Result::Failed},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.folder) + "/" + c.name);
      error = 0;
      EXPECT_EQ(files.Publish(c.folder, c.name, Bytes(c.bytes), c.bytes.size(), &error), c.result);
      if (c.result == FilePublisher::Result::Failed) {
        EXPECT_EQ(error, ENOTDIR);
      }
    }
    EXPECT_TRUE(files.Sync(&error));
    EXPECT_EQ(Files(root), (std::vector<std::string>{"16/353/220.png", "16/353/221.png", "16/353/222.png",
                                                     "79/82/d8/50/t_13_79d8000_8250000.kachle",
                                                     "79/82/d8/51/t_13_79d8000_8251000.kachle", "blocked",
                                                     "top.png"}));
    EXPECT_EQ(ReadFile(root + "/16/353/220.png"), "old");
    EXPECT_EQ(ReadFile(root + "/16/353/222.png"), "new");
    EXPECT_EQ(ReadFile(root + "/79/82/d8/50/t_13_79d8000_8250000.kachle"), big);
    EXPECT_EQ(std::filesystem::file_size(root + "/79/82/d8/51/t_13_79d8000_8251000.kachle"), 0u);
    EXPECT_FALSE(std::filesystem::exists(root + "/nowhere"));
  }
}

// PUB-2: the root and its parents are made; a root that cannot be made fails.
TEST(FilePublisherTest, OpensItsRoot) {
  TempDir dir;
  FilePublisher files;
  int error = 0;
  EXPECT_TRUE(files.Open(dir / "a/b/c", &error));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b/c"));
  WriteFile(dir / "file", "x");
  FilePublisher blocked;
  EXPECT_FALSE(blocked.Open(dir / "file/sub", &error));
  EXPECT_NE(error, 0);
}

}  // namespace
