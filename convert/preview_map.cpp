// The preview's map file: its own read-only connection; the index from a
// sample of rows by rowid (a large file) or from every key (a small one);
// the count from one pass over the keys, which SQLite reads from the
// primary key's index alone; a tile by its key.
#include <map>

#include "convert/preview_coverage.h"
#include "convert/preview_rows.h"
#include "convert/preview_source.h"
#include "platform/file_io.h"
#include "platform/message_box.h"
#include "platform/utf.h"
#include "store/map_file.h"
#include "store/sqlite_database.h"

namespace convert {

namespace {

// A map of at most this many rows is counted for its index: one pass over
// its keys takes a few tens of milliseconds.
constexpr long long kCountedIndexRows = 200000;
// Rows the index of a larger map samples.
constexpr int kSampledRows = 1024;

constexpr char16_t kFirstRowidSql[] = u"SELECT rowid FROM `tiles` ORDER BY rowid LIMIT 1";
constexpr char16_t kLastRowidSql[] = u"SELECT rowid FROM `tiles` ORDER BY rowid DESC LIMIT 1";
constexpr char16_t kRowAtSql[] = u"SELECT `x`, `y`, `z`, `s` FROM `tiles` WHERE rowid >= ? LIMIT 1";
constexpr char16_t kEveryKeySql[] = u"SELECT `x`, `y`, `z`, `s` FROM `tiles`";
constexpr char16_t kImageSql[] = u"SELECT `image` FROM `tiles` WHERE `x` = ? AND `y` = ? AND `z` = ? AND `s` = ?";

// A key read from a row; false for a row whose x, y or z is no integer.
struct RowKey {
  PreviewLayer layer;
  int zoom = 0;
  long long x = 0;
  long long y = 0;
};

bool ReadRowKey(sqlite3_stmt* statement, RowKey* key) {
  for (int column = 0; column < 3; ++column) {
    if (sqlite3_column_type(statement, column) != SQLITE_INTEGER) return false;
  }
  const long long z = sqlite3_column_int64(statement, 2);
  if (z < 17 - 99 || z > 17) return false;  // zoom 0 .. 99, as file names carry them
  key->zoom = static_cast<int>(17 - z);
  key->x = sqlite3_column_int64(statement, 0);
  key->y = sqlite3_column_int64(statement, 1);
  std::string name;
  key->layer = PreviewLayer{};
  switch (store::StoredSourceOf(statement, 3, &name)) {
    case store::StoredSource::WebMercator:
      return true;
    case store::StoredSource::GeoKukName:
      key->layer.grid = store::TileGrid::GeoKuk;
      key->layer.sourceIsText = true;
      key->layer.source = platform::Utf8ToUtf16(name);
      return true;
    case store::StoredSource::None:
      break;
  }
  return false;  // a blob or NULL source belongs to no grid
}

class MapPreview : public PreviewSource {
 public:
  MapPreview() : database_(&boxes_) {}

  bool Open(const std::string& path, std::string* why) {
    if (!store::RecogniseMapFileReadOnly(database_, path, boxes_)) {
      const auto shown = boxes_.Messages();
      *why = shown.empty() ? std::string("no map file") : platform::Utf16ToUtf8(shown.back().text);
      return false;
    }
    return true;
  }

  void SetStop(const std::atomic<int>* stop) override {
    PreviewSource::SetStop(stop);
    database_.setBusyStop(stop);
  }

  PreviewIndex QuickIndex() override {
    try {
      long long first = 0;
      long long last = 0;
      if (!Rowid(kFirstRowidSql, &first) || !Rowid(kLastRowidSql, &last)) return {};
      if (last - first + 1 > kCountedIndexRows) return SampledIndex(first, last);
    } catch (const SQLite::Error&) {
      // No rowid (a foreign table): the keys are counted instead.
    }
    PreviewCount count;
    if (!Count({}, &count)) return {};
    return count.index;
  }

  bool Count(const std::function<void(long long)>& progress, PreviewCount* out) override {
    return CountKeyRows(database_, kEveryKeySql, stop_, progress,
                        [](sqlite3_stmt* row, CoverageBuilder* builder) {
                          RowKey key;
                          if (ReadRowKey(row, &key)) builder->Add(key.layer, key.zoom, key.x, key.y);
                        },
                        out);
  }

  PreviewRead Read(const PreviewTile& tile, std::vector<unsigned char>* bytes) override {
    bytes->clear();
    try {
      if (!image_.IsLive()) image_ = database_.prepare(kImageSql);
    } catch (const SQLite::Error&) {
      return PreviewRead::Failed;
    }
    sqlite3_stmt* statement = image_.handle;
    sqlite3_bind_int64(statement, 1, tile.x);
    sqlite3_bind_int64(statement, 2, tile.y);
    sqlite3_bind_int64(statement, 3, 17LL - tile.zoom);
    if (tile.layer.sourceIsText) {
      sourceUtf8_ = platform::Utf16ToUtf8(tile.layer.source);
      sqlite3_bind_text(statement, 4, sourceUtf8_.data(), static_cast<int>(sourceUtf8_.size()), SQLITE_STATIC);
    } else {
      sqlite3_bind_int64(statement, 4, 0);
    }
    const PreviewRead outcome = StepImage(statement, &stats_, bytes);
    sqlite3_clear_bindings(statement);
    return outcome;
  }

 private:
  // The rowid the statement gives, false when the table is empty. Throws
  // SQLite::Error when it cannot be prepared.
  bool Rowid(const char16_t* sql, long long* rowid) {
    SQLite::Statement statement = database_.prepare(sql);
    if (sqlite3_step(statement.handle) != SQLITE_ROW) return false;
    *rowid = sqlite3_column_int64(statement.handle, 0);
    return true;
  }

  // Levels and extents from rows spread evenly over the rowids; counts are
  // the sample's shares of the rowid span.
  PreviewIndex SampledIndex(long long first, long long last) {
    SQLite::Statement statement = database_.prepare(kRowAtSql);
    std::map<std::pair<PreviewLayer, int>, PreviewLevel> levels;
    std::map<std::pair<PreviewLayer, int>, long long> hits;
    int sampled = 0;
    const long long span = last - first + 1;
    for (int i = 0; i < kSampledRows; ++i) {
      if (Stopped()) return {};
      sqlite3_bind_int64(statement.handle, 1, first + span * (2LL * i + 1) / (2LL * kSampledRows));
      RowKey key;
      if (sqlite3_step(statement.handle) == SQLITE_ROW && ReadRowKey(statement.handle, &key)) {
        ++sampled;
        auto [at, fresh] = levels.try_emplace({key.layer, key.zoom});
        PreviewLevel& level = at->second;
        if (fresh) {
          level.zoom = key.zoom;
          level.extent = {key.x, key.y, key.x, key.y};
        }
        level.extent.x0 = std::min(level.extent.x0, key.x);
        level.extent.x1 = std::max(level.extent.x1, key.x);
        level.extent.y0 = std::min(level.extent.y0, key.y);
        level.extent.y1 = std::max(level.extent.y1, key.y);
        ++hits[{key.layer, key.zoom}];
      }
      sqlite3_reset(statement.handle);
    }
    PreviewIndex index;
    for (auto& [key, level] : levels) {
      level.tiles = std::max(1LL, span * hits[key] / std::max(sampled, 1));
      if (index.layers.empty() || index.layers.back().layer != key.first) index.layers.push_back({key.first, {}});
      index.layers.back().levels.push_back(level);
    }
    return index;
  }

  platform::RecordingMessageBox boxes_;  // SQLite's messages, kept for *why; never shown
  SQLite::Database database_;            // the read-only connection
  SQLite::Statement image_;              // the image SELECT, once prepared
  std::string sourceUtf8_;               // the bound source name
};

}  // namespace

std::unique_ptr<PreviewSource> OpenMapPreview(const std::string& path, std::string* why) {
  // SQLite is given regular files only: opening a FIFO would wait for a writer.
  if (!platform::IsRegularFile(path)) {
    *why = "no map file";
    return nullptr;
  }
  auto source = std::make_unique<MapPreview>();
  if (!source->Open(path, why)) return nullptr;
  return source;
}

}  // namespace convert
