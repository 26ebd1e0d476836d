// Tiles in and out, as users run them: whole cvmap processes, warm page
// cache, in rounds that alternate every run (each round starts with the next
// one):
//   convert tree     `cvmap convert OSM-TREE MAP`, the folder conversion
//   convert mbtiles  `cvmap convert FILE.mbtiles MAP`, the same tiles from an
//                    MBTiles file (made once by cvmap export)
//   export osm       `cvmap export MAP FOLDER`, the OSM tree's map back out
//   export mbtiles   `cvmap export MAP FILE.mbtiles`
//   export geokuk    `cvmap export MAP FOLDER`, the GeoKuk tree's map
//   write loop       the reference, in this process: the same rows read with
//                    one SELECT and written as plain files (mkdir, open,
//                    write, close; one syncfs at the end, as export makes
//                    its files durable), for each layout
// Every run writes to a fresh target after a sync. Prints tiles per second
// (median, spread in brackets) and the medians of the per-round speed
// ratios: convert mbtiles / convert tree (target at least 1), export /
// write loop (target at least 0.8).
//
//   export_bench [--tiles N] [--rounds R] [--dir FOLDER]
//     N  tiles in each tree (default 20000)   R  rounds (default 5)
// Exits 0 when every run succeeded; the targets are reported, not enforced.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_process.h"
#include "bench/bench_tree.h"
#include "convert/layouts.h"

#ifndef CORVANE_BENCH_DATA
#define CORVANE_BENCH_DATA "benchdata"
#endif
#ifndef CORVANE_CVMAP_PATH
#define CORVANE_CVMAP_PATH "cvmap"
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kMbtilesSourceTarget = 1.0;  // convert mbtiles / convert tree speed, at least
constexpr double kExportTarget = 0.8;         // export / write loop speed, at least

double TimeCvmap(const std::vector<std::string>& args) {
  std::vector<std::string> words{CORVANE_CVMAP_PATH};
  words.insert(words.end(), args.begin(), args.end());
  return bench::TimeProcess(words);
}

// Creates `folder` and its parents; false on failure.
bool MakeFolders(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST) return true;
  if (errno != ENOENT) return false;
  const std::size_t slash = folder.rfind('/');
  if (slash == std::string::npos || slash == 0 || !MakeFolders(folder.substr(0, slash))) return false;
  return ::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST;
}

// The reference: every row of the map at `map` written below `root` as a
// plain file of its layout's path, with one syncfs at the end. Returns the
// seconds taken, or a negative number on a failure.
double WriteLoop(const std::string& map, const std::string& root) {
  const Clock::time_point start = Clock::now();
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(map.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return -1;
  sqlite3_stmt* rows = nullptr;
  sqlite3_prepare_v2(db, "SELECT x, y, z, s, image FROM tiles", -1, &rows, nullptr);
  std::string lastFolder;
  bool ok = rows != nullptr;
  while (ok && sqlite3_step(rows) == SQLITE_ROW) {
    convert::TileKey key;
    key.x = sqlite3_column_int(rows, 0);
    key.y = sqlite3_column_int(rows, 1);
    key.z = sqlite3_column_int(rows, 2);
    const bool named = sqlite3_column_type(rows, 3) == SQLITE_TEXT;
    const std::optional<convert::TileFilePath> path =
        named ? convert::GeoKukTilePath(key, reinterpret_cast<const char*>(sqlite3_column_text(rows, 3)))
              : convert::OsmTrackerStorageTilePath(key, "png");
    if (!path) continue;
    const std::string folder = root + "/" + path->folder;
    if (folder != lastFolder) {
      ok = MakeFolders(folder);
      lastFolder = folder;
    }
    const void* data = sqlite3_column_blob(rows, 4);
    const auto size = static_cast<std::size_t>(sqlite3_column_bytes(rows, 4));
    const int fd = ::open((folder + "/" + path->name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    ok = ok && fd >= 0 && ::write(fd, data, size) == static_cast<ssize_t>(size);
    if (fd >= 0) ::close(fd);
  }
  sqlite3_finalize(rows);
  sqlite3_close(db);
  const int rootFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ok = ok && rootFd >= 0 && ::syncfs(rootFd) == 0;
  if (rootFd >= 0) ::close(rootFd);
  return ok ? std::chrono::duration<double>(Clock::now() - start).count() : -1;
}

struct Run {
  const char* name;                  // as printed
  std::function<double()> time;      // one timed run on a fresh target; < 0 on failure
  std::vector<double> seconds;       // by round
};

}  // namespace

int main(int argc, char** argv) {
  int tiles = 20000;
  int rounds = 5;
  std::string dir = CORVANE_BENCH_DATA;
  if (!bench::ReadBenchOptions(argc, argv, "export_bench [--tiles N] [--rounds R] [--dir FOLDER]", &tiles, &rounds, &dir)) {
    return 2;
  }
  bench::BenchTree tree;
  std::string error;
  if (!bench::PrepareBenchTree(dir, tiles, &tree, &error)) {
    std::fprintf(stderr, "export_bench: %s\n", error.c_str());
    return 1;
  }
  const std::string work = dir + "/export-work";
  std::filesystem::remove_all(work);
  std::filesystem::create_directories(work);
  const std::string osmMap = work + "/osm.cvmap";
  const std::string geoKukMap = work + "/geokuk.cvmap";
  const std::string mbtiles = work + "/source.mbtiles";
  // The maps and the MBTiles source; these runs also warm the page cache.
  bool ok = TimeCvmap({"convert", tree.osm, osmMap, "--quiet"}) > 0 &&
            TimeCvmap({"convert", tree.geoKuk, geoKukMap, "--quiet"}) > 0 &&
            TimeCvmap({"export", osmMap, mbtiles, "--quiet"}) > 0;
  if (!ok) {
    std::fprintf(stderr, "export_bench: preparing the maps failed\n");
    return 1;
  }
  const std::string fresh = work + "/fresh";
  auto clean = [&] {
    std::filesystem::remove_all(fresh);
    std::filesystem::remove(fresh + ".cvmap");
    std::filesystem::remove(fresh + ".mbtiles");
    ::sync();
  };
  std::vector<Run> runs = {
      {"convert tree", [&] { return TimeCvmap({"convert", tree.osm, fresh + ".cvmap", "--quiet"}); }, {}},
      {"convert mbtiles", [&] { return TimeCvmap({"convert", mbtiles, fresh + ".cvmap", "--quiet"}); }, {}},
      {"export osm", [&] { return TimeCvmap({"export", osmMap, fresh, "--quiet"}); }, {}},
      {"write loop osm", [&] { return WriteLoop(osmMap, fresh); }, {}},
      {"export mbtiles", [&] { return TimeCvmap({"export", osmMap, fresh + ".mbtiles", "--quiet"}); }, {}},
      {"export geokuk", [&] { return TimeCvmap({"export", geoKukMap, fresh, "--quiet"}); }, {}},
      {"write loop geokuk", [&] { return WriteLoop(geoKukMap, fresh); }, {}},
  };
  std::printf("tiles in and out, %d tiles a tree, %d rounds, warm cache\n", tiles, rounds);
  for (int round = 0; round < rounds; ++round) {
    std::vector<double> seconds(runs.size(), -1);
    for (std::size_t step = 0; step < runs.size(); ++step) {
      const std::size_t k = (step + round) % runs.size();
      clean();
      seconds[k] = runs[k].time();
    }
    clean();
    bool roundOk = true;
    for (double s : seconds) roundOk = roundOk && s > 0;
    if (!roundOk) {
      std::fprintf(stderr, "export_bench: a run of round %d failed\n", round + 1);
      ok = false;
      continue;
    }
    for (std::size_t k = 0; k < runs.size(); ++k) runs[k].seconds.push_back(seconds[k]);
  }
  if (runs[0].seconds.empty()) return 1;
  for (Run& run : runs) {
    std::vector<double> rates;
    for (double s : run.seconds) rates.push_back(tiles / s);
    std::printf("  %-18s %s tiles/s\n", run.name, bench::Spread(rates, "%.0f").c_str());
  }
  // Speed ratios per round: the reference's time over the run's.
  auto ratio = [&](std::size_t run, std::size_t reference) {
    std::vector<double> r;
    for (std::size_t i = 0; i < runs[run].seconds.size(); ++i) r.push_back(runs[reference].seconds[i] / runs[run].seconds[i]);
    return r;
  };
  struct Ratio {
    const char* what;
    std::size_t run, reference;
    double target;
  };
  for (const Ratio& r : {Ratio{"convert mbtiles / convert tree", 1, 0, kMbtilesSourceTarget},
                         Ratio{"export osm / write loop osm", 2, 3, kExportTarget},
                         Ratio{"export mbtiles / write loop osm", 4, 3, kExportTarget},
                         Ratio{"export geokuk / write loop geokuk", 5, 6, kExportTarget}}) {
    const std::vector<double> values = ratio(r.run, r.reference);
    const double median = bench::Median(values);
    std::printf("  speed %-34s %s (target >= %.1f: %s)\n", r.what, bench::Spread(values, "%.2f").c_str(), r.target,
                median >= r.target ? "met" : "NOT met");
  }
  std::filesystem::remove_all(work);
  return ok ? 0 : 1;
}
