#include "convert/probe.h"

#include <cassert>

#include "convert/layouts.h"
#include "convert/source_paths.h"
#include "convert/tile_matcher.h"
#include "platform/file_io.h"
#include "platform/folder_search.h"
#include "platform/walk_guard.h"
#include "store/mbtiles_reader.h"

namespace convert {

namespace {

// The probe's descent: one folder per level, first subfolder first, until
// the first file. `guard` holds the folders of the descent so far. *empty
// (when not null) tells whether `path` itself held no entry.
bool ProbeFolder(const std::string& path, const std::string& sourcePath, bool autoDetect,
                 int* layoutChoice, std::string* decidingFile, platform::WalkGuard& guard,
                 bool* empty = nullptr) {
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
      // "." and "..", and hidden names: the ".nomedia" of a phone's tile
      // folder and the ".DS_Store" of a copied tree sort first, but say
      // nothing about the layout.
      if (IsHiddenName(entry.name)) continue;
      next = JoinPath(path, entry.name);
      isFile = !entry.isDirectory;
      found = true;
    }
    if (!found) {  // no entry besides hidden ones: accepted
      if (empty != nullptr) *empty = true;
      return true;
    }
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

namespace {

// A source that is a file: an MBTiles file is detected as one (and is the
// deciding file). Any other file is accepted as a folder that cannot be
// searched is, with no layout; the job then says why it cannot read it.
bool ProbeFile(const std::string& path, bool autoDetect, int* layoutChoice, std::string* decidingFile) {
  if (!store::IsMbtilesFile(path)) return true;
  if (decidingFile != nullptr) *decidingFile = path;
  if (autoDetect) *layoutChoice = LayoutMbtiles;
  return true;
}

}  // namespace

bool ProbeSourceFolder(const std::string& path, const std::string& sourcePath, bool autoDetect,
                       int* layoutChoice, std::string* decidingFile) {
  assert(layoutChoice != nullptr);
  if (decidingFile != nullptr) decidingFile->clear();
  if (platform::IsRegularFile(path)) return ProbeFile(path, autoDetect, layoutChoice, decidingFile);
  platform::WalkGuard guard;
  return ProbeFolder(path, sourcePath, autoDetect, layoutChoice, decidingFile, guard);
}

ProbeOutcome ProbeSource(const std::string& sourcePath, int* layoutChoice) {
  assert(layoutChoice != nullptr);
  ProbeOutcome outcome;
  if (platform::IsRegularFile(sourcePath)) {
    outcome.accepted = ProbeFile(sourcePath, true, layoutChoice, &outcome.decidingFile);
    return outcome;
  }
  platform::WalkGuard guard;
  outcome.accepted =
      ProbeFolder(sourcePath, sourcePath, true, layoutChoice, &outcome.decidingFile, guard, &outcome.folderEmpty);
  outcome.tileMapResource = platform::IsRegularFile(JoinPath(sourcePath, kTileMapResourceName));
  return outcome;
}

namespace {

// The subfolders of `folder` in walk order (native paths).
std::vector<std::string> Subfolders(const std::string& folder) {
  std::vector<std::string> folders;
  platform::FolderSearch search;
  if (!search.Open(folder, platform::EntryDetail::KindOnly)) return folders;
  platform::FolderEntry entry;
  while (search.Next(&entry)) {
    if (entry.isDirectory && entry.name != "." && entry.name != "..") folders.push_back(JoinPath(folder, entry.name));
  }
  return folders;
}

// Probes `folder` as a source; adds it to *found when it is accepted with a
// layout, else (when levels > 1) tries its subfolders. Returns false once
// enough was found or the probe budget is spent.
bool Suggest(const std::string& folder, int levels, std::size_t maxCount, std::size_t* probesLeft,
             std::vector<SourceSuggestion>* found) {
  for (const std::string& child : Subfolders(folder)) {
    if (found->size() >= maxCount || *probesLeft == 0) return false;
    --*probesLeft;
    int layout = -1;
    const ProbeOutcome outcome = ProbeSource(child, &layout);
    if (outcome.accepted && !outcome.decidingFile.empty()) {
      found->push_back(SourceSuggestion{child, layout});
    } else if (levels > 1 && !Suggest(child, levels - 1, maxCount, probesLeft, found)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::vector<SourceSuggestion> SuggestSourceFolders(const std::string& source, std::size_t maxCount) {
  std::vector<SourceSuggestion> found;
  std::size_t probesLeft = kSuggestionProbeLimit;
  Suggest(source, 2, maxCount, &probesLeft, &found);
  return found;
}

}  // namespace convert
