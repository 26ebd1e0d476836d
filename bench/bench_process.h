// Small helpers the process benchmarks share: timing one cvmap process, and
// the median and spread of a series.
//
// Thread-safety: plain functions.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

// Wall time of the program `program` with `args` (stdout to /dev/null), or a
// negative number when it could not start or did not exit 0.
inline double TimeProcess(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The options every tree benchmark takes: --tiles N, --rounds R, --dir
// FOLDER (each followed by its value), into the given defaults. Returns
// false, after printing `usage`, for a count that is not positive.
inline bool ReadBenchOptions(int argc, char** argv, const char* usage, int* tiles, int* rounds, std::string* dir) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--tiles") *tiles = std::atoi(argv[i + 1]);
    if (option == "--rounds") *rounds = std::atoi(argv[i + 1]);
    if (option == "--dir") *dir = argv[i + 1];
  }
  if (*tiles > 0 && *rounds > 0) return true;
  std::fprintf(stderr, "usage: %s\n", usage);
  return false;
}

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// "median (min-max)" of `values` printed with `format`.
inline std::string Spread(const std::vector<double>& values, const char* format) {
  if (values.empty()) return "-";
  char text[128];
  const std::string f = std::string(format) + " (" + format + "-" + format + ")";
  std::snprintf(text, sizeof text, f.c_str(), Median(values), *std::min_element(values.begin(), values.end()),
                *std::max_element(values.begin(), values.end()));
  return text;
}

}  // namespace bench
