// Runs the built cvmap binary on files in a temporary folder.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "store/map_file.h"
#include "store/sqlite_database.h"
#include "store/tile_inserter.h"
#include "tests/platform/temp_dir.h"
#include "tests/store/store_test_support.h"

extern char** environ;

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

struct RunResult {
  int exitCode = -1;  // exit status, -1 when the process did not exit normally
  std::string out;    // everything written to stdout
  std::string err;    // everything written to stderr
};

RunResult RunCvmap(const TempDir& dir, const std::vector<std::string>& args) {
  const std::string outPath = dir / ".stdout";
  const std::string errPath = dir / ".stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> all{CVMAP_PATH};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  RunResult result;
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, CVMAP_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << CVMAP_PATH;
    return result;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  result.out = ReadFile(outPath);
  result.err = ReadFile(errPath);
  return result;
}

int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// CLI-1: help, version and bad usage.
TEST(Cvmap, UsageAndExitCodes) {
  TempDir dir;
  RunResult help = RunCvmap(dir, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("create MAP"), std::string::npos);
  EXPECT_NE(help.out.find("info MAP"), std::string::npos);
  RunResult version = RunCvmap(dir, {"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("cvmap " CORVANE_VERSION " (", 0), 0u) << version.out;

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{}, {"bogus"}, {"create"}, {"create", "a", "b"}, {"info", "--fast", "x"},
        {"create", ""}}) {
    RunResult r = RunCvmap(dir, bad);
    EXPECT_EQ(r.exitCode, 2) << (bad.empty() ? "(none)" : bad[0]);
    EXPECT_FALSE(r.err.empty());
  }
}

// CLI-2: create makes a map file with the exact schema; info reports 0 tiles.
TEST(Cvmap, CreateThenInfoOfEmptyMap) {
  TempDir dir;
  const std::string map = dir / "a.cvmap";
  RunResult create = RunCvmap(dir, {"create", map});
  EXPECT_EQ(create.exitCode, 0) << create.err;
  EXPECT_TRUE(create.err.empty()) << create.err;
  {
    SQLite::Database db;
    ASSERT_EQ(db.openNativeReadOnly(map), SQLITE_OK);
    EXPECT_EQ(testing_support::QueryRows(db, u"SELECT sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY name"),
              (std::vector<std::vector<std::string>>{
                  {"CREATE TABLE info(minzoom,maxzoom)"},
                  {"CREATE TABLE tiles(x int, y int, z int, s int, image blob, PRIMARY KEY (x,y,z,s))"}}));
    EXPECT_EQ(testing_support::QueryValue(db, u"PRAGMA encoding"), "UTF-8");
  }
  RunResult info = RunCvmap(dir, {"info", map});
  EXPECT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("tiles: 0\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("image bytes: 0\n"), std::string::npos) << info.out;
}

// CLI-3: create on a file that is not a database gives SQLite's reason once
// (every statement fails alike, and so does the recognition), exits 2 and
// keeps the bytes.
TEST(Cvmap, CreateOnNonDatabaseKeepsBytes) {
  TempDir dir;
  const std::string file = dir / "notes.cvmap";
  std::string content;
  for (int i = 0; i < 200; ++i) content += "line " + std::to_string(i) + " of a text file\n";
  WriteFile(file, content);
  RunResult r = RunCvmap(dir, {"create", file});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(CountOf(r.err, "file is not a database"), 1) << r.err;
  EXPECT_NE(r.err.find("cvmap: SQLite error: file is not a database\n"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(file), content);
  RunResult info = RunCvmap(dir, {"info", file});
  EXPECT_EQ(info.exitCode, 2);
  EXPECT_NE(info.err.find("is not a map file: file is not a database"), std::string::npos) << info.err;
  EXPECT_EQ(ReadFile(file), content);
}

// CLI-4: a 0-byte file becomes a map; a database without tiles is refused by
// info; a missing file or a folder is bad input and info creates nothing.
TEST(Cvmap, InputKinds) {
  TempDir dir;
  WriteFile(dir / "zero.cvmap", "");
  EXPECT_EQ(RunCvmap(dir, {"create", dir / "zero.cvmap"}).exitCode, 0);
  EXPECT_EQ(RunCvmap(dir, {"info", dir / "zero.cvmap"}).exitCode, 0);

  WriteFile(dir / "empty-db", "");
  RunResult noTiles = RunCvmap(dir, {"info", dir / "empty-db"});
  EXPECT_EQ(noTiles.exitCode, 2);
  EXPECT_NE(noTiles.err.find("no such table: tiles"), std::string::npos) << noTiles.err;
  EXPECT_EQ(ReadFile(dir / "empty-db"), "");

  RunResult missing = RunCvmap(dir, {"info", dir / "missing.cvmap"});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.cvmap"));
  std::filesystem::create_directory(dir / "folder");
  EXPECT_EQ(RunCvmap(dir, {"info", dir / "folder"}).exitCode, 2);
  EXPECT_EQ(RunCvmap(dir, {"create", dir / "folder"}).exitCode, 2);
  RunResult noFolder = RunCvmap(dir, {"create", dir / "no-such-folder/m.cvmap"});
  EXPECT_EQ(noFolder.exitCode, 1);
  EXPECT_NE(noFolder.err.find("cannot open"), std::string::npos) << noFolder.err;
}

// CLI-5: info counts tiles per zoom level (from z) and per source, and sums
// the image bytes; create on that map keeps every tile.
TEST(Cvmap, InfoCountsTiles) {
  TempDir dir;
  const std::string map = dir / "m.cvmap";
  {
    platform::RecordingMessageBox boxes;
    SQLite::Database db(&boxes);
    ASSERT_TRUE(store::CreateMapFileNative(db, map));
    store::TileInserter inserter(db);
    auto add = [&](int x, int zoom, const char16_t* source, int bytes) {
      const std::vector<unsigned char> image(bytes, 'i');
      store::TileKey key;
      key.x = x;
      key.z = store::ZoomToZ(zoom);
      key.sourceIsText = source != nullptr;
      if (source != nullptr) key.source = source;
      ASSERT_EQ(inserter.Insert(key, image), store::TileInserter::Outcome::Stored);
    };
    add(1, 15, u"base_n", 100);
    add(2, 15, u"base_n", 50);
    add(3, 18, u"12", 7);
    add(4, 15, nullptr, 1);
  }
  ASSERT_EQ(RunCvmap(dir, {"create", map}).exitCode, 0);
  RunResult info = RunCvmap(dir, {"info", map});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("tiles: 4\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("image bytes: 158\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("  zoom 15 (z 2): 3 tiles, 151 bytes\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("  zoom 18 (z -1): 1 tiles, 7 bytes\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("  \"base_n\": 2 tiles\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("  12: 1 tiles\n"), std::string::npos) << info.out;  // integer affinity
  EXPECT_NE(info.out.find("  0: 1 tiles\n"), std::string::npos) << info.out;
}

// CLI-6: every help text fits 80 columns; each command's --help names each
// of its options and, for convert and verify, every field of the summary.
TEST(Cvmap, HelpTexts) {
  TempDir dir;
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> mentions;
  };
  const Case cases[] = {
      {{"--help"}, {"convert SOURCE MAP", "verify SOURCE MAP", "probe SOURCE", "create MAP", "info MAP"}},
      {{"convert", "--help"},
       {"--layout", "auto", "geokuk", "osm", "-q, --quiet", "-v, --verbose", "-h, --help", "files seen",
        "tiles stored", "already present", "not tiles", "unreadable", "too large", "unreadable folders", "stopped:",
        "rolled back with the last batch", "not reached", "exit codes"}},
      {{"verify", "-h"},
       {"--layout", "-q, --quiet", "-v, --verbose", "-h, --help", "files seen", "tiles checked", "identical",
        "missing", "different", "not tiles", "unreadable", "too large", "exit codes"}},
      {{"probe", "--help"}, {"-h, --help", "exit codes"}},
      {{"create", "--help"}, {"-h, --help", "exit codes"}},
      {{"info", "--help"}, {"-h, --help", "exit codes"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    const RunResult r = RunCvmap(dir, c.args);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.empty()) << r.err;
    std::size_t start = 0;
    for (std::size_t end = r.out.find('\n'); end != std::string::npos; end = r.out.find('\n', start)) {
      EXPECT_LE(end - start, 80u) << r.out.substr(start, end - start);
      start = end + 1;
    }
    EXPECT_EQ(start, r.out.size()) << "the text ends with a newline";
    for (const std::string& word : c.mentions) EXPECT_NE(r.out.find(word), std::string::npos) << word;
  }
}

// CLI-7: bad usage of the new options and commands exits 2 with the usage.
TEST(Cvmap, BadUsageOfOptions) {
  TempDir dir;
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"convert", "a", "b", "--layout"}, {"convert", "a", "b", "-x"},
        {"convert", "a", "b", "--quiet=yes"}, {"verify", "a"}, {"verify", "a", "b", "--layout", "tms"},
        {"probe", "a", "b"}, {"probe", "-v", "a"}}) {
    const RunResult r = RunCvmap(dir, bad);
    EXPECT_EQ(r.exitCode, 2) << bad[0] << " " << bad.back();
    EXPECT_NE(r.err.find("cvmap: "), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
  }
}

}  // namespace
