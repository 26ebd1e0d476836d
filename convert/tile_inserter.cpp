#include "convert/tile_inserter.h"

#include <sqlite3.h>

#include "platform/utf.h"
#include "store/map_file.h"
#include "store/sqlite_database.h"

namespace convert {

TileInserter::TileInserter(SQLite::Database& database) : database_(database) {}

TileInserter::Outcome TileInserter::Insert(const TileKey& key, const std::vector<unsigned char>& image) {
  if (!statement_) statement_ = database_.prepare(store::kInsertTileSql);  // throws SQLite::Error
  sqlite3_stmt* statement = statement_->handle;

  sqlite3_bind_int(statement, 1, key.x);
  sqlite3_bind_int(statement, 2, key.y);
  sqlite3_bind_int(statement, 3, key.z);
  // The text and the image are bound without a copy (SQLITE_STATIC): both
  // stay unchanged until the step below has run and the bindings are
  // cleared, before this function returns.
  if (key.sourceIsText) {
    sourceUtf8_ = platform::Utf16ToUtf8(key.source);
    sqlite3_bind_text(statement, 4, sourceUtf8_.data(), static_cast<int>(sourceUtf8_.size()), SQLITE_STATIC);
  } else {
    sqlite3_bind_int(statement, 4, 0);
  }
  // An empty tile is an empty blob, not NULL. A failed bind would leave the
  // image NULL, so such a tile is not stored at all.
  const int bound = image.empty()
                        ? sqlite3_bind_zeroblob(statement, 5, 0)
                        : sqlite3_bind_blob64(statement, 5, image.data(), image.size(), SQLITE_STATIC);
  if (bound != SQLITE_OK) {
    sqlite3_clear_bindings(statement);
    return Outcome::TooBig;
  }

  const int result = sqlite3_step(statement);
  Outcome outcome = Outcome::Stored;
  if (result != SQLITE_DONE) {
    // Only a clash on the table's key means the tile is already stored. Any
    // other constraint (NOT NULL or CHECK of a foreign table) refuses the
    // row, and that must not pass for a tile already present.
    const int extended = sqlite3_extended_errcode(database_.handle);
    if (extended == SQLITE_CONSTRAINT_PRIMARYKEY || extended == SQLITE_CONSTRAINT_UNIQUE) {
      outcome = Outcome::Duplicate;
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

}  // namespace convert
