#include "store/step_error.h"

#include <sqlite3.h>

#include <cassert>

namespace store {

void StepError::Note(const SQLite::Database& db, int rc) {
  code = rc;
  const void* text = db.handle != nullptr ? sqlite3_errmsg16(db.handle) : nullptr;
  message = text != nullptr ? std::u16string(static_cast<const char16_t*>(text)) : std::u16string();
}

std::optional<long long> CountOf(SQLite::Database& db, const char16_t* sql, StepError* error) {
  assert(error != nullptr);
  SQLite::Statement count = db.prepare(sql);  // throws SQLite::Error
  const int rc = sqlite3_step(count.handle);
  if (rc != SQLITE_ROW) {
    error->Note(db, rc);
    return std::nullopt;
  }
  return sqlite3_column_int64(count.handle, 0);
}

}  // namespace store
