// The preview's MBTiles file: its own read-only connection, opened as the
// conversion opens it (store/mbtiles_reader.h: the file is never changed and
// nothing is left beside it). Every key goes through MbtilesRowToKey, the
// conversion's own flip of tile_row, so a tile lies where the map file will
// hold it: one Web Mercator layer.
//
//   QuickIndex  a file of at most kCountedIndexRows rows is counted; a larger
//               one is learnt by seeks on its key index: the zoom levels, the
//               first and last column of each, and the rows of a few columns
//               spread between them. A file with no such index (each seek
//               would read the whole file) is counted instead.
//   Count       one pass over the keys, which SQLite reads from the key index
//               alone where the file has one. A row whose tile_data is NULL
//               is counted with the others here (the index does not tell);
//               its cell is drawn empty.
//   Read        one tile_data by its key.
#include <cmath>
#include <initializer_list>
#include <optional>

#include "convert/layouts.h"
#include "convert/preview_coverage.h"
#include "convert/preview_rows.h"
#include "convert/preview_tree_listing.h"
#include "convert/preview_tree_sources.h"
#include "store/mbtiles.h"
#include "store/mbtiles_reader.h"
#include "store/sqlite_database.h"

namespace convert {

namespace {

// A file of at most this many rows is counted for its index.
constexpr long long kCountedIndexRows = 200000;
// Columns per zoom level whose rows the index of a larger file reads.
constexpr std::size_t kSampledColumns = 9;

// The map's row y of the MBTiles row `row` of `column` at `zoom`, or -1.
long long MapRowOf(long long zoom, long long column, long long row) {
  store::MbtilesKey key;
  key.zoom = zoom;
  key.column = column;
  key.row = row;
  TileKey tile;
  if (store::MbtilesRowToKey(key, &tile) != store::MbtilesRowFate::Tile) return -1;
  return tile.y;
}

class MbtilesPreview : public PreviewSource {
 public:
  bool Open(const std::string& path, std::string* why) {
    const store::MbtilesOpenResult opened = store::OpenMbtilesForReading(database_, path);
    if (opened.status == store::MbtilesOpenStatus::Ready) return true;
    *why = opened.detail.empty() ? std::string("no MBTiles file") : opened.detail;
    return false;
  }

  void SetStop(const std::atomic<int>* stop) override {
    PreviewSource::SetStop(stop);
    database_.setBusyStop(stop);
  }

  PreviewIndex QuickIndex() override {
    try {
      const std::optional<long long> rows = RowsUpTo(kCountedIndexRows + 1);
      if (!rows) return {};
      if (*rows > kCountedIndexRows && SeeksByIndex()) return SampledIndex();
    } catch (const SQLite::Error&) {
      return {};
    }
    PreviewCount count;
    if (!Count({}, &count)) return {};
    return count.index;
  }

  bool Count(const std::function<void(long long)>& progress, PreviewCount* out) override {
    return CountKeyRows(database_, store::kMbtilesEveryKeySql, stop_, progress,
                        [](sqlite3_stmt* row, CoverageBuilder* builder) {
                          TileKey key;
                          if (store::MbtilesRowToKey(store::ReadMbtilesKey(row), &key) == store::MbtilesRowFate::Tile) {
                            builder->Add(PreviewLayer{}, kZoomBase - key.z, key.x, key.y);
                          }
                        },
                        out);
  }

  PreviewRead Read(const PreviewTile& tile, std::vector<unsigned char>* bytes) override {
    bytes->clear();
    if (tile.layer.grid != store::TileGrid::WebMercator || tile.x < 0 || tile.y < 0 || tile.x > INT32_MAX ||
        tile.y > INT32_MAX) {
      return PreviewRead::Missing;
    }
    TileKey key;
    key.x = static_cast<int>(tile.x);
    key.y = static_cast<int>(tile.y);
    key.z = kZoomBase - tile.zoom;
    store::MbtilesKey row;
    if (!store::KeyToMbtilesRow(key, &row)) return PreviewRead::Missing;
    try {
      if (!image_.IsLive()) image_ = database_.prepare(store::kMbtilesTileDataSql);
    } catch (const SQLite::Error&) {
      return PreviewRead::Failed;
    }
    sqlite3_bind_int64(image_.handle, 1, row.zoom);
    sqlite3_bind_int64(image_.handle, 2, row.column);
    sqlite3_bind_int64(image_.handle, 3, row.row);
    return StepImage(image_.handle, &stats_, bytes);
  }

 private:
  // The rows of `tiles`, counted up to `limit`; nullopt when reading
  // failed. Throws SQLite::Error when the count cannot be prepared.
  std::optional<long long> RowsUpTo(long long limit) {
    SQLite::Statement statement = database_.prepare(store::kMbtilesRowsUpToSql);
    sqlite3_bind_int64(statement.handle, 1, limit);
    if (sqlite3_step(statement.handle) != SQLITE_ROW) return std::nullopt;
    return sqlite3_column_int64(statement.handle, 0);
  }

  // True when SQLite seeks the zoom levels on an index: no step of the plan
  // scans a whole table. Throws SQLite::Error.
  bool SeeksByIndex() {
    std::u16string sql = u"EXPLAIN QUERY PLAN ";
    sql += store::kMbtilesNextZoomSql;
    SQLite::Statement plan = database_.prepare(sql.c_str());
    int result = SQLITE_ROW;
    while ((result = sqlite3_step(plan.handle)) == SQLITE_ROW) {
      const auto* detail = reinterpret_cast<const char*>(sqlite3_column_text(plan.handle, 3));
      if (detail == nullptr || std::string(detail).rfind("SCAN", 0) == 0) return false;
    }
    return result == SQLITE_DONE;
  }

  // The first integer value of column 0 the statement gives after binding
  // `values` to its parameters, or nullopt.
  static std::optional<long long> First(SQLite::Statement& statement, std::initializer_list<long long> values) {
    sqlite3_reset(statement.handle);
    int at = 1;
    for (long long value : values) sqlite3_bind_int64(statement.handle, at++, value);
    if (sqlite3_step(statement.handle) != SQLITE_ROW) return std::nullopt;
    if (sqlite3_column_type(statement.handle, 0) == SQLITE_INTEGER) return sqlite3_column_int64(statement.handle, 0);
    if (sqlite3_column_type(statement.handle, 0) == SQLITE_FLOAT) {
      return static_cast<long long>(std::floor(sqlite3_column_double(statement.handle, 0)));
    }
    return std::nullopt;
  }

  // The levels from seeks on the key index: columns and rows of a few
  // columns per level, each level's tiles the sampled columns' mean times
  // its columns. A level whose every column was read is exact.
  PreviewIndex SampledIndex() {
    SQLite::Statement nextZoom = database_.prepare(store::kMbtilesNextZoomSql);
    SQLite::Statement firstColumn = database_.prepare(store::kMbtilesFirstColumnSql);
    SQLite::Statement lastColumn = database_.prepare(store::kMbtilesLastColumnSql);
    SQLite::Statement columnRows = database_.prepare(store::kMbtilesColumnRowsSql);
    PreviewLayerIndex layer;
    bool exact = true;
    long long from = 0;
    while (const std::optional<long long> found = First(nextZoom, {from, store::kMbtilesMaxZoom})) {
      if (Stopped()) return {};
      from = std::max(from, *found) + 1;
      // A real zoom_level (5.5) is no zoom level: the seek goes on past it.
      if (sqlite3_column_type(nextZoom.handle, 0) != SQLITE_INTEGER || *found < 0) continue;
      const long long zoom = *found;
      const long long side = 1LL << zoom;
      const std::optional<long long> c0 = First(firstColumn, {zoom, 0, side});
      const std::optional<long long> c1 = First(lastColumn, {zoom, 0, side});
      if (!c0 || !c1 || *c1 < *c0) continue;
      PreviewLevel level;
      level.zoom = static_cast<int>(zoom);
      level.extent.x0 = *c0;
      level.extent.x1 = *c1;
      level.extent.y0 = INT64_MAX;
      level.extent.y1 = -1;
      const long long width = *c1 - *c0 + 1;
      long long columnsRead = 0;
      long long tilesRead = 0;
      long long lastRead = -1;
      for (std::size_t offset : SpreadSample(static_cast<std::size_t>(width), kSampledColumns)) {
        const std::optional<long long> column = First(firstColumn, {zoom, *c0 + static_cast<long long>(offset), side});
        if (!column || *column == lastRead) continue;
        lastRead = *column;
        sqlite3_reset(columnRows.handle);
        sqlite3_bind_int64(columnRows.handle, 1, zoom);
        sqlite3_bind_int64(columnRows.handle, 2, *column);
        sqlite3_bind_int64(columnRows.handle, 3, side);
        if (sqlite3_step(columnRows.handle) != SQLITE_ROW) continue;
        ++columnsRead;
        const long long count = sqlite3_column_int64(columnRows.handle, 2);
        if (count == 0) continue;
        tilesRead += count;
        // Rows are numbered from the south: the highest is the northmost.
        const long long north = MapRowOf(zoom, *column, sqlite3_column_int64(columnRows.handle, 1));
        const long long south = MapRowOf(zoom, *column, sqlite3_column_int64(columnRows.handle, 0));
        if (north >= 0) level.extent.y0 = std::min(level.extent.y0, north);
        if (south >= 0) level.extent.y1 = std::max(level.extent.y1, south);
      }
      if (level.extent.y1 < 0 || columnsRead == 0) {
        exact = false;
        continue;
      }
      if (columnsRead < width) exact = false;
      level.tiles = std::max(1LL, static_cast<long long>(static_cast<double>(tilesRead) / static_cast<double>(columnsRead) *
                                                             static_cast<double>(width) + 0.5));
      layer.levels.push_back(level);
    }
    PreviewIndex index;
    if (!layer.levels.empty()) index.layers.push_back(std::move(layer));
    index.counted = exact;
    return index;
  }

  SQLite::Database database_;  // the MBTiles file, read-only
  SQLite::Statement image_;    // the tile_data SELECT, once prepared
};

}  // namespace

std::unique_ptr<PreviewSource> MakeMbtilesPreview(const std::string& path, std::string* why) {
  auto source = std::make_unique<MbtilesPreview>();
  if (!source->Open(path, why)) return nullptr;
  return source;
}

}  // namespace convert
