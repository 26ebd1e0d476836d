// cvmap convert SOURCE MAP [--layout auto|geokuk|osm|tms|mbtiles] [--zoom LEVELS]
//               [--source NAMES] [--area S,W,N,E] [--quiet] [--verbose]
//
// Runs a conversion session (convert/conversion_session.h) and prints what it
// yields: the progress line while it runs, with --verbose every file it does
// not store, the summary, and the messages of a refusal or of the database
// error that stopped it. Ctrl-C stops the job at
// the next entry; what was stored stays.
//
// Exit codes: 0 done; 1 the map file cannot be written or a database error
// stopped the job, no file is a tile of the layout, or the selection takes no
// tile; 2 bad usage or bad input, a bad selection included (nothing
// converted); 130 stopped by Ctrl-C.
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
#include "convert/conversion_session.h"
#include "convert/layouts.h"
#include "convert/progress_text.h"
#include "convert/skip_listener.h"
#include "convert/source_paths.h"
#include "platform/file_io.h"
#include "platform/file_size_limits.h"
#include "platform/utf.h"
#include "store/write_failure.h"

namespace cli {

namespace {

const Usage kConvertUsage{"convert",
                          "convert SOURCE MAP [--layout auto|geokuk|osm|tms|mbtiles] [--zoom LEVELS] "
                          "[--source NAMES] [--area S,W,N,E] [-q] [-v]",
                          kConvertHelp,
                          WithSelectionOptions({{"layout", 0, true}, {"quiet", 'q', false}, {"verbose", 'v', false}}),
                          2};

// The last name of a '/'-separated path.
std::string_view LastName(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Lists every file the job does not store on stderr, one line each:
// "not stored: PATH: WHY", and every folder it cannot read.
class SkipLister : public convert::SkipListener {
 public:
  // `job`: its layout and source folder are read on the worker, where the
  // listener is called.
  SkipLister(Terminal& terminal, const convert::ConversionJob& job) : terminal_(terminal), job_(job) {}
  void Skipped(std::string_view relativePath, convert::SkipReason reason) override {
    const std::string path = Printable(relativePath);
    std::string line;
    switch (reason) {
      case convert::SkipReason::NotTile:
        line = "not stored: " + path + ": not a tile of the layout";
        // Such a name would otherwise pass for a tile of a mangled source.
        if (job_.layout == convert::LayoutGeoKuk && !platform::IsValidUtf8(LastName(relativePath))) {
          line += " (its name, which holds the source name, is not UTF-8)";
        }
        break;
      case convert::SkipReason::AlreadyPresent:
        line = "not stored: " + path + ": already present (the stored tile stays)";
        break;
      case convert::SkipReason::Unreadable:
        line = "not stored: " + path + ": unreadable";
        break;
      case convert::SkipReason::FolderUnreadable:
        line = "not read: " + path +
               (platform::PathExists(convert::JoinPath(job_.sourceFolder, std::string(relativePath)))
                    ? ": the folder could not be read"
                    : ": the folder was removed while the job ran");
        break;
      case convert::SkipReason::TooLarge:
        line = "not stored: " + path + ": too large (larger than the longest value SQLite stores)";
        break;
      case convert::SkipReason::RowOutsideRange:
        line = "not stored: " + path + ": outside the columns and rows of its zoom level";
        break;
      case convert::SkipReason::RowWithoutData:
        line = "not stored: " + path + ": its tile_data is NULL";
        break;
      case convert::SkipReason::RowZoomDoesNotFit:
        line = "not stored: " + path + ": its zoom level is no integer of 0 to 31";
        break;
      case convert::SkipReason::OutsideSelection:
        line = "not stored: " + path + ": outside the selection";
        break;
    }
    terminal_.Line(stderr, kMessagePrefix + line);
  }

 private:
  Terminal& terminal_;                  // not owned
  const convert::ConversionJob& job_;   // not owned
};

// The progress line, and a word when the run waits for another conversion
// of the same map (unless quiet).
class ConvertObserver : public ProgressDisplay {
 public:
  ConvertObserver(Terminal& terminal, const std::string& map, bool quiet)
      : ProgressDisplay(terminal), terminal_(terminal), map_(map), quiet_(quiet) {}
  void WaitingForOtherWriter() override {
    if (!quiet_) terminal_.Line(stderr, kMessagePrefix + WaitingForOtherWriterText(map_));
  }

 private:
  Terminal& terminal_;  // not owned
  std::string map_;     // MAP, as given
  bool quiet_;          // --quiet: nothing but errors
};

convert::SummaryNumbers Summary(const convert::ConversionOutcome& outcome, bool selected) {
  const convert::ConversionCounts& c = outcome.counts;
  convert::SummaryNumbers n;
  if (outcome.source.layout == convert::LayoutMbtiles) n.unit = "rows";
  n.filesSeen = c.filesSeen;
  n.tilesStored = c.tilesStored;
  n.duplicates = c.duplicates;
  n.notTiles = c.notTiles;
  n.unreadable = c.unreadable;
  n.tooLarge = c.tooLarge;
  n.unreadableFolders = c.unreadableFolders;
  n.selected = selected;
  n.outsideSelection = c.outsideSelection;
  n.stopped = outcome.status != convert::ConversionStatus::Done;
  n.stopReason = outcome.fileSizeLimit ? kFileSizeLimitReason : outcome.errorText;
  n.rolledBack = c.rolledBack;
  n.notReached = c.notReached;
  n.seconds = outcome.seconds;
  return n;
}

}  // namespace

int RunConvert(const std::vector<std::string>& args) {
  Arguments parsed;
  int exitCode = kExitOk;
  if (!ParseCommandLine(args, kConvertUsage, &parsed, &exitCode)) return exitCode;
  convert::ConversionRequest request;
  if (!ParseLayout(parsed.Value("layout", "auto"), &request.layout)) return kExitBadInput;
  if (!ReadSelection(parsed, &request.selection)) return kExitBadInput;
  if (!CheckAreaForLayout(request.selection, request.layout)) return kExitBadInput;
  request.source = parsed.Operands()[0];
  request.map = parsed.Operands()[1];
  const bool quiet = parsed.Has("quiet");

  Terminal terminal(!quiet);
  TerminalMessageBox jobMessages(terminal, kMessagePrefix + Printable(request.map) + ": ");
  request.messages = &jobMessages;
  ConvertObserver progress(terminal, request.map, quiet);
  convert::ConversionSession session;
  SkipLister skips(terminal, session.job());
  // --quiet promises nothing but errors, also beside --verbose.
  if (parsed.Has("verbose") && !quiet) session.job().skipListener = &skips;
  if (!quiet) {
    const store::MapFileSizeLimit limit = store::SizeLimitOfMapFile(request.map, platform::ReadMountTable());
    if (!limit.fatType.empty()) PrintError(FatFileSystemNote(request.map, limit.fatType));
  }
  convert::ConversionOutcome outcome;
  {
    InterruptScope interrupt(&RequestStopOf<convert::ConversionSession>, &session);
    outcome = session.Run(request, &progress);
  }

  switch (outcome.status) {
    case convert::ConversionStatus::SourceRefused: {
      const Refusal refusal = SourceRefusal(outcome.source, request.source, "convert");
      PrintErrors(refusal.lines);
      return refusal.exitCode;
    }
    case convert::ConversionStatus::MapRefused: {
      const Refusal refusal = MapRefusal(outcome.map, request.map);
      PrintErrors(refusal.lines);
      return refusal.exitCode;
    }
    case convert::ConversionStatus::SelectionRefused:
      PrintError(WebMercatorAreaRefusal(*request.selection.area,
                                        std::string(convert::LayoutCaption(outcome.source.layout)) + " tiles"));
      return kExitBadInput;
    case convert::ConversionStatus::NoWorker:
      PrintError("cannot start the worker thread");
      return kExitFailure;
    default:
      break;
  }
  const bool selected = !request.selection.Everything();
  if (!quiet) terminal.Line(stdout, convert::SummaryLine(Summary(outcome, selected)));
  if (const std::string rows = RowsNotTilesText(outcome.counts.rowsOutsideRange, outcome.counts.rowsWithoutData,
                                                outcome.counts.rowsZoomUnfit, parsed.Has("verbose"));
      !rows.empty()) {
    PrintError(rows);
  }
  if (request.layout == convert::kDetectLayout && outcome.source.probe.tileMapResource) {
    PrintError(TileMapResourceWarning(request.source, outcome.source.layout));
  }
  if (const long long folders = outcome.counts.unreadableFolders; folders > 0) {
    PrintError(UnreadableFoldersWarning(folders, outcome.counts.vanishedFolders));
  }
  const convert::ConversionCounts& counts = outcome.counts;
  // Files were there and not one of them is a tile of the layout: nothing
  // could be stored, which must not look like a finished conversion.
  const bool noTile = outcome.status == convert::ConversionStatus::Done && counts.notTiles > 0 &&
                      counts.notTiles == counts.filesSeen;
  if (noTile) PrintError(NoTileFoundText(request.source, outcome.source.layout, "nothing was stored"));
  // Tiles were there and the selection took none of them.
  const bool noneSelected = outcome.status == convert::ConversionStatus::Done && counts.outsideSelection > 0 &&
                            counts.tilesStored + counts.duplicates + counts.unreadable + counts.rolledBack == 0;
  if (noneSelected) PrintError(NothingSelectedText(request.source, counts.outsideSelection, "nothing was stored"));
  if (outcome.status == convert::ConversionStatus::SourceReadFailed) {
    PrintError(outcome.errorText + "; " + Printable(request.map) + " keeps every tile stored before");
    return kExitFailure;
  }
  if (outcome.status == convert::ConversionStatus::DatabaseError) {
    PrintError(DatabaseStopAdvice(outcome.errorCode, request.map, outcome.counts.tilesStored, outcome.fileSizeLimit,
                                  outcome.rollbackLeft));
    return kExitFailure;
  }
  if (outcome.status == convert::ConversionStatus::Stopped) return InterruptScope::kExitCode;
  return noTile || noneSelected ? kExitFailure : kExitOk;
}

}  // namespace cli
