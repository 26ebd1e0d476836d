// Runs the built cvmap program with its output captured in files.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "temp_tree.h"

extern char** environ;

namespace convert_test {

struct Result {
  int exitCode = -1;  // the exit status, or -signal when killed by one
  std::string out;    // standard output
  std::string err;    // standard error
};

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Starts cvmap with `args`, its output going to files in `scratch`; with
// `interruptIgnored` it starts with SIGINT ignored, as a command started
// with "&" in a script does.
inline pid_t Start(const TempTree& scratch, const std::vector<std::string>& args, bool interruptIgnored = false) {
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
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  if (!interruptIgnored) sigaddset(&defaults, SIGINT);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  // An ignored signal stays ignored in the child.
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  if (interruptIgnored) sigaction(SIGINT, &ignore, &previous);
  pid_t pid = -1;
  posix_spawn(&pid, CVMAP_PATH, &actions, &attributes, pointers.data(), environ);
  if (interruptIgnored) sigaction(SIGINT, &previous, nullptr);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

inline Result Finish(const TempTree& scratch, pid_t pid) {
  Result result;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid) {
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }
  result.out = Slurp(scratch.Path("out"));
  result.err = Slurp(scratch.Path("err"));
  return result;
}

inline Result RunCvmap(const std::vector<std::string>& args) {
  TempTree scratch;
  return Finish(scratch, Start(scratch, args));
}

}  // namespace convert_test
