// The preview's OSM Tracker Storage and TMS trees: the zoom folders are
// listed once (the root holds at most a hundred), each zoom folder's columns
// once, a few columns per level for the rows; a tile is read straight from
// its path. A TMS tree names its rows from the south: the file of the map's
// row y is FlipTmsRow(zoom, y), and a row name becomes y the same way.
#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "convert/layouts.h"
#include "convert/preview_tree_listing.h"
#include "convert/preview_tree_sources.h"
#include "convert/preview_tree_walk.h"
#include "convert/source_paths.h"
#include "platform/file_io.h"

namespace convert {

namespace {

constexpr std::size_t kSampledColumns = 9;  // column folders listed per level by the quick index

// The row of a tile file name "<digits>.png" or "<digits>.jpg", or -1.
long long RowOfFile(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return -1;
  const std::string extension = name.substr(dot + 1);
  if (extension != "png" && extension != "jpg") return -1;
  return DecimalName(name.substr(0, dot), 10);
}

class OsmTreePreview : public PreviewSource {
 public:
  // REQUIRES: layout is LayoutOsmTrackerStorage or LayoutTms.
  OsmTreePreview(std::string folder, int layout) : folder_(std::move(folder)), layout_(layout) {}

  PreviewIndex QuickIndex() override {
    PreviewIndex index;
    bool exact = true;
    PreviewLayerIndex layer;
    for (const auto& [zoom, names] : ZoomFolders()) {
      if (Stopped()) return {};
      std::set<long long> columnSet;
      std::map<long long, std::vector<std::string>> columnPaths;  // column -> its folders (one per zoom name)
      for (const std::string& name : names) {
        const std::string zoomPath = JoinPath(folder_, name);
        for (const std::string& column : ListFolder(zoomPath, &stats_).folders) {
          const long long x = DecimalName(column, 10);
          if (x < 0) continue;
          columnSet.insert(x);
          columnPaths[x].push_back(JoinPath(zoomPath, column));
        }
      }
      if (columnSet.empty()) continue;
      const std::vector<long long> columns(columnSet.begin(), columnSet.end());
      PreviewLevel level;
      level.zoom = zoom;
      level.extent.x0 = columns.front();
      level.extent.x1 = columns.back();
      long long rowsSeen = 0;
      long long y0 = INT64_MAX, y1 = -1;
      const std::vector<std::size_t> picks = SpreadSample(columns.size(), kSampledColumns);
      for (std::size_t pick : picks) {
        std::set<long long> rows;
        for (const std::string& path : columnPaths[columns[pick]]) {
          for (const std::string& file : ListFolder(path, &stats_).files) {
            const long long y = MapRow(zoom, RowOfFile(file));
            if (y >= 0) rows.insert(y);
          }
        }
        rowsSeen += static_cast<long long>(rows.size());
        if (!rows.empty()) {
          y0 = std::min(y0, *rows.begin());
          y1 = std::max(y1, *rows.rbegin());
        }
      }
      if (y1 < 0) {
        if (picks.size() == columns.size()) continue;  // every column listed, no tile
        exact = false;
        continue;
      }
      if (picks.size() < columns.size()) exact = false;
      level.extent.y0 = y0;
      level.extent.y1 = y1;
      level.tiles = static_cast<long long>(
          static_cast<double>(rowsSeen) / static_cast<double>(picks.size()) * static_cast<double>(columns.size()) + 0.5);
      layer.levels.push_back(level);
    }
    if (!layer.levels.empty()) index.layers.push_back(std::move(layer));
    index.counted = exact;
    return index;
  }

  bool Count(const std::function<void(long long)>& progress, PreviewCount* out) override {
    CoverageBuilder builder;
    if (!CountTreeTiles(folder_, layout_, stop_, progress, &builder, &stats_)) return false;
    *out = builder.Finish();
    return true;
  }

  PreviewRead Read(const PreviewTile& tile, std::vector<unsigned char>* bytes) override {
    bytes->clear();
    if (tile.layer.grid != store::TileGrid::WebMercator || tile.x < 0 || tile.y < 0) return PreviewRead::Missing;
    const auto folders = ZoomFolders().find(tile.zoom);
    if (folders == ZoomFolders().end()) return PreviewRead::Missing;
    const long long row = FileRow(tile.zoom, tile.y);
    if (row < 0) return PreviewRead::Missing;
    // Of two files with one key the conversion stores the first in name
    // order: zoom folders as listed, then ".jpg" before ".png".
    for (const std::string& zoomName : folders->second) {
      const std::string column = JoinPath(JoinPath(folder_, zoomName), std::to_string(tile.x));
      for (const char* extension : {".jpg", ".png"}) {
        const std::string path = JoinPath(column, std::to_string(row) + extension);
        switch (platform::ReadWholeFile(path, bytes, kPreviewMaxTileBytes)) {
          case platform::ReadStatus::Ok:
            stats_.filesRead.fetch_add(1, std::memory_order_relaxed);
            return PreviewRead::Found;
          case platform::ReadStatus::CannotOpen:
            break;
          default:
            return PreviewRead::Failed;
        }
      }
    }
    return PreviewRead::Missing;
  }

 private:
  // The map's row of a file's row name (-1 stays -1), and the file's row
  // name of a map's row: the same number in an OSM Tracker Storage tree,
  // flipped in a TMS tree; -1 for a row the zoom level cannot have.
  long long MapRow(int zoom, long long fileRow) const {
    if (layout_ != LayoutTms || fileRow < 0) return fileRow;
    return FlipTmsRow(zoom, fileRow).value_or(-1);
  }
  long long FileRow(int zoom, long long mapRow) const { return MapRow(zoom, mapRow); }

  // Zoom level -> the names of its folders below the root ("5", "05"), in
  // name order; listed on first use.
  const std::map<int, std::vector<std::string>>& ZoomFolders() {
    if (!zoomFolders_) {
      zoomFolders_.emplace();
      for (const std::string& name : ListFolder(folder_, &stats_).folders) {
        const long long zoom = DecimalName(name, 2);
        if (zoom >= 0) (*zoomFolders_)[static_cast<int>(zoom)].push_back(name);
      }
    }
    return *zoomFolders_;
  }

  std::string folder_;                                              // the tree's root, native path
  int layout_;                                                      // LayoutOsmTrackerStorage or LayoutTms
  std::optional<std::map<int, std::vector<std::string>>> zoomFolders_;  // see ZoomFolders()
};

}  // namespace

std::unique_ptr<PreviewSource> MakeOsmTreePreview(const std::string& folder) {
  return std::make_unique<OsmTreePreview>(folder, LayoutOsmTrackerStorage);
}

std::unique_ptr<PreviewSource> MakeTmsTreePreview(const std::string& folder) {
  return std::make_unique<OsmTreePreview>(folder, LayoutTms);
}

}  // namespace convert
