// Helpers of the benchmarks that run what users run as processes: one run of
// a program with its wall time, CPU time and peak memory, and the median and
// spread of a series.
//
// Thread-safety: plain functions, one caller at a time.
#pragma once

#include <string>
#include <vector>

namespace bench {

// One run of a process.
struct ProcessRun {
  int exitCode = -1;       // -1: did not start or was killed
  double seconds = 0;      // wall time, fork to exit
  double cpuSeconds = 0;   // user + system
  double peakMb = 0;       // maximum resident set size
  std::string output;      // what it wrote on stdout
};

// Runs args[0] (a path) with the arguments after it, the given extra
// environment entries ("NAME=value") and stderr to /dev/null, and waits.
ProcessRun RunProcess(const std::vector<std::string>& args, const std::vector<std::string>& environment = {});

// Wall time of the program args[0] with the arguments after it (its output
// passed by), or a negative number when it could not start or did not exit 0.
double TimeProcess(const std::vector<std::string>& args);

// The options every tree benchmark takes: --tiles N, --rounds R, --dir
// FOLDER (each followed by its value), into the given defaults. Returns
// false, after printing `usage`, for a count that is not positive.
bool ReadBenchOptions(int argc, char** argv, const char* usage, int* tiles, int* rounds, std::string* dir);

// The median of `values` (0 for none).
double Median(std::vector<double> values);

// "median (min-max)" with `format` for each number; "-" for none.
std::string Spread(const std::vector<double>& values, const char* format);

}  // namespace bench
