// CoverageBuilder: gathers the tiles a count meets, by layer and level, and
// makes the counted index and the coverage of every level from them.
//
// Each tile is kept as its cell (8 bytes), so a count of a million tiles
// holds about 8 MB until Finish(). Two tiles on one cell (two files with one
// key) count once, as the map file would hold them once.
//
// Thread-safety: one builder belongs to one thread.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "convert/preview_source.h"

namespace convert {

class CoverageBuilder {
 public:
  // A tile of `layer` at `zoom` with key values x, y (column and row, or a
  // GeoKuk corner). Tiles off their grid (negative values, a column beyond
  // 32 bits, a zoom outside 0 .. 99) are left out.
  void Add(const PreviewLayer& layer, int zoom, long long x, long long y);

  // Tiles added so far (before duplicates are removed).
  long long Added() const { return added_; }

  // The counted index and the coverages; the builder is empty afterwards.
  PreviewCount Finish();

 private:
  std::map<std::pair<PreviewLayer, int>, std::vector<std::uint64_t>> cells_;  // packed (cx << 32 | cy)
  long long added_ = 0;  // tiles taken by Add()
};

}  // namespace convert
