#include "convert/commit_batch.h"

#include <sqlite3.h>

#include "platform/file_size_limits.h"
#include "platform/utf.h"
#include "store/sqlite_database.h"
#include "store/write_failure.h"

namespace convert {

namespace {

bool SqliteTransactionOpen(const SQLite::Database& db) {
  return db.handle != nullptr && sqlite3_get_autocommit(db.handle) == 0;
}

}  // namespace

CommitBatch::CommitBatch(SQLite::Database& db, long long batchTiles, std::chrono::steady_clock::duration interval)
    : db_(db), batchTiles_(batchTiles), interval_(interval) {}

void CommitBatch::BeginIfNone() {
  if (db_.inTransaction != 0) return;
  db_.inTransaction = 1;
  pending_ = 0;
  pendingBytes_ = 0;
  begun_ = std::chrono::steady_clock::now();
  db_.exec(SQLite::kBeginTransactionSql);  // a failure is shown by exec
}

bool CommitBatch::Due() const {
  if (pending_ >= batchTiles_) return true;
  return pending_ > 0 && std::chrono::steady_clock::now() - begun_ >= interval_;
}

bool CommitBatch::Commit(int* code, std::u16string* text) {
  if (db_.inTransaction == 0) return true;
  db_.inTransaction = 0;
  const int result = db_.exec(SQLite::kCommitSql);
  if (result != SQLITE_OK && db_.isOpen != 0) {
    *code = result;
    *text = platform::Utf8ToUtf16(db_.errorText != nullptr ? db_.errorText : sqlite3_errstr(result));
    if (SqliteTransactionOpen(db_)) {
      db_.inTransaction = 1;
      db_.rollback();
    }
    return false;
  }
  pending_ = 0;
  pendingBytes_ = 0;
  return true;
}

long long CommitBatch::RollBack() {
  if (SqliteTransactionOpen(db_)) {
    db_.inTransaction = 1;
    db_.rollback();
  }
  db_.inTransaction = 0;
  const long long lost = pending_;
  pending_ = 0;
  pendingBytes_ = 0;
  return lost;
}

bool CommitBatch::FailedAtSizeLimit(int code) const {
  return store::WriteFailedAtSizeLimit(db_, code, pendingBytes_, platform::ReadMountTable());
}

}  // namespace convert
