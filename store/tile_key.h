// TileKey: the primary key (x, y, z, s) of a row of the map file's `tiles`
// table, and its binding to the first four parameters of a statement.
//
// s is either a text (GeoKuk's map source name) or the integer 0 (OSM Tracker
// Storage). The column's declared type int gives it integer affinity, so a
// name that reads as a whole number ("12") is stored, and found, as that
// integer.
//
// Which grid a stored row lies on is told by its `s` alone, by one rule that
// every reader of map files follows (StoredSourceOf, and the SQL terms
// below): the integer 0 is a tile of the Web Mercator grid; a text, any
// other integer and a real are the name of a GeoKuk source (integer affinity
// stores a name that reads as a number as that number), so on GeoKuk's grid;
// NULL and a blob are no source and lie on no grid.
//
// Thread-safety: a value type; BindTileKey and StoredSourceOf use the
// caller's statement.
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

// What a stored row's `s` holds, by the rule above.
enum class StoredSource {
  WebMercator,  // the integer 0
  GeoKukName,   // a text, or a number other than 0: a GeoKuk source name
  None,         // NULL or a blob
};

// Reads column `column` of the stepped `statement` as a row's `s`. For a
// GeoKuk name, *name (may be null) receives it as UTF-8: the text, or the
// number written as the name it was stored from (decimal digits; for a real
// the shortest decimal that reads back to it). *name is cleared otherwise.
StoredSource StoredSourceOf(sqlite3_stmt* statement, int column, std::string* name);

// SQL terms over the column `s` of `tiles` for the same rule. The operands
// are written so that no index serves them (a '+' before the column).
inline constexpr char16_t kSqlSourceIsGeoKuk[] =
    u"(typeof(s) IN ('text', 'real') OR (typeof(s) = 'integer' AND +s <> 0))";
inline constexpr char16_t kSqlSourceIsWebMercator[] = u"(typeof(s) = 'integer' AND +s = 0)";

}  // namespace store
