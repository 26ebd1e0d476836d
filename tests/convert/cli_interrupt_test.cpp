// cvmap convert stopped by Ctrl-C, run as the built program. Slow: it needs
// a tree large enough that the job is still running when the signal comes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "cvmap_runner.h"
#include "job_fixture.h"

namespace {

using convert_test::Finish;
using convert_test::ReadRows;
using convert_test::Result;
using convert_test::Start;
using convert_test::TempTree;

// CLI-5: Ctrl-C stops the job at the next entry; what was stored stays. A
// cvmap started with Ctrl-C ignored (`cvmap ... &` in a script) keeps
// ignoring it and completes the map.
TEST(CvmapConvertTest, InterruptKeepsWhatWasStored) {
  TempTree source;
  const int tiles = 8000;
  for (int i = 0; i < tiles; ++i) {
    source.File("16/" + std::to_string(100 + i / 100) + "/" + std::to_string(100 + i % 100) + ".png",
                std::string(2048, 't'));
  }
  for (const bool ignored : {false, true}) {
    SCOPED_TRACE(ignored ? "SIGINT ignored when started" : "SIGINT at its default");
    TempTree maps;
    const std::string map = maps.Path("m.cvmap");
    TempTree scratch;
    const pid_t pid = Start(scratch, {"convert", source.Root(), map, "--layout", "osm"}, ignored);
    ASSERT_GT(pid, 0);
    // The map file grows past its empty schema (four pages) once the
    // converting pass has stored more than SQLite's page cache holds (about
    // 2 MB, a thousand of these tiles) or has committed; the job is well
    // under way then.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    struct stat status {};
    while ((::stat(map.c_str(), &status) != 0 || status.st_size <= 4 * 4096) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    kill(pid, SIGINT);
    const Result r = Finish(scratch, pid);
    const std::size_t stored = ReadRows(map).size();
    EXPECT_NE(r.out.find(std::to_string(stored) + " tiles stored"), std::string::npos) << r.out;
    if (ignored) {
      EXPECT_EQ(r.exitCode, 0) << r.err;
      EXPECT_EQ(stored, static_cast<std::size_t>(tiles));
      continue;
    }
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_EQ(r.out.rfind("stopped: ", 0), 0u) << r.out;
    EXPECT_GT(stored, 0u);
    EXPECT_LT(stored, static_cast<std::size_t>(tiles));
  }
}

}  // namespace
