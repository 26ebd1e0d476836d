// Reading an MBTiles file (mbtiles.h): opening it read-only, telling it by
// its content, and stepping through its tiles in key order with one
// statement.
//
// The file is never changed, and nothing is left beside it: it is opened
// read-only, and a file in WAL mode with no -wal file beside it (its last
// writer closed it cleanly) is opened as immutable, since a read-only
// connection would otherwise create a -wal and a -shm file and leave them.
// A file in WAL mode whose -wal file exists is being written, or its writer
// was killed: it is read through the writer's -wal and -shm files, which
// stay as they were (SQLite creates the -shm file only when a killed writer
// left none, so that the tiles in the -wal file are read too).
//
// Thread-safety: the functions use the given Database, which belongs to one
// thread at a time; IsMbtilesFile uses a connection of its own.
//
// Invariants:
//  1. On Ready the database is open read-only on the path, and both
//     `tiles` (table or view) with zoom_level, tile_column, tile_row and
//     tile_data, and `metadata` with name and value, can be read. On any
//     other status the database is closed.
//  2. Rows come in the order of (zoom_level, tile_column, tile_row).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "store/mbtiles.h"
#include "store/sqlite_database.h"
#include "store/step_error.h"

namespace store {

enum class MbtilesOpenStatus {
  Ready,           // open read-only, with the MBTiles schema
  Missing,         // no such file
  IsFolder,        // the path names a folder
  NotRegularFile,  // a FIFO, socket or device: never given to SQLite
  NotMbtiles,      // no SQLite database, or no `tiles` or `metadata` of the format
  Unfinished,      // a killed writer left a hot journal, which only a writer rolls back
  Busy,            // another connection held a lock for longer than the busy timeout
};

struct MbtilesOpenResult {
  MbtilesOpenStatus status = MbtilesOpenStatus::Ready;
  std::string detail;  // why, as text for a message (UTF-8); empty on Ready
};

// Opens `path` on `db` as an MBTiles file to read, as described above.
MbtilesOpenResult OpenMbtilesForReading(SQLite::Database& db, const std::string& path);

// True when `path` is a regular file that opens as an MBTiles file (its
// content decides, not its name). Opens it on a connection of its own and
// closes it again.
bool IsMbtilesFile(const std::string& path);

// The key columns zoom_level, tile_column and tile_row of the current row
// of `statement`, at its columns 0, 1 and 2, with their types.
MbtilesKey ReadMbtilesKey(sqlite3_stmt* statement);

class MbtilesReader {
 public:
  enum class Step {
    Row,     // a row was read: see Key() and Data()
    End,     // no row is left
    Failed,  // reading failed; see ErrorCode()/ErrorMessage()
  };

  explicit MbtilesReader(SQLite::Database& database);  // not owned; open as OpenMbtilesForReading leaves it

  // The number of rows of `tiles`, or nullopt when counting failed
  // (ErrorCode()/ErrorMessage() say why). Throws SQLite::Error when the
  // count cannot be prepared.
  std::optional<long long> CountRows();

  // Steps to the next row in key order. The statement is prepared on the
  // first call; a prepare failure throws SQLite::Error.
  Step Next();

  // The row read by the last Next() that returned Row; Data() is null for a
  // NULL tile_data and valid until the next Next(). A text tile_data is
  // given as its bytes.
  const MbtilesKey& Key() const { return key_; }
  const unsigned char* Data() const { return data_; }
  std::size_t Size() const { return size_; }

  int ErrorCode() const { return error_.code; }
  const std::u16string& ErrorMessage() const { return error_.message; }

 private:
  SQLite::Database& database_;                 // not owned
  std::optional<SQLite::Statement> rows_;      // the SELECT of the rows, once prepared
  MbtilesKey key_;                             // the current row's key columns
  const unsigned char* data_ = nullptr;        // its tile_data; owned by SQLite until the next step
  std::size_t size_ = 0;                       // its length in bytes
  StepError error_;                        // the last failure
};

}  // namespace store
