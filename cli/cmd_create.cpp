// cvmap create MAP: the window's create command on the command line. Opens
// (or creates) MAP, runs the map file's three creation statements whatever
// their results, then recognises the file as the window's refresh does.
// SQLite's messages go to stderr through the message-box service; the last
// line names the file.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/help_text.h"
#include "cli/messages.h"
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
  platform::StderrMessageBox boxes(kMessagePrefix);
  SQLite::Database db(&boxes);
  const store::MapCreateResult result = store::CreateMapFileCommand(db, path, boxes);
  switch (result.status) {
    case store::MapCreateStatus::Ready:
      break;
    case store::MapCreateStatus::IsFolder:
      PrintError(path + " is a folder, not a map file");
      return kExitBadInput;
    case store::MapCreateStatus::CannotOpen:
      PrintError("cannot open " + path + " to create it: " + result.detail);
      return kExitFailure;
    case store::MapCreateStatus::Busy: {
      store::MapOpenResult busy;
      busy.status = store::MapOpenStatus::Busy;
      busy.detail = result.detail;
      PrintErrors(MapRefusal(busy, path).lines);
      return kExitFailure;
    }
    case store::MapCreateStatus::NotAMap:
      PrintError(path + " is not a map file; it was left unchanged");
      return kExitBadInput;
    case store::MapCreateStatus::StatementFailed:
      PrintError("a creation statement failed on " + path);
      return kExitFailure;
  }
  std::printf("map file ready: %s\n", path.c_str());
  return kExitOk;
}

}  // namespace cli
