// What a tile image is taken for by its first bytes, and its names.
#include "convert/image_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using convert::ImageFormat;

// IMG-1: each format by its first bytes (and bytes that only nearly match,
// or are too short, as no format), with its extension and MBTiles name.
TEST(ImageFormat, SniffedAndNamed) {
  const struct {
    std::string bytes;
    ImageFormat format;
    const char* extension;
    const char* mbtilesName;
  } kCases[] = {
      {std::string("\x89PNG\r\n\x1a\n....", 12), ImageFormat::Png, "png", "png"},
      {std::string("\xff\xd8\xff\xe0", 4), ImageFormat::Jpeg, "jpg", "jpg"},
      {"GIF89a...", ImageFormat::Gif, "gif", "image/gif"},
      {"GIF87a", ImageFormat::Gif, "gif", "image/gif"},
      {std::string("RIFF\x10\0\0\0WEBPVP8 ", 16), ImageFormat::Webp, "webp", "webp"},
      {std::string("RIFF\x10\0\0\0WAVE", 12), ImageFormat::Unknown, "png", "png"},
      {std::string("\x89PNG\r\n", 6), ImageFormat::Unknown, "png", "png"},
      {"", ImageFormat::Unknown, "png", "png"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.bytes);
    const ImageFormat format =
        convert::SniffImageFormat(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size());
    EXPECT_EQ(format, c.format);
    EXPECT_STREQ(convert::ImageExtension(format), c.extension);
    EXPECT_STREQ(convert::MbtilesFormatName(format), c.mbtilesName);
  }
}

}  // namespace
