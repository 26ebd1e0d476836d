#include "store/mbtiles_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/utf.h"

namespace store {

namespace {

// The first bytes of every SQLite database, and where its header says
// whether the file is in WAL mode (the file format's write and read
// versions, both 2 for WAL).
constexpr char kSqliteMagic[] = "SQLite format 3";  // with its terminating zero: 16 bytes
constexpr std::size_t kHeaderBytes = 100;
constexpr std::size_t kWriteVersionAt = 18;
constexpr std::size_t kReadVersionAt = 19;
constexpr unsigned char kWalVersion = 2;

MbtilesOpenResult Result(MbtilesOpenStatus status, std::string detail = "") {
  MbtilesOpenResult result;
  result.status = status;
  result.detail = std::move(detail);
  return result;
}

// What the header of the file at `path` says.
enum class Header { Unreadable, NoDatabase, Rollback, Wal };

Header ReadHeader(const std::string& path, std::string* why) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *why = std::strerror(errno);
    return Header::Unreadable;
  }
  unsigned char header[kHeaderBytes];
  std::size_t got = 0;
  while (got < kHeaderBytes) {
    const ssize_t n = ::read(fd, header + got, kHeaderBytes - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (got == 0) {
    *why = "it is empty";
    return Header::NoDatabase;
  }
  if (got < kHeaderBytes || std::memcmp(header, kSqliteMagic, sizeof kSqliteMagic) != 0) {
    *why = "it is no SQLite database";
    return Header::NoDatabase;
  }
  const bool wal = header[kWriteVersionAt] == kWalVersion && header[kReadVersionAt] == kWalVersion;
  return wal ? Header::Wal : Header::Rollback;
}

bool Exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

// Prepares `sql` to test the schema; on failure sets *code and *text.
bool Prepares(SQLite::Database& db, const char16_t* sql, int* code, std::string* text) {
  try {
    db.prepare(sql);
    return true;
  } catch (const SQLite::Error& error) {
    *code = db.handle != nullptr ? sqlite3_extended_errcode(db.handle) : error.code;
    *text = platform::Utf16ToUtf8(error.message);
    return false;
  }
}

void Reset(SQLite::Database& db) {
  db.close();
  db.isOpen = 0;
}

}  // namespace

MbtilesOpenResult OpenMbtilesForReading(SQLite::Database& db, const std::string& path) {
  Reset(db);
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return Result(MbtilesOpenStatus::Missing, std::strerror(errno));
  if (S_ISDIR(status.st_mode)) return Result(MbtilesOpenStatus::IsFolder);
  if (!S_ISREG(status.st_mode)) return Result(MbtilesOpenStatus::NotRegularFile);
  std::string why;
  const Header header = ReadHeader(path, &why);
  if (header == Header::Unreadable) return Result(MbtilesOpenStatus::NotMbtiles, "cannot read it: " + why);
  if (header == Header::NoDatabase) return Result(MbtilesOpenStatus::NotMbtiles, why);

  const bool immutable = header == Header::Wal && !Exists(path + "-wal");
  const int opened = immutable ? db.openNativeImmutable(path) : db.openNativeReadOnly(path);
  if (opened != SQLITE_OK) {
    const std::string text = db.handle != nullptr ? sqlite3_errmsg(db.handle) : sqlite3_errstr(opened);
    Reset(db);
    return Result(MbtilesOpenStatus::NotMbtiles, "cannot open it: " + text);
  }
  int code = SQLITE_OK;
  std::string text;
  const char* missing = nullptr;
  if (!Prepares(db, kMbtilesProbeTilesSql, &code, &text)) {
    missing = "no table or view tiles(zoom_level, tile_column, tile_row, tile_data)";
  } else if (!Prepares(db, kMbtilesProbeMetadataSql, &code, &text)) {
    missing = "no table metadata(name, value)";
  }
  if (missing == nullptr) return Result(MbtilesOpenStatus::Ready);
  Reset(db);
  if ((code & 0xff) == SQLITE_BUSY) return Result(MbtilesOpenStatus::Busy, text);
  if (code == SQLITE_READONLY_ROLLBACK || code == SQLITE_READONLY_RECOVERY) {
    return Result(MbtilesOpenStatus::Unfinished, text);
  }
  if ((code & 0xff) == SQLITE_NOTADB || (code & 0xff) == SQLITE_CORRUPT) {
    return Result(MbtilesOpenStatus::NotMbtiles, "it is no SQLite database (" + text + ")");
  }
  return Result(MbtilesOpenStatus::NotMbtiles, std::string("it has ") + missing + " (" + text + ")");
}

bool IsMbtilesFile(const std::string& path) {
  SQLite::Database db;
  const bool ready = OpenMbtilesForReading(db, path).status == MbtilesOpenStatus::Ready;
  db.close();
  return ready;
}

MbtilesKey ReadMbtilesKey(sqlite3_stmt* statement) {
  MbtilesKey key;
  key.zoomInteger = sqlite3_column_type(statement, 0) == SQLITE_INTEGER;
  key.placeInteger =
      sqlite3_column_type(statement, 1) == SQLITE_INTEGER && sqlite3_column_type(statement, 2) == SQLITE_INTEGER;
  key.zoom = sqlite3_column_int64(statement, 0);
  key.column = sqlite3_column_int64(statement, 1);
  key.row = sqlite3_column_int64(statement, 2);
  return key;
}

MbtilesReader::MbtilesReader(SQLite::Database& database) : database_(database) {}

std::optional<long long> MbtilesReader::CountRows() {
  return CountOf(database_, kMbtilesCountSql, &error_);  // throws SQLite::Error
}

MbtilesReader::Step MbtilesReader::Next() {
  if (!rows_) rows_ = database_.prepare(kMbtilesSelectTilesSql);  // throws SQLite::Error
  sqlite3_stmt* statement = rows_->handle;
  const int rc = sqlite3_step(statement);
  if (rc == SQLITE_DONE) return Step::End;
  if (rc != SQLITE_ROW) {
    error_.Note(database_, rc);
    return Step::Failed;
  }
  key_ = ReadMbtilesKey(statement);
  if (sqlite3_column_type(statement, 3) == SQLITE_NULL) {
    data_ = nullptr;
    size_ = 0;
    return Step::Row;
  }
  // The pointer is taken before the length, as SQLite asks. An empty blob
  // has a null pointer: it is given as an empty image, not as NULL.
  static const unsigned char kEmpty = 0;
  const void* blob = sqlite3_column_blob(statement, 3);
  size_ = static_cast<std::size_t>(sqlite3_column_bytes(statement, 3));
  data_ = blob != nullptr ? static_cast<const unsigned char*>(blob) : &kEmpty;
  if (blob == nullptr && sqlite3_errcode(database_.handle) == SQLITE_NOMEM) {
    error_.Note(database_, SQLITE_NOMEM);
    return Step::Failed;
  }
  return Step::Row;
}

}  // namespace store
