#include "bench/bench_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace bench {
namespace {

constexpr int kMinRowsPerColumn = 20;
constexpr int kMaxRowsPerColumn = 60;
constexpr const char* kMarkerName = "complete";  // written last: "tiles bytes folders"

// Writes tiles of random bytes and the folders they need, counting both.
class TileWriter {
 public:
  TileWriter(std::uint64_t seed, std::size_t minBytes, std::size_t maxBytes)
      : random_(seed), pool_(maxBytes * 4), minBytes_(minBytes), maxBytes_(maxBytes) {
    for (char& c : pool_) c = static_cast<char>(random_());
  }

  // Creates folder (and its parents) when missing. False on failure.
  bool MakeFolders(const std::string& folder) {
    std::error_code code;
    if (std::filesystem::is_directory(folder, code)) return true;
    const std::size_t slash = folder.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) return false;
    if (::mkdir(folder.c_str(), 0755) == 0) {
      ++folders_;
      return true;
    }
    return errno == EEXIST;
  }

  // Writes one tile of a random size; false (with *error) on failure.
  bool Write(const std::string& folder, const std::string& name, std::string* error) {
    if (folder != lastFolder_) {
      if (!MakeFolders(folder)) {
        *error = "cannot create " + folder + ": " + std::strerror(errno);
        return false;
      }
      lastFolder_ = folder;
    }
    const std::string path = folder + "/" + name;
    const std::size_t size = std::uniform_int_distribution<std::size_t>(minBytes_, maxBytes_)(random_);
    const std::size_t offset = std::uniform_int_distribution<std::size_t>(0, pool_.size() - maxBytes_)(random_);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
      *error = "cannot create " + path + ": " + std::strerror(errno);
      return false;
    }
    const ssize_t written = ::write(fd, pool_.data() + offset, size);
    const bool closed = ::close(fd) == 0;
    if (written != static_cast<ssize_t>(size) || !closed) {
      *error = "cannot write " + path;
      return false;
    }
    bytes_ += static_cast<long long>(size);
    return true;
  }

  std::mt19937_64& Random() { return random_; }
  long long Bytes() const { return bytes_; }
  long long Folders() const { return folders_; }

 private:
  std::mt19937_64 random_;   // the one source of randomness (fixed seed)
  std::vector<char> pool_;   // random bytes that tile bodies are cut from
  std::size_t minBytes_;     // smallest tile body
  std::size_t maxBytes_;     // largest tile body
  std::string lastFolder_;   // the folder known to exist already
  long long bytes_ = 0;      // tile bytes written
  long long folders_ = 0;    // folders created
};

// Splits `total` over `levels` zoom levels, each level twice the one above.
std::vector<int> TilesPerZoom(int total, int levels) {
  std::vector<int> counts(static_cast<std::size_t>(levels));
  const double weightSum = std::ldexp(1.0, levels) - 1;
  int given = 0;
  for (int i = 0; i < levels - 1; ++i) {
    counts[static_cast<std::size_t>(i)] = static_cast<int>(total * std::ldexp(1.0, i) / weightSum);
    given += counts[static_cast<std::size_t>(i)];
  }
  counts.back() = total - given;
  return counts;
}

// Writes one GeoKuk tile: the four folder levels are the leading hex digits
// of x and y, so that a leaf folder covers a zoom-16 tile (2^12 units).
bool WriteKachle(TileWriter& writer, const std::string& root, const char* source, int zoom, unsigned x, unsigned y,
                 std::string* error) {
  char folder[32];
  char name[80];
  std::snprintf(folder, sizeof folder, "/%02x/%02x/%02x/%02x", x >> 20, y >> 20, (x >> 12) & 0xffu, (y >> 12) & 0xffu);
  std::snprintf(name, sizeof name, "%s_%d_%07x_%07x.kachle", source, zoom, x, y);
  return writer.Write(root + folder, name, error);
}

// GeoKuk: coordinates in 2^28 units, a tile of zoom z spans 2^(28-z). Each
// zoom level covers a square block around the same origin.
bool WriteGeoKuk(TileWriter& writer, const std::string& root, int tiles, std::string* error) {
  constexpr int kFirstZoom = 12;
  constexpr unsigned kOriginX = 0x7900000u;
  constexpr unsigned kOriginY = 0x8200000u;
  const std::vector<int> counts = TilesPerZoom(tiles, 5);
  for (int level = 0; level < 5; ++level) {
    const int zoom = kFirstZoom + level;
    const unsigned step = 1u << (28 - zoom);
    const int count = counts[static_cast<std::size_t>(level)];
    const int side = std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count)))));
    for (int i = 0; i < count; ++i) {
      const unsigned x = kOriginX + static_cast<unsigned>(i % side) * step;
      const unsigned y = kOriginY + static_cast<unsigned>(i / side) * step;
      if (!WriteKachle(writer, root, i % 8 == 7 ? "letecka" : "turist", zoom, x, y, error)) return false;
    }
  }
  return true;
}

// GeoKuk as a real cache holds it: one source, zooms 8-16 over one square
// (a zoom-z tile of it wherever the square has one), lowest zoom first, the
// zoom-16 level cut off where `tiles` are written. The square's corner lies
// off the grid of the top folders, as a real place does.
bool WriteGeoKukOneTilePerLeaf(TileWriter& writer, const std::string& root, int tiles, std::string* error) {
  constexpr int kFirstZoom = 8;
  constexpr int kLastZoom = 16;
  constexpr unsigned kOriginX = 0x7960000u;  // zoom-16 aligned, inside a top folder
  constexpr unsigned kOriginY = 0x82a0000u;
  // Zoom-16 tiles a side: the smallest square whose zooms hold `tiles`.
  long long side = 1;
  const auto total = [](long long s) {
    long long sum = 0;
    for (int zoom = kFirstZoom; zoom <= kLastZoom; ++zoom) {
      const long long n = (s + (1LL << (kLastZoom - zoom)) - 1) >> (kLastZoom - zoom);
      sum += n * n;
    }
    return sum;
  };
  while (total(side) < tiles) ++side;
  int written = 0;
  for (int zoom = kFirstZoom; zoom <= kLastZoom && written < tiles; ++zoom) {
    const unsigned step = 1u << (28 - zoom);
    const auto n = static_cast<unsigned>((side + (1LL << (kLastZoom - zoom)) - 1) >> (kLastZoom - zoom));
    // The zoom's tiles that hold the square's corner and the ones after it.
    const unsigned x0 = kOriginX / step * step;
    const unsigned y0 = kOriginY / step * step;
    for (unsigned row = 0; row < n && written < tiles; ++row) {
      for (unsigned column = 0; column < n && written < tiles; ++column) {
        if (!WriteKachle(writer, root, "turist", zoom, x0 + column * step, y0 + row * step, error)) return false;
        ++written;
      }
    }
  }
  return true;
}

// GeoKuk, scattered: zooms 8-16 in the proportions of a pyramid (each level
// four times the tiles of the one above), every tile at a random place of
// the zoom's grid inside 64 x 64 top folders; a place drawn twice is drawn
// again.
bool WriteGeoKukScattered(TileWriter& writer, const std::string& root, int tiles, std::string* error) {
  constexpr int kFirstZoom = 8;
  constexpr int kLastZoom = 16;
  constexpr unsigned kOriginX = 0x5000000u;  // 64 top folders a side: 0x50..0x8f
  constexpr unsigned kOriginY = 0x6000000u;
  constexpr unsigned kSpan = 64u << 20;
  std::vector<int> counts;
  long long weight = 0;
  for (int zoom = kFirstZoom; zoom <= kLastZoom; ++zoom) weight += 1LL << (2 * (zoom - kFirstZoom));
  int given = 0;
  for (int zoom = kFirstZoom; zoom <= kLastZoom; ++zoom) {
    const auto share = static_cast<int>((static_cast<long long>(tiles) << (2 * (zoom - kFirstZoom))) / weight);
    counts.push_back(zoom == kLastZoom ? tiles - given : share);
    given += counts.back();
  }
  for (int zoom = kFirstZoom; zoom <= kLastZoom; ++zoom) {
    const unsigned step = 1u << (28 - zoom);
    const unsigned cells = kSpan / step;
    std::uniform_int_distribution<unsigned> cell(0, cells - 1);
    std::set<std::pair<unsigned, unsigned>> taken;
    const int count = counts[static_cast<std::size_t>(zoom - kFirstZoom)];
    while (static_cast<int>(taken.size()) < std::min<long long>(count, 1LL * cells * cells)) {
      const std::pair<unsigned, unsigned> place{cell(writer.Random()), cell(writer.Random())};
      if (!taken.insert(place).second) continue;
      if (!WriteKachle(writer, root, "turist", zoom, kOriginX + place.first * step, kOriginY + place.second * step,
                       error)) {
        return false;
      }
    }
  }
  return true;
}

// OSM Tracker Storage: per zoom level, consecutive columns of 20-60 rows.
bool WriteOsm(TileWriter& writer, const std::string& root, int tiles, std::string* error) {
  constexpr int kFirstZoom = 12;
  const std::vector<int> counts = TilesPerZoom(tiles, 6);
  std::uniform_int_distribution<int> rowsPerColumn(kMinRowsPerColumn, kMaxRowsPerColumn);
  for (int level = 0; level < 6; ++level) {
    const int zoom = kFirstZoom + level;
    int left = counts[static_cast<std::size_t>(level)];
    int column = 2200 << level;
    const int firstRow = 1380 << level;
    while (left > 0) {
      const int rows = std::min(left, rowsPerColumn(writer.Random()));
      const std::string folder = root + "/" + std::to_string(zoom) + "/" + std::to_string(column);
      for (int r = 0; r < rows; ++r) {
        if (!writer.Write(folder, std::to_string(firstRow + r) + ".png", error)) return false;
      }
      left -= rows;
      ++column;
    }
  }
  return true;
}

}  // namespace

bool PrepareBenchTree(const std::string& root, int tilesPerLayout, BenchTree* tree, std::string* error) {
  BenchTreeShape shape;
  shape.tilesPerLayout = tilesPerLayout;
  return PrepareBenchTree(root, shape, tree, error);
}

bool PrepareBenchTree(const std::string& root, const BenchTreeShape& shape, BenchTree* tree, std::string* error) {
  assert(shape.tilesPerLayout > 0 && shape.minBytes > 0 && shape.minBytes <= shape.maxBytes);
  assert(tree != nullptr && error != nullptr);
  const BenchTreeShape defaults;
  std::string base = root + "/tiles-" + std::to_string(shape.tilesPerLayout);
  const bool leaf = shape.geoKuk && shape.geoKukShape == GeoKukShape::OneTilePerLeaf;
  const bool scattered = shape.geoKuk && shape.geoKukShape == GeoKukShape::Scattered;
  if (shape.minBytes != defaults.minBytes || shape.maxBytes != defaults.maxBytes || !shape.geoKuk || !shape.osm ||
      leaf || scattered) {
    // Appended piece by piece: g++ 12 warns falsely on a literal + std::string here.
    base += '-';
    base += std::to_string(shape.minBytes);
    base += '-';
    base += std::to_string(shape.maxBytes);
    if (!shape.geoKuk) base += "-osm";
    if (!shape.osm) base += "-geokuk";
    if (leaf) base += "-leaf";
    if (scattered) base += "-scattered";
  }
  tree->geoKuk = shape.geoKuk ? base + "/geokuk" : "";
  tree->osm = shape.osm ? base + "/osm" : "";
  tree->tilesPerLayout = shape.tilesPerLayout;

  const std::string marker = base + "/" + kMarkerName;
  if (std::ifstream in(marker); in && in >> tree->tilesPerLayout >> tree->bytes >> tree->folders) {
    tree->reused = true;
    return true;
  }
  std::error_code ignored;
  std::filesystem::remove_all(base, ignored);
  TileWriter writer(20240607, shape.minBytes, shape.maxBytes);
  if (!writer.MakeFolders(base) || (shape.geoKuk && !writer.MakeFolders(tree->geoKuk)) ||
      (shape.osm && !writer.MakeFolders(tree->osm))) {
    *error = "cannot create " + base + ": " + std::strerror(errno);
    return false;
  }
  const long long rootFolders = writer.Folders();
  const auto writeGeoKuk = leaf ? WriteGeoKukOneTilePerLeaf : scattered ? WriteGeoKukScattered : WriteGeoKuk;
  if ((shape.geoKuk && !writeGeoKuk(writer, tree->geoKuk, shape.tilesPerLayout, error)) ||
      (shape.osm && !WriteOsm(writer, tree->osm, shape.tilesPerLayout, error))) {
    return false;
  }
  tree->bytes = writer.Bytes();
  tree->folders = writer.Folders() - rootFolders;
  tree->reused = false;
  std::ofstream out(marker);
  out << tree->tilesPerLayout << ' ' << tree->bytes << ' ' << tree->folders << '\n';
  if (!out.flush()) {
    *error = "cannot write " + marker;
    return false;
  }
  return true;
}

}  // namespace bench
