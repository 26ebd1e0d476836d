// Source tile layouts: which files of a source tree are tiles, and how the
// tile key (x, y, z, s) of the map file is decoded from a tile's path.
//
// Three folder layouts are understood:
//   GeoKuk               ".kachle" files below four folders named by two
//                        lower-case hex digits; the file name carries the map
//                        source name, the zoom and the hex column and row,
//                        e.g. "base_n_13_1b2_a3.kachle".
//   OSM Tracker Storage  zoom\column\row.png or .jpg.
//   TMS                  the same paths, the rows numbered from the south:
//                        row r of zoom n is the tile y = 2^n - 1 - r. Its
//                        names cannot be told from OSM Tracker Storage's, so
//                        it is only ever chosen, never detected.
// An MBTiles file (store/mbtiles.h) is a source of its own, no folder: its
// value LayoutMbtiles stands beside the layouts wherever a source is chosen.
// A file is a tile when its layout's pattern matches its relative path (see
// source_paths.h) up to its end, and its key decodes; TileRecognizer
// (tile_recognizer.h) applies both. The decoders check every part they read,
// so a name that the pattern lets through but that holds no sound key is no
// tile either.
//
// Thread-safety: pure functions and constants.
//
// Invariants:
//  1. z is always 17 minus the zoom level: zoom 17 -> 0, zoom 18 -> -1.
//  2. A decoded GeoKuk key has sourceIsText == true and the source name in
//     `source`; an OSM Tracker Storage key has sourceIsText == false and an
//     empty `source` (stored as the integer 0).
#pragma once

#include <optional>
#include <string>

#include "convert/source_paths.h"
#include "store/tile_key.h"

namespace convert {

enum Layout : int {
  LayoutGeoKuk = 0,             // GeoKuk tile cache
  LayoutOsmTrackerStorage = 1,  // zoom\column\row.png|jpg
  LayoutTms = 2,                // zoom\column\row.png|jpg, rows numbered from the south
  LayoutMbtiles = 3,            // an MBTiles file, not a folder
};

// True for the layouts of a folder tree (GeoKuk, OSM Tracker Storage, TMS).
bool IsFolderLayout(int layout);

// The layout's caption, as the window and the command line show it:
// "GeoKuk", "OSM Tracker Storage", "TMS", "MBTiles"; "" for a value that is
// no layout.
const char* LayoutCaption(int layout);

// The zoom level that is stored as z == 0; z = kZoomBase - zoom.
inline constexpr int kZoomBase = 17;

// The three pattern texts, compiled with flags 0 and mode 0 (case-sensitive).
extern const std::u16string kGeoKukPattern;                   // tiles of the GeoKuk cache
extern const std::u16string kOsmTrackerStoragePattern;        // tiles the converting pass stores
extern const std::u16string kOsmTrackerStorageProbePattern;   // what the folder probe accepts (the same paths)

// Reads `text` as hexadecimal: white space at both ends is ignored, letters
// of either case are digits, the value wraps in 32 bits. An empty text gives
// 0; any character that is no hex digit gives 0 for the whole text. (The
// GeoKuk decoder checks a part's digits before it reads it, so that these
// zeros and wraps never become a key.)
int HexToInt(std::u16string text);

// The map file's key of a tile (store/tile_key.h).
using TileKey = store::TileKey;

// Decodes the key of a GeoKuk tile from its file name (no folders). The name
// without ".kachle" is split at '_' (a run of '_' counts as one): source
// name, zoom, x and y; the source name "base_n" stays whole and further parts
// are ignored. The zoom must be one or two decimal digits, x and y one to
// eight hex digits (either case) of at most 7fffffff. When the parts after
// the first do not read so and there are five or more parts, the last three
// must: then the source name is every part before them joined by '_'
// ("relief_l_14_..."). Returns nullopt for any other name: no part that is
// not pure hex is ever read as 0 (a copy "... - kopie (2).kachle", "0x10"),
// and no key wraps.
std::optional<TileKey> DecodeGeoKukKey(const std::u16string& fileName);

// Decodes the key of an OSM Tracker Storage tile from its relative path
// "\zoom\column\row.png" (or ".jpg", which ends the path): a zoom of one or
// two decimal digits, a column and a row of one digit or more. Returns
// nullopt for any other path, and when the column or row does not fit an int.
std::optional<TileKey> DecodeOsmTrackerStorageKey(const std::u16string& relativePath);

// Decodes the key of a TMS tile from the same paths: the row r of zoom n
// becomes y = 2^n - 1 - r. Returns nullopt where the OSM Tracker Storage
// decoder does, and for a row beyond its zoom level (r >= 2^n).
std::optional<TileKey> DecodeTmsKey(const std::u16string& relativePath);

// The row of zoom `zoom` numbered from the other edge of the grid:
// 2^zoom - 1 - row. A TMS row becomes the map's row y and y its TMS row
// (the flip is its own inverse). Returns nullopt for a zoom level outside
// 0 .. 31, whose rows no int holds, and for a row outside 0 .. 2^zoom - 1.
std::optional<int> FlipTmsRow(int zoom, long long row);

// Where a tile is written so that its layout reads it back (export): the
// folder below the tree's root, '/'-separated, and the file name. The
// recognizer (tile_recognizer.h) has the last word on whether a name reads
// back to the key; these only build the name.
struct TileFilePath {
  std::string folder;  // "16/353" or "79/82/d8/50", native bytes, no leading or trailing '/'
  std::string name;    // "220.png" or "turist_13_79d8000_8250000.kachle"
};

// The GeoKuk path of a tile whose source name is `name` (UTF-8): the file
// "<name>_<zoom>_<x>_<y>.kachle" with x and y as lower-case hexadecimal of
// at least seven digits, below the folders of the first two digits of x, of
// y, then the next two of each. Returns nullopt when the zoom level is not
// 0 .. 99 or x or y is negative.
std::optional<TileFilePath> GeoKukTilePath(const TileKey& key, const std::string& name);

// The OSM Tracker Storage path "<zoom>/<x>/<y>.<extension>". Returns
// nullopt when the zoom level is not 0 .. 99 or x or y is negative.
std::optional<TileFilePath> OsmTrackerStorageTilePath(const TileKey& key, const std::string& extension);

}  // namespace convert
