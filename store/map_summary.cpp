#include "store/map_summary.h"

#include <sqlite3.h>

#include "platform/utf.h"

namespace store {

namespace {

constexpr char16_t kTotalsSql[] =
    u"SELECT count(*), coalesce(sum(CASE typeof(image) WHEN 'blob' THEN length(image) "
    u"ELSE length(CAST(image AS BLOB)) END), 0) FROM tiles";
constexpr char16_t kPerZSql[] =
    u"SELECT z, count(*), coalesce(sum(CASE typeof(image) WHEN 'blob' THEN length(image) "
    u"ELSE length(CAST(image AS BLOB)) END), 0) FROM tiles GROUP BY z ORDER BY z DESC";
constexpr char16_t kPerSourceSql[] = u"SELECT s, count(*) FROM tiles GROUP BY s ORDER BY typeof(s), s";

KeyValue ReadKey(sqlite3_stmt* stmt, int column) {
  KeyValue value;
  const int type = sqlite3_column_type(stmt, column);
  const unsigned char* text = sqlite3_column_text(stmt, column);
  value.text = text != nullptr ? reinterpret_cast<const char*>(text) : "NULL";
  value.quoted = type == SQLITE_TEXT || type == SQLITE_BLOB;
  value.integer = type == SQLITE_INTEGER;
  if (value.integer) value.number = sqlite3_column_int64(stmt, column);
  return value;
}

// Steps `statement` once; a step that ends in an error throws it.
bool Step(SQLite::Database& db, SQLite::Statement& statement) {
  const int rc = sqlite3_step(statement.handle);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  throw SQLite::Error{sqlite3_errcode(db.handle), platform::Utf8ToUtf16(sqlite3_errmsg(db.handle)), &db};
}

}  // namespace

MapSummary SummarizeMapFile(SQLite::Database& db) {
  MapSummary summary;
  SQLite::Statement totals = db.prepare(kTotalsSql);
  if (!Step(db, totals)) {
    throw SQLite::Error{sqlite3_errcode(db.handle), platform::Utf8ToUtf16(sqlite3_errmsg(db.handle)), &db};
  }
  summary.tiles = sqlite3_column_int64(totals.handle, 0);
  summary.imageBytes = sqlite3_column_int64(totals.handle, 1);

  SQLite::Statement perZ = db.prepare(kPerZSql);
  while (Step(db, perZ)) {
    summary.levels.push_back({ReadKey(perZ.handle, 0), sqlite3_column_int64(perZ.handle, 1),
                              sqlite3_column_int64(perZ.handle, 2)});
  }
  SQLite::Statement perSource = db.prepare(kPerSourceSql);
  while (Step(db, perSource)) {
    summary.sources.push_back({ReadKey(perSource.handle, 0), sqlite3_column_int64(perSource.handle, 1)});
  }
  return summary;
}

}  // namespace store
