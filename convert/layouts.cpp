#include "convert/layouts.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "convert/text_reading.h"

namespace convert {

// Each "\\" is one literal backslash (the path separator), "\." a literal dot.
// Every pattern ends with "$": a path that goes on after the extension (a
// partial download "11308.png.part", a "x.kachle.tmp" or "x.kachle.bak") is
// no tile, so that no broken image is ever stored under a tile's key.
// The converting pass takes every zoom the probe accepts (one or two digits)
// and every column and row (one digit or more): atlas makers' trees keep
// their overview levels 0-9, and their first tiles have numbers below 10.
const std::u16string kGeoKukPattern =
    uR"(^\\[0-9a-f]{2}\\[0-9a-f]{2}\\[0-9a-f]{2}\\[0-9a-f]{2}\\.*\.kachle$)";
const std::u16string kOsmTrackerStoragePattern = uR"(^\\[0-9]{1,2}\\[0-9]{1,}\\[0-9]{1,}\.(png|jpg)$)";
const std::u16string kOsmTrackerStorageProbePattern = uR"(^\\[0-9]{1,2}\\[0-9]{1,}\\[0-9]{1,}\.(png|jpg)$)";

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

// True when `text` is count digits, minCount <= count <= maxCount: decimal
// digits, or with `hex` the hexadecimal digits of either case. No blank, sign
// or prefix ("0x") is a digit.
bool IsDigits(const std::u16string& text, std::size_t minCount, std::size_t maxCount, bool hex = false) {
  if (text.size() < minCount || text.size() > maxCount) return false;
  for (const char16_t c : text) {
    const bool decimal = c >= u'0' && c <= u'9';
    const bool letter = (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    if (!decimal && !(hex && letter)) return false;
  }
  return true;
}

// The key of a GeoKuk name whose zoom is parts[at] (one or two decimal
// digits) and whose x and y are the two parts after it (one to eight hex
// digits each, read with HexToInt, at most INT32_MAX so that no key wraps
// into a negative number). Returns nullopt when the parts do not read so;
// the source name is left for the caller.
std::optional<TileKey> GeoKukKeyFromParts(const std::vector<std::u16string>& parts, std::size_t at) {
  if (at + 2 >= parts.size()) return std::nullopt;
  const std::u16string& zoom = parts[at];
  const std::u16string& x = parts[at + 1];
  const std::u16string& y = parts[at + 2];
  if (!IsDigits(zoom, 1, 2) || !IsDigits(x, 1, 8, true) || !IsDigits(y, 1, 8, true)) return std::nullopt;
  const std::optional<int> level = ReadDecimal(zoom);
  const std::optional<int> z = level ? ZFromZoom(*level) : std::nullopt;
  const int xValue = HexToInt(x);
  const int yValue = HexToInt(y);
  if (!z || xValue < 0 || yValue < 0) return std::nullopt;
  TileKey key;
  key.x = xValue;
  key.y = yValue;
  key.z = *z;
  key.sourceIsText = true;
  return key;
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

bool IsFolderLayout(int layout) {
  return layout == LayoutGeoKuk || layout == LayoutOsmTrackerStorage || layout == LayoutTms;
}

const char* LayoutCaption(int layout) {
  switch (layout) {
    case LayoutGeoKuk:
      return "GeoKuk";
    case LayoutOsmTrackerStorage:
      return "OSM Tracker Storage";
    case LayoutTms:
      return "TMS";
    case LayoutMbtiles:
      return "MBTiles";
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
  std::optional<TileKey> key = GeoKukKeyFromParts(parts, nameParts);
  if (!key && parts.size() >= 5) {
    nameParts = parts.size() - 3;
    key = GeoKukKeyFromParts(parts, nameParts);
  }
  if (!key) return std::nullopt;
  key->source = ReplaceAll(JoinParts(parts, nameParts), kBaseNameGuard, kBaseName);
  return key;
}

std::optional<TileKey> DecodeOsmTrackerStorageKey(const std::u16string& relativePath) {
  const std::u16string path = ReplaceAll(relativePath, u".", u"\\");
  const std::vector<std::u16string> parts = SplitParts(path, u"\\");
  // zoom, column, row and the extension, which ends the path.
  if (parts.size() != 4 || (parts[3] != u"png" && parts[3] != u"jpg")) return std::nullopt;
  if (!IsDigits(parts[0], 1, 2) || !IsDigits(parts[1], 1, SIZE_MAX) || !IsDigits(parts[2], 1, SIZE_MAX)) {
    return std::nullopt;
  }
  const std::optional<int> zoom = ReadDecimal(parts[0]);
  const std::optional<int> x = ReadDecimal(parts[1]);
  const std::optional<int> y = ReadDecimal(parts[2]);
  if (!zoom || !x || !y) return std::nullopt;  // a column or row too large for an int
  const std::optional<int> z = ZFromZoom(*zoom);
  if (!z) return std::nullopt;

  TileKey key;
  key.x = *x;
  key.y = *y;
  key.z = *z;
  key.sourceIsText = false;
  return key;
}

std::optional<TileKey> DecodeTmsKey(const std::u16string& relativePath) {
  std::optional<TileKey> key = DecodeOsmTrackerStorageKey(relativePath);
  if (!key) return std::nullopt;
  const long long zoom = static_cast<long long>(kZoomBase) - key->z;
  const std::optional<int> y = zoom >= 0 && zoom <= 31 ? FlipTmsRow(static_cast<int>(zoom), key->y) : std::nullopt;
  if (!y) return std::nullopt;
  key->y = *y;
  return key;
}

std::optional<int> FlipTmsRow(int zoom, long long row) {
  // Rows of zoom 31 still fit an int; a higher zoom has rows no int holds.
  if (zoom < 0 || zoom > 31) return std::nullopt;
  const long long last = (1LL << zoom) - 1;
  if (row < 0 || row > last) return std::nullopt;
  return static_cast<int>(last - row);
}

namespace {

// The zoom level of `key` when it has one or two decimal digits, as the
// layouts' names carry it.
std::optional<int> NameableZoom(const TileKey& key) {
  const long long zoom = static_cast<long long>(kZoomBase) - key.z;
  if (zoom < 0 || zoom > 99 || key.x < 0 || key.y < 0) return std::nullopt;
  return static_cast<int>(zoom);
}

}  // namespace

std::optional<TileFilePath> GeoKukTilePath(const TileKey& key, const std::string& name) {
  const std::optional<int> zoom = NameableZoom(key);
  if (!zoom) return std::nullopt;
  char x[16];
  char y[16];
  std::snprintf(x, sizeof x, "%07x", static_cast<unsigned>(key.x));
  std::snprintf(y, sizeof y, "%07x", static_cast<unsigned>(key.y));
  TileFilePath path;
  path.folder = std::string(x, 2) + '/' + std::string(y, 2) + '/' + std::string(x + 2, 2) + '/' + std::string(y + 2, 2);
  path.name = name + '_' + std::to_string(*zoom) + '_' + x + '_' + y + ".kachle";
  return path;
}

std::optional<TileFilePath> OsmTrackerStorageTilePath(const TileKey& key, const std::string& extension) {
  const std::optional<int> zoom = NameableZoom(key);
  if (!zoom) return std::nullopt;
  TileFilePath path;
  path.folder = std::to_string(*zoom) + '/' + std::to_string(key.x);
  path.name = std::to_string(key.y) + '.' + extension;
  return path;
}

}  // namespace convert
