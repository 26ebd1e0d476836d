// cvmap extract MAP NEWMAP [--zoom LEVELS] [--source NAMES] [--area S,W,N,E]
//               [--quiet]
//
// Runs an extract session (convert/extract_session.h): copies the rows of
// MAP that the selection takes into NEWMAP, and prints the progress line, the
// summary and the messages of a refusal or of the error that stopped it.
// Ctrl-C stops the copy at the next row; what was copied stays.
//
// Exit codes: 0 done; 1 NEWMAP cannot be written, a database error stopped
// the copy, MAP could not be read, or the selection takes no row; 2 bad
// usage or bad input (a bad selection, MAP and NEWMAP the same file, a file
// that is no map file); 130 stopped by Ctrl-C.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/help_text.h"
#include "cli/interrupt_scope.h"
#include "cli/messages.h"
#include "cli/progress_display.h"
#include "cli/selection_options.h"
#include "cli/terminal.h"
#include "convert/extract_session.h"
#include "convert/progress_text.h"

namespace cli {

namespace {

const Usage kExtractUsage{"extract", "extract MAP NEWMAP [--zoom LEVELS] [--source NAMES] [--area S,W,N,E] [-q]",
                          kExtractHelp, WithSelectionOptions({{"quiet", 'q', false}}), 2};

convert::ExtractNumbers Summary(const convert::ExtractOutcome& outcome) {
  const convert::ExtractCounts& c = outcome.counts;
  convert::ExtractNumbers n;
  n.rowsInMap = c.rowsInMap;
  n.copied = c.copied;
  n.alreadyPresent = c.alreadyPresent;
  n.outsideSelection = c.outsideSelection;
  n.stopped = outcome.status != convert::ExtractStatus::Done;
  n.stopReason = outcome.fileSizeLimit ? kFileSizeLimitReason : outcome.errorText;
  n.rolledBack = c.rolledBack;
  n.notReached = c.notReached;
  n.seconds = outcome.seconds;
  return n;
}

}  // namespace

int RunExtract(const std::vector<std::string>& args) {
  Arguments parsed;
  int exitCode = kExitOk;
  if (!ParseCommandLine(args, kExtractUsage, &parsed, &exitCode)) return exitCode;
  convert::ExtractRequest request;
  if (!ReadSelection(parsed, &request.selection)) return kExitBadInput;
  request.map = parsed.Operands()[0];
  request.newMap = parsed.Operands()[1];
  const bool quiet = parsed.Has("quiet");

  Terminal terminal(!quiet);
  TerminalMessageBox jobMessages(terminal, kMessagePrefix + request.newMap + ": ");
  request.messages = &jobMessages;
  ProgressDisplay progress(terminal);
  convert::ExtractSession session;
  convert::ExtractOutcome outcome;
  {
    InterruptScope interrupt(&RequestStopOf<convert::ExtractSession>, &session);
    outcome = session.Run(request, &progress);
  }

  const convert::ExtractCounts& counts = outcome.counts;
  switch (outcome.status) {
    case convert::ExtractStatus::SameFile:
      PrintError(request.map + " and " + request.newMap +
                 " are the same file: extract copies tiles into another map file");
      return kExitBadInput;
    case convert::ExtractStatus::MapRefused: {
      const Refusal refusal = MapRefusal(outcome.map, request.map);
      PrintErrors(refusal.lines);
      return refusal.exitCode;
    }
    case convert::ExtractStatus::NewMapRefused: {
      const Refusal refusal = MapRefusal(outcome.newMap, request.newMap);
      PrintErrors(refusal.lines);
      return refusal.exitCode;
    }
    case convert::ExtractStatus::SelectionRefused:
      PrintError(WebMercatorAreaRefusal(*request.selection.area,
                                        "the rows of " + request.map + " whose s is a number"));
      return kExitBadInput;
    case convert::ExtractStatus::NothingSelected:
      PrintError(NothingSelectedText(request.map, counts.outsideSelection, "nothing was copied") + " (" +
                 request.newMap + " is left as it was)");
      return kExitFailure;
    case convert::ExtractStatus::NoWorker:
      PrintError("cannot start the worker thread");
      return kExitFailure;
    default:
      break;
  }
  if (outcome.status == convert::ExtractStatus::ReadFailed && counts.rowsInMap == 0) {
    PrintError("cannot read the tiles of " + request.map + ": " + outcome.errorText);
    return kExitFailure;
  }
  if (!quiet) terminal.Line(stdout, convert::ExtractSummaryLine(Summary(outcome)));
  if (outcome.status == convert::ExtractStatus::ReadFailed) {
    PrintError("cannot read the tiles of " + request.map + ": " + outcome.errorText + "; " + request.newMap +
               " keeps the " + std::to_string(counts.copied) + " tiles copied before");
    return kExitFailure;
  }
  if (outcome.status == convert::ExtractStatus::DatabaseError) {
    PrintError(DatabaseStopAdvice(outcome.errorCode, request.newMap, counts.copied, outcome.fileSizeLimit,
                                  outcome.rollbackLeft));
    return kExitFailure;
  }
  if (outcome.status == convert::ExtractStatus::Stopped) return InterruptScope::kExitCode;
  return kExitOk;
}

}  // namespace cli
