// MapSummary: what a map file holds, in numbers: its tiles and their image
// bytes in all, per `z` and per source. `cvmap info` prints it.
//
// Thread-safety: uses the given Database, which belongs to one thread.
#pragma once

#include <string>
#include <vector>

#include "store/sqlite_database.h"

namespace store {

// One value of a key column as the map file holds it.
struct KeyValue {
  std::string text;     // the value as SQLite gives it as text ("NULL" for NULL)
  bool quoted = false;  // a text or blob (shown in quotes), not a number
  bool integer = false; // an integer: `number` holds it
  long long number = 0; // the integer, when `integer`
};

struct MapSummary {
  long long tiles = 0;       // rows of `tiles`
  long long imageBytes = 0;  // bytes of every image together
  struct Level {
    KeyValue z;              // the `z` column's value
    long long tiles = 0;     // rows with it
    long long imageBytes = 0;  // their image bytes
  };
  std::vector<Level> levels;  // by z, largest first (so the lowest zoom level first)
  struct Source {
    KeyValue s;              // the `s` column's value
    long long tiles = 0;     // rows with it
  };
  std::vector<Source> sources;  // numbers first, then texts, each in order
};

// Reads the summary of the open map file on `db`. Image bytes count a
// blob's length without reading it, and anything else a foreign file holds
// by its length as bytes. Throws SQLite::Error (SQLite's code and text) when
// a statement cannot be prepared or run.
MapSummary SummarizeMapFile(SQLite::Database& db);

}  // namespace store
