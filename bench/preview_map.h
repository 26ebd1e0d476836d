// The preview benchmark's map file: a million Web Mercator tiles on six zoom
// levels (12-17, each holding twice the tiles of the level above, each a
// square block), every image one of 256 pictures (res/tools/tile_pictures.h,
// about 1.7 KB each). Made once below the benchmark data folder and reused:
// a marker file written after the last row tells a later run it is
// complete.
//
// Thread-safety: plain functions, one caller at a time per root.
#pragma once

#include <string>
#include <vector>

#include "convert/preview_grid.h"

namespace bench {

// One level of the map: a block of `side` x `side` tiles (the last row cut
// short) whose north-west tile is (x0, y0).
struct PreviewMapLevel {
  int zoom;
  long long x0;
  long long y0;
  int side;
  int tiles;
};

// The levels of a map of `tiles` tiles. REQUIRES: tiles >= 63.
std::vector<PreviewMapLevel> PreviewMapLevels(int tiles);

// Makes sure root/preview-<tiles>.cvmap is complete; its path goes to *path.
// Returns false with *error set when it cannot be written.
bool PreparePreviewMap(const std::string& root, int tiles, std::string* path, std::string* error);

// The places the benchmark looks at, on the second level from the top
// (zoom 16): the middle of its block first, then places spread over it
// that no earlier view showed. Plane points (convert/preview_grid.h).
std::vector<convert::ViewPoint> PreviewViewPlaces(int tiles, int count);

// The zoom of those views, and the size of the view in pixels.
inline constexpr int kPreviewBenchZoom = 16;
inline constexpr int kPreviewBenchWidth = 1200;
inline constexpr int kPreviewBenchHeight = 800;
// The zoomed-out view's share of the level's own scale: the level is still
// the one drawn, every tile scaled, about twice as many of them.
inline constexpr double kPreviewBenchScaled = 0.71;

}  // namespace bench
