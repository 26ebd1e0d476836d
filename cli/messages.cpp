#include "cli/messages.h"

#include <sqlite3.h>

#include "cli/command.h"
#include "convert/layouts.h"
#include "convert/probe.h"
#include "platform/file_io.h"
#include "store/mbtiles_reader.h"
#include "platform/utf.h"
#include "store/sqlite_database.h"

namespace cli {

namespace {

// The length of the well-formed UTF-8 sequence at text[at], or 0.
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc2 ? 2 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  return platform::IsValidUtf8(text.substr(at, length)) ? length : 0;
}

void AppendHexByte(std::string* out, unsigned char byte) {
  static constexpr char kDigits[] = "0123456789abcdef";
  *out += "\\x";
  out->push_back(kDigits[byte >> 4]);
  out->push_back(kDigits[byte & 0xf]);
}

std::string BusyText(const std::string& map, const std::string& detail, const std::string& what) {
  const long long seconds = SQLite::kBusyTimeout.count() / 1000;
  return "cannot use the " + what + " " + Printable(map) + ": another program is using it (" + detail + " after waiting " +
         std::to_string(seconds) + " s); run the command again once that program is done with it";
}

// "a map file", "an MBTiles file": the kind of file with its article (a
// word spoken from a vowel, as "MBTiles" is, takes "an").
std::string WithArticle(const std::string& what) {
  const bool vowel = !what.empty() && (std::string("aeiouAEIOU").find(what[0]) != std::string::npos ||
                                       what.rfind("MB", 0) == 0);
  return (vowel ? "an " : "a ") + what;
}

// "5 missing" for a count that is not 0, "" otherwise.
void AddCount(std::string* list, long long count, const char* what) {
  if (count == 0) return;
  if (!list->empty()) *list += ", ";
  *list += std::to_string(count) + " " + what;
}

}  // namespace

std::string Printable(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size();) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (c >= 0x20 && c < 0x7f) {
      if (c == '\\') out += '\\';
      out.push_back(static_cast<char>(c));
      ++i;
    } else if (c == '\n' || c == '\t' || c == '\r') {
      out += c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\r";
      ++i;
    } else if (const std::size_t length = c >= 0x80 ? Utf8SequenceAt(path, i) : 0; length > 0) {
      // U+0080..U+009F (0xc2 0x80..0x9f) are control characters too.
      const bool c1 = length == 2 && c == 0xc2 && static_cast<unsigned char>(path[i + 1]) < 0xa0;
      for (std::size_t k = 0; k < length; ++k) {
        if (c1) {
          AppendHexByte(&out, static_cast<unsigned char>(path[i + k]));
        } else {
          out.push_back(path[i + k]);
        }
      }
      i += length;
    } else {
      AppendHexByte(&out, c);
      ++i;
    }
  }
  return out;
}

std::string UnreadableFoldersWarning(long long folders, long long vanished) {
  const auto count = [](long long n) { return std::to_string(n) + (n == 1 ? " folder" : " folders"); };
  const long long unread = folders - vanished;
  std::string text = "warning: ";
  if (unread > 0) text += count(unread) + " could not be read (no permission, or the path is too long)";
  if (unread > 0 && vanished > 0) text += " and ";
  if (vanished > 0) {
    text += count(vanished) + (vanished == 1 ? " was" : " were") + " removed while the job ran";
  }
  return text + "; the tiles in them are not in the map";
}

std::string FatFileSystemNote(const std::string& map, const std::string& fatType) {
  return "note: " + Printable(map) + " is on a FAT file system (" + fatType +
         "), which holds no file of 4 GiB or more: the map stops there (a card formatted exFAT or ext4 holds "
         "larger maps)";
}

std::string WaitingForOtherWriterText(const std::string& map) {
  return "another conversion is writing " + Printable(map) +
         "; waiting until it ends (Ctrl-C stops)";
}

std::string VerifiedText(const convert::VerifyCounts& counts, const std::string& map, const std::string& source) {
  std::string text = "verified: " + Printable(map) + " holds all " + std::to_string(counts.identical) + " tiles of " + Printable(source) +
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
  AddCount(&what, counts.tooLarge, "too large to be in a map");
  AddCount(&what, counts.unreadableFolders, "folders unreadable");
  return Printable(map) + " does not hold every tile of " + Printable(source) + " as it is: " + what +
         (listed ? "" : " (--verbose lists them)");
}

std::string NoTileFoundText(const std::string& source, int layout, const std::string& consequence) {
  return "no file of " + Printable(source) + " is a tile of the " + convert::LayoutCaption(layout) + " layout, so " +
         consequence + "; is --layout right?";
}

std::string NoTileText(const std::string& file) {
  std::string text = Printable(file) + " is neither a GeoKuk nor an OSM Tracker Storage tile";
  if (!file.empty() && store::IsMbtilesFile(file)) text += "; it is an MBTiles file, which can be given as the source";
  return text;
}

std::string TileMapResourceWarning(const std::string& source, int layout) {
  return "warning: " + Printable(source) + " holds a " + convert::kTileMapResourceName +
         ", which tile cutters write beside a TMS tree: its rows are most likely numbered from the south, and the " +
         convert::LayoutCaption(layout) + " layout would store every tile upside down; give --layout tms for such a tree";
}

std::string RowsNotTilesText(long long outsideRange, long long withoutData, long long zoomUnfit, bool listed) {
  const long long rows = outsideRange + withoutData + zoomUnfit;
  if (rows == 0) return "";
  std::string what;
  AddCount(&what, outsideRange, "outside the columns and rows of their zoom level");
  AddCount(&what, withoutData, "without tile_data");
  AddCount(&what, zoomUnfit, "of a zoom level that is no integer of 0 to 31");
  return std::to_string(rows) + (rows == 1 ? " row is" : " rows are") + " no tile and not stored: " + what +
         (listed ? "" : " (--verbose lists them)");
}

std::vector<std::string> HintLines(const convert::SourceCheck& check) {
  std::vector<std::string> lines;
  for (const convert::SourceHint& hint : check.hints) {
    lines.push_back(Printable(hint.folder) + " holds " + convert::LayoutCaption(hint.layout) +
                    " tiles; give that folder instead");
  }
  return lines;
}

Refusal SourceRefusal(const convert::SourceCheck& check, const std::string& sourcePath, const std::string& verb) {
  const std::string source = Printable(sourcePath);
  Refusal refusal;
  refusal.exitCode = kExitBadInput;
  switch (check.status) {
    case convert::SourceStatus::Ready:
      refusal.exitCode = kExitOk;
      return refusal;
    case convert::SourceStatus::NotAFolder:
      refusal.lines.push_back(platform::IsRegularFile(sourcePath)
                                  ? source + " is a file, not a folder: only an MBTiles file is read as a file, "
                                             "with --layout auto or mbtiles"
                                  : source + " is not a folder");
      return refusal;
    case convert::SourceStatus::NotMbtiles:
      refusal.lines.push_back(source + " is not an MBTiles file" + (check.reason.empty() ? "" : ": " + check.reason));
      return refusal;
    case convert::SourceStatus::Busy:
      refusal.exitCode = kExitFailure;
      refusal.lines.push_back(BusyText(sourcePath, check.reason, "MBTiles file"));
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
    refusal.lines.push_back("give --layout geokuk, osm or tms to " + verb + " " + source + " as it is");
  }
  return refusal;
}

Refusal MapRefusal(const store::MapOpenResult& result, const std::string& mapPath, const std::string& what) {
  using store::MapOpenStatus;
  const std::string map = Printable(mapPath);
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
      line = map + " is a folder, not " + WithArticle(what);
      break;
    case MapOpenStatus::NotRegularFile:
      line = map + " is not a regular file, not " + WithArticle(what);
      break;
    case MapOpenStatus::NotAMap:
      line = map + " is not " + WithArticle(what) + (result.detail.empty() ? "" : ": " + result.detail);
      break;
    case MapOpenStatus::Unfinished:
      line = map + " holds an unfinished write of an interrupted run; cvmap create " + map +
             " (or the next cvmap convert) rolls it back to the last committed state";
      break;
    case MapOpenStatus::Busy:
      refusal.exitCode = kExitFailure;
      line = BusyText(mapPath, result.detail, what);
      break;
    case MapOpenStatus::ReadOnly:
      refusal.exitCode = kExitFailure;
      line = "cannot write to the " + what + " " + map + ": it is read-only (" + result.detail + ")";
      break;
    case MapOpenStatus::FolderReadOnly:
      refusal.exitCode = kExitFailure;
      line = "cannot write to the " + what + " " + map + ": its folder " + Printable(result.folder) +
             " cannot be written (" + result.detail + "), and SQLite keeps the " + what + "'s journal there";
      break;
    case MapOpenStatus::CannotCreate:
      refusal.exitCode = kExitFailure;
      line = "cannot create the " + what + " " + map + ": " + result.detail;
      break;
    case MapOpenStatus::CannotWrite:
      refusal.exitCode = kExitFailure;
      line = "cannot write to the " + what + " " + map + ": " + result.detail;
      break;
  }
  refusal.lines.push_back(line);
  return refusal;
}

std::string DatabaseStopAdvice(int sqliteCode, const std::string& mapPath, long long tilesStored, bool fileSizeLimit,
                               const std::string& rollbackLeft) {
  const std::string map = Printable(mapPath);
  const std::string kept = map + " keeps every tile committed before the error (" + std::to_string(tilesStored) +
                           " of this run)";
  // The failed batch is still in the file until a writer opens it: say so,
  // and who will finish it.
  const std::string left =
      rollbackLeft.empty()
          ? ""
          : "; the failed batch could not be rolled back yet (" + rollbackLeft + "): its journal " + map +
                "-journal stays beside it and programs that only read the map refuse it until the next cvmap convert "
                "or cvmap create " + map + " opens it";
  if (fileSizeLimit) {
    return kept + left +
           "; its file system holds no bigger file (FAT, on most memory cards, holds none of 4 GiB or more, and a "
           "file size limit, ulimit -f, stops it too): put the map on a file system that holds larger files (a "
           "card formatted exFAT or ext4) and run the same command again to complete it, or make a smaller map "
           "with a selection (--zoom, --source, --area)";
  }
  std::string what;
  switch (sqliteCode & 0xff) {
    case SQLITE_FULL:
      what = "free some space on its disk";
      break;
    case SQLITE_IOERR:
      what = "make room on its disk (a full disk can show as an I/O error too) or mend the disk";
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
  return kept + left + "; " + what + ", then run the same command again: it completes the map";
}

}  // namespace cli
