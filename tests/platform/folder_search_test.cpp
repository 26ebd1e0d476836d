#include "platform/folder_search.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/name_order.h"
#include "platform/walk_guard.h"
#include "tests/platform/temp_dir.h"

namespace {

using platform::EntryDetail;
using platform::EntryKind;
using platform::FolderEntry;
using platform::FolderSearch;
using testing_support::TempDir;
using testing_support::WriteFile;

std::vector<FolderEntry> ListAll(const std::string& folder, EntryDetail detail = EntryDetail::Full) {
  std::vector<FolderEntry> entries;
  FolderSearch search;
  if (!search.Open(folder, detail)) return entries;
  FolderEntry entry;
  while (search.Next(&entry)) entries.push_back(entry);
  return entries;
}

std::map<std::string, FolderEntry> ByName(const std::vector<FolderEntry>& entries) {
  std::map<std::string, FolderEntry> byName;
  for (const auto& e : entries) {
    EXPECT_TRUE(byName.emplace(e.name, e).second) << "entry reported twice: " << e.name;
  }
  return byName;
}

// A folder with one entry of every kind the walk meets.
struct MixedFolder {
  TempDir dir;
  MixedFolder() {
    WriteFile(dir / "empty.png", "");
    WriteFile(dir / "big.kachle", std::string(70000, 'x'));
    std::filesystem::create_directory(dir / "sub");
    WriteFile(dir / "sub/inner.png", "abc");
    EXPECT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    std::filesystem::create_symlink(dir / "big.kachle", dir / "link-to-file");
    std::filesystem::create_symlink(dir / "sub", dir / "link-to-folder");
  }
};

// FS-1: "." and ".." come first, then every entry exactly once, with its kind,
// directory bit, link bit and size (links by their target's kind and size).
TEST(FolderSearch, ReportsEveryEntryWithKindAndSize) {
  MixedFolder f;
  const auto entries = ListAll(f.dir.path());
  ASSERT_GE(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, ".");
  EXPECT_EQ(entries[1].name, "..");
  EXPECT_TRUE(entries[0].isDirectory);
  EXPECT_TRUE(entries[1].isDirectory);

  auto byName = ByName(entries);
  EXPECT_EQ(byName.size(), 9u);
  EXPECT_EQ(byName["empty.png"].kind, EntryKind::Regular);
  EXPECT_EQ(byName["empty.png"].size, 0u);
  EXPECT_FALSE(byName["empty.png"].isDirectory);
  EXPECT_EQ(byName["big.kachle"].kind, EntryKind::Regular);
  EXPECT_EQ(byName["big.kachle"].size, 70000u);
  EXPECT_EQ(byName["big.kachle"].sizeLow(), 70000u);
  EXPECT_TRUE(byName["sub"].isDirectory);
  EXPECT_EQ(byName["sub"].kind, EntryKind::Directory);
  EXPECT_FALSE(byName["sub"].isSymlink);
  EXPECT_EQ(byName["pipe"].kind, EntryKind::Other);
  EXPECT_FALSE(byName["pipe"].isDirectory);
  EXPECT_EQ(byName["dangling"].kind, EntryKind::Other);
  EXPECT_TRUE(byName["dangling"].isSymlink);
  EXPECT_EQ(byName["link-to-file"].kind, EntryKind::Regular);
  EXPECT_EQ(byName["link-to-file"].size, 70000u);
  EXPECT_TRUE(byName["link-to-file"].isSymlink);
  EXPECT_TRUE(byName["link-to-folder"].isDirectory);
  EXPECT_TRUE(byName["link-to-folder"].isSymlink);
}

// FS-2: a kind-only search gives the same kinds without sizes of plain files.
TEST(FolderSearch, KindOnlySkipsSizes) {
  MixedFolder f;
  auto full = ByName(ListAll(f.dir.path()));
  auto kinds = ByName(ListAll(f.dir.path(), EntryDetail::KindOnly));
  ASSERT_EQ(full.size(), kinds.size());
  for (const auto& [name, entry] : full) {
    EXPECT_EQ(kinds[name].kind, entry.kind) << name;
    EXPECT_EQ(kinds[name].isDirectory, entry.isDirectory) << name;
  }
  EXPECT_EQ(kinds["big.kachle"].size, 0u);
}

// FS-7: entries are read relative to the open folder: whole, with the
// buffer cut to each file's size as it is reused; FIFOs are refused without
// blocking, dangling links and missing names cannot be opened, and a closed
// search reads nothing.
TEST(FolderSearch, ReadsEntriesOfTheOpenFolder) {
  MixedFolder f;
  FolderSearch search;
  ASSERT_TRUE(search.Open(f.dir.path(), EntryDetail::KindOnly));
  std::vector<unsigned char> buffer;
  ASSERT_EQ(search.ReadEntry("big.kachle", &buffer), platform::ReadStatus::Ok);
  EXPECT_EQ(buffer, std::vector<unsigned char>(70000, 'x'));
  ASSERT_EQ(search.ReadEntry("sub/inner.png", &buffer), platform::ReadStatus::Ok);
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "abc");
  ASSERT_EQ(search.ReadEntry("link-to-file", &buffer), platform::ReadStatus::Ok);
  EXPECT_EQ(buffer.size(), 70000u);
  ASSERT_EQ(search.ReadEntry("empty.png", &buffer), platform::ReadStatus::Ok);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(search.ReadEntry("big.kachle", &buffer, 69999), platform::ReadStatus::TooLarge);
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(search.ReadEntry("pipe", &buffer), platform::ReadStatus::NotRegular);
  EXPECT_EQ(search.ReadEntry("dangling", &buffer), platform::ReadStatus::CannotOpen);
  EXPECT_EQ(search.ReadEntry("missing", &buffer), platform::ReadStatus::CannotOpen);
  EXPECT_EQ(search.ReadEntry("sub", &buffer), platform::ReadStatus::NotRegular);
  search.Close();
  buffer.assign(3, 'y');
  EXPECT_EQ(search.ReadEntry("big.kachle", &buffer), platform::ReadStatus::CannotOpen);
  EXPECT_TRUE(buffer.empty());
}

// FS-9: a subfolder opened through its parent's search lists what the path
// lists and has the same identity; a file, a missing name or a parent with no
// open search opens nothing.
TEST(FolderSearch, OpensSubfoldersThroughTheParentSearch) {
  MixedFolder f;
  FolderSearch parent;
  ASSERT_TRUE(parent.Open(f.dir.path()));
  FolderSearch byPath;
  ASSERT_TRUE(byPath.Open(f.dir / "sub"));
  for (const char* name : {"sub", "link-to-folder"}) {
    FolderSearch child;
    ASSERT_TRUE(child.OpenEntry(parent, name)) << name;
    EXPECT_EQ(child.FolderDevice(), byPath.FolderDevice());
    EXPECT_EQ(child.FolderInode(), byPath.FolderInode());
    std::vector<std::string> names;
    FolderEntry entry;
    while (child.Next(&entry)) names.push_back(entry.name);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "inner.png"})) << name;
  }
  FolderSearch child;
  EXPECT_FALSE(child.OpenEntry(parent, "big.kachle"));
  EXPECT_FALSE(child.OpenEntry(parent, "missing"));
  EXPECT_FALSE(child.OpenEntry(parent, ""));
  parent.Close();
  EXPECT_FALSE(child.OpenEntry(parent, "sub"));
  FolderEntry entry;
  EXPECT_FALSE(child.Next(&entry));
}

// FS-11: a search on a listing handed over from another search hands out
// the same entries (kinds, links, sizes) in the same order, with the same
// identity, and reads, prefetches and opens subfolders by their paths below
// the nearest search with an open folder, also two listed levels down.
TEST(FolderSearch, SearchesAHandedOverListing) {
  TempDir dir;
  const std::string outer = dir / "outer";
  std::filesystem::create_directory(outer);
  WriteFile(outer + "/empty.png", "");
  WriteFile(outer + "/big.kachle", std::string(70000, 'x'));
  std::filesystem::create_directory(outer + "/sub");
  WriteFile(outer + "/sub/inner.png", "abc");
  ASSERT_EQ(mkfifo((outer + "/pipe").c_str(), 0600), 0);
  std::filesystem::create_symlink(outer + "/nowhere", outer + "/dangling");
  std::filesystem::create_symlink(outer + "/big.kachle", outer + "/link-to-file");
  std::filesystem::create_symlink(outer + "/sub", outer + "/link-to-folder");
  FolderSearch root;
  ASSERT_TRUE(root.Open(dir.path()));
  for (const EntryDetail detail : {EntryDetail::Full, EntryDetail::KindOnly}) {
    FolderSearch real;
    ASSERT_TRUE(real.OpenEntry(root, "outer", detail));
    FolderSearch listed;
    listed.OpenListed(root, "outer", real.Listing(), detail);
    EXPECT_TRUE(listed.IsListed());
    EXPECT_FALSE(real.IsListed());
    EXPECT_EQ(listed.FolderDevice(), real.FolderDevice());
    EXPECT_EQ(listed.FolderInode(), real.FolderInode());
    FolderEntry a;
    FolderEntry b;
    int entries = 0;
    while (real.Next(&a)) {
      ASSERT_TRUE(listed.Next(&b)) << a.name;
      EXPECT_EQ(b.name, a.name);
      EXPECT_EQ(b.kind, a.kind) << a.name;
      EXPECT_EQ(b.isSymlink, a.isSymlink) << a.name;
      EXPECT_EQ(b.size, a.size) << a.name;
      ++entries;
    }
    EXPECT_FALSE(listed.Next(&b));
    EXPECT_EQ(entries, 9);
  }
  FolderSearch real;
  ASSERT_TRUE(real.OpenEntry(root, "outer"));
  FolderSearch listed;
  listed.OpenListed(root, "outer", real.Listing());
  std::vector<unsigned char> buffer;
  ASSERT_EQ(listed.ReadEntry("big.kachle", &buffer), platform::ReadStatus::Ok);
  EXPECT_EQ(buffer.size(), 70000u);
  EXPECT_EQ(listed.ReadEntry("pipe", &buffer), platform::ReadStatus::NotRegular);
  EXPECT_EQ(listed.ReadEntry("missing", &buffer), platform::ReadStatus::CannotOpen);
  std::uint64_t size = 0;
  EXPECT_NE(listed.PrefetchEntry("link-to-file", UINT64_MAX, &size), platform::PrefetchStatus::Skipped);
  EXPECT_EQ(size, 70000u);
  // A subfolder opened through the listed search, and one listed below it.
  FolderSearch sub;
  ASSERT_TRUE(sub.OpenEntry(listed, "sub"));
  FolderSearch listedSub;
  listedSub.OpenListed(listed, "link-to-folder", sub.Listing());
  std::vector<std::string> names;
  FolderEntry entry;
  while (listedSub.Next(&entry)) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "inner.png"}));
  ASSERT_EQ(listedSub.ReadEntry("inner.png", &buffer), platform::ReadStatus::Ok);
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "abc");
  listed.Close();
  EXPECT_FALSE(listed.IsOpen());
  EXPECT_FALSE(listed.Next(&entry));
  EXPECT_EQ(listed.ReadEntry("big.kachle", &buffer), platform::ReadStatus::CannotOpen);
}

// FS-8: a folder whose names fill several batches of the underlying read
// (3000 names of 60 bytes) is listed whole, each name once and intact.
TEST(FolderSearch, ListsFoldersLargerThanOneReadBatch) {
  TempDir dir;
  std::vector<std::string> written;
  for (int i = 0; i < 3000; ++i) {
    std::string name = std::to_string(i);
    name.resize(60, 'n');
    WriteFile(dir / name, "");
    written.push_back(name);
  }
  std::vector<std::string> listed;
  for (const FolderEntry& e : ListAll(dir.path(), EntryDetail::KindOnly)) {
    if (e.name != "." && e.name != "..") listed.push_back(e.name);
  }
  std::sort(written.begin(), written.end(),
            [](const std::string& a, const std::string& b) { return platform::CompareNames(a, b) < 0; });
  EXPECT_EQ(listed, written);  // whole, and in name order across the batches
}

// FS-10: the entries come in name order whatever order the file system
// keeps: upper-cased UTF-16 code units first (so U+1D538, a surrogate pair,
// before U+FF21; invalid UTF-8 as U+FFFD, last), raw bytes for names equal
// that way. The names are created in the reverse of that order, newest first
// being what tmpfs lists; the same holds on the temporary folder's file system.
TEST(FolderSearch, ListsInNameOrderOnEveryFileSystem) {
  const std::vector<std::string> ordered = {
      "00",        "0a",          "A",    "a",   "B",  "desktop.ini",  "ff",
      "Thumbs.db", "tiles.sqlite", "z",   "[x",  "_x", "\xc3\x89.png", "\xc3\xa9.png",
      "\xf0\x9d\x94\xb8", "\xef\xbc\xa1", "\xff"};
  for (const std::string& base : {std::string(), std::string("/dev/shm")}) {
    if (!base.empty() && !std::filesystem::is_directory(base)) continue;
    SCOPED_TRACE(base.empty() ? "temporary folder" : base);
    TempDir dir(base);
    for (auto it = ordered.rbegin(); it != ordered.rend(); ++it) {
      if (*it == "ff" || *it == "0a") {
        std::filesystem::create_directory(dir / *it);
      } else {
        WriteFile(dir / *it, "");
      }
    }
    std::vector<std::string> listed;
    for (const FolderEntry& e : ListAll(dir.path(), EntryDetail::KindOnly)) listed.push_back(e.name);
    std::vector<std::string> expected = {".", ".."};
    expected.insert(expected.end(), ordered.begin(), ordered.end());
    EXPECT_EQ(listed, expected);
  }
  for (std::size_t i = 0; i + 1 < ordered.size(); ++i) {
    EXPECT_LT(platform::CompareNames(ordered[i], ordered[i + 1]), 0) << ordered[i];
    EXPECT_GT(platform::CompareNames(ordered[i + 1], ordered[i]), 0) << ordered[i];
  }
  EXPECT_EQ(platform::CompareNames("A.png", "A.png"), 0);
}

// FS-3: an empty folder has exactly "." and "..".
TEST(FolderSearch, EmptyFolderHasOnlyDots) {
  TempDir dir;
  const auto entries = ListAll(dir.path());
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, ".");
  EXPECT_EQ(entries[1].name, "..");
}

// FS-4: a folder that cannot be searched yields no entry and no error, also
// after an earlier successful search on the same object.
TEST(FolderSearch, UnsearchableFolderYieldsNothing) {
  TempDir dir;
  WriteFile(dir / "file", "x");
  std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
  FolderSearch search;
  FolderEntry entry;
  ASSERT_TRUE(search.Open(dir.path()));
  ASSERT_TRUE(search.Next(&entry));
  for (const std::string& bad : {dir / "missing", dir / "file", dir / "dangling", std::string()}) {
    EXPECT_FALSE(search.Open(bad)) << bad;
    EXPECT_FALSE(search.Next(&entry)) << bad;
    EXPECT_EQ(search.FolderInode(), 0u);
  }
  search.Close();
  search.Close();
  EXPECT_FALSE(search.Next(&entry));
}

// FS-5: a folder without read permission yields nothing. Root reads every
// folder, so as root the search runs in a child that has dropped to nobody.
TEST(FolderSearch, FolderWithoutPermissionYieldsNothing) {
  TempDir dir;
  std::filesystem::create_directory(dir / "locked");
  WriteFile(dir / "locked/a", "x");
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(chmod((dir / "locked").c_str(), 0), 0);
  auto searchFinds = [&] { return !ListAll(dir / "locked").empty(); };
  if (geteuid() != 0) {
    EXPECT_FALSE(searchFinds());
    return;
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    _exit(searchFinds() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: entries were reported, 3: could not drop root";
}

// FS-6: the searched folder's identity is that of the folder (of the target
// for a link), so walkers can compare folders reached by different paths.
TEST(FolderSearch, FolderIdentityFollowsLinks) {
  TempDir dir;
  std::filesystem::create_directory(dir / "real");
  std::filesystem::create_symlink(dir / "real", dir / "alias");
  struct stat st;
  ASSERT_EQ(stat((dir / "real").c_str(), &st), 0);
  FolderSearch a, b;
  ASSERT_TRUE(a.Open(dir / "real"));
  ASSERT_TRUE(b.Open(dir / "alias"));
  EXPECT_EQ(a.FolderDevice(), static_cast<std::uint64_t>(st.st_dev));
  EXPECT_EQ(a.FolderInode(), static_cast<std::uint64_t>(st.st_ino));
  EXPECT_EQ(b.FolderDevice(), a.FolderDevice());
  EXPECT_EQ(b.FolderInode(), a.FolderInode());
}

// A depth-first walk in the conversion's manner: every non-dot folder entry is
// walked at once, guarded against cycles. Returns the files met, by path.
void Walk(const std::string& folder, platform::WalkGuard& guard, std::vector<std::string>* files,
          int* refused) {
  FolderSearch search;
  if (!search.Open(folder)) return;
  platform::WalkGuard::Scope scope(guard, search.FolderDevice(), search.FolderInode());
  if (!scope.Entered()) {
    ++*refused;
    return;
  }
  FolderEntry entry;
  while (search.Next(&entry)) {
    if (entry.isDirectory) {
      if (entry.name != "." && entry.name != "..") Walk(folder + "/" + entry.name, guard, files, refused);
    } else {
      files->push_back(folder + "/" + entry.name);
    }
  }
}

// WALK-1: links back to an ancestor (and to the folder itself) are refused,
// so the walk ends; a link to a folder elsewhere is walked like a folder.
TEST(WalkGuard, WalkThroughLinkedFoldersEnds) {
  TempDir dir;
  const std::string root = dir / "root";
  WriteFile(root + "/a/b/tile.png", "1");
  WriteFile(dir / "elsewhere/other.png", "2");
  std::filesystem::create_directory_symlink(root, root + "/a/b/up");       // to the root
  std::filesystem::create_directory_symlink(root + "/a", root + "/a/self");  // to its own folder
  std::filesystem::create_directory_symlink(dir / "elsewhere", root + "/a/side");

  platform::WalkGuard guard;
  std::vector<std::string> files;
  int refused = 0;
  Walk(root, guard, &files, &refused);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{root + "/a/b/tile.png", root + "/a/side/other.png"}));
  EXPECT_EQ(refused, 2);
  EXPECT_EQ(guard.Depth(), 0u);
}

// WALK-2: an identity is refused only while it is on the path.
TEST(WalkGuard, RefusesOnlyWhileOnPath) {
  platform::WalkGuard guard;
  EXPECT_TRUE(guard.Enter(1, 10));
  EXPECT_TRUE(guard.Enter(1, 11));
  EXPECT_TRUE(guard.Enter(2, 10));  // same inode on another device
  EXPECT_FALSE(guard.Enter(1, 10));
  EXPECT_EQ(guard.Depth(), 3u);
  guard.Leave();
  guard.Leave();
  EXPECT_FALSE(guard.Enter(1, 10));
  EXPECT_TRUE(guard.Enter(1, 11));
  guard.Leave();
  guard.Leave();
  EXPECT_TRUE(guard.Enter(1, 10));
}

}  // namespace
