// The map file: one SQLite database holding map tile images under their key
// (x, y, z, s). This header is the single home of its statements and of the
// steps that create and recognise it as the window does; map_file_open.h
// opens one for a conversion or for reading, tile_inserter.h stores tiles and
// tile_lookup.h compares them.
//
//   info(minzoom, maxzoom)             no key; left empty
//   tiles(x int, y int, z int, s int, image blob, PRIMARY KEY (x,y,z,s))
//     x, y   tile column and row
//     z      17 minus the zoom level (zoom 18 is stored as -1)
//     s      tile source: a text name, or 0; the declared type int gives the
//            column integer affinity, so a name such as "12" is stored as the
//            integer 12
//     image  the tile file's bytes, unchanged
//
// Thread-safety: the functions use the given Database, which belongs to one
// thread at a time.
#pragma once

#include <string>

#include "platform/message_box.h"
#include "store/sqlite_database.h"
#include "store/tile_key.h"

namespace store {

// Statement texts of the map file, exactly as they run.
inline constexpr char16_t kSetEncodingSql[] = u"PRAGMA encoding = \"UTF-8\"";
inline constexpr char16_t kCreateInfoTableSql[] = u"CREATE TABLE IF NOT EXISTS info(minzoom,maxzoom)";
inline constexpr char16_t kCreateTilesTableSql[] =
    u"CREATE TABLE IF NOT EXISTS tiles(x int, y int, z int, s int, image blob, PRIMARY KEY (x,y,z,s))";
inline constexpr char16_t kRecogniseSql[] = u"SELECT * FROM `tiles` LIMIT 1";
inline constexpr char16_t kInsertTileSql[] =
    u"INSERT INTO `tiles` (`x`, `y`, `z`, `s`, `image`) VALUES(?, ?, ?, ?, ?)";

// The `z` column's value for a zoom level, and back.
constexpr int ZoomToZ(int zoom) { return 17 - zoom; }
constexpr int ZToZoom(int z) { return 17 - z; }

// Creates (or completes) a map file: opens the native `path` on `db` (its
// bytes go to SQLite unchanged; "" opens a private temporary database); if
// the open fails stops there, showing nothing, and returns false. Otherwise
// runs the encoding pragma and the two CREATE TABLE statements in this
// order, each whatever the others' results (each failure shows its own "SQLite error: %s"
// through the database's message boxes). Existing tables and rows are kept.
// Returns true when the open and all three statements succeeded. The
// connection is left open.
bool CreateMapFileNative(SQLite::Database& db, const std::string& path);

// Creates a new map file for a job that fills it at once: as
// CreateMapFileNative, but the two tables are created in one transaction, so
// a process killed while creating leaves either an empty file (which counts
// as no map file yet and is created anew) or the whole schema, never a
// database that holds `info` without `tiles`. On a failure the transaction
// is rolled back and false is returned; each failing statement has shown its
// own "SQLite error: %s". The connection is left open.
bool CreateMapFileNativeInOneTransaction(SQLite::Database& db, const std::string& path);

// Decides whether `path` is a map file: closes `db`, clears isOpen, opens
// `path` (result not looked at), prepares the recognising SELECT and steps it
// once. When the prepare fails, SQLite's message is shown alone (Plain) on
// `boxes` and isOpen is set to 0. Returns isOpen afterwards; the connection
// stays open for the caller. Only the existence of a table `tiles` is tested.
// The caller checks first that the path exists (opening a missing path
// creates it).
bool RecogniseMapFileNative(SQLite::Database& db, const std::string& path,
                            platform::MessageBoxService& boxes);
// As RecogniseMapFileNative, but opens read-only: the file is never created
// or changed.
bool RecogniseMapFileReadOnly(SQLite::Database& db, const std::string& path,
                              platform::MessageBoxService& boxes);

}  // namespace store
