// Conversion throughput on a generated cache of realistic tiles.
//
// Builds a tree of GeoKuk and OSM Tracker Storage tiles (random bytes of 2 to
// 30 KB, a fixed seed), then measures in one run:
//   converting pass  the conversion job's second pass, tiles per second;
//   limit loop       a bare loop over the same files that reads each one and
//                    inserts it with one reused statement inside a single
//                    transaction: what this machine can do at best.
// Both write fresh map files in the same folder; the files are warm in the
// page cache for both (the counting pass and the generation touched them),
// and every phase starts after a sync, so that none pays for the writeback of
// the one before.
//
//   convert_bench [--tiles N] [--dir FOLDER] [--keep]
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "convert/conversion_job.h"
#include "convert/layouts.h"
#include "convert/source_paths.h"
#include "platform/file_io.h"
#include "platform/folder_search.h"
#include "platform/message_box.h"
#include "platform/notification.h"
#include "store/map_file.h"
#include "store/sqlite_database.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMinTileBytes = 2 * 1024;
constexpr std::size_t kMaxTileBytes = 30 * 1024;
constexpr int kOsmTilesPerColumn = 50;  // OSM column folders hold tens of rows

// Writes `count` tiles of each layout below root/geokuk and root/osm.
// Returns the number of bytes written.
long long GenerateTree(const std::string& root, int count) {
  std::mt19937_64 random(20240607);
  std::vector<char> pool(kMaxTileBytes * 4);
  for (char& c : pool) c = static_cast<char>(random());
  std::uniform_int_distribution<std::size_t> sizes(kMinTileBytes, kMaxTileBytes);
  std::uniform_int_distribution<std::size_t> offsets(0, pool.size() - kMaxTileBytes);
  long long bytes = 0;
  auto write = [&](const std::string& folder, const std::string& name) {
    std::filesystem::create_directories(folder);
    const std::size_t size = sizes(random);
    std::ofstream out(folder + "/" + name, std::ios::binary);
    out.write(pool.data() + offsets(random), static_cast<std::streamsize>(size));
    bytes += static_cast<long long>(size);
  };
  // GeoKuk: zoom 13 tiles 0x8000 apart, so that the leaf folders (the first
  // two hex digits of x and y, then the next two of each) hold one tile, as in
  // real caches; every tenth tile has a relief overlay beside it.
  const int side = 1024;
  for (int i = 0; i < count; ++i) {
    const unsigned x = 0x7000000u + static_cast<unsigned>(i % side) * 0x8000u;
    const unsigned y = 0x6000000u + static_cast<unsigned>(i / side) * 0x8000u;
    char folder[64];
    char name[96];
    std::snprintf(folder, sizeof folder, "/geokuk/%02x/%02x/%02x/%02x", x >> 20, y >> 20, (x >> 12) & 0xff,
                  (y >> 12) & 0xff);
    std::snprintf(name, sizeof name, "%s_13_%07x_%07x.kachle", i % 10 == 9 ? "relief_l" : "turist", x, y);
    write(root + folder, name);
  }
  // OSM Tracker Storage: zoom\column\row.png, fifty rows per column.
  for (int i = 0; i < count; ++i) {
    const int zoom = 12 + i % 6;
    const int column = 1000 + i / (kOsmTilesPerColumn * 6);
    const int row = 2000 + (i / 6) % kOsmTilesPerColumn;
    write(root + "/osm/" + std::to_string(zoom) + "/" + std::to_string(column), std::to_string(row) + ".png");
  }
  return bytes;
}

// Records when the counting pass ended and when the job finished.
class TimingChannel : public platform::NotificationChannel {
 public:
  void Post(int code, int) override {
    if (code == convert::NotifyCounted) countedAt = Clock::now();
    if (code == convert::NotifyFinished) finishedAt = Clock::now();
  }
  Clock::time_point countedAt;   // the last NotifyCounted: the source folder's
  Clock::time_point finishedAt;  // NotifyFinished
};

struct Measure {
  long long tiles = 0;
  double seconds = 0;
  double Rate() const { return seconds > 0 ? tiles / seconds : 0; }
};

Measure ConvertingPass(const std::string& source, int layout, const std::string& mapPath) {
  ::sync();  // the previous phase's dirty pages are not written back on this phase's time
  platform::StderrMessageBox boxes("convert_bench: ");
  SQLite::Database db(&boxes);
  store::CreateMapFileNative(db, mapPath);
  TimingChannel channel;
  convert::ConversionJob job;
  job.layout = layout;
  job.sourceFolder = source;
  job.database = &db;
  job.notifications = &channel;
  job.messageBoxes = &boxes;
  job.running = 1;
  convert::RunConversion(job);
  Measure m;
  m.tiles = job.stats.tilesStored.load();
  m.seconds = std::chrono::duration<double>(channel.finishedAt - channel.countedAt).count();
  return m;
}

// The limit: read every file below `folder` and insert it, one statement, one
// transaction, no pattern and no key decoding (keys are a running number).
void LimitWalk(const std::string& folder, sqlite3_stmt* insert, std::vector<unsigned char>& buffer,
               long long& count) {
  platform::FolderSearch search;
  if (!search.Open(folder, platform::EntryDetail::KindOnly)) return;
  platform::FolderEntry entry;
  while (search.Next(&entry)) {
    const std::string path = convert::JoinPath(folder, entry.name);
    if (entry.isDirectory) {
      if (entry.name != "." && entry.name != "..") LimitWalk(path, insert, buffer, count);
      continue;
    }
    if (platform::ReadWholeFile(path, &buffer) != platform::ReadStatus::Ok) continue;
    sqlite3_bind_int64(insert, 1, count);
    sqlite3_bind_int(insert, 2, 0);
    sqlite3_bind_int(insert, 3, 0);
    sqlite3_bind_int(insert, 4, 0);
    sqlite3_bind_blob64(insert, 5, buffer.data(), buffer.size(), SQLITE_TRANSIENT);
    if (sqlite3_step(insert) == SQLITE_DONE) ++count;
    sqlite3_reset(insert);
  }
}

Measure LimitLoop(const std::string& source, const std::string& mapPath) {
  ::sync();
  platform::StderrMessageBox boxes("convert_bench: ");
  SQLite::Database db(&boxes);
  store::CreateMapFileNative(db, mapPath);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db.handle, "INSERT INTO tiles (x, y, z, s, image) VALUES(?, ?, ?, ?, ?)", -1, &insert,
                     nullptr);
  std::vector<unsigned char> buffer;
  Measure m;
  const Clock::time_point start = Clock::now();
  sqlite3_exec(db.handle, "BEGIN TRANSACTION;", nullptr, nullptr, nullptr);
  LimitWalk(source, insert, buffer, m.tiles);
  sqlite3_exec(db.handle, "COMMIT;", nullptr, nullptr, nullptr);
  m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  sqlite3_finalize(insert);
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  int tiles = 50000;  // per layout
  std::string dir;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--tiles" && i + 1 < argc) {
      tiles = std::max(1, std::atoi(argv[++i]) / 2);
    } else if (arg == "--dir" && i + 1 < argc) {
      dir = argv[++i];
    } else if (arg == "--keep") {
      keep = true;
    } else {
      std::fprintf(stderr, "usage: convert_bench [--tiles N] [--dir FOLDER] [--keep]\n");
      return 2;
    }
  }
  const bool ownDir = dir.empty();
  if (ownDir) {
    std::string pattern = (std::filesystem::temp_directory_path() / "convert-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return 1;
    dir = pattern;
  }
  const std::string source = dir + "/tree";
  Clock::time_point start = Clock::now();
  const long long bytes = GenerateTree(source, tiles);
  std::printf("generated %d tiles (%.0f MB) in %.1f s under %s\n", 2 * tiles, bytes / 1e6,
              std::chrono::duration<double>(Clock::now() - start).count(), source.c_str());

  const Measure geoKuk = ConvertingPass(source + "/geokuk", convert::LayoutGeoKuk, dir + "/geokuk.cvmap");
  const Measure osm = ConvertingPass(source + "/osm", convert::LayoutOsmTrackerStorage, dir + "/osm.cvmap");
  const Measure limit = LimitLoop(source, dir + "/limit.cvmap");
  Measure job;
  job.tiles = geoKuk.tiles + osm.tiles;
  job.seconds = geoKuk.seconds + osm.seconds;

  std::printf("%-28s %9s %9s %12s\n", "", "tiles", "seconds", "tiles/s");
  std::printf("%-28s %9lld %9.2f %12.0f\n", "converting pass, GeoKuk", geoKuk.tiles, geoKuk.seconds, geoKuk.Rate());
  std::printf("%-28s %9lld %9.2f %12.0f\n", "converting pass, OSM", osm.tiles, osm.seconds, osm.Rate());
  std::printf("%-28s %9lld %9.2f %12.0f\n", "converting pass, both", job.tiles, job.seconds, job.Rate());
  std::printf("%-28s %9lld %9.2f %12.0f\n", "limit loop (one transaction)", limit.tiles, limit.seconds,
              limit.Rate());
  std::printf("converting pass / limit = %.2f\n", limit.Rate() > 0 ? job.Rate() / limit.Rate() : 0.0);

  if (!keep) {
    // Only what this run made goes; a folder given with --dir stays.
    std::error_code ignored;
    std::filesystem::remove_all(source, ignored);
    for (const char* map : {"/geokuk.cvmap", "/osm.cvmap", "/limit.cvmap"}) std::filesystem::remove(dir + map, ignored);
    if (ownDir) std::filesystem::remove(dir, ignored);
  }
  const bool complete = job.tiles == 2LL * tiles && limit.tiles == 2LL * tiles;
  if (!complete) std::fprintf(stderr, "convert_bench: not every tile was stored\n");
  return complete ? 0 : 1;
}
