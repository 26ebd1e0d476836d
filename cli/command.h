// The subcommands of cvmap. Each lives in its own cmd_*.cpp and is listed
// once in the table of main.cpp; adding a subcommand means one Run function
// here, its file in CMakeLists.txt, its help text in help_text.h and one line
// in that table.
//
// A Run function gets the arguments after the subcommand word, parses them,
// calls convert/ or store/, prints its results on stdout and every message on
// stderr (one line each, prefixed "cvmap: "), and returns the process exit
// code. It works nothing out itself.
//
// Thread-safety: run on the main thread only.
#pragma once

#include <string>
#include <vector>

#include "cli/arguments.h"

namespace cli {

// Exit codes of cvmap.
enum ExitCode : int {
  kExitOk = 0,       // the command did what was asked
  kExitFailure = 1,  // something else failed (file system, SQLite); verify: tiles not identical
  kExitBadInput = 2, // bad usage, or the input is missing or not what it must be
};

// Prefix of every message cvmap writes to stderr.
inline constexpr char kMessagePrefix[] = "cvmap: ";

struct Command {
  const char* name;  // the subcommand word
  int (*run)(const std::vector<std::string>& args);  // the arguments after the word
};

int RunConvert(const std::vector<std::string>& args);
int RunVerify(const std::vector<std::string>& args);
int RunExport(const std::vector<std::string>& args);
int RunProbe(const std::vector<std::string>& args);
int RunCreate(const std::vector<std::string>& args);
int RunInfo(const std::vector<std::string>& args);
int RunExtract(const std::vector<std::string>& args);

// Helpers shared by the commands.

// Writes "cvmap: <text>" as one line to stderr.
void PrintError(const std::string& text);
void PrintErrors(const std::vector<std::string>& lines);

// What a command accepts: its usage line (after "cvmap "), its --help text,
// its options and its number of operands.
struct Usage {
  const char* name;                     // the command word, e.g. "info"
  const char* synopsis;                 // e.g. "info MAP"
  const char* help;                     // the whole --help text
  std::vector<OptionSpec> options;  // besides --help
  std::size_t operands;                 // exactly this many, none of them empty
};

// Parses `args` into *parsed. On --help prints the help to stdout and sets
// *exitCode to kExitOk; on bad usage prints the problem and the usage line to
// stderr and sets kExitBadInput. Returns true when the command should go on.
bool ParseCommandLine(const std::vector<std::string>& args, const Usage& usage, Arguments* parsed,
                      int* exitCode);

// Reads a --layout value of a source: "auto" (convert::kDetectLayout),
// "geokuk", "osm", "tms", "mbtiles".
// Prints the problem and returns false for any other text.
bool ParseLayout(const std::string& value, int* layout);

}  // namespace cli
