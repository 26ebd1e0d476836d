// The sources of the preview (preview_source.h) that the source box can
// name: OSM Tracker Storage and TMS trees, GeoKuk caches and MBTiles files.
// OpenTreePreview() picks one by layout.
//
// Thread-safety: as PreviewSource.
#pragma once

#include <memory>
#include <string>

#include "convert/preview_source.h"

namespace convert {

// zoom/x/y.(jpg|png) below `folder`.
std::unique_ptr<PreviewSource> MakeOsmTreePreview(const std::string& folder);

// zoom/x/row.(jpg|png) below `folder`, the rows numbered from the south:
// the tile (x, y) is read from row 2^zoom - 1 - y.
std::unique_ptr<PreviewSource> MakeTmsTreePreview(const std::string& folder);

// The MBTiles file at `path`, opened read-only as the conversion opens it:
// one Web Mercator layer, tile_row flipped as the conversion flips it. Null,
// with the reason in *why, when it cannot be opened as an MBTiles file.
// REQUIRES: why != nullptr.
std::unique_ptr<PreviewSource> MakeMbtilesPreview(const std::string& path, std::string* why);

// A GeoKuk cache at `folder`: aa/bb/cc/dd/<source>_<zoom>_<x>_<y>.kachle,
// where aa, cc are the hex digits 1-2 and 3-4 of x written with seven, and
// bb, dd those of y.
std::unique_ptr<PreviewSource> MakeGeoKukTreePreview(const std::string& folder);

// The leaf folder below a GeoKuk cache that holds the tile whose corner is
// (x, y): "%02x/%02x/%02x/%02x" of x >> 20, y >> 20, (x >> 12) & 0xff,
// (y >> 12) & 0xff. Empty for a corner beyond 28 bits, which no such folder
// can name.
std::string GeoKukLeafFolder(long long x, long long y);

}  // namespace convert
