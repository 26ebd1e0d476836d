// The messages cvmap writes about a source folder, a map file and a job that
// a database error stopped: one place for their texts, each naming the file or
// folder it is about, and the exit code that goes with each refusal.
//
// Every path in a message or a list goes through Printable(), so that a name
// holding a line feed or another control character can never break the one
// line a message (or a listed file) takes.
//
// The functions return lines without the "cvmap: " prefix.
//
// Thread-safety: pure functions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/source_check.h"
#include "convert/verify_session.h"
#include "store/map_file_open.h"

namespace cli {

// `path` as cvmap prints it: a backslash as "\\", a line feed, tab and
// carriage return as "\n", "\t", "\r", every other control character (C0,
// DEL, C1) and every byte that is not part of well-formed UTF-8 as "\xNN"
// (two lower-case hex digits); everything else as it is.
std::string Printable(std::string_view path);

struct Refusal {
  std::vector<std::string> lines;  // for stderr, in order
  int exitCode = 0;                // kExitBadInput or kExitFailure
};

// What `cvmap <verb>` says about a source folder it cannot use; verb is
// "convert" or "verify" (it shows in the advice given).
Refusal SourceRefusal(const convert::SourceCheck& check, const std::string& source, const std::string& verb);

// What cvmap says about a map file it cannot open as `status` tells;
// `what` names the kind of file ("map file", "MBTiles file").
Refusal MapRefusal(const store::MapOpenResult& result, const std::string& map, const std::string& what = "map file");

// The subfolders of a known layout found below a refused folder, one line
// each: "<folder> holds GeoKuk tiles; give that folder instead".
std::vector<std::string> HintLines(const convert::SourceCheck& check);

// The advice after a database error stopped a conversion: what the map file
// keeps, what to do, and that the same command completes the map.
// `fileSizeLimit`: the map file reached the largest file its file system
// (or the process) allows; `rollbackLeft`: why the failed batch could not
// be rolled back out of the map file yet ("" when it was).
std::string DatabaseStopAdvice(int sqliteCode, const std::string& map, long long tilesStored, bool fileSizeLimit,
                               const std::string& rollbackLeft);

// The summary's stop reason when the map file reached its size limit (what
// SQLite says then, an I/O error or a full disk, would mislead).
inline constexpr char kFileSizeLimitReason[] = "the map file is as large as its file system allows";

// "warning: 2 folders could not be read (...); the tiles in them are not in
// the map", telling apart the `vanished` ones, removed while the job ran.
std::string UnreadableFoldersWarning(long long folders, long long vanished);

// Said before a conversion onto a FAT file system of type `fatType`.
std::string FatFileSystemNote(const std::string& map, const std::string& fatType);

// Said when another conversion writes `map` and this one waits for it.
std::string WaitingForOtherWriterText(const std::string& map);

// The end of a check: every tile identical, some not, or no tile at all
// (which most likely means a wrong --layout).
std::string VerifiedText(const convert::VerifyCounts& counts, const std::string& map, const std::string& source);
std::string NotVerifiedText(const convert::VerifyCounts& counts, const std::string& map, const std::string& source,
                            bool listed);
std::string NoTileFoundText(const std::string& source, int layout, const std::string& consequence);

// "<file> is neither a GeoKuk nor an OSM Tracker Storage tile" (and, when
// it is an MBTiles file, that it can be given as the source itself).
std::string NoTileText(const std::string& file);

// For a tree with a tilemapresource.xml read in `layout`: that its rows are
// most likely numbered from the south, and --layout tms.
std::string TileMapResourceWarning(const std::string& source, int layout);

// "40 rows are no tiles: 30 outside ..., 10 ..." for the rows of an MBTiles
// file that are no tiles; "" when there are none.
std::string RowsNotTilesText(long long outsideRange, long long withoutData, long long zoomUnfit, bool listed);

}  // namespace cli
