#include "convert/probe.h"

#include <cassert>

#include "convert/layouts.h"
#include "convert/tile_matcher.h"
#include "platform/folder_search.h"
#include "platform/walk_guard.h"

namespace convert {

namespace {

// The probe's descent: one folder per level, first subfolder first, until
// the first file. `guard` holds the folders of the descent so far.
bool ProbeFolder(const std::string& path, const std::string& sourcePath, bool autoDetect,
                 int* layoutChoice, std::string* decidingFile, platform::WalkGuard& guard) {
  std::string next;  // the subfolder to descend into, or the file that decides
  bool isFile = false;
  {
    platform::FolderSearch search;
    if (!search.Open(path, platform::EntryDetail::KindOnly)) return true;  // unreadable: accepted
    platform::WalkGuard::Scope scope(guard, search.FolderDevice(), search.FolderInode());
    if (!scope.Entered()) return true;  // a link back up the descent: accepted like an empty folder
    platform::FolderEntry entry;
    bool found = false;
    while (!found && search.Next(&entry)) {
      if (entry.isDirectory && (entry.name == "." || entry.name == "..")) continue;
      next = JoinPath(path, entry.name);
      isFile = !entry.isDirectory;
      found = true;
    }
    if (!found) return true;  // no entry besides "." and "..": accepted
    // The search closes here, before the probe descends or tests.
    if (!isFile) {
      search.Close();
      return ProbeFolder(next, sourcePath, autoDetect, layoutChoice, decidingFile, guard);
    }
  }

  if (decidingFile != nullptr) *decidingFile = next;
  const std::u16string relative = RelativePath(next, sourcePath);
  if (TileMatcher(kGeoKukPattern).Matches(relative)) {
    if (autoDetect) *layoutChoice = LayoutGeoKuk;
    return true;
  }
  if (TileMatcher(kOsmTrackerStorageProbePattern).Matches(relative)) {
    if (autoDetect) *layoutChoice = LayoutOsmTrackerStorage;
    return true;
  }
  return false;
}

}  // namespace

bool ProbeSourceFolder(const std::string& path, const std::string& sourcePath, bool autoDetect,
                       int* layoutChoice, std::string* decidingFile) {
  assert(layoutChoice != nullptr);
  if (decidingFile != nullptr) decidingFile->clear();
  platform::WalkGuard guard;
  return ProbeFolder(path, sourcePath, autoDetect, layoutChoice, decidingFile, guard);
}

ProbeOutcome ProbeSource(const std::string& sourcePath, int* layoutChoice) {
  ProbeOutcome outcome;
  outcome.accepted = ProbeSourceFolder(sourcePath, sourcePath, true, layoutChoice, &outcome.decidingFile);
  return outcome;
}

}  // namespace convert
