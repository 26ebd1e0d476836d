// cvmap probe SOURCE: tells the layout of a source folder, as the window's
// automatic detection would see it, or why the folder is rejected.
#include <cstdio>
#include <string>
#include <vector>

#include "convert/layouts.h"
#include "convert/probe.h"
#include "platform/file_io.h"

namespace cli {

int ProbeCommand(const std::vector<std::string>& args) {
  if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
    std::fprintf(stderr, "usage: cvmap probe SOURCE\n");
    return 2;
  }
  const std::string& source = args[0];
  if (!platform::IsDirectory(source)) {
    std::fprintf(stderr, "cvmap: %s is not a folder\n", source.c_str());
    return 2;
  }
  int layout = -1;
  const convert::ProbeOutcome outcome = convert::ProbeSource(source, &layout);
  if (!outcome.accepted) {
    std::fprintf(stderr, "cvmap: %s is rejected: %s is neither a GeoKuk nor an OSM Tracker Storage tile\n",
                 source.c_str(), outcome.decidingFile.c_str());
    return 1;
  }
  if (outcome.decidingFile.empty()) {
    std::fprintf(stderr,
                 "cvmap: %s is accepted, but no layout is detected: its first folder path holds no file\n",
                 source.c_str());
    return 0;
  }
  std::printf("%s\n", convert::LayoutCaption(layout));
  return 0;
}

}  // namespace cli
