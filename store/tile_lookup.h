// TileLookup: compares a tile's bytes with the image the map file holds
// under its key, through one prepared SELECT that is reset and rebound for
// every tile. It only reads: it never begins a transaction or writes.
//
// The statement is prepared on the first Compare(); a prepare failure (no
// `tiles` table, no `image` column) throws SQLite::Error from that call.
//
// Thread-safety: used by the thread that uses the database.
//
// Invariants:
//  1. Between Compare() calls the statement is reset and holds no bindings,
//     so no read transaction stays open between tiles.
//  2. Same means the stored value is a blob or text of exactly these bytes;
//     a NULL or a number is Different, an empty image equals an empty blob.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "store/sqlite_statement.h"
#include "store/tile_key.h"

namespace SQLite {
class Database;
}

namespace store {

// Finds one tile's image by its key.
inline constexpr char16_t kSelectImageByKeySql[] =
    u"SELECT `image` FROM `tiles` WHERE `x` = ? AND `y` = ? AND `z` = ? AND `s` = ?";

class TileLookup {
 public:
  enum class Outcome {
    Same,       // the key is stored with exactly these bytes
    Different,  // the key is stored with other bytes
    Missing,    // no row has this key
    Failed,     // the read failed; see ErrorCode()/ErrorMessage()
  };

  explicit TileLookup(SQLite::Database& database);  // not owned; must outlive the lookup

  // Compares `size` bytes at `image` (may be null when size is 0) with the
  // image stored under `key`. Throws SQLite::Error when the statement cannot
  // be prepared.
  Outcome Compare(const TileKey& key, const unsigned char* image, std::size_t size);

  int ErrorCode() const { return errorCode_; }
  const std::u16string& ErrorMessage() const { return errorMessage_; }

 private:
  SQLite::Database& database_;                  // not owned
  std::optional<SQLite::Statement> statement_;  // the SELECT, once prepared
  std::string sourceUtf8_;                      // reused buffer for the GeoKuk source name
  int errorCode_ = 0;                           // code of the last failed read
  std::u16string errorMessage_;                 // SQLite's text of the last failed read
};

}  // namespace store
