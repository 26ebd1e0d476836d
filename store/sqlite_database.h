// SQLite::Database: owns at most one open SQLite connection, the text of the
// last failing exec, and the two flags the map file's users keep on it.
//
// Failures reach the user in two ways. `exec` reports its own: a failing SQL
// text shows "SQLite error: %s" (SQLite's text) through the message-box
// service, Exclamation style, and returns the code; work goes on. `prepare`
// throws SQLite::Error and shows nothing; the catcher shows it. `open` and
// `close` show nothing and return SQLite's code.
//
// The SQLite library is initialised while at least one Database exists and
// shut down when the last one is destroyed.
//
// Locks: every connection waits up to kBusyTimeout for a lock that another
// connection or process holds (SQLite's busy handler) before a statement
// gives up with SQLITE_BUSY ("database is locked"). A wait ends early once
// the flag given to setBusyStop() is set, so that a stop or a close never
// hangs on another program's lock.
//
// Thread-safety: one thread at a time uses a Database (the window thread, or
// the worker while a job runs); no lock is taken.
//
// Invariants:
//  1. handle is null, or a connection opened by the last open*().
//  2. isOpen is set only by a successful open*(); close() leaves it alone,
//     the owner clears it when it reopens or rejects the file.
//  3. close() leaves no statement prepared on the connection and clears
//     inTransaction: SQLite rolls an open transaction back on close, so the
//     flag would otherwise claim a transaction that no longer exists.
//  4. errorText is null or SQLite's text of the last failing exec; it is
//     freed by the next exec and by the destructor.
//  5. Every connection in `handle` waits for locks as said above.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <string>
#include <unordered_set>

#include "platform/message_box.h"
#include "store/sqlite_error.h"
#include "store/sqlite_statement.h"

namespace SQLite {

// Transaction statements, run through exec by the conversion job.
inline constexpr char16_t kBeginTransactionSql[] = u"BEGIN TRANSACTION;";
inline constexpr char16_t kCommitSql[] = u"COMMIT;";
inline constexpr char16_t kRollbackSql[] = u"ROLLBACK;";
// How long a statement waits for a lock held by another connection.
inline constexpr std::chrono::milliseconds kBusyTimeout{10000};

// Message shown for a failing exec; %s is SQLite's error text.
inline constexpr char16_t kExecErrorFormat[] = u"SQLite error: %s";

// Fills SQLite's error text into kExecErrorFormat.
std::u16string FormatExecError(const std::u16string& sqliteText);

class Database {
 public:
  // `messageBoxes` (not owned, may be null) receives exec's error messages;
  // when null they go to a stderr sink so that they are never lost.
  explicit Database(platform::MessageBoxService* messageBoxes = nullptr);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // A flag (not owned, may be null; readable from any thread) that ends
  // every wait for a lock at once while it is not 0. The conversion job
  // sets its stop request here while it runs.
  void setBusyStop(const std::atomic<int>* stop) { busyStop_.store(stop); }
  const std::atomic<int>* busyStop() const { return busyStop_.load(); }

  // Replaces the message-box service (not owned, may be null as above).
  void setMessageBoxes(platform::MessageBoxService* messageBoxes);
  platform::MessageBoxService* messageBoxes() const { return messageBoxes_; }

  // Closes an open connection first, stores `path`, and opens it with
  // SQLite's default flags (a missing file is created; an empty path opens a
  // private temporary database). Sets isOpen to 1 on SQLITE_OK, else leaves
  // it. Returns SQLite's code; shows nothing. SQLite may leave a connection in
  // `handle` even on failure; the next close() releases it.
  int open(const std::u16string& path);
  // As open(), but the native path bytes go to SQLite unchanged (they need not
  // be UTF-8); `path` holds their UTF-16 reading for display.
  int openNative(const std::string& path);
  // As openNative(), but read-only: never creates or changes the file.
  int openNativeReadOnly(const std::string& path);
  // As openNativeReadOnly(), but SQLite takes the file for one that nothing
  // changes while it is open: it takes no lock and creates no file beside
  // it. A read-only connection to a file in WAL mode otherwise creates its
  // -wal and -shm files and leaves them behind; for such a file whose -wal
  // file is missing (nothing wrote it since its last clean close) this reads
  // the same rows and leaves nothing. Never use it on a file another
  // connection may be writing: it would see none of that writer's changes.
  int openNativeImmutable(const std::string& path);

  // Finalises every statement still prepared on the connection, closes it,
  // sets handle to null and clears inTransaction. Returns sqlite3_close's
  // code, or 0 when nothing was open. Leaves isOpen alone.
  int close();

  // Runs `sql` (converted to UTF-8) with sqlite3_exec. When isOpen is 0 runs
  // nothing and returns 0. On failure shows "SQLite error: %s" (Exclamation),
  // waits for the message box, and returns the code.
  int exec(const std::u16string& sql);

  // Prepares the whole of `sql`. On failure throws SQLite::Error with SQLite's
  // code and message (when no connection exists at all: SQLITE_MISUSE and
  // "no database is open"). Shows nothing.
  Statement prepare(const std::u16string& sql);

  // With a transaction open: clears inTransaction, then exec("ROLLBACK;") and
  // returns its code. Without one: returns 0 and runs nothing.
  int rollback();

  sqlite3* handle = nullptr;  // the open connection; null when none is open
  char* errorText = nullptr;  // owned by SQLite: error text of the last failing exec
  std::u16string path;        // the file name given to the last open
  int isOpen = 0;             // 1 once an open returned SQLITE_OK (see invariant 2)
  int inTransaction = 0;      // 1 while a transaction the conversion job began is open

 private:
  friend class Statement;
  // Opens `sqliteName` (the name as SQLite takes it) with `flags`; `path`
  // becomes the UTF-16 reading of nativePath.
  int openWith(const std::string& nativePath, const std::string& sqliteName, int flags);
  // SQLite's busy handler: waits kBusyPauses, up to kBusyTimeout in all,
  // unless busyStop_ is set. Returns 1 to try again, 0 to give up.
  static int WaitForLock(void* context, int tries);
  void WaitForLocks();  // installs WaitForLock on handle

  std::atomic<const std::atomic<int>*> busyStop_{nullptr};  // not owned; see setBusyStop()
  std::chrono::steady_clock::time_point busySince_;         // when the current wait for a lock began

  platform::MessageBoxService* messageBoxes_;  // not owned; null: stderr
  std::unordered_set<detail::StatementShare*> liveStatements_;  // shares of unfinalised statements
};

}  // namespace SQLite
