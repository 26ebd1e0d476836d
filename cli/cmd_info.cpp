// cvmap info MAP: what a map file holds. Opens MAP read-only (a missing file
// is never created), recognises it as the window does, and prints the tile
// count and image bytes in total, per zoom level and per source.
#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/help_text.h"
#include "cli/messages.h"
#include "platform/utf.h"
#include "store/map_file.h"
#include "store/map_file_open.h"
#include "store/sqlite_database.h"

namespace cli {
namespace {

const Usage kInfoUsage{"info", "info MAP", kInfoHelp, {}, 1};

// Image bytes are summed as length(image) for blobs, which reads only the
// size, and as the byte length of anything else a foreign file may hold.
constexpr char16_t kTotalsSql[] =
    u"SELECT count(*), coalesce(sum(CASE typeof(image) WHEN 'blob' THEN length(image) "
    u"ELSE length(CAST(image AS BLOB)) END), 0) FROM tiles";
constexpr char16_t kPerZoomSql[] =
    u"SELECT z, typeof(z), count(*), coalesce(sum(CASE typeof(image) WHEN 'blob' THEN length(image) "
    u"ELSE length(CAST(image AS BLOB)) END), 0) FROM tiles GROUP BY z ORDER BY z DESC";
constexpr char16_t kPerSourceSql[] =
    u"SELECT s, typeof(s), count(*) FROM tiles GROUP BY s ORDER BY typeof(s), s";

std::string ColumnText(sqlite3_stmt* stmt, int column) {
  const unsigned char* text = sqlite3_column_text(stmt, column);
  return text != nullptr ? reinterpret_cast<const char*>(text) : "NULL";
}

// A key column's value as shown: numbers bare, texts in double quotes.
std::string ShowKey(sqlite3_stmt* stmt, int column) {
  const int type = sqlite3_column_type(stmt, column);
  std::string shown = ColumnText(stmt, column);
  if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
    shown.insert(shown.begin(), '"');
    shown.push_back('"');
  }
  return shown;
}

void PrintReport(SQLite::Database& db, const std::string& path) {
  SQLite::Statement totals = db.prepare(kTotalsSql);
  if (sqlite3_step(totals.handle) != SQLITE_ROW) throw SQLite::Error{sqlite3_errcode(db.handle),
      platform::Utf8ToUtf16(sqlite3_errmsg(db.handle)), &db};
  std::printf("map file: %s\n", path.c_str());
  std::printf("tiles: %lld\n", sqlite3_column_int64(totals.handle, 0));
  std::printf("image bytes: %lld\n", sqlite3_column_int64(totals.handle, 1));

  SQLite::Statement perZoom = db.prepare(kPerZoomSql);
  std::printf("by zoom level:\n");
  while (sqlite3_step(perZoom.handle) == SQLITE_ROW) {
    sqlite3_stmt* row = perZoom.handle;
    const std::string zoom = sqlite3_column_type(row, 0) == SQLITE_INTEGER
                                 ? std::to_string(store::ZToZoom(sqlite3_column_int(row, 0)))
                                 : "?";
    std::printf("  zoom %s (z %s): %lld tiles, %lld bytes\n", zoom.c_str(), ShowKey(row, 0).c_str(),
                sqlite3_column_int64(row, 2), sqlite3_column_int64(row, 3));
  }
  SQLite::Statement perSource = db.prepare(kPerSourceSql);
  std::printf("by source:\n");
  while (sqlite3_step(perSource.handle) == SQLITE_ROW) {
    std::printf("  %s: %lld tiles\n", ShowKey(perSource.handle, 0).c_str(),
                sqlite3_column_int64(perSource.handle, 2));
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
    PrintReport(db, path);
  } catch (const SQLite::Error& error) {
    std::fflush(stdout);
    PrintError("cannot read the tiles of " + path + ": " + platform::Utf16ToUtf8(error.message));
    return kExitBadInput;
  }
  return kExitOk;
}

}  // namespace cli
