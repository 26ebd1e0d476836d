// Helpers for the pattern engine tests: run a pattern in a chosen strategy and
// subject form and describe the captures as offsets.
#pragma once

#include <string>
#include <vector>

#include "regex/regex.h"

namespace engine_test {

// Offsets of one capture; {-1, -1} when the group did not take part.
struct span {
  long first;
  long second;
  friend bool operator==(const span&, const span&) = default;
};

inline constexpr span none{-1, -1};

struct outcome {
  bool matched = false;
  std::vector<span> captures;  // every entry of the results
  std::string error;           // what() of bad_regexpr, empty when it compiled
};

// Bounded subject through std::u16string, in `mode`.
inline outcome run(const std::u16string& pattern, const std::u16string& subject, int flags = 0, int mode = 0) {
  outcome out;
  try {
    const regex::rpattern p(pattern, flags, mode);
    regex::match_results r;
    out.matched = regex::match(subject, p, r).matched;
    for (std::size_t i = 0; i < r.size(); ++i) {
      out.captures.push_back(r[i].matched ? span{r[i].first - subject.begin(), r[i].second - subject.begin()}
                                          : none);
    }
  } catch (const regex::bad_regexpr& e) {
    out.error = e.what();
  }
  return out;
}

// Zero-terminated subject through const char16_t*.
inline outcome run_cstr(const std::u16string& pattern, const std::u16string& subject, int flags = 0,
                        int mode = 0) {
  outcome out;
  try {
    const regex::rpattern_c p(pattern, flags, mode);
    regex::match_results_c r;
    out.matched = regex::match(subject.c_str(), p, r).matched;
    for (std::size_t i = 0; i < r.size(); ++i) {
      out.captures.push_back(r[i].matched ? span{r[i].first - subject.c_str(), r[i].second - subject.c_str()}
                                          : none);
    }
  } catch (const regex::bad_regexpr& e) {
    out.error = e.what();
  }
  return out;
}

// The message a pattern is rejected with, or "" when it compiles.
inline std::string compile_error(const std::u16string& pattern, int flags = 0) {
  try {
    const regex::rpattern p(pattern, flags);
  } catch (const regex::bad_regexpr& e) {
    return e.what();
  }
  return "";
}

inline std::string narrow(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

}  // namespace engine_test
