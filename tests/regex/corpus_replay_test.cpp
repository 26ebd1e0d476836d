// Replays every input of the fuzz corpus through the fuzz target's body, so
// that the inputs the fuzzer found interesting (and every crasher added to
// the corpus) are checked on each test run, under the sanitizers too.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/match_agreement.h"

namespace {

std::vector<std::filesystem::path> corpus_files() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(CORVANE_FUZZ_CORPUS_DIR)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// FUZZ-1: every corpus input passes the agreement checks.
TEST(CorpusReplay, EveryInputAgrees) {
  const auto files = corpus_files();
  ASSERT_GE(files.size(), 24u) << "corpus folder " << CORVANE_FUZZ_CORPUS_DIR;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    ASSERT_TRUE(in) << file;
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    const auto fault = corvane_check::check_fuzz_input(bytes.data(), bytes.size());
    EXPECT_FALSE(fault.has_value()) << file.filename() << ": " << fault.value_or("");
  }
}

}  // namespace
