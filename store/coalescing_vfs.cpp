#include "store/coalescing_vfs.h"

#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <new>

namespace store {

namespace {

constexpr char kVfsName[] = "corvane-coalescing";

// One open file: SQLite's handle, followed in the same allocation by the
// system layer's own file object (`real`).
struct CoalescingFile {
  sqlite3_file base;            // what SQLite sees; base.pMethods is kMethods
  sqlite3_file* real;           // the system layer's file, right after this struct
  bool gathers;                 // a main database: consecutive writes are gathered
  unsigned char* run;           // owned (sqlite3_malloc); the gathered bytes, null until the first gathered write
  sqlite3_int64 runStart;       // file offset of run[0]
  std::size_t runLength;        // bytes gathered, 0 .. kCoalescedBytes
};

sqlite3_vfs* RealVfs();  // the system's layer, found once

CoalescingFile* Of(sqlite3_file* file) { return reinterpret_cast<CoalescingFile*>(file); }

// Hands the gathered run to the system. Returns its result; the run is gone
// either way, as a failed write is for SQLite.
int Flush(CoalescingFile* f) {
  if (f->runLength == 0) return SQLITE_OK;
  const int rc = f->real->pMethods->xWrite(f->real, f->run, static_cast<int>(f->runLength), f->runStart);
  f->runLength = 0;
  return rc;
}

int Close(sqlite3_file* file) {
  CoalescingFile* f = Of(file);
  const int flushed = Flush(f);
  const int rc = f->real->pMethods != nullptr ? f->real->pMethods->xClose(f->real) : SQLITE_OK;
  sqlite3_free(f->run);
  f->run = nullptr;
  return flushed != SQLITE_OK ? flushed : rc;
}

int Read(sqlite3_file* file, void* data, int amount, sqlite3_int64 offset) {
  CoalescingFile* f = Of(file);
  if (const int rc = Flush(f); rc != SQLITE_OK) return rc;
  return f->real->pMethods->xRead(f->real, data, amount, offset);
}

int Write(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
  CoalescingFile* f = Of(file);
  const auto length = static_cast<std::size_t>(amount);
  if (f->gathers && f->runLength > 0 && offset == f->runStart + static_cast<sqlite3_int64>(f->runLength) &&
      f->runLength + length <= kCoalescedBytes) {
    std::memcpy(f->run + f->runLength, data, length);
    f->runLength += length;
    return SQLITE_OK;
  }
  if (const int rc = Flush(f); rc != SQLITE_OK) return rc;
  if (f->gathers && length < kCoalescedBytes) {
    if (f->run == nullptr) f->run = static_cast<unsigned char*>(sqlite3_malloc(static_cast<int>(kCoalescedBytes)));
    if (f->run != nullptr) {
      std::memcpy(f->run, data, length);
      f->runStart = offset;
      f->runLength = length;
      return SQLITE_OK;
    }
  }
  return f->real->pMethods->xWrite(f->real, data, amount, offset);  // no memory for a run: written as it comes
}

int Truncate(sqlite3_file* file, sqlite3_int64 size) {
  CoalescingFile* f = Of(file);
  if (const int rc = Flush(f); rc != SQLITE_OK) return rc;
  return f->real->pMethods->xTruncate(f->real, size);
}

int Sync(sqlite3_file* file, int flags) {
  CoalescingFile* f = Of(file);
  if (const int rc = Flush(f); rc != SQLITE_OK) return rc;
  return f->real->pMethods->xSync(f->real, flags);
}

int FileSize(sqlite3_file* file, sqlite3_int64* size) {
  CoalescingFile* f = Of(file);
  if (const int rc = Flush(f); rc != SQLITE_OK) return rc;
  return f->real->pMethods->xFileSize(f->real, size);
}

int Lock(sqlite3_file* file, int level) { return Of(file)->real->pMethods->xLock(Of(file)->real, level); }

int Unlock(sqlite3_file* file, int level) {
  CoalescingFile* f = Of(file);
  // Every byte is in the file before another connection may read it; the
  // lock is let go even when that write failed.
  const int flushed = Flush(f);
  const int rc = f->real->pMethods->xUnlock(f->real, level);
  return flushed != SQLITE_OK ? flushed : rc;
}

int CheckReservedLock(sqlite3_file* file, int* reserved) {
  return Of(file)->real->pMethods->xCheckReservedLock(Of(file)->real, reserved);
}

// True for a PRAGMA that can change when SQLite syncs the database or gets
// rid of its journal (synchronous, journal_mode, locking_mode): gathered
// writes rely on the commit's sync of the database file coming before the
// journal is deleted, which these may change.
bool ChangesCommitOrder(int op, void* arg) {
  if (op != SQLITE_FCNTL_PRAGMA || arg == nullptr) return false;
  const char* name = static_cast<char**>(arg)[1];
  return name != nullptr && (sqlite3_stricmp(name, "synchronous") == 0 || sqlite3_stricmp(name, "journal_mode") == 0 ||
                             sqlite3_stricmp(name, "locking_mode") == 0);
}

int FileControl(sqlite3_file* file, int op, void* arg) {
  CoalescingFile* f = Of(file);
  if (const int rc = Flush(f); rc != SQLITE_OK) return rc;
  if (ChangesCommitOrder(op, arg)) f->gathers = false;  // from now on every write goes through as it comes
  return f->real->pMethods->xFileControl(f->real, op, arg);
}

int SectorSize(sqlite3_file* file) { return Of(file)->real->pMethods->xSectorSize(Of(file)->real); }

int DeviceCharacteristics(sqlite3_file* file) {
  return Of(file)->real->pMethods->xDeviceCharacteristics(Of(file)->real);
}

int ShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** memory) {
  CoalescingFile* f = Of(file);
  if (const int rc = Flush(f); rc != SQLITE_OK) return rc;
  // A database in write-ahead-log mode: a checkpoint tells readers through
  // the shared memory, not through this layer, that the database file holds
  // its pages, so none of them may wait here.
  f->gathers = false;
  return f->real->pMethods->xShmMap(f->real, region, size, extend, memory);
}

int ShmLock(sqlite3_file* file, int offset, int n, int flags) {
  CoalescingFile* f = Of(file);
  if (const int rc = Flush(f); rc != SQLITE_OK) return rc;
  return f->real->pMethods->xShmLock(f->real, offset, n, flags);
}

void ShmBarrier(sqlite3_file* file) { Of(file)->real->pMethods->xShmBarrier(Of(file)->real); }

int ShmUnmap(sqlite3_file* file, int deleteFlag) {
  CoalescingFile* f = Of(file);
  if (const int rc = Flush(f); rc != SQLITE_OK) return rc;
  return f->real->pMethods->xShmUnmap(f->real, deleteFlag);
}

int Fetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** pointer) {
  CoalescingFile* f = Of(file);
  if (const int rc = Flush(f); rc != SQLITE_OK) return rc;
  return f->real->pMethods->xFetch(f->real, offset, amount, pointer);
}

int Unfetch(sqlite3_file* file, sqlite3_int64 offset, void* pointer) {
  return Of(file)->real->pMethods->xUnfetch(Of(file)->real, offset, pointer);
}

const sqlite3_io_methods kMethods = {
    3,          Close,      Read,     Write,    Truncate,  Sync,     FileSize,  Lock,   Unlock, CheckReservedLock,
    FileControl, SectorSize, DeviceCharacteristics, ShmMap, ShmLock, ShmBarrier, ShmUnmap, Fetch, Unfetch,
};

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  CoalescingFile* f = Of(file);
  f->base.pMethods = nullptr;
  f->real = reinterpret_cast<sqlite3_file*>(f + 1);
  f->gathers = (flags & SQLITE_OPEN_MAIN_DB) != 0;
  f->run = nullptr;
  f->runStart = 0;
  f->runLength = 0;
  sqlite3_vfs* real = RealVfs();
  const int rc = real->xOpen(real, name, f->real, flags, outFlags);
  // A file the system's layer could not open stays without methods, so that
  // SQLite closes nothing; one it opened (even with an error) is ours.
  if (f->real->pMethods != nullptr) f->base.pMethods = &kMethods;
  return rc;
}

// The calls on names go straight to the system's layer.
int Delete(sqlite3_vfs*, const char* name, int syncDir) { return RealVfs()->xDelete(RealVfs(), name, syncDir); }
int Access(sqlite3_vfs*, const char* name, int flags, int* result) {
  return RealVfs()->xAccess(RealVfs(), name, flags, result);
}
int FullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  return RealVfs()->xFullPathname(RealVfs(), name, size, out);
}
void* DlOpen(sqlite3_vfs*, const char* name) { return RealVfs()->xDlOpen(RealVfs(), name); }
void DlError(sqlite3_vfs*, int size, char* message) { RealVfs()->xDlError(RealVfs(), size, message); }
void (*DlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
  return RealVfs()->xDlSym(RealVfs(), handle, symbol);
}
void DlClose(sqlite3_vfs*, void* handle) { RealVfs()->xDlClose(RealVfs(), handle); }
int Randomness(sqlite3_vfs*, int size, char* out) { return RealVfs()->xRandomness(RealVfs(), size, out); }
int Sleep(sqlite3_vfs*, int microseconds) { return RealVfs()->xSleep(RealVfs(), microseconds); }
int CurrentTime(sqlite3_vfs*, double* now) { return RealVfs()->xCurrentTime(RealVfs(), now); }
int GetLastError(sqlite3_vfs*, int size, char* out) { return RealVfs()->xGetLastError(RealVfs(), size, out); }
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* now) {
  return RealVfs()->xCurrentTimeInt64(RealVfs(), now);
}
int SetSystemCall(sqlite3_vfs*, const char* name, sqlite3_syscall_ptr call) {
  return RealVfs()->xSetSystemCall(RealVfs(), name, call);
}
sqlite3_syscall_ptr GetSystemCall(sqlite3_vfs*, const char* name) {
  return RealVfs()->xGetSystemCall(RealVfs(), name);
}
const char* NextSystemCall(sqlite3_vfs*, const char* name) { return RealVfs()->xNextSystemCall(RealVfs(), name); }

sqlite3_vfs* realVfs = nullptr;  // the system's layer; set once by UseCoalescingVfs()
sqlite3_vfs coalescingVfs;       // this layer; filled once by UseCoalescingVfs()
std::mutex vfsMutex;             // guards the two above while they are filled

sqlite3_vfs* RealVfs() { return realVfs; }

}  // namespace

bool UseCoalescingVfs() {
  std::lock_guard<std::mutex> lock(vfsMutex);
  if (realVfs == nullptr) {
    sqlite3_vfs* found = sqlite3_vfs_find("unix");
    if (found == nullptr || found->iVersion < 3) return false;
    realVfs = found;
    coalescingVfs = sqlite3_vfs{};
    coalescingVfs.iVersion = 3;
    coalescingVfs.szOsFile = static_cast<int>(sizeof(CoalescingFile)) + found->szOsFile;
    coalescingVfs.mxPathname = found->mxPathname;
    coalescingVfs.zName = kVfsName;
    coalescingVfs.xOpen = Open;
    coalescingVfs.xDelete = Delete;
    coalescingVfs.xAccess = Access;
    coalescingVfs.xFullPathname = FullPathname;
    coalescingVfs.xDlOpen = DlOpen;
    coalescingVfs.xDlError = DlError;
    coalescingVfs.xDlSym = DlSym;
    coalescingVfs.xDlClose = DlClose;
    coalescingVfs.xRandomness = Randomness;
    coalescingVfs.xSleep = Sleep;
    coalescingVfs.xCurrentTime = CurrentTime;
    coalescingVfs.xGetLastError = GetLastError;
    coalescingVfs.xCurrentTimeInt64 = CurrentTimeInt64;
    coalescingVfs.xSetSystemCall = SetSystemCall;
    coalescingVfs.xGetSystemCall = GetSystemCall;
    coalescingVfs.xNextSystemCall = NextSystemCall;
  }
  return sqlite3_vfs_register(&coalescingVfs, 1) == SQLITE_OK;
}

}  // namespace store
