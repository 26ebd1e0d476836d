#include "convert/preview_coverage.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "convert/preview_grid.h"

namespace convert {

namespace {

constexpr int kMaxZoom = 99;

// The cell index of a key value: itself (Web Mercator), corner / side (GeoKuk).
long long CellOf(const PreviewLayer& layer, int zoom, long long value) {
  if (layer.grid == store::TileGrid::WebMercator) return value;
  const double side = store::GeoKukSideUnits(zoom);
  return static_cast<long long>(std::floor(static_cast<double>(value) / side));
}

// The key value of a cell: the inverse of CellOf.
long long KeyOf(const PreviewLayer& layer, int zoom, long long cell) {
  if (layer.grid == store::TileGrid::WebMercator) return cell;
  return static_cast<long long>(static_cast<double>(cell) * store::GeoKukSideUnits(zoom));
}

LevelCoverage MakeCoverage(const PreviewLayer& layer, int zoom, std::vector<std::uint64_t> cells) {
  LevelCoverage coverage;
  coverage.layer = layer;
  coverage.zoom = zoom;
  coverage.cells = static_cast<long long>(cells.size());
  long long x0 = INT64_MAX, x1 = -1, y0 = INT64_MAX, y1 = -1;
  for (std::uint64_t packed : cells) {
    const long long cx = static_cast<long long>(packed >> 32);
    const long long cy = static_cast<long long>(packed & 0xffffffffu);
    x0 = std::min(x0, cx);
    x1 = std::max(x1, cx);
    y0 = std::min(y0, cy);
    y1 = std::max(y1, cy);
  }
  coverage.extent = {x0, y0, x1, y1};
  const long long span = std::max(x1 - x0 + 1, y1 - y0 + 1);
  while ((span + (1LL << coverage.blockShift) - 1) >> coverage.blockShift > kCoverageBlocks) ++coverage.blockShift;
  const int shift = coverage.blockShift;
  coverage.width = static_cast<int>(((x1 - x0) >> shift) + 1);
  coverage.height = static_cast<int>(((y1 - y0) >> shift) + 1);
  coverage.filled.assign(static_cast<std::size_t>(coverage.width) * coverage.height, 0);
  const bool northUp = layer.grid == store::TileGrid::GeoKuk;  // GeoKuk rows grow northward
  for (std::uint64_t packed : cells) {
    const long long cx = static_cast<long long>(packed >> 32);
    const long long cy = static_cast<long long>(packed & 0xffffffffu);
    const long long fromNorth = northUp ? y1 - cy : cy - y0;
    const std::size_t at = static_cast<std::size_t>((fromNorth >> shift) * coverage.width + ((cx - x0) >> shift));
    ++coverage.filled[at];
  }
  coverage.cellList = std::move(cells);
  return coverage;
}

}  // namespace

long long LevelCoverage::CellsInExtent() const {
  if (cells == 0) return 0;
  return (extent.x1 - extent.x0 + 1) * (extent.y1 - extent.y0 + 1);
}

long long LevelCoverage::CellsInBlock(int column, int row) const {
  const long long side = 1LL << blockShift;
  const long long across = std::min(side, extent.x1 - extent.x0 + 1 - column * side);
  const long long down = std::min(side, extent.y1 - extent.y0 + 1 - row * side);
  return std::max(0LL, across) * std::max(0LL, down);
}

LevelCoverage::PlaneBlock LevelCoverage::BlockPlaneRect(int column, int row) const {
  const long long side = 1LL << blockShift;
  const long long cx0 = extent.x0 + column * side;
  const long long cx1 = std::min(extent.x1, cx0 + side - 1);
  long long cy0 = 0;
  long long cy1 = 0;
  if (layer.grid == store::TileGrid::GeoKuk) {
    cy1 = extent.y1 - row * side;  // the block's northmost row
    cy0 = std::max(extent.y0, cy1 - side + 1);
  } else {
    cy0 = extent.y0 + row * side;
    cy1 = std::min(extent.y1, cy0 + side - 1);
  }
  const store::TileRange keys{KeyOf(layer, zoom, cx0), KeyOf(layer, zoom, cy0), KeyOf(layer, zoom, cx1),
                              KeyOf(layer, zoom, cy1)};
  const PlaneRect rect = TileRangePlaneRect(layer.grid, zoom, keys);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

LevelCoverage::PlaneBlock LevelCoverage::GridPlaneRect() const {
  const long long side = 1LL << blockShift;
  long long cy0 = extent.y0;
  long long cy1 = extent.y0 + height * side - 1;
  if (layer.grid == store::TileGrid::GeoKuk) {
    cy1 = extent.y1;  // the grid's first row is the northmost
    cy0 = extent.y1 - height * side + 1;
  }
  const store::TileRange keys{KeyOf(layer, zoom, extent.x0), KeyOf(layer, zoom, cy0),
                              KeyOf(layer, zoom, extent.x0 + width * side - 1), KeyOf(layer, zoom, cy1)};
  const PlaneRect rect = TileRangePlaneRect(layer.grid, zoom, keys);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

bool LevelCoverage::HoldsTile(long long x, long long y) const {
  if (x < 0 || y < 0) return false;
  const long long cx = CellOf(layer, zoom, x);
  const long long cy = CellOf(layer, zoom, y);
  if (cx > 0xffffffffLL || cy > 0xffffffffLL) return false;
  const std::uint64_t packed = static_cast<std::uint64_t>(cx) << 32 | static_cast<std::uint64_t>(cy);
  return std::binary_search(cellList.begin(), cellList.end(), packed);
}

void CoverageBuilder::Add(const PreviewLayer& layer, int zoom, long long x, long long y) {
  if (zoom < 0 || zoom > kMaxZoom || x < 0 || y < 0) return;
  if (layer.grid == store::TileGrid::GeoKuk && zoom > store::kGeoKukUnitZoom) return;
  const long long cx = CellOf(layer, zoom, x);
  const long long cy = CellOf(layer, zoom, y);
  if (cx > 0xffffffffLL || cy > 0xffffffffLL) return;
  ++added_;
  cells_[{layer, zoom}].push_back(static_cast<std::uint64_t>(cx) << 32 | static_cast<std::uint64_t>(cy));
}

PreviewCount CoverageBuilder::Finish() {
  PreviewCount count;
  count.index.counted = true;
  for (auto& [key, cells] : cells_) {
    const auto& [layer, zoom] = key;
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    LevelCoverage coverage = MakeCoverage(layer, zoom, std::move(cells));
    if (count.index.layers.empty() || count.index.layers.back().layer != layer) {
      count.index.layers.push_back({layer, {}});
    }
    PreviewLevel level;
    level.zoom = zoom;
    level.tiles = coverage.cells;
    level.extent = {KeyOf(layer, zoom, coverage.extent.x0), KeyOf(layer, zoom, coverage.extent.y0),
                    KeyOf(layer, zoom, coverage.extent.x1), KeyOf(layer, zoom, coverage.extent.y1)};
    count.index.layers.back().levels.push_back(level);
    count.coverage.push_back(std::move(coverage));
  }
  cells_.clear();
  added_ = 0;
  return count;
}

}  // namespace convert
