// SQLite::Error: thrown by Database::prepare when a statement cannot be
// prepared. It carries SQLite's own code and message at the moment of the
// failure; nothing has been shown to the user yet, the catcher decides.
//
// It deliberately has no base class: catch it by its own type. It is a plain
// copyable value, and catchers may keep a copy.
//
// Thread-safety: a value type; copies are independent.
#pragma once

#include <string>

namespace SQLite {

class Database;

struct Error {
  int code = 0;            // sqlite3_errcode() of the database at the failure
  std::u16string message;  // sqlite3_errmsg16() at that moment, unchanged
  Database* database = nullptr;  // the database that failed; not owned
};

}  // namespace SQLite
