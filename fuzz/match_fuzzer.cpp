// libFuzzer target for the pattern engine. The input is a flags byte, a
// mode byte, a pattern and a subject (layout in fuzz/match_agreement.h).
// Each input is compiled and matched under both strategies, a third mode and
// both subject forms; any disagreement, broken result or unexpected
// exception aborts with a description. Build and run: see fuzz/README.md.
#include <cstdio>
#include <cstdlib>

#include "fuzz/match_agreement.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (const auto fault = corvane_check::check_fuzz_input(data, size)) {
    std::fprintf(stderr, "pattern engine fault: %s\n", fault->c_str());
    std::abort();
  }
  return 0;
}
