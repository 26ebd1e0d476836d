#include "bench/bench_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace bench {

ProcessRun RunProcess(const std::vector<std::string>& args, const std::vector<std::string>& environment) {
  using Clock = std::chrono::steady_clock;
  ProcessRun run;
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return run;
  const Clock::time_point start = Clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) return run;
  if (pid == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) ::dup2(devNull, STDERR_FILENO);
    for (const std::string& e : environment) ::putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) run.output.append(buffer, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.peakMb = usage.ru_maxrss / 1024.0;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string Spread(const std::vector<double>& values, const char* format) {
  if (values.empty()) return "-";
  char text[160];
  const std::string f = std::string(format) + " (" + format + "-" + format + ")";
  std::snprintf(text, sizeof text, f.c_str(), Median(values), *std::min_element(values.begin(), values.end()),
                *std::max_element(values.begin(), values.end()));
  return text;
}

double TimeProcess(const std::vector<std::string>& args) {
  const ProcessRun run = RunProcess(args);
  return run.exitCode == 0 ? run.seconds : -1;
}

bool ReadBenchOptions(int argc, char** argv, const char* usage, int* tiles, int* rounds, std::string* dir) {
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

}  // namespace bench
