#include "store/tile_rows.h"

#include <algorithm>
#include <cassert>

#include "platform/utf.h"
#include "store/sqlite_database.h"
#include "store/sqlite_error.h"

namespace store {

namespace {

[[noreturn]] void ThrowLast(SQLite::Database& db) {
  throw SQLite::Error{sqlite3_errcode(db.handle), platform::Utf8ToUtf16(sqlite3_errmsg(db.handle)), &db};
}

// True when every block is bounded: the rows then lie within one range of
// x, the columns [*x0, *x1].
bool XRange(const RowQuery& query, long long* x0, long long* x1) {
  if (query.everything || query.blocks.empty()) return false;
  *x0 = query.blocks.front().x0;
  *x1 = query.blocks.front().x1;
  for (const TileBlock& block : query.blocks) {
    if (!block.bounded) return false;
    *x0 = std::min(*x0, block.x0);
    *x1 = std::max(*x1, block.x1);
  }
  return true;
}

// The WHERE clause of `query` with a '?' for every value, which Bind() binds
// in the same order. Only the one range of x may use the key index to seek:
// every other term is marked with a unary '+', so that SQLite never reads
// the blocks through separate index searches whose rows it would then have
// to sort, images and all, for the ORDER BY. The rows are read along the
// key index, and the terms, which name key columns only, are decided from
// the index before the row itself is read.
std::u16string WhereClause(const RowQuery& query) {
  std::u16string where;
  long long x0 = 0, x1 = 0;
  if (XRange(query, &x0, &x1)) where += u"x BETWEEN ? AND ? AND ";
  if (!query.everything) {
    where += u"(";
    if (query.blocks.empty()) where += u"0";
    for (std::size_t i = 0; i < query.blocks.size(); ++i) {
      const TileBlock& block = query.blocks[i];
      if (i > 0) where += u" OR ";
      where += u"(+z = ?";
      if (block.grid == TileBlock::Grid::GeoKuk) where += std::u16string(u" AND ") + kSqlSourceIsGeoKuk;
      if (block.grid == TileBlock::Grid::WebMercator) where += std::u16string(u" AND ") + kSqlSourceIsWebMercator;
      if (block.bounded) where += u" AND +x BETWEEN ? AND ? AND +y BETWEEN ? AND ?";
      where += u")";
    }
    where += u")";
  }
  if (query.sources) {
    if (!where.empty()) where += u" AND ";
    // A name stored as an integer is compared as its decimal text; a real
    // (whose text SQLite and this program may write differently) is left
    // to the exact decision per row.
    where += u"(typeof(s) NOT IN ('text', 'integer') OR ";
    where += kSqlSourceIsWebMercator;
    where += u" OR CAST(+s AS TEXT) IN (";
    for (std::size_t i = 0; i < query.sources->size(); ++i) where += i == 0 ? u"?" : u", ?";
    where += u"))";
  }
  return where.empty() ? where : u" WHERE " + where;
}

int Bind(sqlite3_stmt* statement, const RowQuery& query) {
  int index = 0;
  int rc = SQLITE_OK;
  long long x0 = 0, x1 = 0;
  if (XRange(query, &x0, &x1)) {
    rc = sqlite3_bind_int64(statement, ++index, x0);
    if (rc == SQLITE_OK) rc = sqlite3_bind_int64(statement, ++index, x1);
  }
  if (!query.everything) {
    for (const TileBlock& block : query.blocks) {
      if (rc == SQLITE_OK) rc = sqlite3_bind_int64(statement, ++index, block.z);
      if (!block.bounded) continue;
      for (long long bound : {block.x0, block.x1, block.y0, block.y1}) {
        if (rc == SQLITE_OK) rc = sqlite3_bind_int64(statement, ++index, bound);
      }
    }
  }
  if (query.sources) {
    for (const std::string& name : *query.sources) {
      if (rc == SQLITE_OK) {
        rc = sqlite3_bind_text(statement, ++index, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
      }
    }
  }
  return rc;
}

}  // namespace

TileRowReader::TileRowReader(SQLite::Database& db, const RowQuery& query, bool images) : db_(db) {
  const std::u16string sql = std::u16string(images ? u"SELECT x, y, z, s, image FROM tiles" : u"SELECT x, y, z, s FROM tiles") +
                             WhereClause(query) + u" ORDER BY x, y, z, s";
  statement_ = db.prepare(sql);  // throws SQLite::Error
  if (Bind(statement_.handle, query) != SQLITE_OK) ThrowLast(db);
}

TileRowReader::Step TileRowReader::Next() {
  const int rc = sqlite3_step(statement_.handle);
  if (rc == SQLITE_ROW) return Step::Row;
  if (rc == SQLITE_DONE) return Step::Done;
  errorCode_ = sqlite3_errcode(db_.handle);
  errorMessage_ = platform::Utf8ToUtf16(sqlite3_errmsg(db_.handle));
  return Step::Failed;
}

RowKey TileRowReader::Key() const {
  sqlite3_stmt* st = statement_.handle;
  RowKey key;
  key.placeable = sqlite3_column_type(st, 0) == SQLITE_INTEGER && sqlite3_column_type(st, 1) == SQLITE_INTEGER &&
                  sqlite3_column_type(st, 2) == SQLITE_INTEGER;
  if (key.placeable) {
    key.x = sqlite3_column_int64(st, 0);
    key.y = sqlite3_column_int64(st, 1);
    key.z = sqlite3_column_int64(st, 2);
  }
  key.source = StoredSourceOf(st, 3, &key.sourceName);
  return key;
}

long long CountTileRows(SQLite::Database& db) {
  SQLite::Statement count = db.prepare(u"SELECT count(*) FROM tiles");
  if (sqlite3_step(count.handle) != SQLITE_ROW) ThrowLast(db);
  return sqlite3_column_int64(count.handle, 0);
}

bool HoldsWebMercatorRows(SQLite::Database& db, const std::vector<long long>* zValues) {
  std::u16string sql = std::u16string(u"SELECT 1 FROM tiles WHERE ") + kSqlSourceIsWebMercator;
  if (zValues != nullptr) {
    if (zValues->empty()) return false;
    sql += u" AND z IN (";
    for (std::size_t i = 0; i < zValues->size(); ++i) sql += i == 0 ? u"?" : u", ?";
    sql += u")";
  }
  SQLite::Statement select = db.prepare(sql + u" LIMIT 1");
  if (zValues != nullptr) {
    for (std::size_t i = 0; i < zValues->size(); ++i) {
      sqlite3_bind_int64(select.handle, static_cast<int>(i) + 1, (*zValues)[i]);
    }
  }
  const int rc = sqlite3_step(select.handle);
  if (rc == SQLITE_ROW) return true;
  if (rc != SQLITE_DONE) ThrowLast(db);
  return false;
}

}  // namespace store
