// `cvmap verify` against `cvmap convert` on the same trees, as users run
// them: whole processes, warm page cache, in rounds that alternate the two
// (each round starts with the other one). convert stores into a fresh map
// file after a sync; verify checks the map that the first convert made, and
// must find every tile identical.
//
//   verify_bench [--tiles N] [--rounds R] [--dir FOLDER]
//     N  tiles in each tree (default 20000)   R  rounds (default 5)
// Prints, per layout, tiles per second of each (median, and the spread in
// brackets) and the median of the per-round time ratios verify/convert.
// Exits 0 when every run succeeded and stored or checked every tile.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_process.h"
#include "bench/bench_tree.h"

#ifndef CORVANE_BENCH_DATA
#define CORVANE_BENCH_DATA "benchdata"
#endif
#ifndef CORVANE_CVMAP_PATH
#define CORVANE_CVMAP_PATH "cvmap"
#endif

namespace {

using bench::Median;
using bench::Spread;

double TimeCvmap(const std::vector<std::string>& args) {
  std::vector<std::string> words{CORVANE_CVMAP_PATH};
  words.insert(words.end(), args.begin(), args.end());
  return bench::TimeProcess(words);
}

}  // namespace

int main(int argc, char** argv) {
  int tiles = 20000;
  int rounds = 5;
  std::string dir = CORVANE_BENCH_DATA;
  if (!bench::ReadBenchOptions(argc, argv, "verify_bench [--tiles N] [--rounds R] [--dir FOLDER]", &tiles, &rounds, &dir)) {
    return 2;
  }
  bench::BenchTree tree;
  std::string error;
  if (!bench::PrepareBenchTree(dir, tiles, &tree, &error)) {
    std::fprintf(stderr, "verify_bench: %s\n", error.c_str());
    return 1;
  }
  std::filesystem::create_directories(dir + "/verify-maps");
  bool ok = true;
  std::printf("cvmap verify against cvmap convert, %d tiles a tree, %d rounds, warm cache\n", tiles, rounds);
  for (const auto& [name, source] : {std::pair<const char*, std::string>{"GeoKuk", tree.geoKuk},
                                     std::pair<const char*, std::string>{"OSM Tracker Storage", tree.osm}}) {
    const std::string checked = dir + "/verify-maps/checked.cvmap";
    const std::string fresh = dir + "/verify-maps/fresh.cvmap";
    std::filesystem::remove(checked);
    // The map that verify checks; this run also warms the page cache.
    ok = TimeCvmap({"convert", source, checked, "--quiet"}) > 0 && ok;
    std::vector<double> convertRates, verifyRates, ratios;
    for (int round = 0; round < rounds; ++round) {
      double convertSeconds = 0, verifySeconds = 0;
      for (int step = 0; step < 2; ++step) {
        if ((step + round) % 2 == 0) {
          std::filesystem::remove(fresh);
          ::sync();
          convertSeconds = TimeCvmap({"convert", source, fresh, "--quiet"});
        } else {
          verifySeconds = TimeCvmap({"verify", source, checked, "--quiet"});
        }
      }
      if (convertSeconds <= 0 || verifySeconds <= 0) {
        std::fprintf(stderr, "verify_bench: a run on %s failed\n", source.c_str());
        ok = false;
        continue;
      }
      convertRates.push_back(tiles / convertSeconds);
      verifyRates.push_back(tiles / verifySeconds);
      ratios.push_back(verifySeconds / convertSeconds);
    }
    if (ratios.empty()) continue;
    std::printf("%-20s convert %s tiles/s   verify %s tiles/s   verify/convert time %s\n", name,
                Spread(convertRates, "%.0f").c_str(), Spread(verifyRates, "%.0f").c_str(),
                Spread(ratios, "%.2f").c_str());
  }
  return ok ? 0 : 1;
}
