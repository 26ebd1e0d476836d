// cvmap convert and cvmap probe, run as the built program on temporary trees.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "job_fixture.h"

extern char** environ;

namespace {

using convert_test::ReadRows;
using convert_test::TempTree;

struct Result {
  int exitCode = -1;  // the exit status, or 128 + signal when killed
  std::string out;    // standard output
  std::string err;    // standard error
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Starts cvmap with `args`, its output going to files in `scratch`.
pid_t Start(const TempTree& scratch, const std::vector<std::string>& args) {
  std::vector<std::string> argv{CVMAP_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& a : argv) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, scratch.Path("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, scratch.Path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  posix_spawn(&pid, CVMAP_PATH, &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

Result Finish(const TempTree& scratch, pid_t pid) {
  Result result;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid) {
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  result.out = Slurp(scratch.Path("out"));
  result.err = Slurp(scratch.Path("err"));
  return result;
}

Result Run(const std::vector<std::string>& args) {
  TempTree scratch;
  return Finish(scratch, Start(scratch, args));
}

// CLI-1: both layouts end to end; a re-run stores nothing new.
TEST(CvmapConvertTest, ConvertsBothLayoutsAndRerunsCleanly) {
  TempTree source;
  source.File("79/82/d8/50/turist_13_79d8000_8250000.kachle", "a");
  source.File("79/82/d8/51/relief_l_13_79d8000_8251000.kachle", "b");
  TempTree osm;
  osm.File("16/353/220.png", "c");
  osm.File("16/353/notes.txt", "d");
  TempTree maps;
  const std::string map = maps.Path("out.cvmap");

  Result r = Run({"convert", source.Root() + "/", map});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("2 files seen, 2 tiles stored, 0 already present"), std::string::npos) << r.out;
  r = Run({"convert", osm.Root(), map, "--layout", "auto"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("2 files seen, 1 tiles stored, 0 already present, 1 not tiles"), std::string::npos) << r.out;
  EXPECT_EQ(ReadRows(map).size(), 3u);

  r = Run({"convert", "--quiet", source.Root(), map});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  r = Run({"convert", source.Root(), map, "--layout=geokuk"});
  EXPECT_NE(r.out.find("0 tiles stored, 2 already present"), std::string::npos) << r.out;
  EXPECT_EQ(ReadRows(map).size(), 3u);
}

// CLI-2: a target that exists and is no map file is refused untouched; an
// empty file becomes a map file.
TEST(CvmapConvertTest, TargetFiles) {
  TempTree source;
  source.File("16/353/220.png", "c");
  TempTree maps;
  const std::string text(5000, 'q');
  const std::string notMap = maps.File("notes.cvmap", text);
  Result r = Run({"convert", source.Root(), notMap});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("file is not a database"), std::string::npos) << r.err;
  EXPECT_EQ(Slurp(notMap), text);

  const std::string empty = maps.File("empty.cvmap", "");
  r = Run({"convert", source.Root(), empty});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadRows(empty).size(), 1u);
}

// CLI-3: bad usage and bad sources exit 2 with a clear message.
TEST(CvmapConvertTest, RefusesBadInput) {
  TempTree source;
  source.File("readme.txt", "x");
  TempTree maps;
  const std::string map = maps.Path("m.cvmap");
  Result r = Run({"convert", source.Root(), map});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find(source.Path("readme.txt")), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(map));

  EXPECT_EQ(Run({"convert", source.Path("missing"), map}).exitCode, 2);
  EXPECT_EQ(Run({"convert", source.Root(), map, "--layout", "tms"}).exitCode, 2);
  EXPECT_EQ(Run({"convert", source.Root()}).exitCode, 2);
  EXPECT_EQ(Run({"convert", source.Root(), map, "--bogus"}).exitCode, 2);
  // With the layout given there is no probe: the text file is only counted.
  r = Run({"convert", source.Root(), map, "--layout", "osm"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("1 not tiles"), std::string::npos);
}

// CLI-4: probe names the layout, or the file that rejects the folder.
TEST(CvmapProbeTest, NamesTheLayout) {
  TempTree geoKuk;
  geoKuk.File("00/00/01/a3/base_n_13_1b2_a3.kachle");
  TempTree osm;
  osm.File("5/17/11.png");
  TempTree other;
  other.File("x/y/z.txt");
  Result r = Run({"probe", geoKuk.Root()});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "GeoKuk\n");
  r = Run({"probe", osm.Root()});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "OSM Tracker Storage\n");
  r = Run({"probe", other.Root()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("z.txt"), std::string::npos) << r.err;
  EXPECT_EQ(Run({"probe", other.Path("missing")}).exitCode, 2);
}

// CLI-5: Ctrl-C stops the job at the next entry; what was stored stays.
TEST(CvmapConvertTest, InterruptKeepsWhatWasStored) {
  TempTree source;
  const int tiles = 20000;
  for (int i = 0; i < tiles; ++i) {
    source.File("16/" + std::to_string(100 + i / 100) + "/" + std::to_string(100 + i % 100) + ".png", "t");
  }
  TempTree maps;
  const std::string map = maps.Path("m.cvmap");
  TempTree scratch;
  const pid_t pid = Start(scratch, {"convert", source.Root(), map, "--layout", "osm"});
  ASSERT_GT(pid, 0);
  // The journal appears with the first insert of the converting pass.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  struct stat status {};
  while (::stat((map + "-journal").c_str(), &status) != 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  kill(pid, SIGINT);
  const Result r = Finish(scratch, pid);
  EXPECT_EQ(r.exitCode, 130) << r.err;
  EXPECT_EQ(r.out.rfind("stopped: ", 0), 0u) << r.out;
  const std::size_t stored = ReadRows(map).size();
  EXPECT_GT(stored, 0u);
  EXPECT_LT(stored, static_cast<std::size_t>(tiles));
  EXPECT_NE(r.out.find(std::to_string(stored) + " tiles stored"), std::string::npos) << r.out;
}

}  // namespace
