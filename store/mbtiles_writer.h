// Writing an MBTiles file (mbtiles.h): creating one, or adding to one that
// exists, and keeping its metadata true to the tiles it holds.
//
// Opening for writing:
//   - a missing or empty file is created with the format's schema (the
//     metadata table, the tiles table and their unique indexes, and the
//     format's application id) in one transaction;
//   - an existing file is recognised read-only first, so that a file that
//     is no MBTiles file is never written; its `tiles` must be a table (a
//     view cannot take rows), and it gets the unique index on
//     (zoom_level, tile_column, tile_row) when it has none, so that a tile
//     already there is refused, never doubled or replaced;
//   - the file must be writable now, as a map file must
//     (CheckDatabaseWritable, map_file_open.h).
//
// Metadata: name, format, bounds ("west,south,east,north" in degrees),
// minzoom and maxzoom, each one text row. Values the file already holds are
// kept where they describe it (name, format) and widened to cover the new
// tiles (bounds, minzoom, maxzoom).
//
// Thread-safety: used by the thread that uses the database.
//
// Invariants:
//  1. A tile whose key is already stored is reported as Duplicate; the row
//     there is never replaced.
//  2. Between Insert() calls the statement is reset and holds no bindings.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "store/map_file_open.h"
#include "store/mbtiles.h"
#include "store/sqlite_database.h"
#include "store/step_error.h"

namespace store {

// Opens (or creates) `path` on `db` as an MBTiles file to add tiles to, as
// described above. The statuses are those of a map file (map_file_open.h);
// NotAMap means the file is no MBTiles file, or one that cannot take tiles
// (detail says why). Messages of the statements it runs are turned into
// `detail`; nothing is shown.
MapOpenResult OpenMbtilesForWriting(SQLite::Database& db, const std::string& path);

// What the tiles written so far cover, for the metadata.
struct MbtilesExtent {
  bool any = false;   // at least one tile was written; the fields below are set
  int minZoom = 0;    // lowest zoom level written
  int maxZoom = 0;    // highest zoom level written
  double west = 0;    // degrees east
  double south = 0;   // degrees north
  double east = 0;    // degrees east
  double north = 0;   // degrees north
};

// What WriteMetadata() writes: the file's name, the format of its tiles
// ("png", "jpg", ...) and what its tiles cover.
struct MbtilesMetadata {
  std::string name;             // "name": with keepHeld, kept when the file has one
  std::string format;           // "format": with keepHeld, kept when the file has one
  MbtilesExtent extent;         // "bounds", "minzoom", "maxzoom": widened to hold what the file says already
  bool keepHeld = true;         // the file had tiles of its own: its name and format stay
};

class MbtilesWriter {
 public:
  enum class Outcome {
    Stored,     // a new row
    Duplicate,  // the key is already stored; the row there stays
    Failed,     // any other failure; see ErrorCode()/ErrorMessage()
    TooBig,     // the data cannot be bound (larger than SQLite's limit); nothing stored
  };

  explicit MbtilesWriter(SQLite::Database& database);  // not owned; open as OpenMbtilesForWriting leaves it

  // Inserts the row. Throws SQLite::Error when the statement cannot be
  // prepared.
  Outcome Insert(const MbtilesKey& key, const unsigned char* data, std::size_t size);

  // Writes the metadata rows (name, format, bounds, minzoom, maxzoom) in the
  // open transaction, merged with what the file holds. Returns false on a
  // failure (ErrorCode()/ErrorMessage()). Throws SQLite::Error when a
  // statement cannot be prepared.
  bool WriteMetadata(const MbtilesMetadata& metadata);

  int ErrorCode() const { return error_.code; }
  const std::u16string& ErrorMessage() const { return error_.message; }

 private:
  SQLite::Database& database_;                 // not owned
  std::optional<SQLite::Statement> insert_;    // the INSERT, once prepared
  StepError error_;                        // the last failure
};

// "west,south,east,north" of `extent`, each the shortest decimal that reads
// back to the same number.
std::string FormatMbtilesBounds(const MbtilesExtent& extent);

// Reads "west,south,east,north" (blanks allowed around the numbers).
// Returns false for any other text. REQUIRES: extent != nullptr.
bool ParseMbtilesBounds(const std::string& text, MbtilesExtent* extent);

}  // namespace store
