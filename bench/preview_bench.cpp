// The window's preview of a large map file, measured as users see it, against
// the plainest program that shows the same views, in one run.
//
// The map: preview_map.h (1,000,000 tiles by default, made once in the
// benchmark data folder). In rounds that alternate which runs first:
//   (a) preview    preview_run: the real window on Qt's offscreen platform,
//                  its preview showing the map, its view 1200 x 800;
//   (b) reference  preview_reference: SQLite, Qt's decoder and QPainter on
//                  one thread, no window.
// Both as processes, on a warm cache (one run of each before the rounds).
// For each figure it prints the median and spread of (a), of (b) and of the
// per-round ratio (a)/(b) (the background count's time only for (a)), and
// whether (a) meets its target:
//   redraw of the whole view with its images held   under 100 ms
//     (at the level's own scale, and zoomed out with every tile scaled)
//   first image of a view, warm                      under 200 ms
//
//   preview_bench [--tiles N] [--rounds R] [--dir FOLDER]
// Exits 0 when every run showed its views (the targets are reported, not
// enforced).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <QGuiApplication>

#include "bench/bench_process.h"
#include "bench/preview_map.h"

#ifndef CORVANE_BENCH_DATA
#define CORVANE_BENCH_DATA "benchdata"
#endif
#ifndef CORVANE_PREVIEW_RUN_PATH
#define CORVANE_PREVIEW_RUN_PATH "preview_run"
#endif
#ifndef CORVANE_PREVIEW_REFERENCE_PATH
#define CORVANE_PREVIEW_REFERENCE_PATH "preview_reference"
#endif

namespace {

constexpr double kRedrawTargetMs = 100;
constexpr double kFirstImageTargetMs = 200;

// "key=value key=value" into numbers.
std::map<std::string, double> Figures(const std::string& output) {
  std::map<std::string, double> figures;
  std::istringstream words(output);
  for (std::string word; words >> word;) {
    const std::size_t equals = word.find('=');
    if (equals != std::string::npos) figures[word.substr(0, equals)] = std::atof(word.c_str() + equals + 1);
  }
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  int tiles = 1000000;
  int rounds = 5;
  std::string dir = CORVANE_BENCH_DATA;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--tiles" && i + 1 < argc) {
      tiles = std::atoi(argv[++i]);
    } else if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::atoi(argv[++i]);
    } else if (arg == "--dir" && i + 1 < argc) {
      dir = argv[++i];
    } else {
      std::fprintf(stderr, "usage: preview_bench [--tiles N] [--rounds R] [--dir FOLDER]\n");
      return 2;
    }
  }
  if (tiles < 63 || rounds < 1) return 2;
  std::string map;
  std::string error;
  {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);  // the pictures are drawn with Qt
    std::printf("preparing the map of %d tiles in %s ...\n", tiles, dir.c_str());
    std::fflush(stdout);
    if (!bench::PreparePreviewMap(dir, tiles, &map, &error)) {
      std::fprintf(stderr, "preview_bench: %s\n", error.c_str());
      return 1;
    }
  }
  const std::vector<std::string> environment = {"QT_QPA_PLATFORM=offscreen"};
  const std::vector<std::string> programs = {CORVANE_PREVIEW_RUN_PATH, CORVANE_PREVIEW_REFERENCE_PATH};
  const char* const names[2] = {"(a) preview", "(b) reference"};
  const char* const keys[] = {"first_ms", "pan_ms", "all_ms", "redraw_ms", "redraw_scaled_ms", "index_ms", "count_ms"};
  std::map<std::string, std::vector<double>> values[2];
  std::map<std::string, std::vector<double>> ratios;
  for (const std::string& program : programs) bench::RunProcess({program, map, std::to_string(tiles)}, environment);  // warm
  for (int round = 0; round < rounds; ++round) {
    std::map<std::string, double> figures[2];
    for (int k = 0; k < 2; ++k) {
      const int which = (round + k) % 2;
      const bench::ProcessRun run = bench::RunProcess({programs[which], map, std::to_string(tiles)}, environment);
      if (run.exitCode != 0) {
        std::fprintf(stderr, "preview_bench: %s failed (exit %d)\n", programs[which].c_str(), run.exitCode);
        return 1;
      }
      figures[which] = Figures(run.output);
    }
    for (const char* key : keys) {
      for (int k = 0; k < 2; ++k) values[k][key].push_back(figures[k][key]);
      if (figures[1][key] > 0) ratios[key].push_back(figures[0][key] / figures[1][key]);
    }
    std::printf("round %d, (a)/(b) ms:", round + 1);
    for (const char* key : keys) std::printf("  %s %.1f/%.1f", key, figures[0][key], figures[1][key]);
    std::printf("\n");
  }
  std::printf("\nmap of %d tiles, view %d x %d at zoom %d, %d rounds, warm; medians (min-max):\n", tiles,
              bench::kPreviewBenchWidth, bench::kPreviewBenchHeight, bench::kPreviewBenchZoom, rounds);
  for (const char* key : keys) {
    std::printf("  %-16s", key);
    for (int k = 0; k < 2; ++k) {
      if (bench::Median(values[k][key]) > 0) std::printf("  %s %s ms", names[k], bench::Spread(values[k][key], "%.2f").c_str());
    }
    std::printf(ratios[key].empty() ? "\n" : "  (a)/(b) %s\n", bench::Spread(ratios[key], "%.2f").c_str());
  }
  const double redraw = std::max(bench::Median(values[0]["redraw_ms"]), bench::Median(values[0]["redraw_scaled_ms"]));
  const double first = bench::Median(values[0]["first_ms"]);
  const double pan = bench::Median(values[0]["pan_ms"]);
  std::printf("\n  redraw of the view, images held: %.2f ms, target < %.0f ms: %s\n", redraw, kRedrawTargetMs,
              redraw < kRedrawTargetMs ? "met" : "NOT met");
  std::printf("  first image of a view: %.2f ms (of a moved view %.2f ms), target < %.0f ms: %s\n", first, pan,
              kFirstImageTargetMs, first < kFirstImageTargetMs && pan < kFirstImageTargetMs ? "met" : "NOT met");
  return 0;
}
