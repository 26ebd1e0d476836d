// TileRows: reads the rows of a map file's `tiles` table in key order (x, y,
// z, s), for a copy into another map file. A RowQuery narrows the rows in the
// statement itself, so that SQLite compares the key columns in the table's
// key index and reads no image of a row left out:
//   - blocks: a row is a candidate when it lies in one of them (its z, its
//     grid as told by `s`: a text is GeoKuk's, anything else Web Mercator's,
//     and, when bounded, x and y within the block's bounds);
//   - sources: a row whose `s` is a text must hold one of these names.
// The rows it yields are candidates only: the caller decides each exactly.
//
// Thread-safety: used by the thread that uses the database.
//
// Invariants:
//  1. The statement only reads; between two queries it is reset.
//  2. Rows come in key order, every time in the same order for the same map.
//  3. The statement never sorts: rows are read along the table's key index
//     (where the table has one), so no image is ever copied into a sorter.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/tile_key.h"

#include "store/sqlite_statement.h"

namespace SQLite {
class Database;
}

namespace store {

// Which rows of one z value a query takes.
struct TileBlock {
  enum class Grid { Any, GeoKuk, WebMercator };
  long long z = 0;          // the `z` column's value
  Grid grid = Grid::Any;    // GeoKuk or WebMercator: `s` puts the row on that grid (tile_key.h)
  bool bounded = false;     // x and y must lie within the bounds below
  long long x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // inclusive bounds, when bounded
};

struct RowQuery {
  bool everything = true;                           // no block given: every row is a candidate
  std::vector<TileBlock> blocks;                    // !everything: the candidates (none: no row)
  std::optional<std::vector<std::string>> sources;  // UTF-8 names a GeoKuk row's `s` must be one of
};

// The key of the current row, as the map file holds it.
struct RowKey {
  bool placeable = false;     // x, y and z are all integers
  long long x = 0;            // tile column (when placeable)
  long long y = 0;            // tile row
  long long z = 0;            // 17 - zoom
  StoredSource source = StoredSource::None;  // the grid `s` puts the row on (tile_key.h)
  std::string sourceName;     // GeoKukName: the source's name, UTF-8
};

class TileRowReader {
 public:
  enum class Step { Row, Done, Failed };

  // Prepares the query on the open map file `db` (not owned; it must outlive
  // the reader). With `images` the rows carry their image (column 4), else
  // only the key columns are read (the key index alone serves them). Throws
  // SQLite::Error when the statement cannot be prepared.
  TileRowReader(SQLite::Database& db, const RowQuery& query, bool images);

  // Steps to the next row. Failed: see ErrorCode()/ErrorMessage().
  Step Next();
  RowKey Key() const;
  // The stepped statement: columns 0-3 are x, y, z, s, column 4 the image.
  sqlite3_stmt* Handle() const { return statement_.handle; }

  int ErrorCode() const { return errorCode_; }
  const std::u16string& ErrorMessage() const { return errorMessage_; }

 private:
  SQLite::Database& db_;         // not owned
  SQLite::Statement statement_;  // the SELECT
  int errorCode_ = 0;            // SQLite's code of a failed step
  std::u16string errorMessage_;  // and its text
};

// The number of rows in `tiles`. Throws SQLite::Error.
long long CountTileRows(SQLite::Database& db);

// True when a row whose `s` is the integer 0 (a Web Mercator tile) has one of
// the `z` values (all of them when `zValues` is null). Throws SQLite::Error.
bool HoldsWebMercatorRows(SQLite::Database& db, const std::vector<long long>* zValues);

}  // namespace store
