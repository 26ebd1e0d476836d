// The options that choose which tiles a command takes: --zoom LEVELS,
// --source NAMES and --area SOUTH,WEST,NORTH,EAST (convert/tile_selection.h
// says how they are read and how they combine). Every command that takes a
// selection adds them to its Usage with WithSelectionOptions() and reads
// them with ReadSelection(), so they are read and refused the same way
// everywhere.
//
// An area counts as one for Web Mercator tiles, and must then stay within
// the grid's latitudes (±85.05113), whenever it may meet such tiles: for an
// OSM Tracker Storage tree (given, or detected by the probe) and for the map
// rows whose `s` is an integer. It may reach any latitude for GeoKuk tiles.
//
// Thread-safety: run on the main thread only.
#pragma once

#include <string>
#include <vector>

#include "cli/arguments.h"
#include "convert/tile_selection.h"

namespace cli {

// `options` and the three selection options (each takes a value).
std::vector<OptionSpec> WithSelectionOptions(std::vector<OptionSpec> options);

// Reads --zoom, --source and --area from `parsed` into *selection. A bad
// value is refused with one message that names the option ("cvmap: --zoom
// '1-100': zoom level 100 has more than two digits") and false is returned:
// the command exits with kExitBadInput before it opens anything.
bool ReadSelection(const Arguments& parsed, convert::TileSelection* selection);

// The refusal of an area that reaches beyond the Web Mercator grid, for the
// tiles `what` names ("OSM Tracker Storage tiles"). Printed by the caller.
std::string WebMercatorAreaRefusal(const store::GeoArea& area, const std::string& what);

// For a layout given on the command line: false, after printing the
// refusal, when the area cannot be used for its tiles. kDetectLayout passes
// (the session checks the layout the probe finds).
bool CheckAreaForLayout(const convert::TileSelection& selection, int layout);

// "no tile of SOURCE is in the selection (N outside it), so <consequence>".
std::string NothingSelectedText(const std::string& source, long long outside, const std::string& consequence);

}  // namespace cli
