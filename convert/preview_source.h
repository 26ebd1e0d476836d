// PreviewSource: what the window's map preview reads from a source folder or
// a map file: which layers and zoom levels it holds (quickly, then counted),
// which cells of each level hold a tile, and the image of one tile.
//
// A layer is the tiles of one grid and one source: a source tree of OSM
// Tracker Storage and a map file's rows with an integer `s` are Web Mercator
// layers; a GeoKuk cache and a map file's rows with a text `s` give one
// GeoKuk layer per map source name.
//
// What each call may read:
//   QuickIndex  bounded listings of the top folders and a few sample
//               descents (a tree), a sample of rows by rowid (a large map
//               file) or a few seeks per zoom level on the key index (a
//               large MBTiles file): counts and extents are estimates unless
//               PreviewIndex::counted says otherwise. Never a whole walk.
//   Count       every tile: the same walk and the same tile rules as the
//               conversion (a tree), or one pass over the keys (a map or an
//               MBTiles file).
//   Read        one tile: the file at zoom/x/y.(jpg|png) (a TMS tree: its
//               row from the south), the GeoKuk leaf folder that the tile's
//               corner names (its listing is kept), or one row by its key
//               (an MBTiles file: its tile_row from the south).
//
// Thread-safety: a source is used by one thread at a time; Stats() may be
// read from any thread. Open two sources for two threads.
//
// Invariants:
//  1. Read() of a tile that the source does not hold returns Missing and
//     reads no file: only files whose names decode to the tile's key are
//     opened.
//  2. Levels are listed by zoom, ascending; layers Web Mercator first, then
//     GeoKuk by source name.
#pragma once

#include <atomic>
#include <compare>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/tile_geometry.h"

namespace convert {

// The tiles of one grid and one source.
struct PreviewLayer {
  store::TileGrid grid = store::TileGrid::WebMercator;
  bool sourceIsText = false;   // true: GeoKuk, named by `source`
  std::u16string source;       // GeoKuk map source name; empty for Web Mercator
  auto operator<=>(const PreviewLayer&) const = default;
  bool operator==(const PreviewLayer&) const = default;
};

// One zoom level of a layer.
struct PreviewLevel {
  int zoom = 0;             // the zoom level (17 - z)
  long long tiles = 0;      // tiles of the level; an estimate unless the index is counted
  store::TileRange extent;  // key values of the westmost and eastmost column, northmost and southmost row
                            // (GeoKuk: corners in units; y0 the southmost)
};

struct PreviewLayerIndex {
  PreviewLayer layer;
  std::vector<PreviewLevel> levels;  // by zoom, ascending
};

struct PreviewIndex {
  std::vector<PreviewLayerIndex> layers;  // see invariant 2
  bool counted = false;                   // every count and extent is exact
};

// The blocks a coverage is drawn in: at most this many across and down.
inline constexpr int kCoverageBlocks = 256;

// Which cells of one level hold a tile. A cell is one tile position:
// (column, row) for Web Mercator, (corner x / side, corner y / side) for
// GeoKuk. Blocks of 2^blockShift by 2^blockShift cells, row 0 the north row.
struct LevelCoverage {
  PreviewLayer layer;
  int zoom = 0;
  long long cells = 0;                 // distinct cells that hold a tile
  store::TileRange extent;             // cell indexes of the level's bounding box
  int blockShift = 0;                  // a block is 2^blockShift cells on a side
  int width = 0;                       // blocks across
  int height = 0;                      // blocks down
  std::vector<std::uint32_t> filled;   // cells holding a tile, per block, row by row from the north
  std::vector<std::uint64_t> cellList; // every cell holding a tile, (cx << 32 | cy), ascending

  // Cells of the bounding box: (x1 - x0 + 1) * (y1 - y0 + 1).
  long long CellsInExtent() const;
  // Cells of one block that lie inside the bounding box.
  long long CellsInBlock(int column, int row) const;
  // Where the block lies on the preview plane (preview_grid.h).
  struct PlaneBlock {
    double left, top, right, bottom;  // plane units
  };
  PlaneBlock BlockPlaneRect(int column, int row) const;
  // Where the whole grid of blocks lies on the plane (the last blocks may
  // reach beyond the bounding box).
  PlaneBlock GridPlaneRect() const;
  // True when the tile with these key values (column and row, or a GeoKuk
  // corner) lies on a cell that holds a tile.
  bool HoldsTile(long long x, long long y) const;
};

struct PreviewCount {
  PreviewIndex index;                   // counted == true
  std::vector<LevelCoverage> coverage;  // one per layer and level, in the index's order
};

// One tile a preview asks for.
struct PreviewTile {
  PreviewLayer layer;
  int zoom = 0;
  long long x = 0;  // column, or GeoKuk corner x
  long long y = 0;  // row, or GeoKuk corner y
  auto operator<=>(const PreviewTile&) const = default;
  bool operator==(const PreviewTile&) const = default;
};

enum class PreviewRead {
  Found,    // the bytes are in the buffer
  Missing,  // the source holds no such tile
  Failed,   // it holds one, but it could not be read
};

// What a source has read so far; tests count the reads.
struct PreviewStats {
  std::atomic<long long> filesRead{0};       // tile files opened and read (trees)
  std::atomic<long long> folderListings{0};  // folders listed
  std::atomic<long long> rowsRead{0};        // image rows read (map files)
};

// The largest tile file a preview reads.
inline constexpr std::uint64_t kPreviewMaxTileBytes = 16u << 20;

class PreviewSource {
 public:
  virtual ~PreviewSource() = default;

  // A flag (not owned, may be null; set from any thread) that ends a
  // QuickIndex or Count early and any wait for a map file's lock.
  virtual void SetStop(const std::atomic<int>* stop) { stop_ = stop; }

  // The layers and levels, learnt as said above. An empty index when the
  // source holds nothing that can be read.
  virtual PreviewIndex QuickIndex() = 0;

  // Counts every tile into *out; `progress` (may be empty) hears the tiles
  // counted so far now and then. False when stopped or the source cannot
  // be read. REQUIRES: out != nullptr.
  virtual bool Count(const std::function<void(long long tiles)>& progress, PreviewCount* out) = 0;

  // The image of one tile. REQUIRES: bytes != nullptr.
  virtual PreviewRead Read(const PreviewTile& tile, std::vector<unsigned char>* bytes) = 0;

  const PreviewStats& Stats() const { return stats_; }

 protected:
  bool Stopped() const { return stop_ != nullptr && stop_->load(std::memory_order_relaxed) != 0; }

  const std::atomic<int>* stop_ = nullptr;  // not owned
  PreviewStats stats_;
};

// The source of `layout` at the native path `folder`: a tree of LayoutGeoKuk,
// LayoutOsmTrackerStorage or LayoutTms, or the MBTiles file of
// LayoutMbtiles. Null for a value that is no layout, and for a file that
// does not open as an MBTiles file.
std::unique_ptr<PreviewSource> OpenTreePreview(const std::string& folder, int layout);

// A map file at the native path `path`, opened read-only (never created or
// changed). Null, with SQLite's text in *why, when it cannot be opened or is
// no map file. REQUIRES: why != nullptr.
std::unique_ptr<PreviewSource> OpenMapPreview(const std::string& path, std::string* why);

}  // namespace convert
