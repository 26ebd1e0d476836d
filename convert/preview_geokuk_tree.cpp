// The preview's GeoKuk cache. The first two folder levels (the leading hex
// digits of x and of y, at most 256 listings of 256 names) give the extent;
// a few descents to leaf folders give the map sources and zoom levels. A
// tile is read from the one leaf folder its corner names, whose listing is
// kept for the next tiles there.
#include <cstdio>
#include <list>
#include <map>
#include <set>
#include <unordered_map>

#include "convert/layouts.h"
#include "convert/preview_tree_listing.h"
#include "convert/preview_tree_sources.h"
#include "convert/preview_tree_walk.h"
#include "convert/source_paths.h"
#include "convert/tile_recognizer.h"
#include "platform/file_io.h"
#include "platform/utf.h"

namespace convert {

namespace {

constexpr std::size_t kSampledBlocks = 48;     // second-level folders the quick index descends from
constexpr std::size_t kKeptListings = 2048;    // leaf folder listings kept by Read()
constexpr int kTopShift = 20;                  // the first two levels: x >> 20, y >> 20
constexpr long long kMaxCorner = (1LL << 28) - 1;  // corners the folders can name

// The value of a folder name of two lower-case hex digits, or -1.
int HexPair(const std::string& name) {
  if (name.size() != 2) return -1;
  int value = 0;
  for (char c : name) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

// The hex-pair folders of a listing, in name order.
std::vector<std::string> HexFolders(const FolderListing& listing) {
  std::vector<std::string> folders;
  for (const std::string& name : listing.folders) {
    if (HexPair(name) >= 0) folders.push_back(name);
  }
  return folders;
}

// A tile of a leaf folder's listing.
struct LeafTile {
  PreviewLayer layer;
  int zoom = 0;
  long long x = 0;
  long long y = 0;
  std::string name;  // file name, native bytes
};

class GeoKukTreePreview : public PreviewSource {
 public:
  explicit GeoKukTreePreview(std::string folder) : folder_(std::move(folder)), recognizer_(LayoutGeoKuk) {}

  PreviewIndex QuickIndex() override {
    struct Block {
      int a, b;          // x >> 20, y >> 20
      std::string path;  // root/aa/bb
    };
    std::vector<Block> blocks;
    for (const std::string& first : HexFolders(ListFolder(folder_, &stats_))) {
      if (Stopped()) return {};
      const std::string firstPath = JoinPath(folder_, first);
      for (const std::string& second : HexFolders(ListFolder(firstPath, &stats_))) {
        blocks.push_back({HexPair(first), HexPair(second), JoinPath(firstPath, second)});
      }
    }
    PreviewIndex index;
    if (blocks.empty()) return index;

    // Descents: the middle folder of the third and fourth levels below a few
    // blocks spread over the tree.
    std::map<std::pair<PreviewLayer, int>, long long> sampled;  // tiles met per layer and zoom
    long long sampledTiles = 0;
    double third = 0, fourth = 0;  // folders met at the third and fourth levels
    int descents = 0;      // descents that found a third level
    int leaves = 0;        // descents that reached a leaf folder
    for (std::size_t pick : SpreadSample(blocks.size(), kSampledBlocks)) {
      if (Stopped()) return {};
      const std::vector<std::string> level3 = HexFolders(ListFolder(blocks[pick].path, &stats_));
      if (level3.empty()) continue;
      const std::string path3 = JoinPath(blocks[pick].path, level3[level3.size() / 2]);
      const std::vector<std::string> level4 = HexFolders(ListFolder(path3, &stats_));
      ++descents;
      third += static_cast<double>(level3.size());
      fourth += static_cast<double>(level4.size());
      if (level4.empty()) continue;
      const std::string leaf = JoinPath(path3, level4[level4.size() / 2]);
      ++leaves;
      for (const LeafTile& tile : ListLeaf(leaf)) {
        ++sampled[{tile.layer, tile.zoom}];
        ++sampledTiles;
      }
    }
    if (sampledTiles == 0 || descents == 0) return index;

    int a0 = 255, a1 = 0, b0 = 255, b1 = 0;
    for (const Block& block : blocks) {
      a0 = std::min(a0, block.a);
      a1 = std::max(a1, block.a);
      b0 = std::min(b0, block.b);
      b1 = std::max(b1, block.b);
    }
    // Tiles per leaf among the descents that reached one, times the leaves
    // the descents suggest.
    const double tilesPerLeaf = static_cast<double>(sampledTiles) / leaves;
    const double estimate = static_cast<double>(blocks.size()) * (third / descents) * (fourth / descents) * tilesPerLeaf;
    for (const auto& [key, tiles] : sampled) {
      const auto& [layer, zoom] = key;
      if (index.layers.empty() || index.layers.back().layer != layer) index.layers.push_back({layer, {}});
      const long long side = static_cast<long long>(store::GeoKukSideUnits(zoom));
      auto aligned = [side](long long value) { return side > 0 ? value / side * side : value; };
      PreviewLevel level;
      level.zoom = zoom;
      level.tiles = std::max(1LL, static_cast<long long>(estimate * static_cast<double>(tiles) / sampledTiles + 0.5));
      level.extent.x0 = aligned(static_cast<long long>(a0) << kTopShift);
      level.extent.y0 = aligned(static_cast<long long>(b0) << kTopShift);
      level.extent.x1 = std::max(level.extent.x0, aligned(((static_cast<long long>(a1) + 1) << kTopShift) - 1));
      level.extent.y1 = std::max(level.extent.y0, aligned(((static_cast<long long>(b1) + 1) << kTopShift) - 1));
      index.layers.back().levels.push_back(level);
    }
    return index;
  }

  bool Count(const std::function<void(long long)>& progress, PreviewCount* out) override {
    CoverageBuilder builder;
    if (!CountTreeTiles(folder_, LayoutGeoKuk, stop_, progress, &builder, &stats_)) return false;
    *out = builder.Finish();
    return true;
  }

  PreviewRead Read(const PreviewTile& tile, std::vector<unsigned char>* bytes) override {
    bytes->clear();
    if (tile.layer.grid != store::TileGrid::GeoKuk) return PreviewRead::Missing;
    const std::string leaf = GeoKukLeafFolder(tile.x, tile.y);
    if (leaf.empty()) return PreviewRead::Missing;
    // The first file of the folder (in name order) with the tile's key is
    // the one the conversion stores.
    for (const LeafTile& candidate : KeptLeaf(leaf)) {
      if (candidate.zoom != tile.zoom || candidate.x != tile.x || candidate.y != tile.y ||
          candidate.layer != tile.layer) {
        continue;
      }
      switch (platform::ReadWholeFile(JoinPath(JoinPath(folder_, leaf), candidate.name), bytes, kPreviewMaxTileBytes)) {
        case platform::ReadStatus::Ok:
          stats_.filesRead.fetch_add(1, std::memory_order_relaxed);
          return PreviewRead::Found;
        case platform::ReadStatus::CannotOpen:
          return PreviewRead::Missing;  // gone since the listing
        default:
          return PreviewRead::Failed;
      }
    }
    return PreviewRead::Missing;
  }

 private:
  // The tiles of one leaf folder (full native path), by the conversion's rules.
  std::vector<LeafTile> ListLeaf(const std::string& leafPath) {
    std::vector<LeafTile> tiles;
    for (const std::string& name : ListFolder(leafPath, &stats_).files) {
      const std::string path = JoinPath(leafPath, name);
      const std::optional<TileKey> key = recognizer_.Recognize(RelativePath(path, folder_), name);
      if (!key) continue;
      tiles.push_back({LayerOfKey(true, key->source), kZoomBase - key->z, key->x, key->y, name});
    }
    return tiles;
  }

  // ListLeaf of a leaf folder relative to the root, kept for later reads
  // (the least recently used listing goes first).
  const std::vector<LeafTile>& KeptLeaf(const std::string& leaf) {
    auto found = kept_.find(leaf);
    if (found != kept_.end()) {
      order_.splice(order_.begin(), order_, found->second.second);
      return found->second.first;
    }
    if (kept_.size() >= kKeptListings) {
      kept_.erase(order_.back());
      order_.pop_back();
    }
    order_.push_front(leaf);
    auto& entry = kept_[leaf];
    entry.first = ListLeaf(JoinPath(folder_, leaf));
    entry.second = order_.begin();
    return entry.first;
  }

  std::string folder_;          // the cache's root, native path
  TileRecognizer recognizer_;   // GeoKuk's tile rules
  std::list<std::string> order_;  // kept leaf folders, most recently used first
  std::unordered_map<std::string, std::pair<std::vector<LeafTile>, std::list<std::string>::iterator>> kept_;
};

}  // namespace

std::string GeoKukLeafFolder(long long x, long long y) {
  if (x < 0 || y < 0 || x > kMaxCorner || y > kMaxCorner) return {};
  char folder[16];
  std::snprintf(folder, sizeof folder, "%02llx/%02llx/%02llx/%02llx", x >> 20, y >> 20, (x >> 12) & 0xff,
                (y >> 12) & 0xff);
  return folder;
}

std::unique_ptr<PreviewSource> MakeGeoKukTreePreview(const std::string& folder) {
  return std::make_unique<GeoKukTreePreview>(folder);
}

}  // namespace convert
