// cvmap probe SOURCE: tells the layout of a source folder, as the window's
// automatic detection would see it, or why the folder is rejected.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "convert/layouts.h"
#include "convert/probe.h"
#include "platform/file_io.h"

namespace cli {

namespace {
constexpr char kProbeSynopsis[] = "probe SOURCE";
constexpr int kExitRejected = 1;  // the folder holds no tiles of a known layout
}  // namespace

int RunProbe(const std::vector<std::string>& args) {
  std::string source;
  int exitCode = kExitOk;
  if (!TakeOneOperand(args, kProbeSynopsis, &source, &exitCode)) return exitCode;
  if (!platform::IsDirectory(source)) {
    PrintError(source + " is not a folder");
    return kExitBadInput;
  }
  int layout = -1;
  const convert::ProbeOutcome outcome = convert::ProbeSource(source, &layout);
  if (!outcome.accepted) {
    PrintError(source + " is rejected: " + outcome.decidingFile +
               " is neither a GeoKuk nor an OSM Tracker Storage tile");
    return kExitRejected;
  }
  if (outcome.decidingFile.empty()) {
    PrintError(source + " is accepted, but no layout is detected: its first folder path holds no file");
    return kExitOk;
  }
  std::printf("%s\n", convert::LayoutCaption(layout));
  return kExitOk;
}

}  // namespace cli
