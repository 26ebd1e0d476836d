// The messages cvmap writes about a source folder, a map file and a job that
// a database error stopped: one place for their texts, each naming the file or
// folder it is about, and the exit code that goes with each refusal.
//
// The functions return lines without the "cvmap: " prefix.
//
// Thread-safety: pure functions.
#pragma once

#include <string>
#include <vector>

#include "convert/source_check.h"
#include "convert/verify_session.h"
#include "store/map_file_open.h"

namespace cli {

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
std::string DatabaseStopAdvice(int sqliteCode, const std::string& map, long long tilesStored);

// "warning: 2 folders could not be read (...); the tiles in them are not in
// the map".
std::string UnreadableFoldersWarning(long long folders);

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
