// What users run, measured against what the machine can do, in one run.
//
// Three trees of the same number of tiles of 2-30 KB:
//   leaf    a GeoKuk cache of the shape a real one has: one map source, zooms
//           8-16 over one square, about one tile per leaf folder (as many
//           folders as tiles, near enough);
//   scattered  a GeoKuk cache of the same source and zooms, every tile at a
//           random place of a large region: about two folders a tile;
//   blocks  a GeoKuk cache whose zoom levels lie in blocks of their own;
//   osm     an OSM Tracker Storage tree, 20-60 tiles a folder.
// For each tree and cache state (warm: every folder listed and every file
// read just before the run; cold: every folder listed, then every source
// file's pages dropped with posix_fadvise DONTNEED), in rounds that alternate
// the runs (each round starts with a different one):
//   (a) cvmap     `cvmap convert SOURCE MAP --quiet` as a process;
//   (b) window    the window's job path as a process: the real dialog on the
//                 offscreen platform with its queued channel and event loop,
//                 from the click on "Převést" until the window is idle again
//                 (window_job_run; its own start-up is not counted);
//   (c) plain     the plain loop of reference_loops.h, in this process: one
//                 walk with readdir in the order the file system gives, no
//                 sorting, every file read and inserted with one reused
//                 statement inside one transaction, through SQLite's own
//                 file layer;
//   (d) readers   a read-only pass with 4 reader threads: the name-ordered
//                 walk, then every tile read by one of four threads (what
//                 the disk gives a cold tree at best);
//   (e) other     with --other CVMAP, another build's cvmap as (a) is run,
//                 to tell what a change does.
// It prints tiles per second with medians and spread, and the medians of the
// per-round ratios to (c). Every run stores into a fresh map file after a
// sync. The first warm round checks that (a), (b), (c) and (e) stored the
// same rows (same keys and bytes).
//
// Breakdown, in this process: the job's counting pass alone against a bare
// name-ordered walk (FolderSearch only) and a bare readdir walk, warm.
//
// Scale: a tree of 1,000,000 small tiles (1-2 KB, OSM layout) against one of
// 100,000 such tiles, converted by `cvmap convert` (warm): time per tile and
// peak resident memory of the process.
//
//   user_bench [--tiles N] [--rounds R] [--dir FOLDER] [--scale M] [--shapes LIST] [--no-cold] [--no-window]
//              [--other CVMAP]
//     N  tiles in each tree (default 100000)      R  rounds (default 3)
//     M  tiles of the scale run (default 1000000; 0 skips it)
//     LIST  the trees, of leaf, scattered, blocks, osm (default leaf, blocks, osm)
// Exits 0 when every run stored (or read) every tile and the rows matched;
// the targets are reported, not enforced.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_process.h"
#include "bench/bench_tree.h"
#include "bench/reference_loops.h"
#include "convert/conversion_job.h"
#include "convert/layouts.h"
#include "convert/source_paths.h"
#include "platform/file_io.h"
#include "platform/folder_search.h"
#include "platform/message_box.h"
#include "store/map_file.h"
#include "store/sqlite_database.h"

#ifndef CORVANE_BENCH_DATA
#define CORVANE_BENCH_DATA "benchdata"
#endif
#ifndef CORVANE_CVMAP_PATH
#define CORVANE_CVMAP_PATH "cvmap"
#endif
#ifndef CORVANE_WINDOW_RUN_PATH
#define CORVANE_WINDOW_RUN_PATH ""
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kWarmTarget = 1.2;     // (a)/(c) and (b)/(c) warm, at least
constexpr double kColdTarget = 2.0;     // (a)/(c) and (b)/(c) cold, at least
constexpr double kCountingTarget = 1.2; // counting pass / bare walk, at most
constexpr double kScaleTarget = 1.2;    // time per tile and memory, 1M against 100k, at most
constexpr double kScaleMemoryMb = 64;   // peak memory of the 1M run, at most
constexpr int kReaders = 4;             // threads of the read-only pass

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

using bench::Median;
using bench::ProcessRun;
using bench::RunProcess;
using bench::Spread;

// Every regular file below `folder`, in the walk's name order.
void ListFiles(const std::string& folder, std::vector<std::string>* files) {
  platform::FolderSearch search;
  if (!search.Open(folder, platform::EntryDetail::KindOnly)) return;
  platform::FolderEntry entry;
  while (search.Next(&entry)) {
    if (entry.name == "." || entry.name == "..") continue;
    const std::string path = convert::JoinPath(folder, entry.name);
    if (entry.isDirectory) {
      ListFiles(path, files);
    } else if (entry.kind == platform::EntryKind::Regular) {
      files->push_back(path);
    }
  }
}

// Files below `folder` counted with the bare name-ordered walk.
long long CountFiles(const std::string& folder) {
  platform::FolderSearch search;
  if (!search.Open(folder, platform::EntryDetail::KindOnly)) return 0;
  platform::FolderEntry entry;
  long long files = 0;
  while (search.Next(&entry)) {
    if (!entry.isDirectory) {
      ++files;
    } else if (entry.name != "." && entry.name != "..") {
      files += CountFiles(convert::JoinPath(folder, entry.name));
    }
  }
  return files;
}

// Drops every file's pages below `folder` from the page cache.
void DropPages(const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
  }
}

// Puts the tree into the state a run is measured in. Folders listed and
// read moments ago can already be gone from memory on this machine, so each
// run begins with a walk that brings every folder back in; then warm: every
// file is read; cold: every file's pages are dropped.
void PrepareCache(const std::string& source, bool cold) {
  std::vector<std::string> files;
  ListFiles(source, &files);
  if (cold) {
    DropPages(files);
    return;
  }
  std::vector<unsigned char> buffer;
  for (const std::string& file : files) platform::ReadWholeFile(file, &buffer);
}

// Rows of a map file as (key, size, hash of the image): equal for two maps
// that hold the same rows with the same bytes.
std::map<std::string, std::pair<long long, unsigned long long>> Rows(const std::string& map) {
  std::map<std::string, std::pair<long long, unsigned long long>> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(map.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT x, y, z, s, image FROM tiles", -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        const std::string key = std::to_string(sqlite3_column_int(st, 0)) + "," + std::to_string(sqlite3_column_int(st, 1)) +
                                "," + std::to_string(sqlite3_column_int(st, 2)) + "," +
                                reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
        const auto* image = static_cast<const unsigned char*>(sqlite3_column_blob(st, 4));
        const int size = sqlite3_column_bytes(st, 4);
        unsigned long long hash = 1469598103934665603ull;
        for (int i = 0; i < size; ++i) hash = (hash ^ image[i]) * 1099511628211ull;
        rows[key] = {size, hash};
      }
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return rows;
}

long long RowCount(const std::string& map) {
  long long count = -1;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(map.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM tiles", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW) {
      count = sqlite3_column_int64(st, 0);
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return count;
}

bool CreateMap(const std::string& map) {
  std::filesystem::remove(map);
  platform::StderrMessageBox boxes("user_bench: ");
  SQLite::Database db(&boxes);
  return store::CreateMapFileNative(db, map);
}

enum Run { kCvmap, kWindow, kLimit, kReaders4, kOther, kRunKinds };
const char* const kRunNames[kRunKinds] = {"(a) cvmap convert", "(b) window job", "(c) plain loop", "(d) 4 readers",
                                          "(e) other cvmap"};

struct Outcome {
  bool ok = false;     // every tile stored (or read)
  double seconds = 0;  // the measured time
};

struct Bench {
  std::string dir;            // benchdata folder
  std::string cvmap = CORVANE_CVMAP_PATH;
  std::string window = CORVANE_WINDOW_RUN_PATH;
  bool withWindow = true;
  std::string other;          // --other: a second cvmap (another build) alternated with the rest; empty: none
  long long tiles = 0;

  std::string MapPath(const char* name) const { return dir + "/maps/" + name + ".cvmap"; }

  Outcome Cvmap(const std::string& source, const std::string& map, const std::string& program) const {
    std::filesystem::remove(map);
    ::sync();
    const ProcessRun run = RunProcess({program, "convert", source, map, "--quiet"});
    return {run.exitCode == 0 && RowCount(map) == tiles, run.seconds};
  }

  Outcome Window(const std::string& source, const std::string& map) const {
    if (!CreateMap(map)) return {};
    ::sync();
    const ProcessRun run = RunProcess({window, source, map}, {"QT_QPA_PLATFORM=offscreen"});
    double seconds = 0;
    if (run.exitCode != 0 || std::sscanf(run.output.c_str(), "%lf", &seconds) != 1) return {};
    return {RowCount(map) == tiles, seconds};
  }

  Outcome Limit(const std::string& source, int layout, const std::string& map) const {
    if (!CreateMap(map)) return {};
    sqlite3* db = bench::OpenPlainMap(map);
    if (db == nullptr) return {};
    ::sync();
    const Clock::time_point start = Clock::now();
    const long long rows = bench::LimitLoop(
        source, layout == convert::LayoutGeoKuk ? bench::LimitLayout::GeoKuk : bench::LimitLayout::Osm, db);
    const double seconds = Seconds(Clock::now() - start);
    sqlite3_close(db);
    return {rows == tiles, seconds};
  }

  Outcome Readers(const std::string& source) const {
    const Clock::time_point start = Clock::now();
    std::vector<std::string> files;
    ListFiles(source, &files);
    std::atomic<std::size_t> next{0};
    std::atomic<long long> read{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kReaders; ++t) {
      threads.emplace_back([&] {
        std::vector<unsigned char> buffer;
        for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
          if (platform::ReadWholeFile(files[i], &buffer) == platform::ReadStatus::Ok) read.fetch_add(1);
        }
      });
    }
    for (std::thread& t : threads) t.join();
    return {read.load() == tiles, Seconds(Clock::now() - start)};
  }
};

struct Series {
  std::vector<double> rate[kRunKinds];   // tiles per second, per round
  std::vector<double> ratio[kRunKinds];  // time of (c) / time of the run, per round
};

bool MeasureLayout(const Bench& bench, const std::string& source, int layout, bool cold, int rounds, Series* series) {
  bool ok = true;
  for (int round = 0; round < rounds; ++round) {
    Outcome outcome[kRunKinds];
    bool ran[kRunKinds] = {};
    for (int k = 0; k < kRunKinds; ++k) {
      const int run = (round + k) % kRunKinds;  // each round starts with a different run
      if ((run == kWindow && !bench.withWindow) || (run == kOther && bench.other.empty())) continue;
      PrepareCache(source, cold);
      switch (run) {
        case kCvmap: outcome[run] = bench.Cvmap(source, bench.MapPath("cvmap"), bench.cvmap); break;
        case kOther: outcome[run] = bench.Cvmap(source, bench.MapPath("other"), bench.other); break;
        case kWindow: outcome[run] = bench.Window(source, bench.MapPath("window")); break;
        case kLimit: outcome[run] = bench.Limit(source, layout, bench.MapPath("limit")); break;
        case kReaders4: outcome[run] = bench.Readers(source); break;
      }
      ran[run] = true;
      if (!outcome[run].ok) {
        std::fprintf(stderr, "user_bench: %s did not handle every tile of %s\n", kRunNames[run], source.c_str());
        ok = false;
      }
    }
    for (int k = 0; k < kRunKinds; ++k) {
      if (!ran[k] || outcome[k].seconds <= 0) continue;
      series->rate[k].push_back(bench.tiles / outcome[k].seconds);
      series->ratio[k].push_back(outcome[kLimit].seconds / outcome[k].seconds);
    }
    if (round == 0 && !cold) {
      const auto limitRows = Rows(bench.MapPath("limit"));
      for (const int k : {kCvmap, kWindow, kOther}) {
        const char* const map = k == kCvmap ? "cvmap" : (k == kWindow ? "window" : "other");
        if (ran[k] && Rows(bench.MapPath(map)) != limitRows) {
          std::fprintf(stderr, "user_bench: %s stored other rows than the limit loop\n", kRunNames[k]);
          ok = false;
        }
      }
      if (ok) std::printf("  rows of (a), (b), (c) and (e) identical (%zu)\n", limitRows.size());
    }
    std::fflush(stdout);
  }
  return ok;
}

void Report(const char* title, const Series& s, bool cold, bool withWindow) {
  std::printf("%s\n", title);
  for (int k = 0; k < kRunKinds; ++k) {
    if ((k == kWindow && !withWindow) || s.rate[k].empty()) continue;
    std::printf("  %-20s %s tiles/s", kRunNames[k], Spread(s.rate[k], "%.0f").c_str());
    if (k != kLimit) std::printf("   /(c) %s", Spread(s.ratio[k], "%.2f").c_str());
    std::printf("\n");
  }
  const double a = Median(s.ratio[kCvmap]);
  const double b = Median(s.ratio[kWindow]);
  const double target = cold ? kColdTarget : kWarmTarget;
  std::printf("  target (a)/(c) >= %.1f: %s", target, a >= target ? "met" : "NOT met");
  if (withWindow) std::printf(", (b)/(c) >= %.1f: %s", target, b >= target ? "met" : "NOT met");
  std::printf("\n");
  std::fflush(stdout);
}

// The counting pass alone against the bare name-ordered walk and the bare
// readdir walk (the plain loop's, in the order the file system gives), warm:
// what the name order and the job's walk cost per folder.
void CountingBreakdown(const std::string& source, int layout, int rounds) {
  std::vector<double> ratios, readdirRatios;
  std::vector<double> walkSeconds, readdirSeconds;
  for (int r = 0; r < rounds * 3; ++r) {
    Clock::time_point start = Clock::now();
    const long long bare = CountFiles(source);
    const double walk = Seconds(Clock::now() - start);
    start = Clock::now();
    const long long plain = bench::BareWalk(source);
    const double readdirWalk = Seconds(Clock::now() - start);
    convert::ConversionJob job;
    job.layout = layout;
    job.sourceFolder = source;
    start = Clock::now();
    job.WalkFolder(source, convert::CountingPass);
    const double counting = Seconds(Clock::now() - start);
    if (job.fileCount != bare || plain != bare) {
      std::fprintf(stderr, "user_bench: the counting pass found %d files, the walks %lld and %lld\n", job.fileCount,
                   bare, plain);
    }
    ratios.push_back(counting / walk);
    readdirRatios.push_back(counting / readdirWalk);
    walkSeconds.push_back(walk);
    readdirSeconds.push_back(readdirWalk);
  }
  const double median = Median(ratios);
  std::printf("  counting pass / bare name-ordered walk: %s (walk %.3f s)  target <= %.1f: %s\n",
              Spread(ratios, "%.2f").c_str(), Median(walkSeconds), kCountingTarget,
              median <= kCountingTarget ? "met" : "NOT met");
  std::printf("  counting pass / bare readdir walk: %s (walk %.3f s)\n", Spread(readdirRatios, "%.2f").c_str(),
              Median(readdirSeconds));
}

bool ScaleRun(const Bench& bench, int tiles, int rounds) {
  bench::BenchTreeShape big;
  big.tilesPerLayout = tiles;
  big.minBytes = 1024;
  big.maxBytes = 2048;
  big.geoKuk = false;
  bench::BenchTreeShape small = big;
  small.tilesPerLayout = tiles / 10;
  bench::BenchTree bigTree, smallTree;
  std::string error;
  const Clock::time_point start = Clock::now();
  if (!bench::PrepareBenchTree(bench.dir, big, &bigTree, &error) ||
      !bench::PrepareBenchTree(bench.dir, small, &smallTree, &error)) {
    std::fprintf(stderr, "user_bench: %s\n", error.c_str());
    return false;
  }
  std::printf("scale: OSM trees of %d and %d tiles of 1-2 KB (%s, %.0f s)\n", tiles, tiles / 10,
              bigTree.reused && smallTree.reused ? "reused" : "generated", Seconds(Clock::now() - start));
  std::vector<double> perTile[2], memory[2];
  bool ok = true;
  for (int r = 0; r < rounds; ++r) {
    for (int which = 0; which < 2; ++which) {
      const int i = (r + which) % 2;  // alternate which tree goes first
      const std::string& source = i == 0 ? smallTree.osm : bigTree.osm;
      const long long count = i == 0 ? tiles / 10 : tiles;
      const std::string map = bench.MapPath("scale");
      std::filesystem::remove(map);
      ::sync();
      const ProcessRun run = RunProcess({bench.cvmap, "convert", source, map, "--quiet"});
      if (run.exitCode != 0 || RowCount(map) != count) {
        std::fprintf(stderr, "user_bench: the scale run on %s failed\n", source.c_str());
        ok = false;
      }
      perTile[i].push_back(run.seconds / count * 1e6);
      memory[i].push_back(run.peakMb);
    }
  }
  std::filesystem::remove(bench.MapPath("scale"));
  const double timeRatio = Median(perTile[1]) / Median(perTile[0]);
  const double memoryRatio = Median(memory[1]) / Median(memory[0]);
  std::printf("  %7d tiles: %s us/tile, peak %s MB\n", tiles / 10, Spread(perTile[0], "%.1f").c_str(),
              Spread(memory[0], "%.1f").c_str());
  std::printf("  %7d tiles: %s us/tile, peak %s MB\n", tiles, Spread(perTile[1], "%.1f").c_str(),
              Spread(memory[1], "%.1f").c_str());
  std::printf("  time per tile 1M/100k %.2f (target <= %.1f: %s), peak memory 1M/100k %.2f (target <= %.1f: %s), "
              "1M peak %.1f MB (target <= %.0f: %s)\n",
              timeRatio, kScaleTarget, timeRatio <= kScaleTarget ? "met" : "NOT met", memoryRatio, kScaleTarget,
              memoryRatio <= kScaleTarget ? "met" : "NOT met", Median(memory[1]), kScaleMemoryMb,
              Median(memory[1]) <= kScaleMemoryMb ? "met" : "NOT met");
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  Bench bench;
  bench.dir = CORVANE_BENCH_DATA;
  int tiles = 100000;
  int rounds = 3;
  int scale = 1000000;
  bool withCold = true;
  std::string shapes = "leaf,blocks,osm";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--tiles" && i + 1 < argc) {
      tiles = std::atoi(argv[++i]);
    } else if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::atoi(argv[++i]);
    } else if (arg == "--dir" && i + 1 < argc) {
      bench.dir = argv[++i];
    } else if (arg == "--scale" && i + 1 < argc) {
      scale = std::atoi(argv[++i]);
    } else if (arg == "--shapes" && i + 1 < argc) {
      shapes = argv[++i];
    } else if (arg == "--no-cold") {
      withCold = false;
    } else if (arg == "--no-window") {
      bench.withWindow = false;
    } else if (arg == "--other" && i + 1 < argc) {
      bench.other = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: user_bench [--tiles N] [--rounds R] [--dir FOLDER] [--scale M] [--shapes LIST] [--no-cold] "
                   "[--no-window] [--other CVMAP]\n");
      return 2;
    }
  }
  const auto wanted = [&shapes](const char* shape) {
    return ("," + shapes + ",").find(std::string(",") + shape + ",") != std::string::npos;
  };
  if (tiles < 10 || rounds < 1 || (scale != 0 && scale < 100) ||
      !(wanted("leaf") || wanted("scattered") || wanted("blocks") || wanted("osm"))) {
    std::fprintf(stderr,
                 "user_bench: --tiles must be at least 10, --rounds at least 1, --scale 0 or at least 100, --shapes "
                 "one or more of leaf, scattered, blocks, osm\n");
    return 2;
  }
  if (bench.window.empty()) bench.withWindow = false;
  std::filesystem::create_directories(bench.dir + "/maps");
  bench.tiles = tiles;

  // The trees, each generated once and then reused.
  struct Tree {
    const char* title;   // what the report calls it
    std::string source;  // its source folder
    int layout;          // its layout
  };
  std::vector<Tree> trees;
  bool ok = true;
  const auto prepare = [&](const bench::BenchTreeShape& shape, bench::BenchTree* tree) {
    std::string error;
    if (!bench::PrepareBenchTree(bench.dir, shape, tree, &error)) {
      std::fprintf(stderr, "user_bench: %s\n", error.c_str());
      return false;
    }
    return true;
  };
  if (wanted("leaf")) {
    bench::BenchTreeShape shape;
    shape.tilesPerLayout = tiles;
    shape.osm = false;
    shape.geoKukShape = bench::GeoKukShape::OneTilePerLeaf;
    bench::BenchTree tree;
    if (!prepare(shape, &tree)) return 1;
    std::printf("GeoKuk, one tile per leaf: %d tiles of 2-30 KB, %lld MB, %lld folders (%s)\n", tiles,
                tree.bytes >> 20, tree.folders, tree.reused ? "reused" : "generated");
    trees.push_back({"GeoKuk, one tile per leaf", tree.geoKuk, convert::LayoutGeoKuk});
  }
  if (wanted("scattered")) {
    bench::BenchTreeShape shape;
    shape.tilesPerLayout = tiles;
    shape.osm = false;
    shape.geoKukShape = bench::GeoKukShape::Scattered;
    bench::BenchTree tree;
    if (!prepare(shape, &tree)) return 1;
    std::printf("GeoKuk, scattered: %d tiles of 2-30 KB, %lld MB, %lld folders (%s)\n", tiles, tree.bytes >> 20,
                tree.folders, tree.reused ? "reused" : "generated");
    trees.push_back({"GeoKuk, scattered", tree.geoKuk, convert::LayoutGeoKuk});
  }
  if (wanted("blocks") || wanted("osm")) {
    bench::BenchTreeShape shape;
    shape.tilesPerLayout = tiles;
    bench::BenchTree tree;
    if (!prepare(shape, &tree)) return 1;
    std::printf("GeoKuk, zoom blocks and OSM Tracker Storage: 2 x %d tiles of 2-30 KB, %lld MB, %lld folders (%s)\n",
                tiles, tree.bytes >> 20, tree.folders, tree.reused ? "reused" : "generated");
    if (wanted("blocks")) trees.push_back({"GeoKuk, zoom blocks", tree.geoKuk, convert::LayoutGeoKuk});
    if (wanted("osm")) trees.push_back({"OSM Tracker Storage", tree.osm, convert::LayoutOsmTrackerStorage});
  }
  std::printf("in %s; %u cores, SQLite %s\n", bench.dir.c_str(), std::thread::hardware_concurrency(),
              sqlite3_libversion());
  std::fflush(stdout);

  for (const Tree& tree : trees) {
    for (const bool cold : {false, true}) {
      if (cold && !withCold) continue;
      Series series;
      ok = MeasureLayout(bench, tree.source, tree.layout, cold, rounds, &series) && ok;
      const std::string title = std::string(tree.title) + (cold ? ", cold" : ", warm") + ", medians of " +
                                std::to_string(rounds) + " rounds (spread):";
      Report(title.c_str(), series, cold, bench.withWindow);
    }
    CountingBreakdown(tree.source, tree.layout, rounds);
  }
  if (scale > 0) ok = ScaleRun(bench, scale, rounds) && ok;
  std::filesystem::remove_all(bench.dir + "/maps");
  return ok ? 0 : 1;
}
