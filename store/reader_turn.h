// ReaderTurn: lets programs that read the map file in (a phone's sync tool,
// cvmap info, the sqlite3 shell) between two batches of a writer.
//
// While a batch is larger than SQLite's page cache, SQLite writes it to the
// map file before the commit and holds the file's exclusive lock until then;
// a reader waits for the commit. Right after it, the next batch would fill
// the cache within milliseconds and lock readers out again before their busy
// handlers (which look every 100 ms at most) try once more, so a reader
// could wait through batch after batch. A batch that follows a commit
// therefore keeps its pages in memory for its first kReaderWindow (the page
// cache is made large meanwhile, kHoldCacheKiB at most), and waiting readers
// get their turn; then the cache size is set back and SQLite writes what is
// over it, as it would have. Memory grows by that much of the writer's work
// at most.
//
// Thread-safety: used by the thread that uses the database.
//
// Invariants:
//  1. Outside a window the connection's cache size is the one it had.
#pragma once

#include <chrono>

namespace SQLite {
class Database;
}

namespace store {

inline constexpr std::chrono::milliseconds kReaderWindow{150};
// The largest page cache of a window, in KiB (a writer faster than about
// 300 MB/s fills it before the window ends).
inline constexpr int kHoldCacheKiB = 49152;

class ReaderTurn {
 public:
  explicit ReaderTurn(SQLite::Database& database) : database_(database) {}  // not owned; must outlive this
  ~ReaderTurn() { End(); }
  ReaderTurn(const ReaderTurn&) = delete;
  ReaderTurn& operator=(const ReaderTurn&) = delete;

  // A batch begins. `afterCommit`: a batch of this writer was committed
  // before it, so readers may be waiting: its window opens.
  void BatchBegun(bool afterCommit);
  // The open batch has been open for `open`: the window ends once that is
  // kReaderWindow.
  void BatchOpenFor(std::chrono::steady_clock::duration open);
  // Ends a window that is open (the writer stops).
  void End();

 private:
  SQLite::Database& database_;  // not owned
  bool open_ = false;           // a window is open
  int cacheSize_ = 0;           // open_: the cache size to set back (as PRAGMA cache_size takes it)
};

}  // namespace store
