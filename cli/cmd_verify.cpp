// cvmap verify SOURCE MAP [--layout auto|geokuk|osm|tms|mbtiles] [--zoom LEVELS]
//              [--source NAMES] [--area S,W,N,E] [--quiet] [--verbose]
//
// Runs a verify session (convert/verify_session.h): checks that MAP holds
// every tile of SOURCE with the same bytes, without changing MAP, and prints
// the summary, the verdict and, with --verbose, every file not found
// identical. With a selection only the tiles it takes are checked.
//
// Exit codes: 0 every tile is in the map with the same bytes; 1 a tile is
// missing, different or unreadable, no file is a tile of the layout, the
// selection takes no tile, or the map could not be read; 2 bad usage or bad input; 130 stopped by Ctrl-C.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command.h"
#include "cli/help_text.h"
#include "cli/interrupt_scope.h"
#include "cli/messages.h"
#include "cli/progress_display.h"
#include "cli/selection_options.h"
#include "cli/terminal.h"
#include "convert/layouts.h"
#include "convert/progress_text.h"
#include "convert/verify_session.h"

namespace cli {

namespace {

const Usage kVerifyUsage{"verify",
                         "verify SOURCE MAP [--layout auto|geokuk|osm|tms|mbtiles] [--zoom LEVELS] "
                         "[--source NAMES] [--area S,W,N,E] [-q] [-v]",
                         kVerifyHelp,
                         WithSelectionOptions({{"layout", 0, true}, {"quiet", 'q', false}, {"verbose", 'v', false}}),
                         2};

// Lists every finding on stdout, one line each: "<what>: <path>".
class FindingLister : public convert::VerifyListener {
 public:
  explicit FindingLister(Terminal& terminal) : terminal_(terminal) {}
  void Found(std::string_view relativePath, convert::VerifyFinding finding) override {
    terminal_.Line(stdout, std::string(Label(finding)) + ": " + Printable(relativePath));
  }

 private:
  static const char* Label(convert::VerifyFinding finding) {
    switch (finding) {
      case convert::VerifyFinding::Missing:
        return "missing";
      case convert::VerifyFinding::Different:
        return "different";
      case convert::VerifyFinding::NotTile:
        return "not a tile";
      case convert::VerifyFinding::Unreadable:
        return "unreadable";
      case convert::VerifyFinding::FolderUnreadable:
        return "unreadable folder";
      case convert::VerifyFinding::OutsideSelection:
        return "outside the selection";
      case convert::VerifyFinding::TooLarge:
        return "too large";
    }
    return "?";
  }
  Terminal& terminal_;  // not owned
};

convert::VerifyNumbers Summary(const convert::VerifyOutcome& outcome, bool selected) {
  const convert::VerifyCounts& c = outcome.counts;
  convert::VerifyNumbers n;
  if (outcome.source.layout == convert::LayoutMbtiles) n.unit = "rows";
  n.filesSeen = c.filesSeen;
  n.identical = c.identical;
  n.missing = c.missing;
  n.different = c.different;
  n.notTiles = c.notTiles;
  n.unreadable = c.unreadable;
  n.tooLarge = c.tooLarge;
  n.unreadableFolders = c.unreadableFolders;
  n.selected = selected;
  n.outsideSelection = c.outsideSelection;
  n.stopped = outcome.status != convert::VerifyStatus::Checked;
  n.stopReason = outcome.errorText;
  n.seconds = outcome.seconds;
  return n;
}

}  // namespace

int RunVerify(const std::vector<std::string>& args) {
  Arguments parsed;
  int exitCode = kExitOk;
  if (!ParseCommandLine(args, kVerifyUsage, &parsed, &exitCode)) return exitCode;
  convert::VerifyRequest request;
  if (!ParseLayout(parsed.Value("layout", "auto"), &request.layout)) return kExitBadInput;
  if (!ReadSelection(parsed, &request.selection)) return kExitBadInput;
  if (!CheckAreaForLayout(request.selection, request.layout)) return kExitBadInput;
  request.source = parsed.Operands()[0];
  request.map = parsed.Operands()[1];
  const bool quiet = parsed.Has("quiet");

  Terminal terminal(!quiet);
  FindingLister lister(terminal);
  // --quiet promises nothing but errors, also beside --verbose.
  if (parsed.Has("verbose") && !quiet) request.listener = &lister;
  request.countFirst = terminal.ShowsProgress();  // the count only serves the progress bar
  ProgressDisplay progress(terminal);
  convert::VerifySession session;
  convert::VerifyOutcome outcome;
  {
    InterruptScope interrupt(&RequestStopOf<convert::VerifySession>, &session);
    outcome = session.Run(request, &progress);
  }

  switch (outcome.status) {
    case convert::VerifyStatus::SourceRefused: {
      const Refusal refusal = SourceRefusal(outcome.source, request.source, "verify");
      PrintErrors(refusal.lines);
      return refusal.exitCode;
    }
    case convert::VerifyStatus::MapRefused: {
      const Refusal refusal = MapRefusal(outcome.map, request.map);
      PrintErrors(refusal.lines);
      return refusal.exitCode;
    }
    case convert::VerifyStatus::SelectionRefused:
      PrintError(WebMercatorAreaRefusal(*request.selection.area,
                                        std::string(convert::LayoutCaption(outcome.source.layout)) + " tiles"));
      return kExitBadInput;
    case convert::VerifyStatus::NoWorker:
      PrintError("cannot start the worker thread");
      return kExitFailure;
    default:
      break;
  }
  const convert::VerifyCounts& counts = outcome.counts;
  if (!quiet) terminal.Line(stdout, convert::VerifySummaryLine(Summary(outcome, !request.selection.Everything())));
  if (request.layout == convert::kDetectLayout && outcome.source.probe.tileMapResource) {
    PrintError(TileMapResourceWarning(request.source, outcome.source.layout));
  }
  if (outcome.status == convert::VerifyStatus::SourceReadFailed) {
    PrintError(outcome.errorText);
    return kExitFailure;
  }
  if (outcome.status == convert::VerifyStatus::MapReadFailed) {
    PrintError("cannot read the tiles of " + Printable(request.map) + ": " + outcome.errorText);
    return kExitFailure;
  }
  if (outcome.status == convert::VerifyStatus::Stopped) return InterruptScope::kExitCode;
  if (counts.TilesChecked() == 0 && counts.unreadable == 0 && counts.outsideSelection > 0) {
    PrintError(NothingSelectedText(request.source, counts.outsideSelection, "nothing was checked"));
    return kExitFailure;
  }
  if (counts.TilesChecked() == 0 && counts.filesSeen > 0) {
    PrintError(NoTileFoundText(request.source, outcome.source.layout, "nothing was checked"));
    return kExitFailure;
  }
  if (!counts.AllIdentical()) {
    PrintError(NotVerifiedText(counts, request.map, request.source, request.listener != nullptr));
    return kExitFailure;
  }
  if (!quiet) terminal.Line(stdout, VerifiedText(counts, request.map, request.source));
  return kExitOk;
}

}  // namespace cli
