#include "store/map_file.h"

namespace store {

namespace {

bool RunCreateStatements(SQLite::Database& db) {
  // Every statement runs whatever the earlier ones returned.
  const int encoding = db.exec(kSetEncodingSql);
  const int info = db.exec(kCreateInfoTableSql);
  const int tiles = db.exec(kCreateTilesTableSql);
  return encoding == SQLITE_OK && info == SQLITE_OK && tiles == SQLITE_OK;
}

// Steps 2 to 4 of the recognition, after the open.
bool RecogniseOpened(SQLite::Database& db, platform::MessageBoxService& boxes) {
  try {
    SQLite::Statement select = db.prepare(kRecogniseSql);
    sqlite3_step(select.handle);  // an empty table passes as well
  } catch (const SQLite::Error& error) {
    boxes.Show(error.message, platform::MessageStyle::Plain);
    db.isOpen = 0;
  }
  return db.isOpen == 1;
}

void Reset(SQLite::Database& db) {
  db.close();
  db.isOpen = 0;
}

}  // namespace

bool CreateMapFileNative(SQLite::Database& db, const std::string& path) {
  if (db.openNative(path) != SQLITE_OK) return false;
  return RunCreateStatements(db);
}

bool CreateMapFileNativeInOneTransaction(SQLite::Database& db, const std::string& path) {
  if (db.openNative(path) != SQLITE_OK) return false;
  // The encoding pragma writes nothing; it only fixes the encoding the first
  // table creation gives the file.
  bool ok = db.exec(kSetEncodingSql) == SQLITE_OK;
  ok = db.exec(SQLite::kBeginTransactionSql) == SQLITE_OK && ok;
  ok = db.exec(kCreateInfoTableSql) == SQLITE_OK && ok;
  ok = db.exec(kCreateTilesTableSql) == SQLITE_OK && ok;
  if (ok) ok = db.exec(SQLite::kCommitSql) == SQLITE_OK;
  if (!ok && db.handle != nullptr && sqlite3_get_autocommit(db.handle) == 0) {
    db.exec(SQLite::kRollbackSql);
  }
  return ok;
}

bool RecogniseMapFileNative(SQLite::Database& db, const std::string& path,
                            platform::MessageBoxService& boxes) {
  Reset(db);
  db.openNative(path);
  return RecogniseOpened(db, boxes);
}

bool RecogniseMapFileReadOnly(SQLite::Database& db, const std::string& path,
                              platform::MessageBoxService& boxes) {
  Reset(db);
  db.openNativeReadOnly(path);
  return RecogniseOpened(db, boxes);
}

}  // namespace store
