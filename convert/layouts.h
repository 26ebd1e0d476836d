// Source tile layouts: which files of a source tree are tiles, and how the
// tile key (x, y, z, s) of the map file is decoded from a tile's path.
//
// Two layouts are understood:
//   GeoKuk               ".kachle" files below four folders named by two
//                        lower-case hex digits; the file name carries the map
//                        source name, the zoom and the hex column and row,
//                        e.g. "base_n_13_1b2_a3.kachle".
//   OSM Tracker Storage  zoom\column\row.png or .jpg.
// A file is a tile when its layout's pattern matches its relative path (see
// source_paths.h); the decoders below are meant for such paths only.
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
};

// The layout's caption, as the window and the command line show it:
// "GeoKuk", "OSM Tracker Storage"; "" for a value that is no layout.
const char* LayoutCaption(int layout);

// The zoom level that is stored as z == 0; z = kZoomBase - zoom.
inline constexpr int kZoomBase = 17;

// The three pattern texts, compiled with flags 0 and mode 0 (case-sensitive).
extern const std::u16string kGeoKukPattern;                   // tiles of the GeoKuk cache
extern const std::u16string kOsmTrackerStoragePattern;        // tiles the converting pass stores
extern const std::u16string kOsmTrackerStorageProbePattern;   // looser: what the folder probe accepts

// Reads `text` as hexadecimal: white space at both ends is ignored, letters
// of either case are digits, the value wraps in 32 bits. An empty text gives
// 0; any character that is no hex digit gives 0 for the whole text.
int HexToInt(std::u16string text);

// The map file's key of a tile (store/tile_key.h).
using TileKey = store::TileKey;

// Decodes the key of a GeoKuk tile from its file name (no folders). The name
// without ".kachle" is split at '_': source name, zoom (decimal), x and y
// (hex). The source name "base_n" stays whole. When the second part is no
// decimal number and there are five or more parts, the source name is
// everything before the last three parts joined by '_' ("relief_l") and the
// last three are zoom, x and y.
// Returns nullopt when the name is not a tile: fewer than four parts, or no
// decimal zoom (or a zoom whose z does not fit an int).
std::optional<TileKey> DecodeGeoKukKey(const std::u16string& fileName);

// Decodes the key of an OSM Tracker Storage tile from its relative path
// "\zoom\column\row.ext" (all decimal). Returns nullopt when a part is missing
// or is no decimal number that fits an int.
std::optional<TileKey> DecodeOsmTrackerStorageKey(const std::u16string& relativePath);

}  // namespace convert
