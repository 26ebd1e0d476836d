// cvmap create MAP: the window's create command on the command line. Opens
// (or creates) MAP, runs the map file's three creation statements whatever
// their results, then recognises the file as the window's refresh does.
// SQLite's messages go to stderr through the message-box service.
#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "platform/file_io.h"
#include "platform/message_box.h"
#include "store/map_file.h"
#include "store/sqlite_database.h"

namespace cli {

int RunCreate(const std::vector<std::string>& args) {
  std::string path;
  int exitCode = kExitOk;
  if (!TakeOneOperand(args, "create MAP", &path, &exitCode)) return exitCode;
  if (platform::IsDirectory(path)) {
    PrintError(path + " is a folder, not a map file");
    return kExitBadInput;
  }

  platform::StderrMessageBox boxes(kMessagePrefix);
  SQLite::Database db(&boxes);
  const bool created = store::CreateMapFileNative(db, path);
  if (!created && db.isOpen == 0) {
    const char* reason = db.handle != nullptr ? sqlite3_errmsg(db.handle) : "out of memory";
    PrintError("cannot open " + path + ": " + reason);
    return kExitFailure;
  }
  // As the window does after creating: close, reopen and recognise.
  const bool isMap = store::RecogniseMapFileNative(db, path, boxes);
  db.close();
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
