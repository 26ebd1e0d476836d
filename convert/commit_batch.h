// CommitBatch: groups a job's inserts into transactions and takes them back
// on an error, by the same rule as the conversion: a transaction is begun
// before the first insert when none is open ("BEGIN TRANSACTION;" through
// SQLite::Database::exec, tracked in inTransaction), and is committed once
// it holds `batchTiles` stored tiles or has been open for `interval` with at
// least one. Every commit waits for the disk, so batches are bounded by time
// and a killed job loses at most about one interval of work.
//
// Thread-safety: used by the thread that uses the database.
//
// Invariants:
//  1. After Commit() or RollBack() no transaction that the batch began is
//     open and inTransaction is 0.
//  2. Pending() is the number of tiles stored since the open transaction
//     began, and after a failed Commit() the number it lost.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace SQLite {
class Database;
}

namespace convert {

class CommitBatch {
 public:
  CommitBatch(SQLite::Database& db, long long batchTiles, std::chrono::steady_clock::duration interval);

  // Begins a transaction when none is open. A failure is shown by exec; the
  // insert that follows then fails or runs on its own.
  void BeginIfNone();
  // One more tile, of `bytes` image bytes, stored in the open transaction.
  void Stored(std::uint64_t bytes = 0) {
    ++pending_;
    pendingBytes_ += bytes;
  }
  // True when the open transaction should be committed now.
  bool Due() const;
  long long Pending() const { return pending_; }

  // Commits the open transaction (nothing to do without one). A COMMIT that
  // fails has shown its own message; then whatever SQLite still holds open
  // is rolled back and the pending tiles are lost (Pending() still counts
  // them), *code and *text say why and false is returned.
  bool Commit(int* code, std::u16string* text);

  // After a failed insert: rolls back the open transaction if SQLite still
  // holds it (a failed step may have rolled it back already, and a second
  // "ROLLBACK;" would only fail with a message). Returns the tiles lost.
  long long RollBack();

  // After a failed insert or commit, and before RollBack(): true when the
  // write failed because the map file would have grown past the largest
  // file its file system (or the process) allows (store/write_failure.h).
  bool FailedAtSizeLimit(int code) const;

 private:
  SQLite::Database& db_;                              // not owned
  const long long batchTiles_;                        // commit at this many stored tiles
  const std::chrono::steady_clock::duration interval_;  // ... or when open this long
  long long pending_ = 0;                             // tiles stored in the open transaction
  std::uint64_t pendingBytes_ = 0;                    // their image bytes
  std::chrono::steady_clock::time_point begun_;       // when it was begun
};

}  // namespace convert
