// cvmap create MAP: the window's create command on the command line. Opens
// (or creates) MAP, runs the map file's three creation statements whatever
// their results, then recognises the file as the window's refresh does.
// SQLite's messages go to stderr through the message-box service; the last
// line names the file.
#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/help_text.h"
#include "cli/messages.h"
#include "platform/file_io.h"
#include "platform/message_box.h"
#include "store/map_file.h"
#include "store/map_file_open.h"
#include "store/sqlite_database.h"

namespace cli {

namespace {
const Usage kCreateUsage{"create", "create MAP", kCreateHelp, {}, 1};
}  // namespace

int RunCreate(const std::vector<std::string>& args) {
  Arguments parsed;
  int exitCode = kExitOk;
  if (!ParseCommandLine(args, kCreateUsage, &parsed, &exitCode)) return exitCode;
  const std::string& path = parsed.Operands()[0];
  if (platform::IsDirectory(path)) {
    PrintError(path + " is a folder, not a map file");
    return kExitBadInput;
  }

  platform::StderrMessageBox boxes(kMessagePrefix);
  SQLite::Database db(&boxes);
  const bool created = store::CreateMapFileNative(db, path);
  if (!created && db.isOpen == 0) {
    std::string folder;
    const std::string sqliteText = db.handle != nullptr ? sqlite3_errmsg(db.handle) : "out of memory";
    PrintError("cannot open " + path + " to create it: " + store::CreateFailureReason(path, sqliteText, &folder));
    return kExitFailure;
  }
  const bool busy = db.handle != nullptr && sqlite3_errcode(db.handle) == SQLITE_BUSY;
  // As the window does after creating: close, reopen and recognise.
  const bool isMap = store::RecogniseMapFileNative(db, path, boxes);
  const bool busyNow = db.handle != nullptr && sqlite3_errcode(db.handle) == SQLITE_BUSY;
  db.close();
  if (busy || busyNow) {
    store::MapOpenResult result;
    result.status = store::MapOpenStatus::Busy;
    result.detail = sqlite3_errstr(SQLITE_BUSY);
    PrintErrors(MapRefusal(result, path).lines);
    return kExitFailure;
  }
  if (!isMap) {
    PrintError(path + " is not a map file; it was left unchanged");
    return kExitBadInput;
  }
  if (!created) {
    PrintError("a creation statement failed on " + path);
    return kExitFailure;
  }
  std::printf("map file ready: %s\n", path.c_str());
  return kExitOk;
}

}  // namespace cli
