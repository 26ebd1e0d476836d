#include "convert/tile_tree_target.h"

#include <limits.h>

#include <cerrno>
#include <cstring>

#include "convert/image_format.h"
#include "convert/layouts.h"
#include "convert/source_paths.h"
#include "platform/utf.h"

namespace convert {

namespace {

// Errors after which no later file can be written either: the export stops
// on them instead of skipping file after file.
bool EndsTheExport(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EIO:
    case EROFS:
    case ENOMEM:
    case EMFILE:
    case ENFILE:
    case EFBIG:
      return true;
    default:
      return false;
  }
}

}  // namespace

TileTreeTarget::TileTreeTarget(int layout) : layout_(layout) {}

bool TileTreeTarget::Open(const std::string& root, int* error) {
  root_ = root;
  geoKuk_ = std::make_unique<TileRecognizer>(LayoutGeoKuk);  // throws regex::bad_regexpr for a broken engine
  return files_.Open(root, error);
}

bool TileTreeTarget::ReadsBack(const std::string& folder, const std::string& name, const TileKey& key) {
  JoinPathInto(root_, folder, &scratchPath_);
  scratchPath_ += '/';
  scratchPath_ += name;
  const std::optional<TileKey> read = geoKuk_->Recognize(RelativePath(scratchPath_, root_), name);
  return read && read->x == key.x && read->y == key.y && read->z == key.z && read->sourceIsText &&
         read->source == key.source;
}

ExportTarget::Put TileTreeTarget::Write(const store::StoredTile& tile, ExportSkip* skip, std::string* failure,
                                        int* code) {
  const bool webMercator = tile.source == store::StoredTile::Source::WebMercator;
  const int grid = webMercator ? LayoutOsmTrackerStorage : LayoutGeoKuk;
  if ((layout_ == LayoutOsmTrackerStorage || layout_ == LayoutGeoKuk) && layout_ != grid) {
    *skip = ExportSkip::NotOfTarget;
    return Put::Skipped;
  }
  std::optional<TileFilePath> path;
  if (webMercator) {
    path = OsmTrackerStorageTilePath(tile.key, ImageExtension(SniffImageFormat(tile.image, tile.size)));
  } else {
    const std::string name = platform::Utf16ToUtf8(tile.key.source);
    // A name the file system cannot hold, or one that only reads as a
    // path, is no GeoKuk name.
    if (!name.empty() && name.find('/') == std::string::npos && name.find('\0') == std::string::npos) {
      path = GeoKukTilePath(tile.key, name);
    }
    if (path && (path->name.size() > NAME_MAX || !ReadsBack(path->folder, path->name, tile.key))) path.reset();
  }
  if (!path) {
    *skip = ExportSkip::NoName;
    return Put::Skipped;
  }
  int error = 0;
  switch (files_.Publish(path->folder, path->name, tile.image, tile.size, &error)) {
    case platform::FilePublisher::Result::Written:
      return Put::Written;
    case platform::FilePublisher::Result::Exists:
      return Put::AlreadyPresent;
    case platform::FilePublisher::Result::Failed:
      break;
  }
  *failure = path->folder + "/" + path->name + ": " + std::strerror(error);
  if (EndsTheExport(error)) {
    *failure = std::strerror(error);
    *code = error;
    return Put::Stop;
  }
  *skip = ExportSkip::NotWritten;
  return Put::Skipped;
}

bool TileTreeTarget::Finish(std::string* failure, int* code) {
  int error = 0;
  if (files_.Sync(&error)) return true;
  *failure = std::string("cannot write the tiles to the disk: ") + std::strerror(error);
  *code = error;
  return false;
}

}  // namespace convert
