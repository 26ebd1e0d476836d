// cvmap probe SOURCE: tells the layout of a source folder, as the window's
// automatic detection would see it, or why the folder is rejected and which
// of its subfolders to give instead.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/help_text.h"
#include "cli/messages.h"
#include "convert/layouts.h"
#include "convert/source_check.h"

namespace cli {

namespace {
const Usage kProbeUsage{"probe", "probe SOURCE", kProbeHelp, {}, 1};
constexpr int kExitRejected = 1;  // the folder holds no tiles of a known layout
}  // namespace

int RunProbe(const std::vector<std::string>& args) {
  Arguments parsed;
  int exitCode = kExitOk;
  if (!ParseCommandLine(args, kProbeUsage, &parsed, &exitCode)) return exitCode;
  const std::string& source = parsed.Operands()[0];
  const convert::SourceCheck check = convert::CheckSource(source, convert::kDetectLayout);
  switch (check.status) {
    case convert::SourceStatus::Ready:
      std::printf("%s\n", convert::LayoutCaption(check.layout));
      if (check.probe.tileMapResource) PrintError(TileMapResourceWarning(source, check.layout));
      return kExitOk;
    case convert::SourceStatus::Empty:
      std::printf("%s is empty: no file to tell a layout by\n", Printable(source).c_str());
      return kExitOk;
    case convert::SourceStatus::NoLayout:
      PrintError(Printable(source) + " is accepted, but no layout is detected: its first folder path holds no file");
      PrintErrors(HintLines(check));
      return kExitOk;
    case convert::SourceStatus::Refused:
      PrintError(Printable(source) + " is rejected: " + NoTileText(check.probe.decidingFile));
      PrintErrors(HintLines(check));
      return kExitRejected;
    default: {
      const Refusal refusal = SourceRefusal(check, source, "probe");
      PrintErrors(refusal.lines);
      return refusal.exitCode;
    }
  }
}

}  // namespace cli
