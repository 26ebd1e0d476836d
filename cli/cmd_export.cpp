// cvmap export MAP TARGET [--layout osm|geokuk|mbtiles] [--zoom LEVELS]
//              [--source NAMES] [--area S,W,N,E] [--quiet] [--verbose]
//
// Runs an export session (convert/export_session.h): writes the tiles of MAP
// to a tile tree or an MBTiles file, and prints the progress line while it
// runs, with --verbose every row it does not write, the summary, a word on
// the rows skipped, and the messages of a refusal or of the failure that
// stopped it. Ctrl-C stops at the next row; what was written stays.
//
// Exit codes: 0 done; 1 the target cannot be written, a failure stopped the
// export, a file could not be written, or no row could be exported; 2 bad
// usage or bad input; 130 stopped by Ctrl-C.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command.h"
#include "cli/export_messages.h"
#include "cli/help_text.h"
#include "cli/interrupt_scope.h"
#include "cli/messages.h"
#include "cli/progress_display.h"
#include "cli/selection_options.h"
#include "cli/terminal.h"
#include "convert/export_session.h"
#include "convert/layouts.h"
#include "convert/progress_text.h"

namespace cli {

namespace {

const Usage kExportUsage{"export",
                         "export MAP TARGET [--layout osm|geokuk|mbtiles] [--zoom LEVELS] [--source NAMES] "
                         "[--area S,W,N,E] [-q] [-v]",
                         kExportHelp,
                         WithSelectionOptions({{"layout", 0, true}, {"quiet", 'q', false}, {"verbose", 'v', false}}),
                         2};

// Reads the --layout of a target: "osm", "geokuk", "mbtiles", or "auto"
// (by the target's name).
bool ParseExportLayout(const std::string& value, int* layout) {
  if (value == "auto") {
    *layout = convert::kTargetByName;
  } else if (value == "osm") {
    *layout = convert::LayoutOsmTrackerStorage;
  } else if (value == "geokuk") {
    *layout = convert::LayoutGeoKuk;
  } else if (value == "mbtiles") {
    *layout = convert::LayoutMbtiles;
  } else {
    PrintError("unknown layout '" + value + "': use osm, geokuk or mbtiles");
    return false;
  }
  return true;
}

// Lists every row not written on stderr: "not exported: KEY: WHY".
class SkipLister : public convert::ExportListener {
 public:
  SkipLister(Terminal& terminal, bool toMbtiles) : terminal_(terminal), toMbtiles_(toMbtiles) {}
  void NotExported(std::string_view where, convert::ExportSkip why, std::string_view detail) override {
    terminal_.Line(stderr, kMessagePrefix + ("not exported: " + Printable(where) + ": ") +
                               ExportSkipText(why, toMbtiles_, detail));
  }

 private:
  Terminal& terminal_;  // not owned
  bool toMbtiles_;      // the target is an MBTiles file
};

convert::ExportNumbers Summary(const convert::ExportOutcome& outcome) {
  const convert::ExportCounts& c = outcome.counts;
  convert::ExportNumbers n;
  n.rowsSeen = c.rowsSeen;
  n.written = c.written;
  n.alreadyPresent = c.alreadyPresent;
  n.skipped = c.Skipped();
  n.selected = !outcome.selection.Everything();
  n.outsideSelection = c.outsideSelection;
  n.stopped = outcome.status != convert::ExportStatus::Done;
  n.stopReason = outcome.fileSizeLimit ? kFileSizeLimitReason : outcome.errorText;
  n.rolledBack = c.rolledBack;
  n.notReached = c.notReached;
  n.seconds = outcome.seconds;
  return n;
}

}  // namespace

int RunExport(const std::vector<std::string>& args) {
  Arguments parsed;
  int exitCode = kExitOk;
  if (!ParseCommandLine(args, kExportUsage, &parsed, &exitCode)) return exitCode;
  convert::ExportRequest request;
  if (!ParseExportLayout(parsed.Value("layout", "auto"), &request.layout)) return kExitBadInput;
  if (!ReadSelection(parsed, &request.selection)) return kExitBadInput;
  request.map = parsed.Operands()[0];
  request.target = parsed.Operands()[1];
  const bool quiet = parsed.Has("quiet");

  Terminal terminal(!quiet);
  TerminalMessageBox jobMessages(terminal, kMessagePrefix + Printable(request.target) + ": ");
  request.messages = &jobMessages;
  const bool toMbtiles = request.layout == convert::LayoutMbtiles ||
                         (request.layout == convert::kTargetByName && convert::TargetIsMbtiles(request.target));
  SkipLister skips(terminal, toMbtiles);
  if (parsed.Has("verbose")) request.listener = &skips;
  ProgressDisplay progress(terminal);
  convert::ExportSession session;
  convert::ExportOutcome outcome;
  {
    InterruptScope interrupt(&RequestStopOf<convert::ExportSession>, &session);
    outcome = session.Run(request, &progress);
  }

  switch (outcome.status) {
    case convert::ExportStatus::MapRefused: {
      const Refusal refusal = MapRefusal(outcome.map, request.map);
      PrintErrors(refusal.lines);
      return refusal.exitCode;
    }
    case convert::ExportStatus::TargetRefused: {
      const Refusal refusal = ExportTargetRefusal(outcome, request.map, request.target);
      PrintErrors(refusal.lines);
      return refusal.exitCode;
    }
    case convert::ExportStatus::SelectionRefused:
      PrintError(WebMercatorAreaRefusal(*request.selection.area,
                                        "the Web Mercator tiles of " + Printable(request.map) + " (rows whose s is a number)"));
      return kExitBadInput;
    case convert::ExportStatus::NoWorker:
      PrintError("cannot start the worker thread");
      return kExitFailure;
    default:
      break;
  }
  if (outcome.status == convert::ExportStatus::Failed && outcome.counts.rowsSeen == 0 && outcome.mapReadFailed) {
    PrintError("cannot read the tiles of " + Printable(request.map) + ": " + outcome.errorText);
    return kExitFailure;
  }
  if (!quiet) terminal.Line(stdout, convert::ExportSummaryLine(Summary(outcome)));
  const convert::ExportCounts& counts = outcome.counts;
  if (counts.Skipped() > 0) PrintError(ExportSkippedText(outcome, request.listener != nullptr));
  if (const std::string formats = MixedFormatsText(outcome); !formats.empty()) PrintError(formats);
  if (outcome.status == convert::ExportStatus::Failed) {
    PrintError(ExportStopAdvice(outcome, request.map, request.target));
    return kExitFailure;
  }
  if (outcome.status == convert::ExportStatus::Stopped) return InterruptScope::kExitCode;
  // Rows were there and the selection took none of them.
  if (counts.outsideSelection > 0 && counts.outsideSelection == counts.rowsSeen) {
    PrintError(NothingSelectedText(request.map, counts.outsideSelection, "nothing was exported"));
    return kExitFailure;
  }
  // Rows were there and not one of them could go to the target: that must
  // not look like a finished export.
  if (counts.rowsSeen > 0 && counts.written == 0 && counts.alreadyPresent == 0) {
    PrintError("no tile of " + Printable(request.map) + " could be exported to " + Printable(request.target));
    return kExitFailure;
  }
  return counts.notWritten > 0 ? kExitFailure : kExitOk;
}

}  // namespace cli
