// cvmap create MAP: the window's create command on the command line. Opens
// (or creates) MAP, runs the map file's three creation statements whatever
// their results, then recognises the file as the window's refresh does.
// SQLite's messages go to stderr through the message-box service, each
// reason once (every statement on a file that is no database fails alike);
// the last line names the file.
#include <cstdio>
#include <set>
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

// Passes each of SQLite's reasons on once: a failing statement's "SQLite
// error: <reason>" and the recognition's bare "<reason>" count as one.
class EachReasonOnce : public platform::MessageBoxService {
 public:
  explicit EachReasonOnce(platform::MessageBoxService& sink) : sink_(sink) {}
  void Show(const std::u16string& text, platform::MessageStyle style) override {
    std::u16string reason = text;
    const std::u16string execPrefix = SQLite::FormatExecError(u"");
    if (reason.rfind(execPrefix, 0) == 0) reason.erase(0, execPrefix.size());
    if (shown_.insert(reason).second) sink_.Show(text, style);
  }

 private:
  platform::MessageBoxService& sink_;  // not owned
  std::set<std::u16string> shown_;     // the reasons passed on
};

}  // namespace

int RunCreate(const std::vector<std::string>& args) {
  Arguments parsed;
  int exitCode = kExitOk;
  if (!ParseCommandLine(args, kCreateUsage, &parsed, &exitCode)) return exitCode;
  const std::string& path = parsed.Operands()[0];
  platform::StderrMessageBox stderrBoxes(kMessagePrefix);
  EachReasonOnce boxes(stderrBoxes);
  SQLite::Database db(&boxes);
  const store::MapCreateResult result = store::CreateMapFileCommand(db, path, boxes);
  switch (result.status) {
    case store::MapCreateStatus::Ready:
      break;
    case store::MapCreateStatus::IsFolder:
      PrintError(Printable(path) + " is a folder, not a map file");
      return kExitBadInput;
    case store::MapCreateStatus::CannotOpen:
      PrintError("cannot open " + Printable(path) + " to create it: " + result.detail);
      return kExitFailure;
    case store::MapCreateStatus::Busy: {
      store::MapOpenResult busy;
      busy.status = store::MapOpenStatus::Busy;
      busy.detail = result.detail;
      PrintErrors(MapRefusal(busy, path).lines);
      return kExitFailure;
    }
    case store::MapCreateStatus::NotAMap:
      PrintError(Printable(path) + " is not a map file; it was left unchanged");
      return kExitBadInput;
    case store::MapCreateStatus::StatementFailed:
      PrintError("a creation statement failed on " + Printable(path));
      return kExitFailure;
  }
  std::printf("map file ready: %s\n", path.c_str());
  return kExitOk;
}

}  // namespace cli
