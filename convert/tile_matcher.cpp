#include "convert/tile_matcher.h"

#include "convert/layouts.h"
#include "regex/regex.h"

namespace convert {

struct TileMatcher::Impl {
  explicit Impl(const std::u16string& pattern) : compiled(pattern, 0, 0) {}
  regex::rpattern compiled;       // the layout's pattern
  regex::match_results results;   // reused by every match
};

TileMatcher::TileMatcher(const std::u16string& pattern) : impl_(std::make_unique<Impl>(pattern)) {}

TileMatcher::~TileMatcher() = default;

bool TileMatcher::Matches(const std::u16string& relativePath) {
  // "$" also matches just before a line feed that ends the subject; a path
  // that goes on after the extension, by a line feed too, is no tile.
  const auto whole = regex::match(relativePath, impl_->compiled, impl_->results);
  return whole.matched && whole.second == relativePath.end();
}

const std::u16string* ConversionPatternFor(int layout) {
  switch (layout) {
    case LayoutGeoKuk:
      return &kGeoKukPattern;
    case LayoutOsmTrackerStorage:
    case LayoutTms:
      return &kOsmTrackerStoragePattern;
    default:
      return nullptr;
  }
}

}  // namespace convert
