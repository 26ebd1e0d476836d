#include "store/sqlite_database.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <thread>

#include <memory>
#include <mutex>

#include "platform/utf.h"
#include "store/coalescing_vfs.h"

namespace SQLite {

using store::UseCoalescingVfs;

namespace {

// The SQLite library is initialised while any Database exists. Counting the
// objects keeps a second Database (the command line, tests) from shutting the
// library down under the first.
std::mutex libraryMutex;
int libraryUsers = 0;  // live Database objects

void AcquireLibrary() {
  std::lock_guard<std::mutex> lock(libraryMutex);
  if (libraryUsers++ == 0) {
    sqlite3_initialize();
    UseCoalescingVfs();  // without it, SQLite writes page by page as the system's layer does
  }
}

void ReleaseLibrary() {
  std::lock_guard<std::mutex> lock(libraryMutex);
  if (--libraryUsers == 0) sqlite3_shutdown();
}

// The system library accepts URI file names. A relative file name that reads
// as a URI ("file:...") or as the in-memory name would then not name the
// file; "./" in front keeps it a plain file name of the same file.
template <typename CharT>
std::basic_string<CharT> PlainFileName(const std::basic_string<CharT>& path) {
  static constexpr CharT kFile[] = {'f', 'i', 'l', 'e', ':', 0};
  static constexpr CharT kMemory[] = {':', 'm', 'e', 'm', 'o', 'r', 'y', ':', 0};
  static constexpr CharT kDotSlash[] = {'.', '/', 0};
  if (path.rfind(kFile, 0) == 0 || path == kMemory) return kDotSlash + path;
  return path;
}

// Pauses between two tries for a lock, in milliseconds: short at first, so
// that a lock held for a moment costs little, then 100 ms at a time.
constexpr int kBusyPauses[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};

}  // namespace

int Database::WaitForLock(void* context, int tries) {
  auto* self = static_cast<Database*>(context);
  const std::atomic<int>* stop = self->busyStop_.load();
  if (stop != nullptr && stop->load() != 0) return 0;  // asked to stop: give up at once
  const auto now = std::chrono::steady_clock::now();
  if (tries == 0) self->busySince_ = now;
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - self->busySince_);
  if (waited >= kBusyTimeout) return 0;
  const int pause = kBusyPauses[std::min<std::size_t>(tries, std::size(kBusyPauses) - 1)];
  const std::chrono::milliseconds step =
      std::min(std::chrono::milliseconds(pause), kBusyTimeout - waited);
  // Slept in pieces of at most 10 ms, so that a stop ends the wait soon.
  for (auto left = step; left.count() > 0; left -= std::chrono::milliseconds(10)) {
    std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
    if (stop != nullptr && stop->load() != 0) return 0;
  }
  return 1;
}

// Gives a connection that SQLite handed out (also one it opened with an
// error, which close() releases later) the wait for locks.
void Database::WaitForLocks() {
  if (handle != nullptr) sqlite3_busy_handler(handle, &Database::WaitForLock, this);
}

namespace {

platform::MessageBoxService& FallbackMessageBoxes() {
  static platform::StderrMessageBox sink;
  return sink;
}

}  // namespace

std::u16string FormatExecError(const std::u16string& sqliteText) {
  std::u16string text = kExecErrorFormat;
  const auto at = text.find(u"%s");
  text.replace(at, 2, sqliteText);
  return text;
}

Database::Database(platform::MessageBoxService* messageBoxes) : messageBoxes_(messageBoxes) {
  AcquireLibrary();
}

Database::~Database() {
  close();
  sqlite3_free(errorText);
  errorText = nullptr;
  ReleaseLibrary();
}

void Database::setMessageBoxes(platform::MessageBoxService* messageBoxes) {
  messageBoxes_ = messageBoxes;
}

int Database::open(const std::u16string& newPath) {
  if (handle != nullptr) close();
  path = newPath;
  const std::u16string name = PlainFileName(newPath);
  const int rc = sqlite3_open16(name.c_str(), &handle);
  WaitForLocks();
  if (rc == SQLITE_OK) isOpen = 1;
  return rc;
}

int Database::openWith(const std::string& nativePath, const std::string& sqliteName, int flags) {
  if (handle != nullptr) close();
  path = platform::Utf8ToUtf16(nativePath);
  const int rc = sqlite3_open_v2(sqliteName.c_str(), &handle, flags, nullptr);
  WaitForLocks();
  if (rc == SQLITE_OK) isOpen = 1;
  return rc;
}

int Database::openNative(const std::string& nativePath) {
  return openWith(nativePath, PlainFileName(nativePath), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

int Database::openNativeReadOnly(const std::string& nativePath) {
  return openWith(nativePath, PlainFileName(nativePath), SQLITE_OPEN_READONLY);
}

int Database::openNativeImmutable(const std::string& nativePath) {
  // The flag can only be given in a URI: every byte but the unreserved ones
  // and '/' is written as %XX, so any native path names the same file.
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (const char c : nativePath) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                       byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/';
    if (plain) {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 0xf];
    }
  }
  uri += "?immutable=1";
  return openWith(nativePath, uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
}

int Database::close() {
  if (handle == nullptr) return 0;
  // Copies of statements that outlive the close must not finalise again.
  for (detail::StatementShare* share : liveStatements_) share->finalized = true;
  liveStatements_.clear();
  while (sqlite3_stmt* stmt = sqlite3_next_stmt(handle, nullptr)) sqlite3_finalize(stmt);
  const int rc = sqlite3_close(handle);
  // With every statement finalised the close cannot be kept busy by them; if
  // it fails anyway, hand the connection to SQLite to free when it can.
  if (rc != SQLITE_OK) sqlite3_close_v2(handle);
  handle = nullptr;
  inTransaction = 0;
  return rc;
}

int Database::exec(const std::u16string& sql) {
  if (isOpen == 0) return 0;
  sqlite3_free(errorText);
  errorText = nullptr;
  const std::string utf8 = platform::Utf16ToUtf8(sql);
  const int rc = sqlite3_exec(handle, utf8.c_str(), nullptr, nullptr, &errorText);
  if (rc != SQLITE_OK) {
    const char* reason = errorText != nullptr ? errorText : sqlite3_errstr(rc);
    platform::MessageBoxService& boxes =
        messageBoxes_ != nullptr ? *messageBoxes_ : FallbackMessageBoxes();
    boxes.Show(FormatExecError(platform::Utf8ToUtf16(reason)), platform::MessageStyle::Exclamation);
  }
  return rc;
}

Statement Database::prepare(const std::u16string& sql) {
  if (handle == nullptr) throw Error{SQLITE_MISUSE, u"no database is open", this};
  sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare16_v2(handle, sql.c_str(), -1, &stmt, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);  // null on failure; finalize(null) is a no-op
    Error error;
    error.code = sqlite3_errcode(handle);
    const void* message = sqlite3_errmsg16(handle);
    if (message != nullptr) error.message = static_cast<const char16_t*>(message);
    error.database = this;
    throw error;
  }
  auto share = std::make_unique<detail::StatementShare>();
  liveStatements_.insert(share.get());
  return Statement(this, stmt, share.release());
}

int Database::rollback() {
  if (inTransaction == 0) return 0;
  inTransaction = 0;
  return exec(kRollbackSql);
}

}  // namespace SQLite
