// TileTreeTarget: exports the tiles of a map file as a tile tree, each row
// one file of its grid's layout, so that converting or verifying the tree
// reads every file back to the key it came from:
//   Web Mercator (s = 0)  zoom/x/y.png or .jpg by the image's first bytes;
//                         a GIF or WebP image keeps its own extension (.gif,
//                         .webp), which the layout does not read
//                         (image_format.h);
//   a named source        the GeoKuk file <source>_<zoom>_<x>_<y>.kachle
//                         below its four hex folders (layouts.h).
// A GeoKuk name is written only when the layout's own recognizer reads the
// path back to the same key: a source name with a '_' that moves the zoom,
// ".kachle" inside it, a '/' or a name too long for the file system has no
// such name and is skipped (NoName).
//
// Files are written through a FilePublisher (platform/file_publisher.h):
// a file that exists is never replaced (AlreadyPresent), and a stop or a
// crash never leaves part of a tile under a tile's name.
//
// Thread-safety: used by the thread that runs the export.
#pragma once

#include <memory>
#include <string>

#include "convert/export_target.h"
#include "convert/tile_recognizer.h"
#include "platform/file_publisher.h"

namespace convert {

class TileTreeTarget : public ExportTarget {
 public:
  // `layout`: LayoutOsmTrackerStorage or LayoutGeoKuk writes only the tiles
  // of that layout's grid (the others are NotOfTarget); any other value
  // writes every tile in its own grid's layout.
  explicit TileTreeTarget(int layout);

  // Opens (creating when missing) the tree's root folder `root`. Returns
  // false with the system's error number in *error.
  bool Open(const std::string& root, int* error);

  Put Write(const store::StoredTile& tile, ExportSkip* skip, std::string* failure, int* code) override;
  bool BatchPoint(std::string*, int*) override { return true; }
  bool Finish(std::string* failure, int* code) override;

 private:
  // True when the GeoKuk file `name` in `folder` reads back to `key`.
  bool ReadsBack(const std::string& folder, const std::string& name, const TileKey& key);

  int layout_;                       // the grid taken, or every grid
  platform::FilePublisher files_;    // writes the files
  std::string root_;                 // the tree's root, as given
  std::string scratchPath_;          // reused: a tile's full path for the read-back check
  std::unique_ptr<TileRecognizer> geoKuk_;  // GeoKuk's rules, for the read-back check
};

}  // namespace convert
