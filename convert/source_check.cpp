#include "convert/source_check.h"

#include <cerrno>
#include <cstring>

#include "convert/layouts.h"
#include "platform/file_io.h"
#include "platform/folder_search.h"
#include "store/mbtiles_reader.h"
#include "store/sqlite_database.h"

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

// The check of a source that must be an MBTiles file.
SourceCheck CheckMbtiles(const std::string& source) {
  SourceCheck check;
  SQLite::Database db;
  const store::MbtilesOpenResult opened = store::OpenMbtilesForReading(db, source);
  db.close();
  switch (opened.status) {
    case store::MbtilesOpenStatus::Ready:
      check.layout = LayoutMbtiles;
      return check;
    case store::MbtilesOpenStatus::Missing:
      check.status = SourceStatus::NotAFolder;
      return check;
    case store::MbtilesOpenStatus::Busy:
      check.status = SourceStatus::Busy;
      break;
    case store::MbtilesOpenStatus::IsFolder:
      check.status = SourceStatus::NotMbtiles;
      check.reason = "it is a folder";
      return check;
    case store::MbtilesOpenStatus::NotRegularFile:
      check.status = SourceStatus::NotMbtiles;
      check.reason = "it is not a regular file";
      return check;
    case store::MbtilesOpenStatus::Unfinished:
      check.status = SourceStatus::NotMbtiles;
      check.reason = "a write of the program that made it was cut short (" + opened.detail +
                     "); open it once with that program";
      return check;
    case store::MbtilesOpenStatus::NotMbtiles:
      check.status = SourceStatus::NotMbtiles;
      break;
  }
  check.reason = opened.detail;
  return check;
}

}  // namespace

int SourceLayoutFor(const std::string& source, int chosen) {
  return platform::IsRegularFile(source) ? LayoutMbtiles : chosen;
}

SourceCheck CheckSource(const std::string& source, int layout) {
  const bool file = platform::IsRegularFile(source);
  if (layout == LayoutMbtiles || (layout == kDetectLayout && file)) return CheckMbtiles(source);
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
