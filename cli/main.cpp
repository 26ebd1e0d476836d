// cvmap: the command line of CorvaneMapCreator. A small dispatcher over the
// subcommands of command.h.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/help_text.h"
#include "platform/file_size_limits.h"

namespace cli {
namespace {

// Every subcommand.
const Command kCommands[] = {
    {"convert", RunConvert}, {"verify", RunVerify}, {"export", RunExport}, {"extract", RunExtract},
    {"probe", RunProbe},     {"create", RunCreate}, {"info", RunInfo},
};

int Main(int argc, char** argv) {
  // A write past `ulimit -f` then fails (and the job stops and reports it)
  // instead of killing the process in the middle of it.
  platform::IgnoreFileSizeSignal();
  if (argc < 2) {
    std::fputs(kOverviewHelp, stderr);
    return kExitBadInput;
  }
  const std::string word = argv[1];
  if (word == "--help" || word == "-h" || word == "help") {
    std::fputs(kOverviewHelp, stdout);
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
