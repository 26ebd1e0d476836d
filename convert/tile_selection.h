// TileSelection: which tiles a job takes (converts, checks, copies,
// exports): zoom levels, map sources and an area, three filters that
// combine. A tile is selected when every filter that is set takes it; a
// selection with no filter set takes every tile.
//
//   zoom levels  as the file names carry them (never `z`), 0 .. 99:
//                "12-16", "8,10,12-15";
//   map sources  GeoKuk source names, exact ("turist,relief_l"); a tile of
//                the Web Mercator grid has none and is never dropped by them;
//   area         "SOUTH,WEST,NORTH,EAST" in WGS84 decimal degrees; a tile is
//                taken when its extent and the area overlap, bounds inclusive
//                (store/tile_geometry.h says how for each grid).
//
// The decision needs the tile key only: a tile outside the selection need
// never be opened or read.
//
// Thread-safety: a TileSelection is a value; a SelectionFilter does not
// change after construction and may be used by several threads at once.
//
// Invariants:
//  1. Parse*() either fill their output and return true, or leave it as it
//     was, put the reason in *why and return false.
//  2. A parsed area has south <= north, west <= east, latitudes within ±90
//     and longitudes within ±180.
#pragma once

#include <bitset>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/tile_geometry.h"
#include "store/tile_key.h"

namespace convert {

// The highest zoom level a selection names: levels have one or two digits.
inline constexpr int kMaxSelectableZoom = 99;

struct TileSelection {
  std::optional<std::bitset<kMaxSelectableZoom + 1>> zooms;  // levels taken; unset: every level
  std::optional<std::vector<std::u16string>> sources;       // GeoKuk names taken; unset: every source
  std::optional<store::GeoArea> area;                        // unset: the whole world

  // True when no filter is set: every tile is selected.
  bool Everything() const { return !zooms && !sources && !area; }
};

// "12-16", "8,10,12-15": levels and ranges of one or two decimal digits,
// separated by commas (blanks around an item are allowed). Refused: an
// empty list or item, a level of three digits or more, a range whose end
// is below its start, any other character.
bool ParseZoomList(std::string_view text, std::bitset<kMaxSelectableZoom + 1>* zooms, std::string* why);

// "turist,relief_l": source names separated by commas, each taken exactly
// (UTF-8). Refused: an empty list or an empty name.
bool ParseSourceList(std::string_view text, std::vector<std::u16string>* sources, std::string* why);

// "SOUTH,WEST,NORTH,EAST": four decimal numbers. Refused: another count,
// a text that is no number (or not finite), a latitude beyond ±90, a
// longitude beyond ±180, south above north, west east of east.
bool ParseArea(std::string_view text, store::GeoArea* area, std::string* why);

// The largest latitude an area for Web Mercator tiles may name: the grid's
// edge (±85.0511288) rounded outward at five decimals, as `cvmap info`
// prints the extent of a level that reaches the edge.
inline constexpr double kWebMercatorAreaLatitude = 85.05113;

// True when the area lies within the Web Mercator grid's latitudes (up to
// kWebMercatorAreaLatitude); a selection applied to Web Mercator tiles must.
bool AreaFitsWebMercator(const store::GeoArea& area);

// True unless the selection has an area that reaches beyond the Web Mercator
// grid and the tiles of `layout` are Web Mercator tiles (OSM Tracker
// Storage, TMS, MBTiles). An area for GeoKuk tiles may reach any latitude.
bool AreaFitsLayout(const TileSelection& selection, int layout);

// The `z` values of the zoom levels the selection takes, or nullopt when it
// takes every level.
std::optional<std::vector<long long>> SelectedZValues(const TileSelection& selection);

// A selection prepared for many tiles.
class SelectionFilter {
 public:
  explicit SelectionFilter(const TileSelection& selection);

  const TileSelection& selection() const { return selection_; }

  // True when the tile is selected. `source` is the GeoKuk source name
  // (GeoKuk grid) or null (Web Mercator). `zoom` is the zoom level; with a
  // zoom list or an area, a level outside 0 .. 99 is never selected.
  bool Selects(store::TileGrid grid, int zoom, long long x, long long y, const std::u16string* source) const;

  // The same for a tile key: a text source is GeoKuk's grid, the integer
  // source Web Mercator's, and the zoom level is 17 - z.
  bool Selects(const store::TileKey& key) const;

  // The prepared area, or null when the selection has none.
  const store::AreaOverlap* Area() const { return overlap_ ? &*overlap_ : nullptr; }

 private:
  TileSelection selection_;                     // as given
  std::optional<store::AreaOverlap> overlap_;   // the area, prepared; unset without one
};

}  // namespace convert
