#include "convert/layouts.h"

#include <cstdint>
#include <vector>

#include "convert/text_reading.h"

namespace convert {

// Each "\\" is one literal backslash (the path separator), "\." a literal dot.
const std::u16string kGeoKukPattern =
    uR"(^\\[0-9a-f]{2}\\[0-9a-f]{2}\\[0-9a-f]{2}\\[0-9a-f]{2}\\.*\.kachle)";
const std::u16string kOsmTrackerStoragePattern = uR"(^\\[0-9]{2}\\[0-9]{2,}\\[0-9]{2,}\.(png|jpg))";
const std::u16string kOsmTrackerStorageProbePattern = uR"(^\\[0-9]{1,2}\\[0-9]{1,}\\[0-9]{1,}\.(png|jpg))";

namespace {

const std::u16string kKachleExtension = u".kachle";
const std::u16string kBaseName = u"base_n";       // the one source name whose '_' is kept whole
const std::u16string kBaseNameGuard = u"base-n";  // its stand-in while the name is split at '_'

// z for a zoom level, or nullopt when it would not fit an int.
std::optional<int> ZFromZoom(int zoom) {
  const long long z = static_cast<long long>(kZoomBase) - zoom;
  if (z < INT32_MIN || z > INT32_MAX) return std::nullopt;
  return static_cast<int>(z);
}

std::u16string JoinParts(const std::vector<std::u16string>& parts, std::size_t count) {
  std::u16string joined;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) joined += u'_';
    joined += parts[i];
  }
  return joined;
}

}  // namespace

const char* LayoutCaption(int layout) {
  switch (layout) {
    case LayoutGeoKuk:
      return "GeoKuk";
    case LayoutOsmTrackerStorage:
      return "OSM Tracker Storage";
    default:
      return "";
  }
}

int HexToInt(std::u16string text) {
  text = TrimBlanks(text);
  std::uint32_t value = 0;  // unsigned, so that the 32-bit wrap is defined
  for (char16_t c : text) {
    std::uint32_t digit;
    if (c >= u'0' && c <= u'9') {
      digit = c - u'0';
    } else if (c >= u'A' && c <= u'F') {
      digit = c - u'A' + 10;
    } else if (c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10;
    } else {
      return 0;
    }
    value = value * 16 + digit;
  }
  return static_cast<int>(value);
}

std::optional<TileKey> DecodeGeoKukKey(const std::u16string& fileName) {
  std::u16string name = ReplaceAll(fileName, kKachleExtension, u"");
  name = ReplaceAll(std::move(name), kBaseName, kBaseNameGuard);
  const std::vector<std::u16string> parts = SplitParts(name, u"_");
  if (parts.size() < 4) return std::nullopt;

  // Usual form: source_zoom_x_y[_...]. A source name with its own '_'
  // (relief_l) pushes the zoom out of the second place; then the last three
  // parts are zoom, x and y and everything before them is the name.
  std::size_t nameParts = 1;
  std::optional<int> zoom = ReadDecimal(parts[1]);
  if (!zoom && parts.size() >= 5) {
    nameParts = parts.size() - 3;
    zoom = ReadDecimal(parts[nameParts]);
  }
  if (!zoom) return std::nullopt;
  const std::optional<int> z = ZFromZoom(*zoom);
  if (!z) return std::nullopt;

  TileKey key;
  key.x = HexToInt(parts[nameParts + 1]);
  key.y = HexToInt(parts[nameParts + 2]);
  key.z = *z;
  key.sourceIsText = true;
  key.source = ReplaceAll(JoinParts(parts, nameParts), kBaseNameGuard, kBaseName);
  return key;
}

std::optional<TileKey> DecodeOsmTrackerStorageKey(const std::u16string& relativePath) {
  const std::u16string path = ReplaceAll(relativePath, u".", u"\\");
  const std::vector<std::u16string> parts = SplitParts(path, u"\\");
  if (parts.size() < 3) return std::nullopt;
  const std::optional<int> zoom = ReadDecimal(parts[0]);
  const std::optional<int> x = ReadDecimal(parts[1]);
  const std::optional<int> y = ReadDecimal(parts[2]);
  if (!zoom || !x || !y) return std::nullopt;
  const std::optional<int> z = ZFromZoom(*zoom);
  if (!z) return std::nullopt;

  TileKey key;
  key.x = *x;
  key.y = *y;
  key.z = *z;
  key.sourceIsText = false;
  return key;
}

}  // namespace convert
