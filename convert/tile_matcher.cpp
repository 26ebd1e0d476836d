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
  return regex::match(relativePath, impl_->compiled, impl_->results).matched;
}

const std::u16string* ConversionPatternFor(int layout) {
  switch (layout) {
    case LayoutGeoKuk:
      return &kGeoKukPattern;
    case LayoutOsmTrackerStorage:
      return &kOsmTrackerStoragePattern;
    default:
      return nullptr;
  }
}

}  // namespace convert
