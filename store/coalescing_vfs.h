// CoalescingVfs: SQLite's file layer for this program, the system's own with
// one change: the writes SQLite makes to a database file (never to a
// journal) one page after the other are gathered and handed to the system in
// runs of up to kCoalescedBytes.
//
// SQLite writes each page of a database file with a call of its own. A map
// file of tiles is a few hundred thousand pages, mostly written in order as
// the tiles arrive: one write call per 4 KB costs the system about twice the
// time per byte of one call per 64 KB. What reaches the file, and when it
// is on the disk, stays the same: gathered bytes are written before any
// other operation on the file (a read, a sync, a size, a truncation, a lock
// released, a file control, a mapping, the close), so SQLite and every other
// connection or process see the file as SQLite wrote it; a write was never
// on the disk before the next sync anyway. A write that fails when the
// gathered run is handed over reports the system's own result (SQLITE_FULL
// for a full disk or a file-size limit, SQLITE_IOERR_WRITE otherwise, with
// sqlite3_system_errno() set) from the call that handed it over, so SQLite
// rolls the transaction back as it does for any failed write.
//
// Thread-safety: UseCoalescingVfs() may be called from any thread at any
// time (it is idempotent); each open file is used by one connection, which
// SQLite serialises.
//
// Invariants:
//  1. Only files opened as main databases gather writes; journals and
//     temporary files go to the system's layer unchanged. A database stops
//     gathering for good once it is in write-ahead-log mode (its shared
//     memory is mapped) or a PRAGMA synchronous, journal_mode or
//     locking_mode reaches it: gathering relies on SQLite's default commit,
//     whose sync of the database file comes before the journal is deleted.
//  2. No gathered byte is left unwritten when a call other than a write
//     returns, or when a write that does not continue the run is made.
//  3. The bytes of a read always include every earlier write.
#pragma once

#include <cstddef>

namespace store {

// Longest run of consecutive page writes handed to the system in one call.
// The system's layer writes at most 128 KB - 1 bytes a call (it cuts a
// longer write short and reports a full disk), so a run stays below that.
inline constexpr std::size_t kCoalescedBytes = 64 * 1024;

// Makes the coalescing layer SQLite's default for connections opened from
// now on (after sqlite3_initialize, which makes the system's layer the
// default again). Returns false, leaving SQLite as it was, when the system's
// layer cannot be found.
bool UseCoalescingVfs();

}  // namespace store
