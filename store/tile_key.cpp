#include "store/tile_key.h"

#include <cassert>

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

}  // namespace store
