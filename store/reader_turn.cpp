#include "store/reader_turn.h"

#include <sqlite3.h>

#include <string>

#include "store/sqlite_database.h"

namespace store {

namespace {

constexpr char kCacheSizeSql[] = "PRAGMA cache_size";

// The connection's page cache size, as PRAGMA cache_size gives and takes
// it; SQLite's default when it cannot be read.
int CacheSize(sqlite3* handle) {
  int size = -2000;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(handle, kCacheSizeSql, -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    size = sqlite3_column_int(statement, 0);
  }
  sqlite3_finalize(statement);
  return size;
}

// Sets the cache size; it takes effect inside a transaction too.
bool SetCacheSize(sqlite3* handle, int size) {
  const std::string sql = std::string(kCacheSizeSql) + " = " + std::to_string(size);
  return sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace

void ReaderTurn::BatchBegun(bool afterCommit) {
  if (!afterCommit || open_ || database_.handle == nullptr) return;
  cacheSize_ = CacheSize(database_.handle);
  open_ = SetCacheSize(database_.handle, -kHoldCacheKiB);
}

void ReaderTurn::BatchOpenFor(std::chrono::steady_clock::duration open) {
  if (open_ && open >= kReaderWindow) End();
}

void ReaderTurn::End() {
  if (!open_) return;
  open_ = false;
  if (database_.handle != nullptr) SetCacheSize(database_.handle, cacheSize_);
}

}  // namespace store
