#include "cli/messages.h"

#include <sqlite3.h>

#include "cli/command.h"
#include "convert/layouts.h"
#include "store/sqlite_database.h"

namespace cli {

namespace {

std::string BusyText(const std::string& map, const std::string& detail) {
  const long long seconds = SQLite::kBusyTimeout.count() / 1000;
  return "cannot use the map file " + map + ": another program is using it (" + detail + " after waiting " +
         std::to_string(seconds) + " s); run the command again once that program is done with it";
}

// "5 missing" for a count that is not 0, "" otherwise.
void AddCount(std::string* list, long long count, const char* what) {
  if (count == 0) return;
  if (!list->empty()) *list += ", ";
  *list += std::to_string(count) + " " + what;
}

}  // namespace

std::string UnreadableFoldersWarning(long long folders) {
  return "warning: " + std::to_string(folders) + (folders == 1 ? " folder" : " folders") +
         " could not be read (no permission, or the path is too long); the tiles in them are not in the map";
}

std::string VerifiedText(const convert::VerifyCounts& counts, const std::string& map, const std::string& source) {
  std::string text = "verified: " + map + " holds all " + std::to_string(counts.identical) + " tiles of " + source +
                     " with the same bytes";
  if (counts.notTiles > 0) text += "; " + std::to_string(counts.notTiles) + " files are no tiles and not in it";
  if (counts.outsideSelection > 0) {
    text += "; " + std::to_string(counts.outsideSelection) + " tiles outside the selection were not checked";
  }
  return text;
}

std::string NotVerifiedText(const convert::VerifyCounts& counts, const std::string& map, const std::string& source,
                            bool listed) {
  std::string what;
  AddCount(&what, counts.missing, "missing");
  AddCount(&what, counts.different, "different");
  AddCount(&what, counts.unreadable, "unreadable");
  AddCount(&what, counts.unreadableFolders, "folders unreadable");
  return map + " does not hold every tile of " + source + " as it is: " + what +
         (listed ? "" : " (--verbose lists them)");
}

std::string NoTileFoundText(const std::string& source, int layout, const std::string& consequence) {
  return "no file of " + source + " is a tile of the " + convert::LayoutCaption(layout) + " layout, so " +
         consequence + "; is --layout right?";
}

std::string NoTileText(const std::string& file) {
  return file + " is neither a GeoKuk nor an OSM Tracker Storage tile";
}

std::vector<std::string> HintLines(const convert::SourceCheck& check) {
  std::vector<std::string> lines;
  for (const convert::SourceHint& hint : check.hints) {
    lines.push_back(hint.folder + " holds " + convert::LayoutCaption(hint.layout) +
                    " tiles; give that folder instead");
  }
  return lines;
}

Refusal SourceRefusal(const convert::SourceCheck& check, const std::string& source, const std::string& verb) {
  Refusal refusal;
  refusal.exitCode = kExitBadInput;
  switch (check.status) {
    case convert::SourceStatus::Ready:
      refusal.exitCode = kExitOk;
      return refusal;
    case convert::SourceStatus::NotAFolder:
      refusal.lines.push_back(source + " is not a folder");
      return refusal;
    case convert::SourceStatus::Unreadable:
      refusal.lines.push_back("cannot read the folder " + source + ": " + check.reason);
      return refusal;
    case convert::SourceStatus::Empty:
      refusal.lines.push_back(source + " is empty: there are no tiles to " + verb);
      return refusal;
    case convert::SourceStatus::Refused:
      refusal.lines.push_back(source + " holds no tiles of a known layout: " + NoTileText(check.probe.decidingFile));
      break;
    case convert::SourceStatus::NoLayout:
      refusal.lines.push_back("cannot detect the layout of " + source + ": its first folder path holds no file");
      break;
  }
  const std::vector<std::string> hints = HintLines(check);
  refusal.lines.insert(refusal.lines.end(), hints.begin(), hints.end());
  if (hints.empty()) {
    refusal.lines.push_back("give --layout geokuk or --layout osm to " + verb + " " + source + " as it is");
  }
  return refusal;
}

Refusal MapRefusal(const store::MapOpenResult& result, const std::string& map) {
  using store::MapOpenStatus;
  Refusal refusal;
  refusal.exitCode = kExitBadInput;
  std::string line;
  switch (result.status) {
    case MapOpenStatus::Ready:
      refusal.exitCode = kExitOk;
      return refusal;
    case MapOpenStatus::Missing:
      line = map + ": no such file";
      break;
    case MapOpenStatus::IsFolder:
      line = map + " is a folder, not a map file";
      break;
    case MapOpenStatus::NotRegularFile:
      line = map + " is not a regular file, not a map file";
      break;
    case MapOpenStatus::NotAMap:
      line = map + " is not a map file" + (result.detail.empty() ? "" : ": " + result.detail);
      break;
    case MapOpenStatus::Unfinished:
      line = map + " holds an unfinished write of an interrupted run; cvmap create " + map +
             " (or the next cvmap convert) rolls it back to the last committed state";
      break;
    case MapOpenStatus::Busy:
      refusal.exitCode = kExitFailure;
      line = BusyText(map, result.detail);
      break;
    case MapOpenStatus::ReadOnly:
      refusal.exitCode = kExitFailure;
      line = "cannot write to the map file " + map + ": it is read-only (" + result.detail + ")";
      break;
    case MapOpenStatus::FolderReadOnly:
      refusal.exitCode = kExitFailure;
      line = "cannot write to the map file " + map + ": its folder " + result.folder +
             " cannot be written (" + result.detail + "), and SQLite keeps the map's journal there";
      break;
    case MapOpenStatus::CannotCreate:
      refusal.exitCode = kExitFailure;
      line = "cannot create the map file " + map + ": " + result.detail;
      break;
    case MapOpenStatus::CannotWrite:
      refusal.exitCode = kExitFailure;
      line = "cannot write to the map file " + map + ": " + result.detail;
      break;
  }
  refusal.lines.push_back(line);
  return refusal;
}

std::string DatabaseStopAdvice(int sqliteCode, const std::string& map, long long tilesStored) {
  std::string what;
  switch (sqliteCode & 0xff) {
    case SQLITE_FULL:
      what = "free some space on its disk";
      break;
    case SQLITE_IOERR:
      what = "make room on its disk (a full disk or a file size limit shows as an I/O error too) or mend the disk";
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      what = "wait until the other program using it is done";
      break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
      what = "make it writable";
      break;
    default:
      what = "mend the cause";
      break;
  }
  return map + " keeps every tile committed before the error (" + std::to_string(tilesStored) +
         " of this run); " + what + ", then run the same command again: it completes the map";
}

}  // namespace cli
