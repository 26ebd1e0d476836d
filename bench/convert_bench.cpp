// Conversion speed against what the machine can do, side by side in one run.
//
// Generates (once, then reuses) a GeoKuk tree and an OSM Tracker Storage
// tree of realistic tiles below the build folder's benchdata/, then measures
// in this one process, in rounds, each layout on warm page cache:
//   (a) job       the whole conversion job (counting and converting pass)
//                 through RunConversion into a fresh map file;
//   (b) limit     the limit loop of reference_loops.h into a fresh map file:
//                 walk, read, insert with one reused statement in one
//                 transaction;
//   (c) counting  the job's counting pass alone, against
//       walk      a bare opendir/readdir walk of the same tree.
// Prints tiles per second (files per second for (c)), the medians over the
// rounds with their spread, and the ratios (a)/(b) and (c)/(walk): the median
// of the ratios of runs made back to back, and the ratio of the medians.
// Every run starts after a sync, so that none pays for the writeback of the
// one before. The first round also checks that the job's map file holds
// exactly the rows of the limit loop's (same keys, same bytes).
//
// Peak memory: the job runs once more in a child process on the full trees
// and on trees a tenth of their size; the children's maximum resident sizes
// show whether memory grows with the tree.
//
//   convert_bench [--tiles N] [--rounds R] [--dir FOLDER] [--no-rss]
//     N  tiles in each tree (default 100000)
//     R  measuring rounds (default 5)
// Exits 0 when every run stored every tile and the check found the rows
// identical; the speed targets are reported, not enforced.
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_tree.h"
#include "bench/reference_loops.h"
#include "convert/conversion_job.h"
#include "convert/layouts.h"
#include "platform/message_box.h"
#include "platform/notification.h"
#include "store/map_file.h"
#include "store/sqlite_database.h"

#ifndef CORVANE_BENCH_DATA
#define CORVANE_BENCH_DATA "benchdata"
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kJobTarget = 0.9;       // job speed / limit speed, at least
constexpr double kCountingTarget = 1.2;  // counting time / bare walk time, at most
constexpr int kWalkRepeats = 3;          // counting pass and bare walk runs per layout and round

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// CPU seconds (user and system) this process has used so far, its helper
// threads included (the job starts the map file's writeback on one). Other
// work on the shared machine stretches wall time but not this, so it shows
// the cost of the code itself; time spent waiting for the disk is not in it.
double ProcessCpuSeconds() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall and CPU seconds of one timed piece of work.
struct Timer {
  Clock::time_point wallStart = Clock::now();
  double cpuStart = ProcessCpuSeconds();
  double Wall() const { return Seconds(Clock::now() - wallStart); }
  double Cpu() const { return ProcessCpuSeconds() - cpuStart; }
};

// Records when the counting pass ended: the source folder's NotifyCounted is
// the last one.
class TimingChannel : public platform::NotificationChannel {
 public:
  void Post(int code, int) override {
    if (code == convert::NotifyCounted) countedAt = Clock::now();
  }
  Clock::time_point countedAt;  // the last NotifyCounted
};

struct JobRun {
  long long tiles = 0;          // rows the job stored
  double seconds = 0;           // RunConversion, both passes, wall time
  double cpuSeconds = 0;        // the same, CPU time of the process
  double countingSeconds = 0;   // of the wall time, the counting pass
};

// Creates a fresh map file at mapPath and runs the whole job on it.
JobRun RunJob(const std::string& source, int layout, const std::string& mapPath) {
  std::filesystem::remove(mapPath);
  platform::StderrMessageBox boxes("convert_bench: ");
  SQLite::Database db(&boxes);
  store::CreateMapFileNative(db, mapPath);
  ::sync();  // the previous run's dirty pages are not written back on this run's time
  TimingChannel channel;
  convert::ConversionJob job;
  job.layout = layout;
  job.sourceFolder = source;
  job.database = &db;
  job.notifications = &channel;
  job.messageBoxes = &boxes;
  job.running = 1;
  const Timer timer;
  convert::RunConversion(job);
  JobRun run;
  run.seconds = timer.Wall();
  run.cpuSeconds = timer.Cpu();
  run.countingSeconds = Seconds(channel.countedAt - timer.wallStart);
  run.tiles = job.stats.tilesStored.load();
  return run;
}

// Creates a fresh map file at mapPath and runs the limit loop on it (the
// prepare, the transaction and its commit are timed).
JobRun RunLimit(const std::string& source, int layout, const std::string& mapPath) {
  std::filesystem::remove(mapPath);
  platform::StderrMessageBox boxes("convert_bench: ");
  {
    SQLite::Database db(&boxes);
    store::CreateMapFileNative(db, mapPath);
  }
  sqlite3* db = bench::OpenPlainMap(mapPath);
  ::sync();
  const Timer timer;
  JobRun run;
  run.tiles = bench::LimitLoop(
      source, layout == convert::LayoutGeoKuk ? bench::LimitLayout::GeoKuk : bench::LimitLayout::Osm, db);
  run.seconds = timer.Wall();
  run.cpuSeconds = timer.Cpu();
  sqlite3_close(db);
  return run;
}

// Wall seconds of the job's counting pass alone; *files gets its count.
double CountingPassSeconds(const std::string& source, long long* files) {
  convert::ConversionJob job;
  job.sourceFolder = source;
  const Timer timer;
  job.WalkFolder(source, convert::CountingPass);
  const double seconds = timer.Wall();
  *files = job.fileCount;
  return seconds;
}

double BareWalkSeconds(const std::string& source, long long* files) {
  const Timer timer;
  *files = bench::BareWalk(source);
  return timer.Wall();
}

// Rows of the map file `a` that are not in `b` with the same image, and the
// row counts of both. Identical tables give (0, n, n).
struct RowCheck {
  long long missing = -1;
  long long rowsA = -1;
  long long rowsB = -1;
};

RowCheck CompareMaps(const std::string& a, const std::string& b) {
  RowCheck check;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(a.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    const std::string attach = "ATTACH DATABASE '" + b + "' AS other";
    const char* sql =
        "SELECT (SELECT count(*) FROM main.tiles AS t WHERE NOT EXISTS (SELECT 1 FROM other.tiles AS o "
        "WHERE o.x = t.x AND o.y = t.y AND o.z = t.z AND o.s IS t.s AND o.image = t.image)), "
        "(SELECT count(*) FROM main.tiles), (SELECT count(*) FROM other.tiles)";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW) {
      check.missing = sqlite3_column_int64(statement, 0);
      check.rowsA = sqlite3_column_int64(statement, 1);
      check.rowsB = sqlite3_column_int64(statement, 2);
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return check;
}

// Runs the job in a child process; returns the child's peak resident size in
// KB, or -1 when it failed or did not store `expected` tiles.
long MaxRssOfJob(const std::string& source, int layout, const std::string& mapPath, long long expected) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    const JobRun run = RunJob(source, layout, mapPath);
    std::filesystem::remove(mapPath);
    ::_exit(run.tiles == expected ? 0 : 1);
  }
  int status = 0;
  struct rusage usage {};
  if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss;
}

struct Series {
  std::vector<double> values;
  void Add(double v) { values.push_back(v); }
  double Median() const {
    std::vector<double> v = values;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }
  double Min() const { return values.empty() ? 0 : *std::min_element(values.begin(), values.end()); }
  double Max() const { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }
};

// One layout's measurements over all rounds (rates in items per second).
struct LayoutSeries {
  Series job, limit, counting, walk;   // wall-time rates
  Series jobCpu, limitCpu;             // CPU-time rates
  Series jobRatio, cpuRatio, countingRatio;
};

void PrintRate(const char* what, const Series& s) {
  std::printf("  %-34s %10.0f /s   (min %.0f, max %.0f)\n", what, s.Median(), s.Min(), s.Max());
}

std::string FirstLine(const char* path, const char* key) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (key == nullptr || line.rfind(key, 0) == 0) return line;
  }
  return "?";
}

const char* FileSystemName(const std::string& path) {
  struct statfs fs {};
  if (::statfs(path.c_str(), &fs) != 0) return "?";
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53: return "ext2/3/4";
    case 0x01021994: return "tmpfs";
    case 0x794c7630: return "overlayfs";
    case 0x58465342: return "xfs";
    case 0x9123683E: return "btrfs";
    default: return "other";
  }
}

void PrintMachine(const std::string& dir) {
  std::string cpu = FirstLine("/proc/cpuinfo", "model name");
  if (const std::size_t colon = cpu.find(':'); colon != std::string::npos) cpu = cpu.substr(colon + 2);
  std::printf("machine: %ld cores (%s), SQLite %s, data on %s, load average %s\n", ::sysconf(_SC_NPROCESSORS_ONLN),
              cpu.c_str(), sqlite3_libversion(), FileSystemName(dir), FirstLine("/proc/loadavg", nullptr).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  int tiles = 100000;
  int rounds = 5;
  std::string dir = CORVANE_BENCH_DATA;
  bool measureRss = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--tiles" && i + 1 < argc) {
      tiles = std::atoi(argv[++i]);
    } else if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::atoi(argv[++i]);
    } else if (arg == "--dir" && i + 1 < argc) {
      dir = argv[++i];
    } else if (arg == "--no-rss") {
      measureRss = false;
    } else {
      std::fprintf(stderr, "usage: convert_bench [--tiles N] [--rounds R] [--dir FOLDER] [--no-rss]\n");
      return 2;
    }
  }
  if (tiles < 10 || rounds < 1) {
    std::fprintf(stderr, "convert_bench: --tiles must be at least 10 and --rounds at least 1\n");
    return 2;
  }

  bench::BenchTree tree{};
  std::string error;
  Clock::time_point start = Clock::now();
  if (!bench::PrepareBenchTree(dir, tiles, &tree, &error)) {
    std::fprintf(stderr, "convert_bench: %s\n", error.c_str());
    return 1;
  }
  std::printf("tree: 2 x %lld tiles, %.0f MB, %lld folders, %s (%.1f s), in %s\n", tree.tilesPerLayout,
              tree.bytes / 1e6, tree.folders, tree.reused ? "reused" : "generated", Seconds(Clock::now() - start),
              dir.c_str());
  PrintMachine(dir);

  const std::string maps = dir + "/maps";
  std::filesystem::create_directories(maps);
  const std::string jobMap = maps + "/job.cvmap";
  const std::string limitMap = maps + "/limit.cvmap";
  bool allGood = true;

  struct Layout {
    const char* name;
    int layout;
    std::string source;
    LayoutSeries series;
  };
  Layout layouts[] = {{"GeoKuk", convert::LayoutGeoKuk, tree.geoKuk, {}},
                      {"OSM Tracker Storage", convert::LayoutOsmTrackerStorage, tree.osm, {}}};

  // Warm the page cache with both trees before the first timing.
  for (Layout& l : layouts) {
    JobRun warm = RunJob(l.source, l.layout, jobMap);
    allGood = allGood && warm.tiles == tiles;
  }

  for (int round = 0; round < rounds; ++round) {
    for (Layout& l : layouts) {
      // Alternate which of the two goes first, so that neither always meets
      // the other's dirty pages being written back.
      JobRun job;
      JobRun limit;
      if (round % 2 == 0) {
        job = RunJob(l.source, l.layout, jobMap);
        limit = RunLimit(l.source, l.layout, limitMap);
      } else {
        limit = RunLimit(l.source, l.layout, limitMap);
        job = RunJob(l.source, l.layout, jobMap);
      }
      if (job.tiles != tiles || limit.tiles != tiles) {
        std::fprintf(stderr, "convert_bench: %s: job stored %lld, limit loop %lld of %d tiles\n", l.name, job.tiles,
                     limit.tiles, tiles);
        allGood = false;
      }
      if (round == 0) {
        const RowCheck check = CompareMaps(jobMap, limitMap);
        const bool same = check.missing == 0 && check.rowsA == check.rowsB;
        std::printf("%s: job map file and limit map file hold %s rows (%lld and %lld)\n", l.name,
                    same ? "the same" : "DIFFERENT", check.rowsA, check.rowsB);
        allGood = allGood && same;
      }
      std::filesystem::remove(jobMap);
      std::filesystem::remove(limitMap);

      const double jobRate = job.tiles / job.seconds;
      const double limitRate = limit.tiles / limit.seconds;
      l.series.job.Add(jobRate);
      l.series.limit.Add(limitRate);
      l.series.jobRatio.Add(jobRate / limitRate);
      l.series.jobCpu.Add(job.tiles / job.cpuSeconds);
      l.series.limitCpu.Add(limit.tiles / limit.cpuSeconds);
      l.series.cpuRatio.Add(limit.cpuSeconds / job.cpuSeconds);

      for (int k = 0; k < kWalkRepeats; ++k) {
        long long counted = 0;
        long long walked = 0;
        const double counting = CountingPassSeconds(l.source, &counted);
        const double walk = BareWalkSeconds(l.source, &walked);
        allGood = allGood && counted == tiles && walked == tiles;
        l.series.counting.Add(counted / counting);
        l.series.walk.Add(walked / walk);
        l.series.countingRatio.Add(counting / walk);
      }
      std::printf("round %d %-20s job %6.0f tiles/s (%.2f s, counting %.2f s, CPU %.2f s), "
                  "limit %6.0f tiles/s (%.2f s, CPU %.2f s), ratio %.2f\n",
                  round + 1, l.name, jobRate, job.seconds, job.countingSeconds, job.cpuSeconds, limitRate,
                  limit.seconds, limit.cpuSeconds, jobRate / limitRate);
      std::fflush(stdout);
    }
  }

  std::printf("\nmedians over %d rounds (the walks %d times a round):\n", rounds, kWalkRepeats);
  for (const Layout& l : layouts) {
    const LayoutSeries& s = l.series;
    std::printf("%s:\n", l.name);
    PrintRate("(a) full job, both passes", s.job);
    PrintRate("(b) limit loop, one transaction", s.limit);
    PrintRate("(a) per CPU second", s.jobCpu);
    PrintRate("(b) per CPU second", s.limitCpu);
    PrintRate("(c) counting pass alone", s.counting);
    PrintRate("    bare readdir walk", s.walk);
    // Each round measures the job and the limit back to back, so a round's
    // ratio compares like with like; the median of those ratios is the
    // figure least moved by other work on the machine.
    const double jobRatio = s.jobRatio.Median();
    const double countingRatio = s.countingRatio.Median();
    std::printf("  (a)/(b) speed ratio        %.2f   median of per-round ratios (%.2f..%.2f; ratio of medians %.2f)"
                "  target >= %.1f: %s\n",
                jobRatio, s.jobRatio.Min(), s.jobRatio.Max(), s.job.Median() / s.limit.Median(), kJobTarget,
                jobRatio >= kJobTarget ? "met" : "NOT met");
    std::printf("  (a)/(b) per CPU second     %.2f   median of per-round ratios (%.2f..%.2f)\n", s.cpuRatio.Median(),
                s.cpuRatio.Min(), s.cpuRatio.Max());
    std::printf("  (c)/walk time ratio        %.2f   median of per-run ratios (%.2f..%.2f; ratio of medians %.2f)"
                "  target <= %.1f: %s\n",
                countingRatio, s.countingRatio.Min(), s.countingRatio.Max(), s.walk.Median() / s.counting.Median(),
                kCountingTarget, countingRatio <= kCountingTarget ? "met" : "NOT met");
  }

  if (measureRss) {
    bench::BenchTree small{};
    if (!bench::PrepareBenchTree(dir, tiles / 10, &small, &error)) {
      std::fprintf(stderr, "convert_bench: %s\n", error.c_str());
      return 1;
    }
    std::printf("\npeak resident size of the whole job (a child process per run):\n");
    for (const Layout& l : layouts) {
      const std::string& smallSource = l.layout == convert::LayoutGeoKuk ? small.geoKuk : small.osm;
      const long smallKb = MaxRssOfJob(smallSource, l.layout, jobMap, small.tilesPerLayout);
      const long bigKb = MaxRssOfJob(l.source, l.layout, jobMap, tiles);
      std::printf("  %-20s %7lld tiles: %6.1f MB   %7d tiles: %6.1f MB\n", l.name, small.tilesPerLayout,
                  smallKb / 1024.0, tiles, bigKb / 1024.0);
      allGood = allGood && smallKb > 0 && bigKb > 0;
    }
  }
  std::printf("load average at the end: %s\n", FirstLine("/proc/loadavg", nullptr).c_str());
  if (!allGood) std::fprintf(stderr, "convert_bench: a run did not store every tile or the rows differ\n");
  return allGood ? 0 : 1;
}
