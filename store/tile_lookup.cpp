#include "store/tile_lookup.h"

#include <sqlite3.h>

#include <cstring>

#include "store/sqlite_database.h"

namespace store {

TileLookup::TileLookup(SQLite::Database& database) : database_(database) {}

TileLookup::Outcome TileLookup::Compare(const TileKey& key, const unsigned char* image, std::size_t size) {
  if (!statement_) statement_ = database_.prepare(kSelectImageByKeySql);  // throws SQLite::Error
  sqlite3_stmt* statement = statement_->handle;
  BindTileKey(statement, key, &sourceUtf8_);

  Outcome outcome = Outcome::Missing;
  const int result = sqlite3_step(statement);
  if (result == SQLITE_ROW) {
    const int type = sqlite3_column_type(statement, 0);
    if (type != SQLITE_BLOB && type != SQLITE_TEXT) {
      outcome = Outcome::Different;
    } else {
      // The pointer is taken before the length, as SQLite asks, so that the
      // length is that of the bytes the pointer shows.
      const void* stored = sqlite3_column_blob(statement, 0);
      const auto storedSize = static_cast<std::size_t>(sqlite3_column_bytes(statement, 0));
      const bool same = storedSize == size && (size == 0 || std::memcmp(stored, image, size) == 0);
      outcome = same ? Outcome::Same : Outcome::Different;
    }
  } else if (result != SQLITE_DONE) {
    outcome = Outcome::Failed;
    errorCode_ = result;
    const void* text = sqlite3_errmsg16(database_.handle);
    errorMessage_ = text ? std::u16string(static_cast<const char16_t*>(text)) : std::u16string();
  }
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  return outcome;
}

}  // namespace store
