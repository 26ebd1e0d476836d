#include "cli/command.h"

#include <cstdio>

#include "convert/layouts.h"
#include "convert/source_check.h"

namespace cli {

void PrintError(const std::string& text) {
  std::fprintf(stderr, "%s%s\n", kMessagePrefix, text.c_str());
  std::fflush(stderr);
}

void PrintErrors(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) PrintError(line);
}

bool ParseCommandLine(const std::vector<std::string>& args, const Usage& usage, Arguments* parsed,
                      int* exitCode) {
  const std::string usageLine = std::string("usage: cvmap ") + usage.synopsis;
  *exitCode = kExitBadInput;
  if (!parsed->Parse(args, usage.options)) {
    PrintError(parsed->Error() + "; " + usageLine);
    return false;
  }
  if (parsed->HelpAsked()) {
    std::fputs(usage.help, stdout);
    *exitCode = kExitOk;
    return false;
  }
  bool operandsOk = parsed->Operands().size() == usage.operands;
  for (const std::string& operand : parsed->Operands()) operandsOk = operandsOk && !operand.empty();
  if (!operandsOk) {
    PrintError(usageLine + " (cvmap " + usage.name + " --help tells more)");
    return false;
  }
  return true;
}

bool ParseLayout(const std::string& value, int* layout) {
  if (value == "auto") {
    *layout = convert::kDetectLayout;
  } else if (value == "geokuk") {
    *layout = convert::LayoutGeoKuk;
  } else if (value == "osm") {
    *layout = convert::LayoutOsmTrackerStorage;
  } else if (value == "tms") {
    *layout = convert::LayoutTms;
  } else if (value == "mbtiles") {
    *layout = convert::LayoutMbtiles;
  } else {
    PrintError("unknown layout '" + value + "': use auto, geokuk, osm, tms or mbtiles");
    return false;
  }
  return true;
}

}  // namespace cli
