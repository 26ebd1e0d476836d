// MapTileReader: steps through every row of a map file's `tiles` table with
// one statement, for an export: each row once, in the table's own order
// (the order the rows were stored in, which keeps the tiles of one folder
// of the tree they came from together), with its key read back into a
// TileKey.
//
// The `s` column holds a source name as text, or a number: 0 for a tile of
// the Web Mercator grid, any other number for a source name that read as a
// number when it was stored (integer affinity turns "12" into 12). Such a
// number is given as the name it was (its decimal text, or for a real the
// shortest decimal that reads back to it), so that writing the tile under
// that name and reading it back stores it under the same key.
//
// Thread-safety: used by the thread that uses the database.
//
// Invariants:
//  1. Between Next() calls at most the one current row is held; the image
//     pointer is valid until the next Next().
#pragma once

#include <cstddef>
#include <sqlite3.h>

#include <optional>
#include <string>

#include "store/sqlite_database.h"
#include "store/step_error.h"
#include "store/tile_key.h"

namespace store {

inline constexpr char16_t kCountTilesSql[] = u"SELECT count(*) FROM `tiles`";
inline constexpr char16_t kSelectTilesSql[] = u"SELECT `x`, `y`, `z`, `s`, `image` FROM `tiles`";
// The same rows without their images, and one row's image, for a reader that
// takes the images of only some rows.
inline constexpr char16_t kSelectTileKeysSql[] = u"SELECT `x`, `y`, `z`, `s`, rowid FROM `tiles`";
inline constexpr char16_t kSelectImageByRowidSql[] = u"SELECT `image` FROM `tiles` WHERE rowid = ?";

// One row of `tiles`.
struct StoredTile {
  enum class Source {
    WebMercator,  // s is the integer 0: key.sourceIsText is false
    Named,        // s is a text, or a number other than 0: key.source holds the name
    Unnamed,      // s is NULL or a blob: no source a tile file could name
  };
  bool keyFits = true;                   // x, y and z are integers that fit an int
  Source source = Source::WebMercator;   // what `s` holds
  TileKey key;                           // x, y, z (when keyFits) and the source name (Named)
  const unsigned char* image = nullptr;  // the image bytes; null when `image` is NULL
  std::size_t size = 0;                  // their length
};

class MapTileReader {
 public:
  enum class Step {
    Row,     // a row was read: see Tile()
    End,     // no row is left
    Failed,  // reading failed; see ErrorCode()/ErrorMessage()
  };

  // `database`: an open map file (not owned). With `imagesOnDemand` a row's
  // image is read only when LoadImage() asks for it (a table without rowid
  // is read with its images all the same), so that rows left out cost no
  // read of their image.
  explicit MapTileReader(SQLite::Database& database, bool imagesOnDemand = false);

  // The number of rows, or nullopt when counting failed. Throws
  // SQLite::Error when the count cannot be prepared.
  std::optional<long long> CountRows();

  // Steps to the next row. The statement is prepared on the first call; a
  // prepare failure throws SQLite::Error.
  Step Next();

  // The current row. Without imagesOnDemand its image is set at once;
  // with it, after LoadImage().
  const StoredTile& Tile() const { return tile_; }

  // Reads the current row's image into Tile(). Returns false when that
  // fails (ErrorCode()/ErrorMessage()). Throws SQLite::Error when the image
  // statement cannot be prepared.
  bool LoadImage();

  // The current row's key as SQLite holds it, for messages:
  // x 434, y 163, z 4, s "turist".
  std::string Describe() const;

  int ErrorCode() const { return error_.code; }
  const std::u16string& ErrorMessage() const { return error_.message; }

 private:
  SQLite::Database& database_;             // not owned
  // Reads the image of column `column` of `statement` into tile_.
  void TakeImage(sqlite3_stmt* statement, int column);

  bool imagesOnDemand_;                    // rows come without their images
  std::optional<SQLite::Statement> rows_;  // the SELECT, once prepared
  std::optional<SQLite::Statement> image_; // imagesOnDemand: the image of one row, once prepared
  bool imageLoaded_ = false;               // tile_ holds the current row's image
  StoredTile tile_;                        // the current row
  StepError error_;                        // the last failure
};

}  // namespace store
