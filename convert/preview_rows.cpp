#include "convert/preview_rows.h"

#include <cassert>
#include <cstdint>

namespace convert {

namespace {

// Rows between two looks at the stop flag, and between two progress reports.
constexpr long long kStopStep = 4096;
constexpr long long kProgressStep = 65536;

}  // namespace

bool CountKeyRows(SQLite::Database& database, const char16_t* sql, const std::atomic<int>* stop,
                  const std::function<void(long long)>& progress,
                  const std::function<void(sqlite3_stmt*, CoverageBuilder*)>& add, PreviewCount* out) {
  assert(out != nullptr);
  CoverageBuilder builder;
  try {
    SQLite::Statement statement = database.prepare(sql);
    long long rows = 0;
    int result = SQLITE_ROW;
    while ((result = sqlite3_step(statement.handle)) == SQLITE_ROW) {
      add(statement.handle, &builder);
      ++rows;
      if (rows % kStopStep == 0 && stop != nullptr && stop->load(std::memory_order_relaxed) != 0) return false;
      if (progress && rows % kProgressStep == 0) progress(rows);
    }
    if (result != SQLITE_DONE) return false;
  } catch (const SQLite::Error&) {
    return false;
  }
  *out = builder.Finish();
  return true;
}

PreviewRead StepImage(sqlite3_stmt* statement, PreviewStats* stats, std::vector<unsigned char>* bytes) {
  assert(bytes != nullptr && stats != nullptr);
  bytes->clear();
  PreviewRead outcome = PreviewRead::Missing;
  const int result = sqlite3_step(statement);
  if (result == SQLITE_ROW) {
    // The pointer is taken before the length, as SQLite asks.
    const auto* blob = static_cast<const unsigned char*>(sqlite3_column_blob(statement, 0));
    const auto size = static_cast<std::uint64_t>(sqlite3_column_bytes(statement, 0));
    if (size > kPreviewMaxTileBytes) {
      outcome = PreviewRead::Failed;
    } else {
      if (blob != nullptr && size > 0) bytes->assign(blob, blob + size);
      stats->rowsRead.fetch_add(1, std::memory_order_relaxed);
      outcome = PreviewRead::Found;
    }
  } else if (result != SQLITE_DONE) {
    outcome = PreviewRead::Failed;
  }
  sqlite3_reset(statement);
  return outcome;
}

}  // namespace convert
