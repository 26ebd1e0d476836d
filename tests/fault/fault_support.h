// Helpers of the fault tests: scratch trees (also deeper than PATH_MAX),
// cvmap run as a separate process with a time limit (optionally as an
// unprivileged user or with a file size limit), and readers that check a map
// file the way its next user sees it.
//
// Thread-safety: each helper object belongs to one test thread.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/support/temp_tree.h"

namespace fault_test {

// The unprivileged account a root test run drops to.
inline constexpr uid_t kNobodyUid = 65534;
inline constexpr gid_t kNobodyGid = 65534;

using test_support::RemoveTree;

// A fresh temporary folder, removed with all it holds (however deep) on
// destruction; open to every user, so an unprivileged child can reach it.
using Scratch = test_support::TempTree;

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// How cvmap is started.
struct RunOptions {
  bool asNobody = false;                  // drop to kNobodyUid first when running as root
  rlim_t fileSizeLimit = RLIM_INFINITY;   // RLIMIT_FSIZE of the child (SIGXFSZ left at its default: cvmap must ignore it)
  std::chrono::milliseconds timeout{60000};  // killed (SIGKILL) after this long
};

struct Outcome {
  int exitCode = -1;      // exit status, or -signal when killed by one
  bool timedOut = false;  // it had to be killed at the time limit
  long maxRssKb = 0;      // the most memory it held at once, in KiB
  std::chrono::milliseconds elapsed{0};  // from the start to the end of the process
  std::string out;        // standard output
  std::string err;        // standard error
};

// A started cvmap process with its output going to files of its own.
class CvmapProcess {
 public:
  CvmapProcess(const std::vector<std::string>& args, const RunOptions& options = {}) : options_(options) {
    const std::string out = scratch_.Path("out");
    const std::string err = scratch_.Path("err");
    std::vector<std::string> argv{CVMAP_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    start_ = std::chrono::steady_clock::now();
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls from here to exec.
      const int devNull = ::open("/dev/null", O_RDONLY);
      const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      if (devNull < 0 || outFd < 0 || errFd < 0) ::_exit(126);
      ::dup2(devNull, 0);
      ::dup2(outFd, 1);
      ::dup2(errFd, 2);
      ::signal(SIGXFSZ, SIG_DFL);  // whatever the test runner does with it
      if (options_.fileSizeLimit != RLIM_INFINITY) {
        struct rlimit limit {options_.fileSizeLimit, options_.fileSizeLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
      }
      if (options_.asNobody && ::geteuid() == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobodyGid) != 0 || ::setuid(kNobodyUid) != 0) ::_exit(126);
      }
      ::execv(pointers[0], pointers.data());
      ::_exit(127);
    }
  }
  ~CvmapProcess() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  CvmapProcess(const CvmapProcess&) = delete;
  CvmapProcess& operator=(const CvmapProcess&) = delete;

  pid_t Pid() const { return pid_; }

  // True while the process has not ended (it is reaped once it has).
  bool Running() {
    if (pid_ <= 0 || reaped_) return false;
    return !Reap(WNOHANG);
  }

  void Kill(int signal) {
    if (pid_ > 0 && !reaped_) ::kill(pid_, signal);
  }

  // Waits for the end, killing the process at the time limit.
  Outcome Finish() {
    while (Running()) {
      if (std::chrono::steady_clock::now() - start_ > options_.timeout) {
        outcome_.timedOut = true;
        ::kill(pid_, SIGKILL);
        Reap(0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    outcome_.out = Slurp(scratch_.Path("out"));
    outcome_.err = Slurp(scratch_.Path("err"));
    return outcome_;
  }

 private:
  bool Reap(int flags) {
    int status = 0;
    struct rusage usage {};
    const pid_t done = ::wait4(pid_, &status, flags, &usage);
    if (done != pid_) return false;
    reaped_ = true;
    outcome_.elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
    outcome_.maxRssKb = usage.ru_maxrss;
    outcome_.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return true;
  }

  RunOptions options_;                            // as started
  Scratch scratch_;                               // holds the output files
  pid_t pid_ = -1;                                // the child; -1 if fork failed
  bool reaped_ = false;                           // waitpid has collected it
  Outcome outcome_;                               // filled as the process ends
  std::chrono::steady_clock::time_point start_;   // when it was started
};

inline Outcome RunCvmap(const std::vector<std::string>& args, const RunOptions& options = {}) {
  CvmapProcess process(args, options);
  return process.Finish();
}

// True when a cvmap child can run without privileges: the tests already run
// as an ordinary user, or as root, which can switch the child to nobody
// (and nobody can reach the program). Permission tests skip otherwise.
inline bool UnprivilegedChildWorks() {
  RunOptions options;
  options.asNobody = true;
  return RunCvmap({"--version"}, options).exitCode == 0;
}

// A tile row by its key (x, y, z, s as text) and its image bytes.
using TileKey = std::tuple<int, int, int, std::string>;
using Tiles = std::map<TileKey, std::string>;

// Opens `path` for reading and writing, as the next user of the map would:
// a journal left by a killed process is rolled back first. Null on failure.
inline sqlite3* OpenAsNextUser(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

// "ok", or what PRAGMA integrity_check (or the open) reported.
inline std::string IntegrityCheck(const std::string& path) {
  sqlite3* db = OpenAsNextUser(path);
  if (db == nullptr) return "cannot open " + path;
  std::string report;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK) {
    while (sqlite3_step(st) == SQLITE_ROW) {
      if (!report.empty()) report += "\n";
      report += reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    }
  } else {
    report = sqlite3_errmsg(db);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return report;
}

// Every row of `tiles`. Rows whose key repeats (a table without a key) make
// the result one shorter than the table; RowCount() tells the real number.
inline Tiles ReadTiles(const std::string& path) {
  Tiles tiles;
  sqlite3* db = OpenAsNextUser(path);
  if (db == nullptr) return tiles;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT x, y, z, s, image FROM tiles", -1, &st, nullptr) == SQLITE_OK) {
    while (sqlite3_step(st) == SQLITE_ROW) {
      const unsigned char* s = sqlite3_column_text(st, 3);
      const void* blob = sqlite3_column_blob(st, 4);
      tiles[{sqlite3_column_int(st, 0), sqlite3_column_int(st, 1), sqlite3_column_int(st, 2),
             s ? reinterpret_cast<const char*>(s) : "NULL"}] =
          std::string(static_cast<const char*>(blob ? blob : ""), sqlite3_column_bytes(st, 4));
    }
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return tiles;
}

// Runs one SQL text on `path` (created when missing); true on success.
inline bool RunSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
            sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

// Rows of `expected` missing from or different in `actual`, and rows of
// `actual` that `expected` does not hold, as readable lines (empty: equal).
inline std::string Differences(const Tiles& expected, const Tiles& actual, std::size_t maxLines = 5) {
  std::string lines;
  std::size_t count = 0;
  auto note = [&](const std::string& what, const TileKey& key) {
    if (count++ < maxLines) {
      lines += what + " (" + std::to_string(std::get<0>(key)) + "," + std::to_string(std::get<1>(key)) + "," +
               std::to_string(std::get<2>(key)) + "," + std::get<3>(key) + ")\n";
    }
  };
  for (const auto& [key, image] : expected) {
    const auto found = actual.find(key);
    if (found == actual.end()) note("missing", key);
    else if (found->second != image) note("wrong image", key);
  }
  for (const auto& [key, image] : actual) {
    if (expected.find(key) == expected.end()) note("unexpected", key);
  }
  if (count > maxLines) lines += std::to_string(count - maxLines) + " more\n";
  return lines;
}

// Empty when every row of `actual` is a row of `expected`, image included;
// otherwise names the first row that is not.
inline std::string NotASubset(const Tiles& expected, const Tiles& actual) {
  std::string lines;
  for (const auto& [key, image] : actual) {
    const auto found = expected.find(key);
    if (found == expected.end() || found->second != image) {
      lines += "row (" + std::to_string(std::get<0>(key)) + "," + std::to_string(std::get<1>(key)) + ") is not a row of the tree\n";
      break;
    }
  }
  return lines;
}

// The image of an OSM Tracker Storage tile in the generated trees: unique
// per key, `size` bytes, so that a row stored under a wrong key or with
// another tile's bytes is caught.
inline std::string TileImage(int zoom, int x, int y, std::size_t size) {
  std::string image = "tile " + std::to_string(zoom) + "/" + std::to_string(x) + "/" + std::to_string(y) + ";";
  unsigned state = static_cast<unsigned>(zoom * 1000003 + x * 7919 + y);
  while (image.size() < size) {
    state = state * 1103515245u + 12345u;
    image.push_back(static_cast<char>(state >> 16));
  }
  return image;
}

// Writes an OSM Tracker Storage tree of `columns` column folders of `rows`
// tiles each at `zoom` below `scratch`'s `relative` folder, and returns the
// rows a complete conversion stores.
inline Tiles WriteOsmTree(const Scratch& scratch, const std::string& relative, int columns, int rows,
                          std::size_t imageSize, int zoom = 16) {
  Tiles expected;
  for (int x = 100; x < 100 + columns; ++x) {
    const std::string column = scratch.Folder(relative + "/" + std::to_string(zoom) + "/" + std::to_string(x));
    for (int y = 100; y < 100 + rows; ++y) {
      const std::string image = TileImage(zoom, x, y, imageSize);
      std::ofstream(column + "/" + std::to_string(y) + ".png", std::ios::binary) << image;
      expected[{x, y, 17 - zoom, "0"}] = image;
    }
  }
  return expected;
}

// The tiles of an exported zoom/x/y tree by their map keys, and every file
// of it that is no such tile (by its path).
inline Tiles ExportedTiles(const std::string& root, std::vector<std::string>* strays) {
  Tiles tiles;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::string path = std::filesystem::relative(entry.path(), root);
    int zoom = 0, x = 0, y = 0;
    char tail[8] = {};
    if (std::sscanf(path.c_str(), "%d/%d/%d.%3s", &zoom, &x, &y, tail) == 4 && std::string(tail) == "png") {
      tiles[{x, y, 17 - zoom, "0"}] = Slurp(entry.path());
    } else {
      strays->push_back(path);
    }
  }
  return tiles;
}

// True in the AddressSanitizer build, which runs several times slower.
inline constexpr bool kSanitized =
#if defined(__SANITIZE_ADDRESS__)
    true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    true;
#else
    false;
#endif
#else
    false;
#endif

}  // namespace fault_test
