#include "store/sqlite_statement.h"

#include <memory>

#include "store/sqlite_database.h"

namespace SQLite {

Statement::Statement(Database* db, sqlite3_stmt* stmt, detail::StatementShare* share)
    : database(db), handle(stmt), useCount(&share->useCount) {}

detail::StatementShare* Statement::share() const {
  // useCount is the first member of a standard-layout block: the two
  // addresses are the same object.
  return reinterpret_cast<detail::StatementShare*>(useCount);
}

Statement::Statement(const Statement& other)
    : database(other.database), handle(other.handle), useCount(other.useCount) {
  if (useCount != nullptr) ++*useCount;
}

Statement& Statement::operator=(const Statement& other) {
  if (this != &other) {
    if (other.useCount != nullptr) ++*other.useCount;  // before Release: other may share ours
    Release();
    database = other.database;
    handle = other.handle;
    useCount = other.useCount;
  }
  return *this;
}

Statement::Statement(Statement&& other) noexcept
    : database(other.database), handle(other.handle), useCount(other.useCount) {
  other.database = nullptr;
  other.handle = nullptr;
  other.useCount = nullptr;
}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    Release();
    database = other.database;
    handle = other.handle;
    useCount = other.useCount;
    other.database = nullptr;
    other.handle = nullptr;
    other.useCount = nullptr;
  }
  return *this;
}

Statement::~Statement() { Release(); }

bool Statement::IsLive() const {
  return useCount != nullptr && handle != nullptr && !share()->finalized;
}

void Statement::Release() {
  if (useCount == nullptr) return;
  if (--*useCount == 0) {
    std::unique_ptr<detail::StatementShare> block(share());  // freed on return
    if (!block->finalized) {
      // Not finalised by a close, so the database is still alive and still
      // lists the statement.
      sqlite3_finalize(handle);
      database->liveStatements_.erase(block.get());
    }
  }
  database = nullptr;
  handle = nullptr;
  useCount = nullptr;
}

}  // namespace SQLite
