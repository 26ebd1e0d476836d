// Opening a map file for a job: for a conversion, which writes it, and for
// the commands that only read it (info, verify). The window opens and
// recognises its map file with map_file.h alone; this is the stricter path of
// the command line, which must say exactly why a file cannot be used before
// it starts any work.
//
// Opening for writing:
//   - a missing or empty file is created with the map schema, in one
//     transaction (a killed creation leaves an empty file, created anew by
//     the next run);
//   - an existing file is recognised read-only first, so that a file that is
//     no map file is never written; a hot journal that a killed writer left
//     is then rolled back by the read-write recognition;
//   - the file must be writable now: not opened read-only by SQLite, its
//     folder writable (SQLite keeps its journal there), and an exclusive lock
//     obtainable within the busy timeout. So a map file that another program
//     holds, or that cannot be written, is refused before the job walks
//     anything, not after.
// Opening for reading never creates or changes anything (read-only open); a
// file with a hot journal is tried again for kUnfinishedWait, since a writer
// whose write has just failed rolls it back a moment later.
//
// Thread-safety: the functions use the given Database, which belongs to one
// thread at a time.
//
// Invariants:
//  1. On Ready the database is open (isOpen 1) on the path, with no
//     transaction and no lock held; on any other status nothing that the
//     file held has changed.
//  2. detail is UTF-8 text for a message: SQLite's own text or the system's
//     reason; empty on Ready.
#pragma once

#include <chrono>
#include <string>

#include "platform/message_box.h"
#include "store/sqlite_database.h"

namespace store {

// How long opening for reading waits for a hot journal to go.
inline constexpr std::chrono::milliseconds kUnfinishedWait{1000};

enum class MapOpenStatus {
  Ready,           // open and recognised; for writing also writable and not locked
  Missing,         // reading: no such file
  IsFolder,        // the path names a folder
  NotRegularFile,  // a FIFO, socket or device: never given to SQLite (a FIFO would block)
  NotAMap,         // SQLite finds no `tiles` table (no database, damaged, other tables)
  Unfinished,      // reading: a killed writer left a hot journal, which only a writer rolls back
  Busy,            // another connection held a lock for longer than the busy timeout
  ReadOnly,        // writing: the file itself cannot be written
  FolderReadOnly,  // writing: its folder cannot be written, so SQLite cannot keep a journal
  CannotCreate,    // writing: a missing or empty file could not be made a map file
  CannotWrite,     // writing: the write lock failed for another reason (I/O error, ...)
};

struct MapOpenResult {
  MapOpenStatus status = MapOpenStatus::Ready;
  std::string detail;   // why, as text for a message (UTF-8); empty on Ready
  std::string folder;   // FolderReadOnly, CannotCreate: the folder the reason is about ("" if none)
  bool created = false; // writing: the schema was created by this open
};

// A result of `status`, with `detail` and `folder`.
MapOpenResult MapOpenResultOf(MapOpenStatus status, std::string detail = "", std::string folder = "");

// Opens `path` on `db` for a conversion, as described above. Messages of the
// statements it runs are held back and turned into `detail`; nothing is shown.
MapOpenResult OpenMapFileForWriting(SQLite::Database& db, const std::string& path);

// Checks that the database open on `db` (read-write) at `path` can be
// written now: not opened read-only by SQLite, its folder writable (SQLite
// keeps its journal there), and the write lock obtainable within the busy
// timeout (it is taken and given back at once). Returns Ready, ReadOnly,
// FolderReadOnly, Busy or CannotWrite; the connection stays open.
MapOpenResult CheckDatabaseWritable(SQLite::Database& db, const std::string& path);

// Opens `path` on `db` read-only and recognises it. Never creates the file.
MapOpenResult OpenMapFileForReading(SQLite::Database& db, const std::string& path);

// What the create command found: its status and, for a refusal, why.
enum class MapCreateStatus {
  Ready,            // every statement ran and the file is recognised as a map file
  IsFolder,         // the path names a folder: nothing was opened
  CannotOpen,       // SQLite could not open or create the file (detail says why)
  Busy,             // another program held a lock for longer than the busy timeout
  NotAMap,          // the file is no map file and was left as it was
  StatementFailed,  // a creation statement failed, though the file is a map file now
};

struct MapCreateResult {
  MapCreateStatus status = MapCreateStatus::Ready;
  std::string detail;  // CannotOpen, Busy: why, as text for a message (UTF-8)
};

// The create command on `path`, as the window runs it: opens (or creates)
// the file, runs the three creation statements whatever their results (each
// failure shows "SQLite error: %s" through the database's message boxes),
// then closes, reopens and recognises it (SQLite's message shown when it is
// no map file). The connection is closed at the end.
MapCreateResult CreateMapFileCommand(SQLite::Database& db, const std::string& path,
                                     platform::MessageBoxService& boxes);

// Why a new map file at `path` cannot be created, after SQLite failed to open
// or create it with the text `sqliteText`: when the file's folder is missing
// or not writable, "<folder>: <system reason>" and *folder is set; otherwise
// sqliteText. REQUIRES: folder != nullptr.
std::string CreateFailureReason(const std::string& path, const std::string& sqliteText, std::string* folder);

}  // namespace store
