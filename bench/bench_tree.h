// BenchTree: generated source trees of realistic tiles for the conversion
// benchmark, kept on disk between runs.
//
// Two trees of `tilesPerLayout` tiles each are written below
// root/tiles-<N>/:
//   geokuk/  GeoKuk cache: aa/bb/cc/dd/<source>_<zoom>_<x hex>_<y hex>.kachle,
//            the four folder levels from the hex digits of x and y, so that
//            most leaf folders hold a single tile (as in real caches);
//   osm/     OSM Tracker Storage: <zoom>/<column>/<row>.png, 20 to 60 rows a
//            column folder.
// Zoom levels 12-16 (GeoKuk) and 12-17 (OSM) each hold twice the tiles of the
// level above, each level a block of its own around one corner.
//
// The GeoKuk tree can also take the shape a real cache has
// (GeoKukShape::OneTilePerLeaf): one map source, zooms 8 to 16 over one and
// the same square, every tile of the square present. A leaf folder covers
// 128 m, one zoom-16 tile, so nearly every leaf holds one tile (a quarter of
// them also a zoom-15 tile, a sixteenth a zoom-14 tile, ...), and the walk
// opens about as many folders as it reads tiles. The scattered shape
// (GeoKukShape::Scattered) puts every tile of zooms 8 to 16 at a random place
// of a 64 x 64 block of top folders (about 1,000 km a side), so that most
// tiles have a leaf folder and a folder above it of their own: about two
// folders a tile, the hardest shape for a walk. Tile bodies are random bytes of 2 to 30 KB (uniform), from a
// fixed seed, so every run generates the same tree.
//
// A tree is generated once: a marker file written after the last tile tells a
// later run that the folder is complete, and the tree is reused as it is.
//
// Thread-safety: plain functions, one caller at a time per root.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

struct BenchTree {
  std::string geoKuk;         // the GeoKuk source folder
  std::string osm;            // the OSM Tracker Storage source folder
  long long tilesPerLayout;   // tiles in each of the two trees
  long long bytes;            // tile bytes in both trees together
  long long folders;          // folders in both trees together (source folders excluded)
  bool reused;                // true when an earlier run had generated it
};

// How the GeoKuk tree's tiles lie.
enum class GeoKukShape {
  ZoomBlocks,      // each zoom level a block of its own, two sources
  OneTilePerLeaf,  // one source, zooms 8-16 over one square (a real cache)
  Scattered,       // one source, zooms 8-16, each tile at its own random place (a cache of many short visits)
};

// What to generate.
struct BenchTreeShape {
  int tilesPerLayout = 100000;    // tiles in each tree
  std::size_t minBytes = 2048;    // smallest tile body
  std::size_t maxBytes = 30720;   // largest tile body
  bool geoKuk = true;             // write the GeoKuk tree
  bool osm = true;                // write the OSM Tracker Storage tree
  GeoKukShape geoKukShape = GeoKukShape::ZoomBlocks;  // how the GeoKuk tiles lie
};

// Makes sure root/tiles-<tilesPerLayout> holds both trees, generating them
// when the marker is missing (a half-written tree is removed first). Returns
// false with *error set when a file or folder cannot be written.
// REQUIRES: tilesPerLayout > 0; tree != nullptr; error != nullptr.
bool PrepareBenchTree(const std::string& root, int tilesPerLayout, BenchTree* tree, std::string* error);

// The same for any shape. Trees of other tile sizes, of one layout only or of
// the one-tile-per-leaf or scattered shape go to
// root/tiles-<N>-<min>-<max>[-geokuk|-osm][-leaf|-scattered]; a tree not written has an
// empty path in *tree. REQUIRES: shape.tilesPerLayout > 0, 0 < minBytes <=
// maxBytes.
bool PrepareBenchTree(const std::string& root, const BenchTreeShape& shape, BenchTree* tree, std::string* error);

}  // namespace bench
