#include "store/tile_inserter.h"

#include <sqlite3.h>

#include "store/map_file.h"
#include "store/sqlite_database.h"

namespace store {

TileInserter::TileInserter(SQLite::Database& database) : database_(database) {}

TileInserter::Outcome TileInserter::Insert(const TileKey& key, const unsigned char* image, std::size_t size) {
  if (!statement_) statement_ = database_.prepare(kInsertTileSql);  // throws SQLite::Error
  sqlite3_stmt* statement = statement_->handle;

  // The source text and the image are bound without a copy (SQLITE_STATIC):
  // both stay unchanged until the step below has run and the bindings are
  // cleared, before this function returns.
  BindTileKey(statement, key, &sourceUtf8_);
  // An empty tile is an empty blob, not NULL. A failed bind would leave the
  // image NULL, so such a tile is not stored at all.
  const int bound = size == 0 ? sqlite3_bind_zeroblob(statement, 5, 0)
                              : sqlite3_bind_blob64(statement, 5, image, size, SQLITE_STATIC);
  if (bound != SQLITE_OK) {
    sqlite3_clear_bindings(statement);
    return Outcome::TooBig;
  }

  return StepBound();
}

TileInserter::Outcome TileInserter::InsertRow(sqlite3_stmt* from) {
  if (!statement_) statement_ = database_.prepare(kInsertTileSql);  // throws SQLite::Error
  sqlite3_stmt* statement = statement_->handle;
  for (int column = 0; column < 4; ++column) {
    sqlite3_bind_value(statement, column + 1, sqlite3_column_value(from, column));
  }
  // A blob is bound without a copy: `from` keeps it until its next step,
  // and the bindings are cleared before this function returns.
  int bound = SQLITE_OK;
  if (sqlite3_column_type(from, 4) == SQLITE_BLOB) {
    const int size = sqlite3_column_bytes(from, 4);
    bound = size == 0 ? sqlite3_bind_zeroblob(statement, 5, 0)
                      : sqlite3_bind_blob(statement, 5, sqlite3_column_blob(from, 4), size, SQLITE_STATIC);
  } else {
    bound = sqlite3_bind_value(statement, 5, sqlite3_column_value(from, 4));
  }
  if (bound != SQLITE_OK) {
    sqlite3_clear_bindings(statement);
    return Outcome::TooBig;
  }
  return StepBound();
}

TileInserter::Outcome TileInserter::StepBound() {
  sqlite3_stmt* statement = statement_->handle;
  const int result = sqlite3_step(statement);
  Outcome outcome = Outcome::Stored;
  if (result != SQLITE_DONE) {
    // Only a clash on the table's key means the tile is already stored. Any
    // other constraint (NOT NULL or CHECK of a foreign table) refuses the
    // row, and that must not pass for a tile already present.
    const int extended = sqlite3_extended_errcode(database_.handle);
    if (extended == SQLITE_CONSTRAINT_PRIMARYKEY || extended == SQLITE_CONSTRAINT_UNIQUE) {
      outcome = Outcome::Duplicate;
    } else if (result == SQLITE_TOOBIG) {
      // The image fits the limit but the whole row (key and image) does not.
      outcome = Outcome::TooBig;
    } else {
      outcome = Outcome::Failed;
      errorCode_ = result;
      const void* text = sqlite3_errmsg16(database_.handle);
      errorMessage_ = text ? std::u16string(static_cast<const char16_t*>(text)) : std::u16string();
    }
  }
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  return outcome;
}

}  // namespace store
