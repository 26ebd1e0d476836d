// TileMatcher: one compiled layout pattern, matched against relative paths.
//
// Compiling a pattern is far dearer than matching it, so a walk compiles its
// layout's pattern once and matches every file with it.
//
// Thread-safety: one matcher is used by one thread (it reuses its results).
#pragma once

#include <memory>
#include <string>

namespace convert {

class TileMatcher {
 public:
  // Compiles `pattern` with flags 0 and mode 0 (case-sensitive). Throws
  // regex::bad_regexpr when the pattern is ill-formed.
  explicit TileMatcher(const std::u16string& pattern);
  ~TileMatcher();
  TileMatcher(const TileMatcher&) = delete;
  TileMatcher& operator=(const TileMatcher&) = delete;

  // True when the pattern matches `relativePath` from its first character
  // to its last (a match that ends earlier, such as "$" before a final line
  // feed, does not count).
  bool Matches(const std::u16string& relativePath);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;  // owned: the compiled pattern and reusable match results
};

// The pattern the converting pass uses for `layout`, or nullptr for a value
// that is no layout (such a job stores nothing).
const std::u16string* ConversionPatternFor(int layout);

}  // namespace convert
