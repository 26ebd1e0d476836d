#include "bench/preview_map.h"

#include <sqlite3.h>

#include <QByteArray>
#include <QString>
#include <cassert>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "res/tools/tile_pictures.h"

namespace bench {

namespace {

constexpr int kFirstZoom = 12;
constexpr int kLevels = 6;
constexpr int kPictures = 256;

}  // namespace

std::vector<PreviewMapLevel> PreviewMapLevels(int tiles) {
  assert(tiles >= 63);
  std::vector<PreviewMapLevel> levels;
  const double weightSum = std::ldexp(1.0, kLevels) - 1;
  int given = 0;
  for (int i = 0; i < kLevels; ++i) {
    const int count = i + 1 < kLevels ? static_cast<int>(tiles * std::ldexp(1.0, i) / weightSum) : tiles - given;
    given += count;
    const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
    levels.push_back({kFirstZoom + i, 2200LL << i, 1380LL << i, side, count});
  }
  return levels;
}

bool PreparePreviewMap(const std::string& root, int tiles, std::string* path, std::string* error) {
  *path = root + "/preview-" + std::to_string(tiles) + ".cvmap";
  const std::string marker = *path + ".complete";
  if (std::filesystem::exists(marker)) return true;
  std::filesystem::create_directories(root);
  std::filesystem::remove(*path);
  std::vector<QByteArray> pictures;
  for (int i = 0; i < kPictures; ++i) {
    pictures.push_back(res_tools::TilePicture(i * 0.61, i * 0.37, QStringLiteral("#%1").arg(i), QString()));
  }
  sqlite3* db = nullptr;
  if (sqlite3_open(path->c_str(), &db) != SQLITE_OK) {
    *error = "cannot create " + *path;
    sqlite3_close(db);
    return false;
  }
  bool ok = sqlite3_exec(db,
                         "PRAGMA encoding = \"UTF-8\";"
                         "CREATE TABLE IF NOT EXISTS info(minzoom,maxzoom);"
                         "CREATE TABLE IF NOT EXISTS tiles(x int, y int, z int, s int, image blob, PRIMARY KEY (x,y,z,s));"
                         "BEGIN",
                         nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_stmt* insert = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES(?, ?, ?, 0, ?)", -1, &insert, nullptr) == SQLITE_OK;
  for (const PreviewMapLevel& level : PreviewMapLevels(tiles)) {
    for (int i = 0; ok && i < level.tiles; ++i) {
      const long long x = level.x0 + i % level.side;
      const long long y = level.y0 + i / level.side;
      const QByteArray& picture = pictures[static_cast<std::size_t>((x * 7 + y * 13) % kPictures)];
      sqlite3_bind_int64(insert, 1, x);
      sqlite3_bind_int64(insert, 2, y);
      sqlite3_bind_int(insert, 3, 17 - level.zoom);
      sqlite3_bind_blob(insert, 4, picture.constData(), static_cast<int>(picture.size()), SQLITE_STATIC);
      ok = sqlite3_step(insert) == SQLITE_DONE;
      sqlite3_reset(insert);
    }
  }
  sqlite3_finalize(insert);
  ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!ok) *error = std::string("cannot fill ") + *path + ": " + sqlite3_errmsg(db);
  sqlite3_close(db);
  if (!ok) return false;
  std::ofstream(marker) << "complete\n";
  return true;
}

std::vector<convert::ViewPoint> PreviewViewPlaces(int tiles, int count) {
  const std::vector<PreviewMapLevel> levels = PreviewMapLevels(tiles);
  const PreviewMapLevel* level = nullptr;
  for (const PreviewMapLevel& l : levels) {
    if (l.zoom == kPreviewBenchZoom) level = &l;
  }
  assert(level != nullptr);
  const double side = convert::TileSidePlane(store::TileGrid::WebMercator, kPreviewBenchZoom);
  const int rows = (level->tiles + level->side - 1) / level->side;
  std::vector<convert::ViewPoint> places;
  // The middle, then places around a ring of half the block's size: every
  // view is 6 x 4 tiles wide, far smaller than the steps between them.
  places.push_back({(level->x0 + level->side / 2.0) * side, (level->y0 + rows / 2.0) * side});
  for (int i = 1; i < count; ++i) {
    const double angle = 2 * M_PI * i / std::max(count - 1, 1);
    places.push_back({(level->x0 + level->side * (0.5 + 0.3 * std::cos(angle))) * side,
                      (level->y0 + rows * (0.5 + 0.3 * std::sin(angle))) * side});
  }
  return places;
}

}  // namespace bench
