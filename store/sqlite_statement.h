// SQLite::Statement: a shared handle of one prepared statement.
//
// Database::prepare returns a statement with a use count of 1. Copying a
// handle shares the statement and raises the count; destroying (or assigning
// over) a copy lowers it, and the copy that brings it to 0 finalises the
// statement and frees the count. Moving hands the share over without touching
// the count. Users bind and step through `handle` with the SQLite interface
// directly (sqlite3_bind_*, sqlite3_step, and sqlite3_reset /
// sqlite3_clear_bindings for reuse).
//
// Closing the database finalises every statement still prepared on it. The
// copies that are still alive then hold a dead `handle`: IsLive() turns
// false, and when the last of them goes it frees the count without finalising
// a second time. So copies may outlive a close, or the database object itself,
// safely, but must not be used after it.
//
// Thread-safety: the copies of one statement belong to the thread that uses
// its database.
//
// Invariants:
//  1. useCount is null exactly when handle and database are null (an empty
//     handle: default-constructed or moved from).
//  2. *useCount is the number of live copies sharing the statement.
//  3. The statement is finalised exactly once: by the last copy, or by the
//     database's close, whichever comes first.
#pragma once

#include <sqlite3.h>

namespace SQLite {

class Database;

namespace detail {
// The heap block that the copies of one statement share. `useCount` is its
// first member, so Statement::useCount points at the block itself.
struct StatementShare {
  int useCount = 1;        // number of live copies
  bool finalized = false;  // set when the database's close finalised the statement
};
}  // namespace detail

class Statement {
 public:
  Statement() = default;  // an empty handle
  Statement(const Statement& other);
  Statement& operator=(const Statement& other);
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  ~Statement();

  // True while `handle` may be used: prepared, and not finalised by a close.
  bool IsLive() const;

  Database* database = nullptr;    // database it was prepared on; not owned
  sqlite3_stmt* handle = nullptr;  // the prepared statement (null for empty SQL)
  int* useCount = nullptr;         // shared count of live copies (see detail::StatementShare)

 private:
  friend class Database;
  // Adopts a freshly prepared statement with a new count of 1.
  Statement(Database* db, sqlite3_stmt* stmt, detail::StatementShare* share);
  detail::StatementShare* share() const;
  void Release();  // drops this copy's share; finalises if it was the last
};

}  // namespace SQLite
