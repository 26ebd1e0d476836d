// The subcommands of cvmap. Each lives in its own cmd_*.cpp and is listed
// once in the table of main.cpp; adding a subcommand means one Run function
// here, its file in CMakeLists.txt and one line in that table.
//
// A Run function gets the arguments after the subcommand word, prints its
// results on stdout and every message on stderr (one line, prefixed
// "cvmap: "), and returns the process exit code.
//
// Thread-safety: run on the main thread only.
#pragma once

#include <string>
#include <vector>

namespace cli {

// Exit codes of cvmap.
enum ExitCode : int {
  kExitOk = 0,       // the command did what was asked
  kExitFailure = 1,  // something else failed (file system, SQLite)
  kExitBadInput = 2, // bad usage, or the input is missing or not what it must be
};

// Prefix of every message cvmap writes to stderr.
inline constexpr char kMessagePrefix[] = "cvmap: ";

struct Command {
  const char* name;      // the subcommand word
  const char* synopsis;  // its usage line after "cvmap "
  const char* summary;   // what it does, one line
  int (*run)(const std::vector<std::string>& args);  // the arguments after the word
};

int RunCreate(const std::vector<std::string>& args);
int RunInfo(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);
int RunProbe(const std::vector<std::string>& args);

// Helpers shared by the commands.

// Writes "cvmap: <text>" as one line to stderr.
void PrintError(const std::string& text);

// Takes the one non-empty operand of `args` into *operand ("--" ends the
// options, so a file named "-x" can be given). On --help prints "usage: cvmap
// <synopsis>" to stdout and sets *exitCode to kExitOk; on bad usage prints
// the usage to stderr and sets kExitBadInput. Returns true when the caller
// should go on with *operand.
bool TakeOneOperand(const std::vector<std::string>& args, const char* synopsis,
                    std::string* operand, int* exitCode);

}  // namespace cli
