// ImageFormat: what a tile image is, told by its first bytes, and the name
// each format goes by in a tile tree's file names and in an MBTiles file's
// metadata.
//
//   format   first bytes                     extension  MBTiles "format"
//   PNG      89 50 4E 47 0D 0A 1A 0A         png        png
//   JPEG     FF D8 FF                        jpg        jpg
//   GIF      "GIF87a" or "GIF89a"            gif        image/gif
//   WebP     "RIFF", 4 bytes, "WEBP"         webp       webp
//   other    anything else (also empty)      png        png
//
// A tile of no known format keeps the extension png: it came from a tree
// of the zoom/x/y.png layout (caches hold empty or broken tiles too), and
// under that name the layout reads it back to the same key.
//
// Thread-safety: pure functions.
#pragma once

#include <cstddef>

namespace convert {

enum class ImageFormat { Png, Jpeg, Gif, Webp, Unknown };

inline constexpr int kImageFormatCount = 5;  // the values above, for counting by format

ImageFormat SniffImageFormat(const unsigned char* bytes, std::size_t size);

// "png", "jpg", "gif", "webp"; "png" for Unknown.
const char* ImageExtension(ImageFormat format);

// The MBTiles metadata value "format" of tiles of `format`.
const char* MbtilesFormatName(ImageFormat format);

}  // namespace convert
