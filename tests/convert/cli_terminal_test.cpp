// cvmap convert on a narrow terminal (a pseudo-terminal of 40 columns, and
// COLUMNS=30 over it): every redraw of the progress line fits the width, so
// the terminal never wraps it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "job_fixture.h"

namespace {

using convert_test::TempTree;

// Runs cvmap with `args` on a terminal of `columns` columns, COLUMNS set to
// `columnsVariable` (unset when empty); returns all it wrote there.
std::string RunOnTerminal(const std::vector<std::string>& args, int columns, const std::string& columnsVariable,
                          int* exitCode) {
  struct winsize size {};
  size.ws_col = static_cast<unsigned short>(columns);
  size.ws_row = 24;
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
  if (pid == 0) {
    if (columnsVariable.empty()) {
      ::unsetenv("COLUMNS");
    } else {
      ::setenv("COLUMNS", columnsVariable.c_str(), 1);
    }
    std::vector<std::string> words{CVMAP_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    ::execv(CVMAP_PATH, argv.data());
    ::_exit(127);
  }
  std::string output;
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) output.append(buffer, static_cast<std::size_t>(n));
  ::close(master);
  int status = 0;
  ::waitpid(pid, &status, 0);
  *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return output;
}

// CLI-9: every piece of output between two carriage returns or line ends is
// narrower than the terminal, and the bar was drawn (with the whole count).
TEST(CvmapTerminalTest, ProgressLineFitsANarrowTerminal) {
  // On tmpfs where there is one: the tree is made quickly there, and the job
  // on it still lasts long enough to redraw its line.
  TempTree source(std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "");
  for (int x = 100; x < 500; ++x) {
    const std::string column = source.Folder("16/" + std::to_string(x)) + "/";
    for (int y = 100; y < 200; ++y) {
      const int fd = ::open((column + std::to_string(y) + ".png").c_str(), O_WRONLY | O_CREAT, 0644);
      ASSERT_GE(fd, 0);
      ::close(fd);
    }
  }
  struct Case {
    int columns;
    const char* variable;
    std::size_t width;  // what a line may take
  };
  for (const Case& c : {Case{40, "", 39}, Case{80, "30", 29}}) {
    SCOPED_TRACE(c.columns);
    TempTree maps;
    int exitCode = -1;
    const std::string out = RunOnTerminal({"convert", source.Root(), maps.Path("m.cvmap")}, c.columns, c.variable,
                                          &exitCode);
    EXPECT_EQ(exitCode, 0) << out;
    bool barred = false;
    std::size_t start = 0;
    while (start < out.size()) {
      std::size_t end = out.find_first_of("\r\n", start);
      if (end == std::string::npos) end = out.size();
      std::string piece = out.substr(start, end - start);
      for (std::size_t at; (at = piece.find("\x1b[K")) != std::string::npos;) piece.erase(at, 3);
      const bool progress = piece.rfind("counting", 0) == 0 || piece.rfind("[", 0) == 0 ||
                            piece.find("/40000") != std::string::npos;
      barred = barred || piece.find("/40000") != std::string::npos;
      if (progress) {
        EXPECT_LE(piece.size(), c.width) << piece;
      }
      start = end + 1;
    }
    EXPECT_TRUE(barred) << "no progress bar was drawn:\n" << out;
  }
}

}  // namespace
