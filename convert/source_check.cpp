#include "convert/source_check.h"

#include <cerrno>
#include <cstring>

#include "platform/file_io.h"
#include "platform/folder_search.h"

namespace convert {

namespace {

// Lists `source` once: whether it can be listed (else *reason) and whether
// it holds any entry besides "." and "..".
bool ListOnce(const std::string& source, bool* empty, std::string* reason) {
  platform::FolderSearch search;
  errno = 0;
  if (!search.Open(source, platform::EntryDetail::KindOnly)) {
    *reason = errno != 0 ? std::strerror(errno) : "it cannot be listed";
    return false;
  }
  platform::FolderEntry entry;
  *empty = true;
  while (*empty && search.Next(&entry)) {
    if (!(entry.isDirectory && (entry.name == "." || entry.name == ".."))) *empty = false;
  }
  return true;
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
  if (!ListOnce(source, &check.folderEmpty, &check.reason)) {
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
  if (check.folderEmpty) {
    check.status = SourceStatus::Empty;
    return check;
  }
  check.status = check.probe.accepted ? SourceStatus::NoLayout : SourceStatus::Refused;
  return check;
}

}  // namespace convert
