#include "convert/tile_recognizer.h"

#include "convert/tile_matcher.h"
#include "platform/utf.h"

namespace convert {

TileRecognizer::TileRecognizer(int layout) : layout_(layout) {
  if (const std::u16string* pattern = ConversionPatternFor(layout)) matcher_ = std::make_unique<TileMatcher>(*pattern);
}

TileRecognizer::~TileRecognizer() = default;

std::optional<TileKey> TileRecognizer::Recognize(const std::u16string& relativePath, const std::string& fileName) {
  if (!matcher_ || !matcher_->Matches(relativePath)) return std::nullopt;
  switch (layout_) {
    case LayoutGeoKuk:
      // The source name is stored as text: bytes that are no UTF-8 would all
      // read as U+FFFD, and two sources would merge under one name.
      if (!platform::IsValidUtf8(fileName)) return std::nullopt;
      return DecodeGeoKukKey(platform::Utf8ToUtf16(fileName));
    case LayoutTms:
      return DecodeTmsKey(relativePath);
    default:
      return DecodeOsmTrackerStorageKey(relativePath);
  }
}

}  // namespace convert
