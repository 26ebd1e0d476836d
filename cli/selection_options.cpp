#include "cli/selection_options.h"

#include <cmath>
#include <cstdio>

#include "cli/command.h"
#include "convert/layouts.h"

namespace cli {

namespace {

// The refusal line of one option's value.
void Refuse(const std::string& option, const std::string& value, const std::string& why) {
  PrintError("--" + option + " '" + value + "': " + why);
}

std::string Degrees(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.5f", value);
  return text;
}

}  // namespace

std::vector<OptionSpec> WithSelectionOptions(std::vector<OptionSpec> options) {
  options.push_back({"zoom", 0, true});
  options.push_back({"source", 0, true});
  options.push_back({"area", 0, true});
  return options;
}

bool ReadSelection(const Arguments& parsed, convert::TileSelection* selection) {
  convert::TileSelection read;
  std::string why;
  if (parsed.Has("zoom")) {
    const std::string value = parsed.Value("zoom", "");
    std::bitset<convert::kMaxSelectableZoom + 1> zooms;
    if (!convert::ParseZoomList(value, &zooms, &why)) {
      Refuse("zoom", value, why);
      return false;
    }
    read.zooms = zooms;
  }
  if (parsed.Has("source")) {
    const std::string value = parsed.Value("source", "");
    std::vector<std::u16string> sources;
    if (!convert::ParseSourceList(value, &sources, &why)) {
      Refuse("source", value, why);
      return false;
    }
    read.sources = std::move(sources);
  }
  if (parsed.Has("area")) {
    const std::string value = parsed.Value("area", "");
    store::GeoArea area;
    if (!convert::ParseArea(value, &area, &why)) {
      Refuse("area", value, why);
      return false;
    }
    read.area = area;
  }
  *selection = std::move(read);
  return true;
}

std::string WebMercatorAreaRefusal(const store::GeoArea& area, const std::string& what) {
  const double latitude = std::abs(area.south) > std::abs(area.north) ? area.south : area.north;
  return "--area: the latitude " + Degrees(latitude) + " lies beyond " + Degrees(convert::kWebMercatorAreaLatitude) +
         " north or south, the edge of the Web Mercator grid of " + what;
}

bool CheckAreaForLayout(const convert::TileSelection& selection, int layout) {
  if (convert::AreaFitsLayout(selection, layout)) return true;
  PrintError(WebMercatorAreaRefusal(*selection.area, std::string(convert::LayoutCaption(layout)) + " tiles"));
  return false;
}

std::string NothingSelectedText(const std::string& source, long long outside, const std::string& consequence) {
  return "no tile of " + source + " is in the selection (" + std::to_string(outside) + " outside it), so " +
         consequence + "; do --zoom, --source and --area name what " + source + " holds?";
}

}  // namespace cli
