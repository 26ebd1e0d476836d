// Helpers for running conversion jobs on temporary trees and map files:
// a notification channel that records into an event log shared with an SQL
// trace of the connection, and a reader for the stored rows.
#pragma once

#include <sqlite3.h>

#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "convert/conversion_job.h"
#include "platform/message_box.h"
#include "platform/notification.h"
#include "store/map_file.h"
#include "store/sqlite_database.h"
#include "temp_tree.h"

namespace convert_test {

// One line per event, in order: "N<code>:<count>" for a notification,
// "SQL:<text>" for a statement the connection ran.
using EventLog = std::vector<std::string>;

// Guards the event log and the recorded notices: the counting pass posts
// from a thread of its own while the worker runs SQL.
inline std::mutex& EventLogMutex() {
  static std::mutex mutex;
  return mutex;
}

class RecordingChannel : public platform::NotificationChannel {
 public:
  explicit RecordingChannel(EventLog* log) : log_(log) {}
  void Post(int code, int count) override {
    {
      std::lock_guard<std::mutex> lock(EventLogMutex());
      notices.push_back({code, count});
      // Appended piece by piece: g++ 12 warns falsely on a literal + std::string here.
      std::string line = "N";
      line += std::to_string(code);
      line += ':';
      line += std::to_string(count);
      log_->push_back(std::move(line));
    }
    if (onPost) onPost(code, count);
  }
  std::vector<platform::Notification> notices;  // everything posted, in order
  std::function<void(int, int)> onPost;          // runs on the poster's thread after recording

 private:
  EventLog* log_;  // not owned
};

struct StoredRow {
  int x, y, z;
  std::string sType;  // typeof(s)
  std::string s;      // s as text
  std::string imageType;  // typeof(image)
  std::string image;  // the image bytes
};

// Every row of `tiles` in map file `path`, ordered by key, read through a
// connection of its own.
inline std::vector<StoredRow> ReadRows(const std::string& path) {
  std::vector<StoredRow> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT x, y, z, typeof(s), s, typeof(image), image FROM tiles ORDER BY x, y, z, s",
                           -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        StoredRow row;
        row.x = sqlite3_column_int(st, 0);
        row.y = sqlite3_column_int(st, 1);
        row.z = sqlite3_column_int(st, 2);
        row.sType = reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
        const unsigned char* s = sqlite3_column_text(st, 4);
        row.s = s ? reinterpret_cast<const char*>(s) : "";
        row.imageType = reinterpret_cast<const char*>(sqlite3_column_text(st, 5));
        const void* blob = sqlite3_column_blob(st, 6);
        row.image.assign(static_cast<const char*>(blob ? blob : ""), sqlite3_column_bytes(st, 6));
        rows.push_back(row);
      }
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return rows;
}

// A map file in a temporary folder, open on `db`, with a job ready to run on
// `source`. Every statement of the connection is traced into `log`, but for
// the job's "PRAGMA cache_size", which only tells SQLite how long it keeps
// the open batch's pages in memory.
struct JobRig {
  explicit JobRig(const std::string& source, int layout) : channel(&log) {
    mapPath = mapFolder.Path("map.cvmap");
    store::CreateMapFileNative(db, mapPath);
    sqlite3_trace_v2(db.handle, SQLITE_TRACE_STMT, &JobRig::Trace, &log);
    job.layout = layout;
    job.sourceFolder = source;
    job.database = &db;
    job.notifications = &channel;
    job.messageBoxes = &boxes;
    job.running = 1;
    job.stopRequested = 0;
  }

  void Run() {
    log.clear();
    channel.notices.clear();
    job.running = 1;
    convert::RunConversion(job);
  }

  // The SQL lines of the log, without the "SQL:" mark.
  std::vector<std::string> Sql() const {
    std::vector<std::string> sql;
    for (const std::string& line : log) {
      if (line.rfind("SQL:", 0) == 0) sql.push_back(line.substr(4));
    }
    return sql;
  }

  static int Trace(unsigned, void* context, void*, void* text) {
    std::lock_guard<std::mutex> lock(EventLogMutex());
    const std::string sql = static_cast<const char*>(text);
    if (sql.rfind("PRAGMA cache_size", 0) != 0) static_cast<EventLog*>(context)->push_back("SQL:" + sql);
    return 0;
  }

  TempTree mapFolder;                      // holds the map file
  std::string mapPath;                     // the map file
  EventLog log;                            // notifications and SQL, in order
  platform::RecordingMessageBox boxes;     // messages of the job and of exec
  SQLite::Database db{&boxes};             // the open map file
  RecordingChannel channel;                // the job's notifications
  convert::ConversionJob job;              // the job under test
};

}  // namespace convert_test
