// Reference loops for the conversion benchmark: the plainest code that does
// the same work as the conversion job, to measure the job against.
//
//   BareWalk   counts the files below a folder with opendir/readdir and
//              d_type, recursing into folders: what the counting pass must
//              at least do.
//   LimitLoop  walks the same way, reads every file whole (open, fstat,
//              read, close into one reused buffer), takes the tile key
//              straight from the name with sscanf, and inserts it with one
//              prepared statement, reset after every row, all inside one
//              transaction: what this machine can do at best for the
//              converting pass.
// Neither matches patterns, checks anything or reports progress. They assume
// a generated tree (every file a tile of the given layout). The limit loop
// writes through SQLite's own file layer (OpenPlainMap), page by page, as a
// plain program does, not through this program's layer that gathers writes.
//
// Thread-safety: plain functions; the database belongs to the caller's
// thread.
#pragma once

#include <sqlite3.h>

#include <string>

namespace bench {

// Number of entries below `folder` (recursively) that are not folders.
long long BareWalk(const std::string& folder);

enum class LimitLayout { GeoKuk, Osm };

// Opens the map file `path` for writing on SQLite's own file layer ("unix").
// Returns null when it cannot be opened. The caller closes it.
sqlite3* OpenPlainMap(const std::string& path);

// Inserts every file below `source` into the `tiles` table of `db` in one
// transaction. Returns the number of rows inserted, or -1 when the insert
// cannot be prepared or the transaction cannot be begun or committed.
long long LimitLoop(const std::string& source, LimitLayout layout, sqlite3* db);

}  // namespace bench
