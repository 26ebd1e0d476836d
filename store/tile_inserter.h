// TileInserter: stores tile rows in the map file with the map file's insert
// statement, prepared once and reset and rebound for every tile. It is the
// one way tiles are written: the conversion job, the command line and the
// tests all store through it.
//
// The statement is prepared on the first Insert(), so a walk that meets no
// tile never prepares it. A prepare failure throws SQLite::Error (SQLite's
// code and message) from that Insert().
//
// Thread-safety: used by the thread that uses the database.
//
// Invariants:
//  1. Between Insert() calls the statement is reset and holds no bindings,
//     so it never keeps a write open across a COMMIT or ROLLBACK, and the
//     caller's image is bound without a copy: no binding outlives the call.
//  2. The image is bound as a blob; an empty image as a zero-length blob,
//     never NULL.
//  3. A key that is already stored is refused by the table and reported as
//     Duplicate; the row already there is never replaced.
#pragma once

#include <cstddef>
#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

#include "store/sqlite_statement.h"
#include "store/tile_key.h"

namespace SQLite {
class Database;
}

namespace store {

class TileInserter {
 public:
  enum class Outcome {
    Stored,     // a new row
    Duplicate,  // the key is already stored; the earlier image stays
    Failed,     // any other failure; see ErrorCode()/ErrorMessage()
    TooBig,     // the image (or its row) is larger than SQLite's length limit; nothing stored
  };

  explicit TileInserter(SQLite::Database& database);  // not owned; must outlive the inserter

  // Inserts (key, image of `size` bytes; `image` may be null when size is 0).
  // Throws SQLite::Error when the statement cannot be prepared; otherwise
  // reports the outcome of the step. After Failed, ErrorCode() and
  // ErrorMessage() hold SQLite's code and text of that step.
  Outcome Insert(const TileKey& key, const unsigned char* image, std::size_t size);
  Outcome Insert(const TileKey& key, const std::vector<unsigned char>& image) {
    return Insert(key, image.data(), image.size());
  }

  // Inserts the row that `from` (a statement of any connection, stepped to a
  // row) holds in its columns 0 to 4: x, y, z, s and the image, each with
  // the type it has there, so that a copied row is the row it was. Reports
  // and throws as Insert() does.
  Outcome InsertRow(sqlite3_stmt* from);

  int ErrorCode() const { return errorCode_; }
  const std::u16string& ErrorMessage() const { return errorMessage_; }

 private:
  SQLite::Database& database_;                   // not owned
  std::optional<SQLite::Statement> statement_;   // the insert, once prepared
  std::string sourceUtf8_;                       // reused buffer for the GeoKuk source name
  int errorCode_ = 0;                            // code of the last failed step
  std::u16string errorMessage_;                  // SQLite's text of the last failed step

  Outcome StepBound();  // steps the bound statement, then resets it and clears its bindings
};

}  // namespace store
