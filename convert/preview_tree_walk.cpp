#include "convert/preview_tree_walk.h"

#include <cassert>
#include <optional>

#include "convert/layouts.h"
#include "convert/source_paths.h"
#include "convert/tile_recognizer.h"
#include "platform/folder_search.h"
#include "platform/walk_guard.h"

namespace convert {

namespace {

constexpr long long kProgressStep = 4096;  // tiles between two progress reports

struct CountWalk {
  const std::string& sourceFolder;                // as given: relative paths are formed against it
  const std::atomic<int>* stop;                   // not owned, may be null
  const std::function<void(long long)>& progress; // may be empty
  CoverageBuilder* builder;                       // not owned
  PreviewStats* stats;                            // not owned
  TileRecognizer recognizer;                      // the layout's tile rules
  platform::WalkGuard guard;                      // folders on the current path
  std::string filePath;                           // reused buffer for a file's path

  bool Stopped() const { return stop != nullptr && stop->load(std::memory_order_relaxed) != 0; }
};

bool WalkFolder(CountWalk& walk, const std::string& folderPath, const platform::FolderSearch* parent,
                const std::string* name) {
  platform::FolderSearch search;
  bool searching = OpenWalkedFolder(search, folderPath, parent, name);
  walk.stats->folderListings.fetch_add(1, std::memory_order_relaxed);
  std::optional<platform::WalkGuard::Scope> scope;  // keeps this folder on the path while it is walked
  if (searching) {
    scope.emplace(walk.guard, search.FolderDevice(), search.FolderInode());
    searching = scope->Entered();
  }
  if (!searching) return !walk.Stopped();
  platform::FolderEntry entry;
  while (search.Next(&entry)) {
    if (entry.isDirectory) {
      if (entry.name != "." && entry.name != "..") {
        WalkFolder(walk, JoinPath(folderPath, entry.name), &search, &entry.name);
      }
    } else if (entry.kind == platform::EntryKind::Regular) {
      JoinPathInto(folderPath, entry.name, &walk.filePath);
      const std::optional<TileKey> key =
          walk.recognizer.Recognize(RelativePath(walk.filePath, walk.sourceFolder), entry.name);
      if (key) {
        walk.builder->Add(LayerOfKey(key->sourceIsText, key->source), kZoomBase - key->z, key->x, key->y);
        if (walk.progress && walk.builder->Added() % kProgressStep == 0) walk.progress(walk.builder->Added());
      }
    }
    if (walk.Stopped()) return false;
  }
  return true;
}

}  // namespace

PreviewLayer LayerOfKey(bool sourceIsText, const std::u16string& source) {
  PreviewLayer layer;
  if (sourceIsText) {
    layer.grid = store::TileGrid::GeoKuk;
    layer.sourceIsText = true;
    layer.source = source;
  }
  return layer;
}

bool CountTreeTiles(const std::string& folder, int layout, const std::atomic<int>* stop,
                    const std::function<void(long long)>& progress, CoverageBuilder* builder, PreviewStats* stats) {
  assert(builder != nullptr && stats != nullptr);
  CountWalk walk{folder, stop, progress, builder, stats, TileRecognizer(layout), {}, {}};
  if (!walk.recognizer.KnowsLayout()) return true;
  return WalkFolder(walk, folder, nullptr, nullptr);
}

}  // namespace convert
