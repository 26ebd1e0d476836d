#include "convert/source_check.h"

#include <cerrno>
#include <cstring>

#include "platform/file_io.h"
#include "platform/folder_search.h"

namespace convert {

namespace {

// True when `source` can be listed; else *reason says why.
bool CanList(const std::string& source, std::string* reason) {
  platform::FolderSearch search;
  errno = 0;
  if (search.Open(source, platform::EntryDetail::KindOnly)) return true;
  *reason = errno != 0 ? std::strerror(errno) : "it cannot be listed";
  return false;
}

}  // namespace

SourceCheck CheckSource(const std::string& source, int layout) {
  SourceCheck check;
  if (!platform::IsDirectory(source)) {
    check.status = SourceStatus::NotAFolder;
    return check;
  }
  // A source folder that cannot be listed would convert as an empty folder
  // and report success.
  if (!CanList(source, &check.reason)) {
    check.status = SourceStatus::Unreadable;
    return check;
  }
  if (layout != kDetectLayout) {
    check.layout = layout;
    return check;
  }
  int detected = kDetectLayout;
  check.probe = ProbeSource(source, &detected);
  if (check.probe.accepted && detected != kDetectLayout) {
    check.layout = detected;
    return check;
  }
  if (check.probe.folderEmpty) {
    check.status = SourceStatus::Empty;
    return check;
  }
  check.status = check.probe.accepted ? SourceStatus::NoLayout : SourceStatus::Refused;
  check.hints = SuggestSourceFolders(source, kMaxSourceHints);
  return check;
}

}  // namespace convert
