#include "store/tile_key.h"

#include <cassert>
#include <charconv>

#include "platform/utf.h"

namespace store {

int BindTileKey(sqlite3_stmt* statement, const TileKey& key, std::string* sourceUtf8) {
  assert(statement != nullptr && sourceUtf8 != nullptr);
  int rc = sqlite3_bind_int(statement, 1, key.x);
  if (rc == SQLITE_OK) rc = sqlite3_bind_int(statement, 2, key.y);
  if (rc == SQLITE_OK) rc = sqlite3_bind_int(statement, 3, key.z);
  if (rc != SQLITE_OK) return rc;
  if (!key.sourceIsText) return sqlite3_bind_int(statement, 4, 0);
  *sourceUtf8 = platform::Utf16ToUtf8(key.source);
  return sqlite3_bind_text(statement, 4, sourceUtf8->data(), static_cast<int>(sourceUtf8->size()), SQLITE_STATIC);
}

StoredSource StoredSourceOf(sqlite3_stmt* statement, int column, std::string* name) {
  assert(statement != nullptr);
  std::string text;
  StoredSource kind = StoredSource::GeoKukName;
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER: {
      const sqlite3_int64 number = sqlite3_column_int64(statement, column);
      if (number == 0) {
        kind = StoredSource::WebMercator;
      } else {
        text = std::to_string(number);
      }
      break;
    }
    case SQLITE_FLOAT: {
      char digits[64];
      const auto result = std::to_chars(digits, digits + sizeof digits, sqlite3_column_double(statement, column));
      text.assign(digits, result.ptr);
      break;
    }
    case SQLITE_TEXT:
      text.assign(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                  static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
      break;
    default:
      kind = StoredSource::None;
      break;
  }
  if (name != nullptr) *name = std::move(text);
  return kind;
}

}  // namespace store
