// StepError: the SQLite code and text of a failed step, as the readers and
// writers of tiles keep them for their callers; and CountOf(), the one-value
// count they run for a progress total.
//
// Thread-safety: used by the thread that uses the database.
#pragma once

#include <optional>
#include <string>

#include "store/sqlite_database.h"

namespace store {

struct StepError {
  int code = 0;            // SQLite's result code of the failed step
  std::u16string message;  // SQLite's text at that moment

  // Keeps `rc` and the connection's text.
  void Note(const SQLite::Database& db, int rc);
};

// Runs `sql`, which yields one integer (a count), and returns it; nullopt
// with *error set when the step fails. Throws SQLite::Error when `sql`
// cannot be prepared. REQUIRES: error != nullptr.
std::optional<long long> CountOf(SQLite::Database& db, const char16_t* sql, StepError* error);

}  // namespace store
