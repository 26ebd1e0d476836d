// The two steps the preview's SQLite sources (a map file, an MBTiles file)
// share: one pass over the keys for the count, and one tile's image from a
// bound SELECT.
//
// Thread-safety: on the thread that uses the database.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <vector>

#include "convert/preview_coverage.h"
#include "convert/preview_source.h"
#include "store/sqlite_database.h"

namespace convert {

// Steps `sql` over every row of `database`; `add` takes each row's tiles
// into the builder. `stop` (may be null) is read every few thousand rows,
// `progress` (may be empty) hears the rows read now and then. On the end of
// the rows *out holds the counted index and coverage. False when stopped,
// when the statement cannot be prepared or a step fails.
// REQUIRES: out != nullptr.
bool CountKeyRows(SQLite::Database& database, const char16_t* sql, const std::atomic<int>* stop,
                  const std::function<void(long long rows)>& progress,
                  const std::function<void(sqlite3_stmt* row, CoverageBuilder* builder)>& add, PreviewCount* out);

// Steps the bound `statement` once and resets it: the blob of column 0 of
// its row into *bytes (Found, counted in stats->rowsRead), no row (Missing),
// a blob beyond kPreviewMaxTileBytes or a failed step (Failed).
// REQUIRES: bytes != nullptr, stats != nullptr.
PreviewRead StepImage(sqlite3_stmt* statement, PreviewStats* stats, std::vector<unsigned char>* bytes);

}  // namespace convert
