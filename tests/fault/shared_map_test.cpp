// One map file used by several programs at once: a program that reads it in
// a loop while conversions write it (a phone sync tool, cvmap info, the
// sqlite3 shell), and a second conversion into a map that a first one is
// writing. The reader must never get an error it does not get over within
// its busy timeout, never see a tile of a batch that was not committed, and
// never make a conversion fail or lose a tile; the second conversion waits
// for the first and then does its work.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "fault_support.h"

namespace fault_test {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// How long the reader's connection waits for a lock: what the sqlite3
// library's users commonly set (and less than cvmap's own 10 s).
constexpr int kReaderBusyMs = 5000;

// A separate process that counts the map's rows in a loop, each time on a
// new connection of its own (opened with `openFlags`), until it is stopped.
// Every look is one line of its log: "rows N" or "error TEXT".
class ReaderProcess {
 public:
  ReaderProcess(const Scratch& scratch, const std::string& map, int openFlags)
      : log_(scratch.Path("reader.log")), stop_(scratch.Path("reader.stop")) {
    pid_ = ::fork();
    if (pid_ == 0) Loop(map, openFlags);
  }
  ~ReaderProcess() {
    if (pid_ > 0 && !stopped_) Stop();
  }
  ReaderProcess(const ReaderProcess&) = delete;
  ReaderProcess& operator=(const ReaderProcess&) = delete;

  // Ends the loop after its current look and returns every line.
  std::vector<std::string> Stop() {
    stopped_ = true;
    std::ofstream(stop_) << "stop";
    int status = 0;
    ::waitpid(pid_, &status, 0);
    std::vector<std::string> lines;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  [[noreturn]] void Loop(const std::string& map, int openFlags) {
    const int fd = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    struct stat status {};
    while (::stat(stop_.c_str(), &status) != 0) {
      std::string line;
      sqlite3* db = nullptr;
      sqlite3_stmt* st = nullptr;
      if (sqlite3_open_v2(map.c_str(), &db, openFlags, nullptr) == SQLITE_OK &&
          sqlite3_busy_timeout(db, kReaderBusyMs) == SQLITE_OK &&
          sqlite3_prepare_v2(db, "SELECT count(*) FROM tiles", -1, &st, nullptr) == SQLITE_OK &&
          sqlite3_step(st) == SQLITE_ROW) {
        line = "rows " + std::to_string(sqlite3_column_int64(st, 0));
      } else {
        line = std::string("error ") + (db != nullptr ? sqlite3_errmsg(db) : "out of memory");
      }
      sqlite3_finalize(st);
      sqlite3_close(db);
      line += "\n";
      if (::write(fd, line.data(), line.size()) < 0) ::_exit(2);
      ::usleep(5000);
    }
    ::_exit(0);
  }

  std::string log_;   // the reader's lines
  std::string stop_;  // made by Stop(): the loop ends
  pid_t pid_ = -1;
  bool stopped_ = false;
};

// What the reader saw: its errors, whether the count ever went down, the
// largest and the last count.
struct ReaderView {
  std::vector<std::string> errors;
  bool shrank = false;
  long long largest = -1;
  long long last = -1;
  std::size_t looks = 0;
};

ReaderView Summarise(const std::vector<std::string>& lines) {
  ReaderView view;
  for (const std::string& line : lines) {
    ++view.looks;
    if (line.rfind("rows ", 0) != 0) {
      view.errors.push_back(line);
      continue;
    }
    const long long rows = std::stoll(line.substr(5));
    if (rows < view.last) view.shrank = true;
    view.last = rows;
    view.largest = std::max(view.largest, rows);
  }
  return view;
}

// Waits until the converting pass of a run into `map` is storing: the file
// has grown past its empty schema (four pages), which it does once the
// batch outgrows SQLite's page cache or is committed.
bool WaitUntilStoring(const std::string& map, long long schemaSize, CvmapProcess& run) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  struct stat status {};
  while (std::chrono::steady_clock::now() < deadline && run.Running()) {
    if (::stat(map.c_str(), &status) == 0 && status.st_size > schemaSize) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return false;
}

long long FileSize(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 ? static_cast<long long>(status.st_size) : -1;
}

// SHARE-1: while a reader counts rows in a loop, a large conversion runs and
// a second one into the same map is started during it: the second says that
// it waits, waits, and then stores its tiles; neither fails; the reader's
// count only grows, it gets no error, and its last count is the whole map.
TEST(SharedMapTest, ReaderAndASecondConversionDuringOne) {
  Scratch scratch;
  const Tiles large = WriteOsmTree(scratch, "large", 20, 1000, 1000);
  const Tiles small = WriteOsmTree(scratch, "small", 2, 50, 300, 15);
  const std::string map = scratch.Path("m.cvmap");
  ASSERT_EQ(RunCvmap({"create", map}).exitCode, 0);
  const long long schemaSize = FileSize(map);

  ReaderProcess reader(scratch, map, SQLITE_OPEN_READONLY);
  CvmapProcess first({"convert", scratch.Path("large"), map});
  ASSERT_TRUE(WaitUntilStoring(map, schemaSize, first)) << "the first conversion ended before it was seen storing";
  CvmapProcess second({"convert", scratch.Path("small"), map});
  const Outcome firstDone = first.Finish();
  const Outcome secondDone = second.Finish();
  const ReaderView seen = Summarise(reader.Stop());

  EXPECT_EQ(firstDone.exitCode, 0) << firstDone.err;
  EXPECT_EQ(secondDone.exitCode, 0) << secondDone.err;
  EXPECT_TRUE(Contains(secondDone.err, "cvmap: another conversion is writing " + map +
                                           "; waiting until it ends (Ctrl-C stops)\n"))
      << secondDone.err;
  EXPECT_TRUE(Contains(secondDone.out, "100 files seen, 100 tiles stored")) << secondDone.out;
  Tiles all = large;
  all.insert(small.begin(), small.end());
  EXPECT_EQ(Differences(all, ReadTiles(map)), "");

  EXPECT_TRUE(seen.errors.empty()) << seen.errors.front();
  EXPECT_FALSE(seen.shrank);
  EXPECT_EQ(seen.last, static_cast<long long>(all.size())) << seen.looks << " looks";
  std::cout << "[ info ] the reader looked " << seen.looks << " times\n";
}

// SHARE-2: a conversion that a file size limit stops rolls its last batch
// back; a reader counting rows meanwhile never sees more rows than the map
// keeps (no tile of that batch), and gets no error. (It opens the map as
// programs usually do, read-write: a read-only one that opens it in the
// moment between the failed write and its rollback is refused.)
TEST(SharedMapTest, ReaderNeverSeesABatchThatWasRolledBack) {
  Scratch scratch;
  const Tiles before = WriteOsmTree(scratch, "before", 2, 5, 500);
  const Tiles more = WriteOsmTree(scratch, "more", 10, 200, 2000);
  const std::string map = scratch.Path("m.cvmap");
  ASSERT_EQ(RunCvmap({"convert", scratch.Path("before"), map, "--quiet"}).exitCode, 0);

  ReaderProcess reader(scratch, map, SQLITE_OPEN_READWRITE);
  RunOptions limited;
  limited.fileSizeLimit = 1024 * 1024;
  const Outcome failed = RunCvmap({"convert", scratch.Path("more"), map}, limited);
  const ReaderView seen = Summarise(reader.Stop());
  ASSERT_EQ(failed.exitCode, 1) << failed.err;
  ASSERT_TRUE(Contains(failed.out, "rolled back with the last batch")) << failed.out;

  const long long kept = static_cast<long long>(ReadTiles(map).size());
  EXPECT_TRUE(seen.errors.empty()) << seen.errors.front();
  EXPECT_FALSE(seen.shrank);
  EXPECT_LE(seen.largest, kept);
  EXPECT_EQ(seen.last, kept);
}

}  // namespace
}  // namespace fault_test
