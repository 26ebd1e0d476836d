#include "store/map_file_open.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/file_io.h"
#include "platform/message_box.h"
#include "platform/utf.h"
#include "store/map_file.h"

namespace store {

namespace {

// Takes the database's exec messages for as long as it lives, so that an
// open reports one clear reason instead of SQLite's lines one by one.
class HeldMessages {
 public:
  explicit HeldMessages(SQLite::Database& db) : db_(db), previous_(db.messageBoxes()) {
    db_.setMessageBoxes(&held_);
  }
  ~HeldMessages() { db_.setMessageBoxes(previous_); }
  HeldMessages(const HeldMessages&) = delete;
  HeldMessages& operator=(const HeldMessages&) = delete;

  platform::MessageBoxService& Boxes() { return held_; }
  // The text of the first message held, with the "SQLite error: " of a
  // failing exec removed; "" when none.
  std::string FirstText() const {
    const auto messages = held_.Messages();
    if (messages.empty()) return "";
    std::u16string text = messages.front().text;
    const std::u16string prefix = SQLite::FormatExecError(u"");
    if (text.rfind(prefix, 0) == 0) text.erase(0, prefix.size());
    return platform::Utf16ToUtf8(text);
  }

 private:
  SQLite::Database& db_;                       // not owned
  platform::MessageBoxService* previous_;      // restored on destruction; not owned
  platform::RecordingMessageBox held_;         // what the statements showed
};

int ErrorCode(const SQLite::Database& db) {
  return db.handle != nullptr ? sqlite3_errcode(db.handle) : SQLITE_NOMEM;
}

int ExtendedErrorCode(const SQLite::Database& db) {
  return db.handle != nullptr ? sqlite3_extended_errcode(db.handle) : SQLITE_NOMEM;
}

std::string ErrorText(const SQLite::Database& db) {
  return db.handle != nullptr ? sqlite3_errmsg(db.handle) : sqlite3_errstr(SQLITE_NOMEM);
}

MapOpenResult Result(MapOpenStatus status, std::string detail = "", std::string folder = "") {
  return MapOpenResultOf(status, std::move(detail), std::move(folder));
}

void Reset(SQLite::Database& db) {
  db.close();
  db.isOpen = 0;
}

// The folder that holds `path`, as a path to give the system ("." for a
// bare file name).
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// A failed recognition: busy, or the file is no map file.
MapOpenResult Refused(const SQLite::Database& db, const HeldMessages& held) {
  if (ErrorCode(db) == SQLITE_BUSY) return Result(MapOpenStatus::Busy, ErrorText(db));
  return Result(MapOpenStatus::NotAMap, held.FirstText());
}

// Creates the schema in the missing or empty file `path`.
MapOpenResult Create(SQLite::Database& db, const std::string& path) {
  Reset(db);
  {
    HeldMessages held(db);
    if (!CreateMapFileNativeInOneTransaction(db, path)) {
      if (ErrorCode(db) == SQLITE_BUSY) return Result(MapOpenStatus::Busy, ErrorText(db));
      std::string sqliteText = held.FirstText();
      if (sqliteText.empty()) sqliteText = ErrorText(db);
      std::string folder;
      std::string reason = CreateFailureReason(path, sqliteText, &folder);
      Reset(db);
      return Result(MapOpenStatus::CannotCreate, reason, folder);
    }
  }
  Reset(db);
  HeldMessages held(db);
  if (!RecogniseMapFileNative(db, path, held.Boxes())) return Refused(db, held);
  MapOpenResult result = CheckDatabaseWritable(db, path);
  result.created = result.status == MapOpenStatus::Ready;
  return result;
}

}  // namespace

MapOpenResult MapOpenResultOf(MapOpenStatus status, std::string detail, std::string folder) {
  MapOpenResult result;
  result.status = status;
  result.detail = std::move(detail);
  result.folder = std::move(folder);
  return result;
}

MapOpenResult CheckDatabaseWritable(SQLite::Database& db, const std::string& path) {
  if (sqlite3_db_readonly(db.handle, "main") == 1) {
    return Result(MapOpenStatus::ReadOnly, sqlite3_errstr(SQLITE_READONLY));
  }
  const std::string folder = FolderOf(path);
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    return Result(MapOpenStatus::FolderReadOnly, std::strerror(errno), FolderOf(path));
  }
  // Takes the lock a commit needs and gives it back at once: waits (busy
  // timeout) while another connection writes or reads.
  const int rc = sqlite3_exec(db.handle, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    const std::string text = ErrorText(db);
    if (sqlite3_get_autocommit(db.handle) == 0) sqlite3_exec(db.handle, "ROLLBACK;", nullptr, nullptr, nullptr);
    if ((rc & 0xff) == SQLITE_BUSY) return Result(MapOpenStatus::Busy, text);
    if ((rc & 0xff) == SQLITE_READONLY) return Result(MapOpenStatus::ReadOnly, text);
    return Result(MapOpenStatus::CannotWrite, text);
  }
  sqlite3_exec(db.handle, "ROLLBACK;", nullptr, nullptr, nullptr);
  return Result(MapOpenStatus::Ready);
}

MapOpenResult OpenMapFileForWriting(SQLite::Database& db, const std::string& path) {
  struct stat status {};
  const bool exists = ::stat(path.c_str(), &status) == 0;
  if (exists && S_ISDIR(status.st_mode)) return Result(MapOpenStatus::IsFolder);
  if (exists && !S_ISREG(status.st_mode)) return Result(MapOpenStatus::NotRegularFile);
  if (!exists || status.st_size == 0) return Create(db, path);

  {
    // Read-only first: a file that is no map file is only ever read. A hot
    // journal cannot be rolled back read-only; such a file goes on to the
    // read-write recognition, which restores its last committed state.
    HeldMessages held(db);
    if (!RecogniseMapFileReadOnly(db, path, held.Boxes())) {
      const int code = ExtendedErrorCode(db);
      if (code != SQLITE_READONLY_ROLLBACK && code != SQLITE_READONLY_RECOVERY) {
        MapOpenResult refused = Refused(db, held);
        Reset(db);
        return refused;
      }
    }
  }
  HeldMessages held(db);
  if (!RecogniseMapFileNative(db, path, held.Boxes())) {
    // A file whose creation was cut short is empty again once its journal
    // is rolled back, and is created like a missing one.
    if (ErrorCode(db) != SQLITE_BUSY && ::stat(path.c_str(), &status) == 0 && status.st_size == 0) {
      return Create(db, path);
    }
    MapOpenResult refused = Refused(db, held);
    Reset(db);
    return refused;
  }
  MapOpenResult result = CheckDatabaseWritable(db, path);
  if (result.status != MapOpenStatus::Ready) Reset(db);
  return result;
}

MapOpenResult OpenMapFileForReading(SQLite::Database& db, const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return Result(MapOpenStatus::Missing, std::strerror(errno));
  if (S_ISDIR(status.st_mode)) return Result(MapOpenStatus::IsFolder);
  if (!S_ISREG(status.st_mode)) return Result(MapOpenStatus::NotRegularFile);
  // A writer whose write failed rolls its journal back a moment later (a
  // conversion does at once): a journal is waited for a while before the
  // file is called unfinished, as a lock would be.
  const auto giveUp = std::chrono::steady_clock::now() + kUnfinishedWait;
  for (;;) {
    HeldMessages held(db);
    if (RecogniseMapFileReadOnly(db, path, held.Boxes())) return Result(MapOpenStatus::Ready);
    const int code = ExtendedErrorCode(db);
    const std::atomic<int>* stop = db.busyStop();
    const bool stopped = stop != nullptr && stop->load() != 0;
    if (code != SQLITE_READONLY_ROLLBACK || stopped || std::chrono::steady_clock::now() >= giveUp) {
      MapOpenResult refused = code == SQLITE_READONLY_ROLLBACK ? Result(MapOpenStatus::Unfinished, ErrorText(db))
                                                               : Refused(db, held);
      Reset(db);
      return refused;
    }
    Reset(db);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string CreateFailureReason(const std::string& path, const std::string& sqliteText, std::string* folder) {
  assert(folder != nullptr);
  folder->clear();
  // SQLite only says that it could not open the file; the folder tells why.
  const std::string parent = FolderOf(path);
  if (::access(parent.c_str(), W_OK | X_OK) != 0) {
    *folder = FolderOf(path);
    return *folder + ": " + std::strerror(errno);
  }
  return sqliteText;
}

MapCreateResult CreateMapFileCommand(SQLite::Database& db, const std::string& path,
                                     platform::MessageBoxService& boxes) {
  MapCreateResult result;
  if (platform::IsDirectory(path)) {
    result.status = MapCreateStatus::IsFolder;
    return result;
  }
  const bool created = CreateMapFileNative(db, path);
  if (!created && db.isOpen == 0) {
    std::string folder;
    const std::string sqliteText = db.handle != nullptr ? sqlite3_errmsg(db.handle) : "out of memory";
    result.status = MapCreateStatus::CannotOpen;
    result.detail = CreateFailureReason(path, sqliteText, &folder);
    db.close();
    return result;
  }
  const bool busy = db.handle != nullptr && sqlite3_errcode(db.handle) == SQLITE_BUSY;
  // As the window does after creating: close, reopen and recognise.
  const bool isMap = RecogniseMapFileNative(db, path, boxes);
  const bool busyNow = db.handle != nullptr && sqlite3_errcode(db.handle) == SQLITE_BUSY;
  db.close();
  if (busy || busyNow) {
    result.status = MapCreateStatus::Busy;
    result.detail = sqlite3_errstr(SQLITE_BUSY);
  } else if (!isMap) {
    result.status = MapCreateStatus::NotAMap;
  } else if (!created) {
    result.status = MapCreateStatus::StatementFailed;
  }
  return result;
}

}  // namespace store
