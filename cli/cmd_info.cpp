// cvmap info MAP: what a map file holds. Opens MAP read-only (a missing file
// is never created), recognises it as the window does, and prints the tile
// count and image bytes in total, per zoom level and per source.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/help_text.h"
#include "cli/messages.h"
#include "platform/utf.h"
#include "store/map_file.h"
#include "store/map_file_open.h"
#include "store/map_summary.h"
#include "store/sqlite_database.h"

namespace cli {
namespace {

const Usage kInfoUsage{"info", "info MAP", kInfoHelp, {}, 1};

// A key column's value as shown: numbers bare, texts in double quotes.
std::string Shown(const store::KeyValue& value) { return value.quoted ? '"' + value.text + '"' : value.text; }

void PrintReport(const store::MapSummary& summary, const std::string& path) {
  std::printf("map file: %s\n", path.c_str());
  std::printf("tiles: %lld\n", summary.tiles);
  std::printf("image bytes: %lld\n", summary.imageBytes);
  std::printf("by zoom level:\n");
  for (const store::MapSummary::Level& level : summary.levels) {
    // z is 17 minus the zoom level; a foreign file's z may be any integer.
    const std::string zoom = level.z.integer && level.z.number > -1000000 && level.z.number < 1000000
                                 ? std::to_string(store::ZToZoom(static_cast<int>(level.z.number)))
                                 : "?";
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
    PrintReport(store::SummarizeMapFile(db), path);
  } catch (const SQLite::Error& error) {
    std::fflush(stdout);
    PrintError("cannot read the tiles of " + Printable(path) + ": " + platform::Utf16ToUtf8(error.message));
    return kExitBadInput;
  }
  return kExitOk;
}

}  // namespace cli
