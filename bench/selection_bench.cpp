// What a selection saves, and what extract costs, measured on what users run:
// whole cvmap processes, in rounds that alternate the runs compared (each
// round starts with the other one).
//
//   1. `cvmap convert SOURCE MAP --quiet` with a selection of about 1 % of
//      the 100,000-tile bench trees against the same run without it, per
//      layout, warm and cold (cold: every source file's pages dropped with
//      posix_fadvise DONTNEED just before the run). For each run the wall
//      time and the bytes the process read: rchar (bytes its read calls
//      returned, from the page cache or the disk) and read_bytes (bytes it
//      made the disk read), from /proc/PID/io before it is reaped.
//   2. `cvmap extract MAP NEWMAP --quiet` against the sqlite3 shell running
//      "ATTACH ... ; BEGIN; INSERT INTO tiles SELECT * FROM src.tiles WHERE
//      ...; COMMIT;" on a copy of MAP, for the same rows, into an empty map
//      file each time (warm). Checks that both copied the same number of
//      rows.
//
//   selection_bench [--tiles N] [--rounds R] [--dir FOLDER] [--no-cold] [--no-convert]
//     N  tiles in each tree (default 100000)   R  rounds (default 3)
// Prints medians with the spread (min-max) in brackets, and the medians of
// the per-round ratios. Exits 0 when every run succeeded.
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_process.h"
#include "bench/bench_tree.h"
#include "store/tile_geometry.h"

#ifndef CORVANE_BENCH_DATA
#define CORVANE_BENCH_DATA "benchdata"
#endif
#ifndef CORVANE_CVMAP_PATH
#define CORVANE_CVMAP_PATH "cvmap"
#endif

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
  bool ok = false;          // exited 0
  double seconds = 0;       // wall time
  double rchar = 0;         // bytes its read calls returned
  double readBytes = 0;     // bytes it made the disk read
};

// Reads a field of /proc/PID/io.
double IoField(const std::string& io, const char* name) {
  const std::size_t at = io.find(std::string(name) + ": ");
  return at == std::string::npos ? 0 : std::atof(io.c_str() + at + std::strlen(name) + 2);
}

// Runs a program with stdout to /dev/null; its I/O counters are read while
// it is a zombie, before it is reaped.
Run Measure(const std::vector<std::string>& words) {
  std::vector<std::string> copy = words;
  std::vector<char*> argv;
  for (std::string& w : copy) argv.push_back(w.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  Run run;
  const Clock::time_point start = Clock::now();
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  siginfo_t info{};
  ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::ifstream in("/proc/" + std::to_string(pid) + "/io");
  const std::string io((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  run.rchar = IoField(io, "rchar");
  run.readBytes = IoField(io, "read_bytes");
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

using bench::Median;
using bench::Spread;

std::vector<std::string> FilesBelow(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  }
  return files;
}

void DropPages(const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
  }
}

long long RowCount(const std::string& map) {
  sqlite3* db = nullptr;
  long long rows = -1;
  if (sqlite3_open_v2(map.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM tiles", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW) {
      rows = sqlite3_column_int64(st, 0);
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return rows;
}

std::string Degrees(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", value);
  return text;
}

// About 1 % of the GeoKuk bench tree: a 3.5 km square at the corner where
// every zoom level's block begins (bench_tree.cpp: x 0x7900000, y 0x8200000).
std::vector<std::string> GeoKukSelection() {
  const store::PlanePoint corner = store::GeoKukUnitsToUtm33(0x7900000, 0x8200000);
  const store::GeoArea area = store::Utm33BoxArea({corner.easting + 1, corner.northing + 1, corner.easting + 3500,
                                                   corner.northing + 3500});
  return {"--area", Degrees(area.south) + "," + Degrees(area.west) + "," + Degrees(area.north) + "," +
                        Degrees(area.east)};
}

// About 1 % of the OSM bench tree: 25 columns of zoom 16 (bench_tree.cpp:
// columns from 2200 << 4, rows from 1380 << 4).
std::vector<std::string> OsmSelection() {
  const double west = store::WebMercatorLongitude((35200 + 0.5) / 65536.0);
  const double east = store::WebMercatorLongitude((35224 + 0.5) / 65536.0);
  const double north = store::WebMercatorLatitude((22080 + 0.5) / 65536.0);
  const double south = store::WebMercatorLatitude((22200 + 0.5) / 65536.0);
  return {"--zoom", "16", "--area", Degrees(south) + "," + Degrees(west) + "," + Degrees(north) + "," + Degrees(east)};
}

struct Series {
  std::vector<double> seconds, rchar, readBytes;
  void Add(const Run& r) {
    seconds.push_back(r.seconds);
    rchar.push_back(r.rchar / 1e6);
    readBytes.push_back(r.readBytes / 1e6);
  }
};

}  // namespace

int main(int argc, char** argv) {
  int tiles = 100000;
  int rounds = 3;
  bool withCold = true;
  bool withConvert = true;  // part 1
  std::string dir = CORVANE_BENCH_DATA;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-cold") == 0) {
      withCold = false;
    } else if (std::strcmp(argv[i], "--no-convert") == 0) {
      withConvert = false;
    } else if (i + 1 < argc && std::strcmp(argv[i], "--tiles") == 0) {
      tiles = std::atoi(argv[++i]);
    } else if (i + 1 < argc && std::strcmp(argv[i], "--rounds") == 0) {
      rounds = std::atoi(argv[++i]);
    } else if (i + 1 < argc && std::strcmp(argv[i], "--dir") == 0) {
      dir = argv[++i];
    }
  }
  if (tiles <= 0 || rounds <= 0) {
    std::fprintf(stderr, "usage: selection_bench [--tiles N] [--rounds R] [--dir FOLDER] [--no-cold] [--no-convert]\n");
    return 2;
  }
  bench::BenchTree tree;
  std::string error;
  if (!bench::PrepareBenchTree(dir, tiles, &tree, &error)) {
    std::fprintf(stderr, "selection_bench: %s\n", error.c_str());
    return 1;
  }
  const std::string work = dir + "/selection-maps";
  std::filesystem::create_directories(work);
  const std::string cvmap = CORVANE_CVMAP_PATH;
  bool ok = true;

  std::printf("1. cvmap convert with a selection of about 1 %% against a full run, %d tiles a tree, %d rounds\n",
              tiles, rounds);
  struct Layout {
    const char* name;
    std::string source;
    std::vector<std::string> selection;
  };
  for (const Layout& layout : {Layout{"GeoKuk", tree.geoKuk, GeoKukSelection()},
                               Layout{"OSM Tracker Storage", tree.osm, OsmSelection()}}) {
    if (!withConvert) break;
    const std::vector<std::string> files = FilesBelow(layout.source);
    const std::string map = work + "/convert.cvmap";
    for (bool cold : {false, true}) {
      if (cold && !withCold) continue;
      Series full, selected;
      std::vector<double> timeRatios, byteRatios;
      long long stored = -1;
      for (int round = 0; round < rounds; ++round) {
        Run runs[2];
        for (int step = 0; step < 2; ++step) {
          const int which = (step + round) % 2;  // 0 full, 1 selected
          std::filesystem::remove(map);
          ::sync();
          if (cold) DropPages(files);
          std::vector<std::string> words{cvmap, "convert", layout.source, map, "--quiet"};
          if (which == 1) words.insert(words.end(), layout.selection.begin(), layout.selection.end());
          runs[which] = Measure(words);
          ok = ok && runs[which].ok;
          if (which == 1) stored = RowCount(map);
        }
        full.Add(runs[0]);
        selected.Add(runs[1]);
        timeRatios.push_back(runs[1].seconds / runs[0].seconds);
        byteRatios.push_back(runs[1].rchar / std::max(runs[0].rchar, 1.0));
      }
      std::printf("%s, %s: the selection stores %lld tiles (%.2f %%)\n", layout.name, cold ? "cold" : "warm",
                  stored, 100.0 * static_cast<double>(stored) / tiles);
      std::printf("  full:      %s s, read %s MB, from disk %s MB\n", Spread(full.seconds, "%.2f").c_str(),
                  Spread(full.rchar, "%.0f").c_str(), Spread(full.readBytes, "%.0f").c_str());
      std::printf("  selection: %s s, read %s MB, from disk %s MB\n", Spread(selected.seconds, "%.3f").c_str(),
                  Spread(selected.rchar, "%.1f").c_str(), Spread(selected.readBytes, "%.1f").c_str());
      std::printf("  selection / full: time %s, bytes read %s\n", Spread(timeRatios, "%.4f").c_str(),
                  Spread(byteRatios, "%.4f").c_str());
    }
  }

  std::printf("\n2. cvmap extract against the sqlite3 shell's INSERT ... SELECT in one transaction, warm, %d rounds\n",
              rounds);
  const std::string big = work + "/big.cvmap";
  const std::string copy = work + "/copy.cvmap";
  if (RowCount(big) != tiles) {
    std::filesystem::remove(big);
    ok = Measure({cvmap, "convert", tree.geoKuk, big, "--quiet"}).ok && ok;
    std::filesystem::copy_file(big, copy, std::filesystem::copy_options::overwrite_existing);
  }
  struct Copy {
    const char* what;
    std::vector<std::string> selection;  // for cvmap
    std::string where;                   // the same rows in SQL
  };
  const std::string newMap = work + "/new.cvmap";
  for (const Copy& c : {Copy{"zoom 14-15 (39 % of the rows)", {"--zoom", "14-15"}, " WHERE z IN (2, 3)"},
                        Copy{"zoom 16 (52 %)", {"--zoom", "16"}, " WHERE z = 1"},
                        Copy{"zoom 12 (3 %)", {"--zoom", "12"}, " WHERE z = 5"},
                        Copy{"every row", {}, ""}}) {
    std::vector<double> cvmapSeconds, shellSeconds, ratios;
    long long cvmapRows = -1, shellRows = -1;
    for (int round = 0; round < rounds; ++round) {
      double seconds[2] = {0, 0};
      for (int step = 0; step < 2; ++step) {
        const int which = (step + round) % 2;  // 0 cvmap, 1 shell
        std::filesystem::remove(newMap);
        ok = Measure({cvmap, "create", newMap}).ok && ok;
        ::sync();
        Run run;
        if (which == 0) {
          std::vector<std::string> words{cvmap, "extract", big, newMap, "--quiet"};
          words.insert(words.end(), c.selection.begin(), c.selection.end());
          run = Measure(words);
          cvmapRows = RowCount(newMap);
        } else {
          run = Measure({"sqlite3", newMap,
                         "ATTACH '" + copy + "' AS src; BEGIN; INSERT INTO tiles SELECT * FROM src.tiles" + c.where +
                             "; COMMIT;"});
          shellRows = RowCount(newMap);
        }
        ok = ok && run.ok;
        seconds[which] = run.seconds;
      }
      cvmapSeconds.push_back(seconds[0]);
      shellSeconds.push_back(seconds[1]);
      ratios.push_back(seconds[1] / seconds[0]);  // speed of cvmap relative to the shell
    }
    if (cvmapRows != shellRows) {
      std::printf("  %s: cvmap copied %lld rows, the shell %lld\n", c.what, cvmapRows, shellRows);
      ok = false;
    }
    std::printf("%s, %lld rows: cvmap %s s, shell %s s, speed cvmap/shell %s\n", c.what, cvmapRows,
                Spread(cvmapSeconds, "%.2f").c_str(), Spread(shellSeconds, "%.2f").c_str(),
                Spread(ratios, "%.2f").c_str());
  }
  std::filesystem::remove(newMap);
  return ok ? 0 : 1;
}
