// Membership speed of character sets: characters 0-255 (one bit test) against
// characters above 255 (binary search over ranges, then wide classification).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "regex/charset_parser.h"

namespace {

using regex::detail::intrinsic_charset;

// A set with a class, a negated class, a merged negated set and ranges, so
// the wide path does all its work and the narrow path has the most to skip.
const intrinsic_charset& busy_set() {
  static const intrinsic_charset* set = [] {
    auto* s = new intrinsic_charset;
    const std::u16string text =
        u"0-9a-f[:punct:][:^space:]\\W\u0100-\u017F\u0391-\u03A9\u0410-\u044F\u4E00-\u4E0F]";
    const char16_t* cursor = text.data();
    regex::detail::parse_charset(*s, cursor, text.data() + text.size(), 0);
    return s;
  }();
  return *set;
}

// Characters drawn with a fixed seed from [low, high].
std::vector<char16_t> subjects(unsigned low, unsigned high) {
  std::mt19937 gen(12345);
  std::uniform_int_distribution<unsigned> pick(low, high);
  std::vector<char16_t> out(4096);
  for (char16_t& c : out) c = static_cast<char16_t>(pick(gen));
  return out;
}

void run(benchmark::State& state, const std::vector<char16_t>& text, bool nocase) {
  const intrinsic_charset& set = busy_set();
  std::size_t hits = 0;
  for (auto _ : state) {
    for (char16_t c : text) hits += nocase ? set.in_nocase(c) : set.in(c);
    benchmark::DoNotOptimize(hits);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

// Baseline: the same loop over a bare 256-bit table, to compare BM_Latin1 with.
void BM_BareBitTest(benchmark::State& state) {
  std::uint32_t table[8];
  for (unsigned w = 0; w < 8; ++w) {
    table[w] = 0;
    for (unsigned b = 0; b < 32; ++b) {
      if (busy_set().bit(static_cast<unsigned char>(w * 32 + b))) table[w] |= 1u << b;
    }
  }
  const std::vector<char16_t> text = subjects(0, 0xFF);
  std::size_t hits = 0;
  for (auto _ : state) {
    for (char16_t c : text) hits += (table[c >> 5] >> (c & 31)) & 1u;
    benchmark::DoNotOptimize(hits);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void BM_Latin1(benchmark::State& state) { run(state, subjects(0, 0xFF), false); }
void BM_Latin1Nocase(benchmark::State& state) { run(state, subjects(0, 0xFF), true); }
void BM_Above255(benchmark::State& state) { run(state, subjects(0x100, 0xFFFF), false); }
void BM_Above255Nocase(benchmark::State& state) { run(state, subjects(0x100, 0xFFFF), true); }
void BM_Above255InRanges(benchmark::State& state) { run(state, subjects(0x100, 0x17F), false); }

BENCHMARK(BM_BareBitTest);
BENCHMARK(BM_Latin1);
BENCHMARK(BM_Latin1Nocase);
BENCHMARK(BM_Above255);
BENCHMARK(BM_Above255Nocase);
BENCHMARK(BM_Above255InRanges);

}  // namespace
