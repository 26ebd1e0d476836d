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
#include "store/map_file_open.h"

namespace cli {

struct Refusal {
  std::vector<std::string> lines;  // for stderr, in order
  int exitCode = 0;                // kExitBadInput or kExitFailure
};

// What `cvmap <verb>` says about a source folder it cannot use; verb is
// "convert" or "verify" (it shows in the advice given).
Refusal SourceRefusal(const convert::SourceCheck& check, const std::string& source, const std::string& verb);

// What cvmap says about a map file it cannot open as `status` tells.
Refusal MapRefusal(const store::MapOpenResult& result, const std::string& map);

// The subfolders of a known layout found below a refused folder, one line
// each: "<folder> holds a GeoKuk tree; give that folder instead".
std::vector<std::string> HintLines(const convert::SourceCheck& check);

// The advice after a database error stopped a conversion: what the map file
// keeps, what to do, and that the same command completes the map.
std::string DatabaseStopAdvice(int sqliteCode, const std::string& map, long long tilesStored);

// "<file> is neither a GeoKuk nor an OSM Tracker Storage tile".
std::string NoTileText(const std::string& file);

}  // namespace cli
