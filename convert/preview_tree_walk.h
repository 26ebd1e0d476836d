// The preview's count of a source tree: the conversion's walk (the same
// folder search and order, the same descent, never into a folder already on
// the path) with the same tile rules (TileRecognizer), every tile handed to
// a CoverageBuilder. Nothing is read but folder listings.
//
// Thread-safety: runs on the calling thread; `stop` may be set from any
// thread.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "convert/preview_coverage.h"
#include "convert/preview_source.h"

namespace convert {

// Walks `folder` (native path) and adds every regular file that is a tile of
// `layout` to *builder; `progress` (may be empty) hears the tiles found so
// far every few thousand tiles. Every folder listed is counted in
// stats->folderListings. Returns false when `stop` was set before the end.
// REQUIRES: builder != nullptr, stats != nullptr.
bool CountTreeTiles(const std::string& folder, int layout, const std::atomic<int>* stop,
                    const std::function<void(long long)>& progress, CoverageBuilder* builder, PreviewStats* stats);

// The layer and zoom of a decoded key: GeoKuk (text source) or Web Mercator.
PreviewLayer LayerOfKey(bool sourceIsText, const std::u16string& source);

}  // namespace convert
