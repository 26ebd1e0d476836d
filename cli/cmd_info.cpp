// cvmap info MAP [--json]: what a map file holds. Opens MAP read-only (a
// missing file is never created), recognises it as the window does, and
// prints the tile count and image bytes in total, per zoom level and per
// source, then per zoom level and grid the range of x and y and the area in
// degrees they cover (store/map_extents.h). With --json the same goes out as
// one JSON object.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/help_text.h"
#include "cli/messages.h"
#include "platform/utf.h"
#include "store/map_file.h"
#include "store/map_file_open.h"
#include "store/map_extents.h"
#include "store/map_summary.h"
#include "store/sqlite_database.h"

namespace cli {
namespace {

const Usage kInfoUsage{"info", "info MAP [--json]", kInfoHelp, {{"json", 0, false}}, 1};

// A key column's value as shown: numbers bare, texts in double quotes.
std::string Shown(const store::KeyValue& value) { return value.quoted ? '"' + value.text + '"' : value.text; }

// The zoom level of a `z` value, when it is a number a file name can carry.
std::optional<long long> ZoomOf(const store::KeyValue& z) {
  if (!z.integer || z.number <= -1000000 || z.number >= 1000000) return std::nullopt;
  return store::ZToZoom(static_cast<int>(z.number));
}

const char* GridCaption(store::TileGrid grid) { return grid == store::TileGrid::GeoKuk ? "GeoKuk" : "Web Mercator"; }

std::string Degrees(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.5f", value);
  return text;
}

void PrintExtents(const store::MapExtents& extents) {
  std::printf("extent by zoom level:\n");
  for (const store::MapExtent& e : extents.levels) {
    const long long zoom = store::ZoomOfZ(e.z);
    const std::string zoomText = zoom >= 0 ? std::to_string(zoom) : "?";
    std::printf("  zoom %s (z %lld) %s: %lld tiles, x %lld-%lld, y %lld-%lld", zoomText.c_str(), e.z,
                GridCaption(e.grid), e.tiles, e.x0, e.x1, e.y0, e.y1);
    if (e.hasArea) {
      std::printf(", area %s,%s,%s,%s\n", Degrees(e.area.south).c_str(), Degrees(e.area.west).c_str(),
                  Degrees(e.area.north).c_str(), Degrees(e.area.east).c_str());
    } else {
      std::printf(", no area (not on its grid)\n");
    }
  }
  if (extents.unplaced > 0) {
    std::printf("%lld rows cannot be placed (x, y or z is no whole number, or s neither a text nor a number)\n",
                extents.unplaced);
  }
}

// A key column's value as JSON: a number, or the text SQLite gives.
nlohmann::json KeyJson(const store::KeyValue& value) {
  if (value.integer) return value.number;
  if (value.text == "NULL" && !value.quoted) return nullptr;
  return value.text;
}

nlohmann::json ReportJson(const store::MapSummary& summary, const store::MapExtents& extents,
                          const std::string& path) {
  nlohmann::json report;
  report["map"] = path;
  report["tiles"] = summary.tiles;
  report["imageBytes"] = summary.imageBytes;
  nlohmann::json levels = nlohmann::json::array();
  for (const store::MapSummary::Level& level : summary.levels) {
    const std::optional<long long> zoom = ZoomOf(level.z);
    levels.push_back({{"z", KeyJson(level.z)},
                      {"zoom", zoom ? nlohmann::json(*zoom) : nlohmann::json(nullptr)},
                      {"tiles", level.tiles},
                      {"imageBytes", level.imageBytes}});
  }
  report["levels"] = levels;
  nlohmann::json sources = nlohmann::json::array();
  for (const store::MapSummary::Source& source : summary.sources) {
    sources.push_back({{"s", KeyJson(source.s)}, {"tiles", source.tiles}});
  }
  report["sources"] = sources;
  nlohmann::json placed = nlohmann::json::array();
  for (const store::MapExtent& e : extents.levels) {
    nlohmann::json extent = {{"z", e.z},
                             {"zoom", store::ZoomOfZ(e.z) >= 0 ? nlohmann::json(store::ZoomOfZ(e.z))
                                                               : nlohmann::json(nullptr)},
                             {"grid", e.grid == store::TileGrid::GeoKuk ? "geokuk" : "webmercator"},
                             {"tiles", e.tiles},
                             {"x", {e.x0, e.x1}},
                             {"y", {e.y0, e.y1}}};
    extent["area"] = e.hasArea ? nlohmann::json{{"south", e.area.south},
                                                {"west", e.area.west},
                                                {"north", e.area.north},
                                                {"east", e.area.east}}
                               : nlohmann::json(nullptr);
    placed.push_back(extent);
  }
  report["extents"] = placed;
  report["unplaced"] = extents.unplaced;
  return report;
}

void PrintReport(const store::MapSummary& summary, const std::string& path) {
  std::printf("map file: %s\n", path.c_str());
  std::printf("tiles: %lld\n", summary.tiles);
  std::printf("image bytes: %lld\n", summary.imageBytes);
  std::printf("by zoom level:\n");
  for (const store::MapSummary::Level& level : summary.levels) {
    // z is 17 minus the zoom level; a foreign file's z may be any integer.
    const std::optional<long long> known = ZoomOf(level.z);
    const std::string zoom = known ? std::to_string(*known) : "?";
    std::printf("  zoom %s (z %s): %lld tiles, %lld bytes\n", zoom.c_str(), Shown(level.z).c_str(), level.tiles,
                level.imageBytes);
  }
  std::printf("by source:\n");
  for (const store::MapSummary::Source& source : summary.sources) {
    std::printf("  %s: %lld tiles\n", Shown(source.s).c_str(), source.tiles);
  }
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
  Arguments parsed;
  int exitCode = kExitOk;
  if (!ParseCommandLine(args, kInfoUsage, &parsed, &exitCode)) return exitCode;
  const std::string& path = parsed.Operands()[0];
  SQLite::Database db;
  const store::MapOpenResult opened = store::OpenMapFileForReading(db, path);
  if (opened.status != store::MapOpenStatus::Ready) {
    const Refusal refusal = MapRefusal(opened, path);
    PrintErrors(refusal.lines);
    return refusal.exitCode;
  }
  try {
    const store::MapSummary summary = store::SummarizeMapFile(db);
    const store::MapExtents extents = store::ReadMapExtents(db);
    if (parsed.Has("json")) {
      std::printf("%s\n", ReportJson(summary, extents, path).dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    } else {
      PrintReport(summary, path);
      PrintExtents(extents);
    }
  } catch (const SQLite::Error& error) {
    std::fflush(stdout);
    PrintError("cannot read the tiles of " + Printable(path) + ": " + platform::Utf16ToUtf8(error.message));
    return kExitBadInput;
  }
  return kExitOk;
}

}  // namespace cli
