// Benchmark of the pattern engine on the three tile layout patterns, against
// std::wregex and PCRE2 (16-bit, interpreter, and JIT as a reference).
//
// Matching: one benchmark iteration matches one pattern against a million
// generated relative paths (GeoKuk tiles, OSM Tracker Storage tiles and
// paths that are neither); items/s is paths per second. Every engine's match
// count is checked against PCRE2's, so a fast wrong engine is reported as an
// error rather than as a result.
// Compiling: one iteration compiles one pattern.
//
// The paths are generated once (seeded) and shared by all benchmarks.
#include <benchmark/benchmark.h>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <memory>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "regex/regex.h"

namespace {

constexpr std::size_t kPathCount = 1'000'000;

// The layout patterns exactly as the tile code compiles them: 0 GeoKuk,
// 1 OSM Tracker Storage (converting pass), 2 OSM Tracker Storage (probe).
const std::u16string kPatterns[] = {
    uR"(^\\[0-9a-f]{2}\\[0-9a-f]{2}\\[0-9a-f]{2}\\[0-9a-f]{2}\\.*\.kachle)",
    uR"(^\\[0-9]{2}\\[0-9]{2,}\\[0-9]{2,}\.(png|jpg))",
    uR"(^\\[0-9]{1,2}\\[0-9]{1,}\\[0-9]{1,}\.(png|jpg))",
};

std::wstring widen(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// The generated relative paths, in both character widths.
struct path_set {
  std::vector<std::u16string> paths;
  std::vector<std::wstring> wide_paths;
};

std::u16string ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string hex(std::mt19937& random, int digits, const char* alphabet = "0123456789abcdef") {
  std::string text;
  for (int i = 0; i < digits; ++i) text += alphabet[random() % 16];
  return text;
}

std::string decimal(std::mt19937& random, int low, int high) {
  return std::to_string(low + static_cast<int>(random() % static_cast<unsigned>(high - low + 1)));
}

// 45% GeoKuk tiles, 40% OSM Tracker Storage tiles, 15% other files.
std::u16string make_path(std::mt19937& random) {
  static const char* const kSources[] = {"turist", "base_n", "ophoto", "zakladni"};
  const unsigned kind = random() % 100;
  std::string path;
  if (kind < 45) {
    for (int level = 0; level < 4; ++level) path += "\\" + hex(random, 2);
    path += std::string("\\") + kSources[random() % 4] + "_" + decimal(random, 10, 18) + "_" +
            hex(random, 7) + "_" + hex(random, 7) + ".kachle";
  } else if (kind < 85) {
    path = "\\" + decimal(random, 10, 18) + "\\" + decimal(random, 10, 262143) + "\\" +
           decimal(random, 10, 262143) + (random() % 2 ? ".png" : ".jpg");
  } else {
    switch (random() % 5) {
      case 0:  // a GeoKuk folder named in upper case
        path = "\\" + hex(random, 2, "0123456789ABCDEF") + "\\" + hex(random, 2) + "\\" +
               hex(random, 2) + "\\" + hex(random, 2) + "\\turist_13_79d8000_8250000.kachle";
        break;
      case 1:  // a half-written GeoKuk tile
        path = "\\79\\82\\d8\\50\\turist_13_" + hex(random, 7) + "_" + hex(random, 7) + ".tmp";
        break;
      case 2:  // a one-digit OSM zoom folder
        path = "\\" + decimal(random, 1, 9) + "\\" + decimal(random, 0, 511) + "\\" +
               decimal(random, 0, 511) + ".png";
        break;
      case 3:  // another extension
        path = "\\16\\" + decimal(random, 10, 65535) + "\\" + decimal(random, 10, 65535) + ".jpeg";
        break;
      default:  // a file next to the tiles
        path = "\\cache\\info-" + decimal(random, 0, 9999) + ".txt";
        break;
    }
  }
  return ascii(path);
}

const path_set& paths() {
  static const path_set set = [] {
    path_set made;
    std::mt19937 random(424242u);
    made.paths.reserve(kPathCount);
    made.wide_paths.reserve(kPathCount);
    for (std::size_t i = 0; i < kPathCount; ++i) {
      made.paths.push_back(make_path(random));
      made.wide_paths.push_back(widen(made.paths.back()));
    }
    return made;
  }();
  return set;
}

// A compiled PCRE2 pattern with its match data; JIT-compiled on request.
class pcre2_matcher {
 public:
  pcre2_matcher(const std::u16string& pattern, bool jit) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    code_.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), 0,
                              &error, &offset, nullptr));
    if (code_ && jit) jit_ok_ = pcre2_jit_compile(code_.get(), PCRE2_JIT_COMPLETE) == 0;
    if (code_) data_.reset(pcre2_match_data_create_from_pattern(code_.get(), nullptr));
  }
  bool valid(bool jit) const { return code_ && data_ && (!jit || jit_ok_); }
  bool match(const std::u16string& subject) {
    return pcre2_match(code_.get(), reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(),
                       0, 0, data_.get(), nullptr) >= 0;
  }

 private:
  struct code_free {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
  };
  struct data_free {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
  };
  std::unique_ptr<pcre2_code, code_free> code_;
  std::unique_ptr<pcre2_match_data, data_free> data_;
  bool jit_ok_ = false;
};

// Reference match count of each pattern over the paths (PCRE2 interpreter).
std::size_t expected_matches(int pattern_index) {
  static std::size_t counts[3] = {0, 0, 0};
  static bool counted[3] = {false, false, false};
  if (!counted[pattern_index]) {
    pcre2_matcher matcher(kPatterns[pattern_index], false);
    for (const auto& path : paths().paths) counts[pattern_index] += matcher.match(path) ? 1 : 0;
    counted[pattern_index] = true;
  }
  return counts[pattern_index];
}

// Runs `match_all` once per iteration and reports paths/s; flags an error
// when its match count differs from the reference.
template <class MatchAll>
void run_matching(benchmark::State& state, int pattern_index, MatchAll match_all) {
  const std::size_t expected = expected_matches(pattern_index);
  std::size_t found = 0;
  for (auto _ : state) {
    found = match_all();
    benchmark::DoNotOptimize(found);
  }
  if (found != expected) {
    state.SkipWithError(("match count " + std::to_string(found) + ", expected " +
                         std::to_string(expected)).c_str());
  }
  state.counters["matches"] = static_cast<double>(found);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kPathCount));
}

// Arguments: pattern index, engine mode (0 recursive, 1 iterative).
void BM_EngineMatch(benchmark::State& state) {
  const int index = static_cast<int>(state.range(0));
  const regex::rpattern pattern(kPatterns[index], 0, static_cast<int>(state.range(1)));
  regex::match_results results;
  const auto& set = paths().paths;
  run_matching(state, index, [&] {
    std::size_t found = 0;
    for (const auto& path : set) found += regex::match(path, pattern, results).matched ? 1 : 0;
    return found;
  });
}
BENCHMARK(BM_EngineMatch)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void BM_Pcre2Match(benchmark::State& state) {
  const int index = static_cast<int>(state.range(0));
  const bool jit = state.range(1) != 0;
  pcre2_matcher matcher(kPatterns[index], jit);
  if (!matcher.valid(jit)) {
    state.SkipWithError("PCRE2 could not compile the pattern");
    return;
  }
  const auto& set = paths().paths;
  run_matching(state, index, [&] {
    std::size_t found = 0;
    for (const auto& path : set) found += matcher.match(path) ? 1 : 0;
    return found;
  });
}
// Second argument: 0 interpreter, 1 JIT.
BENCHMARK(BM_Pcre2Match)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_StdWregexMatch(benchmark::State& state) {
  const int index = static_cast<int>(state.range(0));
  const std::wregex pattern(widen(kPatterns[index]));
  std::wsmatch results;
  const auto& set = paths().wide_paths;
  run_matching(state, index, [&] {
    std::size_t found = 0;
    for (const auto& path : set) found += std::regex_search(path, results, pattern) ? 1 : 0;
    return found;
  });
}
BENCHMARK(BM_StdWregexMatch)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_EngineCompile(benchmark::State& state) {
  const auto& text = kPatterns[state.range(0)];
  for (auto _ : state) {
    regex::rpattern pattern(text, 0, 0);
    benchmark::DoNotOptimize(&pattern);
  }
}
BENCHMARK(BM_EngineCompile)->DenseRange(0, 2);

void BM_Pcre2Compile(benchmark::State& state) {
  const auto& text = kPatterns[state.range(0)];
  for (auto _ : state) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0,
                                     &error, &offset, nullptr);
    benchmark::DoNotOptimize(code);
    pcre2_code_free(code);
  }
}
BENCHMARK(BM_Pcre2Compile)->DenseRange(0, 2);

void BM_StdWregexCompile(benchmark::State& state) {
  const std::wstring text = widen(kPatterns[state.range(0)]);
  for (auto _ : state) {
    std::wregex pattern(text);
    benchmark::DoNotOptimize(&pattern);
  }
}
BENCHMARK(BM_StdWregexCompile)->DenseRange(0, 2);

}  // namespace

BENCHMARK_MAIN();
