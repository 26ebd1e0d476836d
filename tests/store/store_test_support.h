// Helpers of the store tests: read back what a map file holds through a
// Database of its own.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/utf.h"
#include "store/sqlite_database.h"

namespace testing_support {

// Runs `sql` on `db` and returns every row as texts (NULL as "<null>").
inline std::vector<std::vector<std::string>> QueryRows(SQLite::Database& db, const std::u16string& sql) {
  std::vector<std::vector<std::string>> rows;
  SQLite::Statement stmt = db.prepare(sql);
  while (sqlite3_step(stmt.handle) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(stmt.handle); ++i) {
      const unsigned char* text = sqlite3_column_text(stmt.handle, i);
      row.push_back(text != nullptr ? reinterpret_cast<const char*>(text) : "<null>");
    }
    rows.push_back(row);
  }
  return rows;
}

// The single value of a one-row, one-column query.
inline std::string QueryValue(SQLite::Database& db, const std::u16string& sql) {
  auto rows = QueryRows(db, sql);
  if (rows.size() != 1 || rows[0].size() != 1) {
    ADD_FAILURE() << "expected one value from " << platform::Utf16ToUtf8(sql);
    return {};
  }
  return rows[0][0];
}

// Number of statements still prepared on the connection.
inline int PreparedCount(const SQLite::Database& db) {
  int n = 0;
  for (sqlite3_stmt* s = sqlite3_next_stmt(db.handle, nullptr); s != nullptr;
       s = sqlite3_next_stmt(db.handle, s)) {
    ++n;
  }
  return n;
}

}  // namespace testing_support
