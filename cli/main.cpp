// cvmap: the command line of CorvaneMapCreator. A small dispatcher over the
// subcommands of command.h.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command.h"

namespace cli {
namespace {

// Every subcommand, in the order --help lists them.
const Command kCommands[] = {
    {"create", "create MAP", "create an empty map file, or complete an existing one", RunCreate},
    {"info", "info MAP", "show the tile count per zoom level and per source of a map file", RunInfo},
    {"convert", "convert SOURCE MAP [--layout auto|geokuk|osm] [--quiet]", "store the tiles of a source folder in a map file", RunConvert},
    {"probe", "probe SOURCE", "tell the layout of a source folder", RunProbe},
};

void PrintHelp(std::FILE* out) {
  std::fprintf(out,
               "usage: cvmap COMMAND ARGS\n"
               "       cvmap --help | --version\n"
               "\n"
               "Works with map files (.cvmap): SQLite databases of map tiles.\n"
               "\n"
               "commands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-44s %s\n", c.synopsis, c.summary);
  std::fprintf(out,
               "\n"
               "exit codes: 0 ok, 1 failure, 2 bad usage or bad input\n");
}

int Main(int argc, char** argv) {
  if (argc < 2) {
    PrintHelp(stderr);
    return kExitBadInput;
  }
  const std::string word = argv[1];
  if (word == "--help" || word == "-h" || word == "help") {
    PrintHelp(stdout);
    return kExitOk;
  }
  if (word == "--version") {
    std::printf("cvmap %s (%s build)\n", CORVANE_VERSION,
                std::strlen(CORVANE_BUILD_TYPE) > 0 ? CORVANE_BUILD_TYPE : "default");
    return kExitOk;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  for (const Command& c : kCommands) {
    if (word == c.name) return c.run(args);
  }
  PrintError("unknown command '" + word + "' (see cvmap --help)");
  return kExitBadInput;
}

}  // namespace
}  // namespace cli

int main(int argc, char** argv) { return cli::Main(argc, argv); }
