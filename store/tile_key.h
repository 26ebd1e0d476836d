// TileKey: the primary key (x, y, z, s) of a row of the map file's `tiles`
// table, and its binding to the first four parameters of a statement.
//
// s is either a text (GeoKuk's map source name) or the integer 0 (OSM Tracker
// Storage). The column's declared type int gives it integer affinity, so a
// name that reads as a whole number ("12") is stored, and found, as that
// integer.
//
// Thread-safety: a value type; BindTileKey uses the caller's statement.
#pragma once

#include <sqlite3.h>

#include <string>

namespace store {

struct TileKey {
  int x = 0;                  // tile column
  int y = 0;                  // tile row
  int z = 0;                  // 17 - zoom level (zoom 18 is -1)
  bool sourceIsText = false;  // true: `source` is bound as text; false: s is the integer 0
  std::u16string source;      // GeoKuk map source name, e.g. u"base_n"; empty otherwise
};

// Binds x, y, z and s of `key` to the parameters 1 to 4 of `statement`. The
// source name is converted into *sourceUtf8 and bound without a copy, so the
// string must stay unchanged until the statement's bindings are cleared.
// Returns the first bind result that is not SQLITE_OK, or SQLITE_OK.
// REQUIRES: statement != nullptr, sourceUtf8 != nullptr.
int BindTileKey(sqlite3_stmt* statement, const TileKey& key, std::string* sourceUtf8);

}  // namespace store
