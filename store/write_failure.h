// What a failed write of the map file means, and what is left to do after
// one.
//
// A write can fail because the file would grow past the largest file its
// file system holds (FAT, the file system of most memory cards, holds none
// of 4 GiB or more) or the process may write (`ulimit -f`). More room on
// the disk does not help then, so the user must be told so. SQLite reports
// such a write as an I/O error when it could not start (the system says
// EFBIG), and as a full disk when the system wrote part of it and stopped at
// the limit (no system error): both the system's error and the file's size
// next to the limits are therefore looked at.
//
// After an I/O error or a full disk SQLite leaves the rollback of the
// transaction that was open to the next connection that opens the file: the
// file keeps the batch's pages (and its size) and its journal stays beside
// it, a "hot journal", which programs that only read the map cannot roll
// back, so they refuse it. ReopenAfterWriteError() opens the map anew and
// reads it once, which completes that rollback at once.
//
// Thread-safety: the functions use the given Database, which belongs to one
// thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace SQLite {
class Database;
}

namespace store {

// The largest file allowed where the map file is.
struct MapFileSizeLimit {
  std::string fatType;                     // the FAT type of the map's file system ("vfat", ...); "" when not FAT
  std::uint64_t largestFile = UINT64_MAX;  // bytes: the smaller of the file system's and the process's limit; UINT64_MAX: none
};

// The limit for the map file `mapPath` (which need not exist yet), with its
// file system looked up in `mountTable` (the text of /proc/self/mounts).
MapFileSizeLimit SizeLimitOfMapFile(const std::string& mapPath, std::string_view mountTable);

// True when the statement that failed with SQLite's `code` on `db` failed
// because the map file or its journal would have grown past the largest
// file allowed: the code is an I/O error or a full disk, and the system said
// EFBIG, or the file with the `bytesPending` its open transaction stored
// (a failed commit has been rolled back, and the file has shrunk again)
// comes within SQLite's largest page of the limit.
bool WriteFailedAtSizeLimit(const SQLite::Database& db, int code, std::uint64_t bytesPending,
                            std::string_view mountTable);

// Closes the connection of `db`, opens the same file again read-write and
// reads it once, so that SQLite rolls back what a failed write left (see
// above). The connection stays open; db.path is kept. Returns "" when the
// map file holds no unfinished write now (or nothing was open, or the
// connection was read-only), otherwise SQLite's reason why it could not be
// rolled back (the file then keeps its journal until the next writer opens
// it). A wait for a lock ends as any statement's does (busy timeout, busy
// stop).
std::string ReopenAfterWriteError(SQLite::Database& db);

}  // namespace store
