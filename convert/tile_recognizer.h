// TileRecognizer: the one place that says whether a file of a source tree is
// a tile of a layout, and what its key is.
//
// A file is a tile when the layout's pattern matches its relative path up to
// the end of the path and the key decodes from it (layouts.h); a GeoKuk tile's
// name must also be UTF-8, since its source name is stored as text. The converting
// pass and the verification of a map against its source both ask this class,
// so their rules can never differ.
//
// Thread-safety: one recognizer is used by one thread (its matcher reuses
// its match results).
//
// Invariants:
//  1. A recognizer made for a value that is no layout recognises nothing.
//  2. Recognize() returns a key only for paths that the layout's pattern
//     matches.
//  3. A GeoKuk key's source text is made of the file name's own bytes,
//     never of replacement characters.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "convert/layouts.h"

namespace convert {

class TileMatcher;

class TileRecognizer {
 public:
  // Compiles the pattern of `layout` (LayoutGeoKuk, LayoutOsmTrackerStorage
  // or LayoutTms). Throws regex::bad_regexpr if the engine cannot
  // compile it (the patterns are fixed texts; this means a broken engine).
  explicit TileRecognizer(int layout);
  ~TileRecognizer();
  TileRecognizer(const TileRecognizer&) = delete;
  TileRecognizer& operator=(const TileRecognizer&) = delete;

  // False for a layout value that is no layout: every file is then no tile.
  bool KnowsLayout() const { return matcher_ != nullptr; }

  // The key of the file whose relative path (RelativePath(), source_paths.h)
  // is `relativePath` and whose entry name (native bytes) is `fileName`, or
  // nullopt when the file is no tile of the layout.
  std::optional<TileKey> Recognize(const std::u16string& relativePath, const std::string& fileName);

 private:
  int layout_;                           // the layout given
  std::unique_ptr<TileMatcher> matcher_;  // owned; null for a value that is no layout
};

}  // namespace convert
