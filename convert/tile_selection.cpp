#include "convert/tile_selection.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "convert/layouts.h"
#include "platform/utf.h"
#include "store/map_file.h"

namespace convert {

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The items of a comma-separated list, trimmed; an empty text gives none.
std::vector<std::string_view> Items(std::string_view text) {
  std::vector<std::string_view> items;
  if (Trimmed(text).empty()) return items;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    items.push_back(Trimmed(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return items;
}

// `text` in single quotes, for a message.
std::string Quoted(std::string_view text) {
  std::string quoted(1, '\'');
  quoted.append(text);
  quoted.push_back('\'');
  return quoted;
}

// One zoom level of one or two decimal digits.
bool ParseLevel(std::string_view text, int* level, std::string* why) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    *why = Quoted(text) + " is no zoom level (one or two digits)";
    return false;
  }
  if (text.size() > 2) {
    *why = "zoom level " + std::string(text) + " has more than two digits";
    return false;
  }
  *level = std::stoi(std::string(text));
  return true;
}

bool ParseNumber(std::string_view text, double* value) {
  if (text.empty()) return false;
  if (text.front() == '+') text.remove_prefix(1);
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && ptr == end && std::isfinite(*value);
}

}  // namespace

bool ParseZoomList(std::string_view text, std::bitset<kMaxSelectableZoom + 1>* zooms, std::string* why) {
  const std::vector<std::string_view> items = Items(text);
  if (items.empty()) {
    *why = "no zoom level given";
    return false;
  }
  std::bitset<kMaxSelectableZoom + 1> levels;
  for (std::string_view item : items) {
    if (item.empty()) {
      *why = "an empty item in " + Quoted(text);
      return false;
    }
    const std::size_t dash = item.find('-');
    int first = 0;
    int last = 0;
    if (dash == std::string_view::npos) {
      if (!ParseLevel(item, &first, why)) return false;
      last = first;
    } else {
      if (!ParseLevel(Trimmed(item.substr(0, dash)), &first, why)) return false;
      if (!ParseLevel(Trimmed(item.substr(dash + 1)), &last, why)) return false;
      if (last < first) {
        *why = "the range " + std::string(item) + " ends below its start";
        return false;
      }
    }
    for (int level = first; level <= last; ++level) levels.set(level);
  }
  *zooms = levels;
  return true;
}

bool ParseSourceList(std::string_view text, std::vector<std::u16string>* sources, std::string* why) {
  const std::vector<std::string_view> items = Items(text);
  if (items.empty()) {
    *why = "no map source given";
    return false;
  }
  std::vector<std::u16string> names;
  for (std::string_view item : items) {
    if (item.empty()) {
      *why = "an empty source name in " + Quoted(text);
      return false;
    }
    names.push_back(platform::Utf8ToUtf16(item));
  }
  *sources = std::move(names);
  return true;
}

bool ParseArea(std::string_view text, store::GeoArea* area, std::string* why) {
  const std::vector<std::string_view> items = Items(text);
  if (items.size() != 4) {
    *why = Quoted(text) + " is not SOUTH,WEST,NORTH,EAST (four numbers in degrees)";
    return false;
  }
  double values[4];
  for (int i = 0; i < 4; ++i) {
    if (!ParseNumber(items[i], &values[i])) {
      *why = Quoted(items[i]) + " is no number of degrees";
      return false;
    }
  }
  const store::GeoArea parsed{values[0], values[1], values[2], values[3]};
  if (std::abs(parsed.south) > 90 || std::abs(parsed.north) > 90) {
    *why = "a latitude must lie within -90 .. 90";
    return false;
  }
  if (std::abs(parsed.west) > 180 || std::abs(parsed.east) > 180) {
    *why = "a longitude must lie within -180 .. 180";
    return false;
  }
  if (parsed.south > parsed.north) {
    *why = "the south edge lies north of the north edge";
    return false;
  }
  if (parsed.west > parsed.east) {
    *why = "the west edge lies east of the east edge";
    return false;
  }
  *area = parsed;
  return true;
}

bool AreaFitsWebMercator(const store::GeoArea& area) {
  constexpr double kLimit = kWebMercatorAreaLatitude + 1e-9;
  return std::abs(area.south) <= kLimit && std::abs(area.north) <= kLimit;
}

bool AreaFitsLayout(const TileSelection& selection, int layout) {
  const bool webMercator = layout == LayoutOsmTrackerStorage || layout == LayoutTms || layout == LayoutMbtiles;
  if (!selection.area || !webMercator) return true;
  return AreaFitsWebMercator(*selection.area);
}

std::optional<std::vector<long long>> SelectedZValues(const TileSelection& selection) {
  if (!selection.zooms) return std::nullopt;
  std::vector<long long> z;
  for (int zoom = 0; zoom <= kMaxSelectableZoom; ++zoom) {
    if (selection.zooms->test(static_cast<std::size_t>(zoom))) z.push_back(kZoomBase - zoom);
  }
  return z;
}

SelectionFilter::SelectionFilter(const TileSelection& selection) : selection_(selection) {
  if (selection_.area) overlap_.emplace(*selection_.area);
}

bool SelectionFilter::Selects(store::TileGrid grid, int zoom, long long x, long long y,
                              const std::u16string* source) const {
  // A zoom level that no file name can carry (a foreign map's row) has no
  // place on either grid, and no level list names it.
  if ((selection_.zooms || overlap_) && (zoom < 0 || zoom > kMaxSelectableZoom)) return false;
  if (selection_.zooms && !selection_.zooms->test(zoom)) return false;
  if (selection_.sources && source != nullptr) {
    const std::vector<std::u16string>& names = *selection_.sources;
    if (std::find(names.begin(), names.end(), *source) == names.end()) return false;
  }
  if (overlap_) {
    if (grid == store::TileGrid::GeoKuk) return overlap_->GeoKukTile(zoom, x, y);
    return overlap_->WebMercatorTile(zoom, x, y);
  }
  return true;
}

bool SelectionFilter::Selects(const store::TileKey& key) const {
  const long long level = 17LL - key.z;  // z = 17 - zoom, kept from overflowing for any stored z
  const int zoom = static_cast<int>(std::clamp(level, -1LL, static_cast<long long>(kMaxSelectableZoom) + 1));
  if (key.sourceIsText) return Selects(store::TileGrid::GeoKuk, zoom, key.x, key.y, &key.source);
  return Selects(store::TileGrid::WebMercator, zoom, key.x, key.y, nullptr);
}

}  // namespace convert
