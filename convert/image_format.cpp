#include "convert/image_format.h"

#include <cstring>

namespace convert {

namespace {

bool StartsWith(const unsigned char* bytes, std::size_t size, const char* prefix, std::size_t length) {
  return size >= length && std::memcmp(bytes, prefix, length) == 0;
}

}  // namespace

ImageFormat SniffImageFormat(const unsigned char* bytes, std::size_t size) {
  if (bytes == nullptr) return ImageFormat::Unknown;
  if (StartsWith(bytes, size, "\x89PNG\r\n\x1a\n", 8)) return ImageFormat::Png;
  if (StartsWith(bytes, size, "\xff\xd8\xff", 3)) return ImageFormat::Jpeg;
  if (StartsWith(bytes, size, "GIF87a", 6) || StartsWith(bytes, size, "GIF89a", 6)) return ImageFormat::Gif;
  if (size >= 12 && StartsWith(bytes, size, "RIFF", 4) && std::memcmp(bytes + 8, "WEBP", 4) == 0) {
    return ImageFormat::Webp;
  }
  return ImageFormat::Unknown;
}

const char* ImageExtension(ImageFormat format) {
  switch (format) {
    case ImageFormat::Jpeg:
      return "jpg";
    case ImageFormat::Gif:
      return "gif";
    case ImageFormat::Webp:
      return "webp";
    case ImageFormat::Png:
    case ImageFormat::Unknown:
      break;
  }
  return "png";
}

const char* MbtilesFormatName(ImageFormat format) {
  // The format names MBTiles knows are the extensions; any other format is
  // named by its media type.
  return format == ImageFormat::Gif ? "image/gif" : ImageExtension(format);
}

}  // namespace convert
