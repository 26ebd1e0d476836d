// Tile key decoding, number reading and relative paths.
#include <gtest/gtest.h>

#include <climits>

#include "convert/layouts.h"
#include "convert/text_reading.h"
#include "platform/utf.h"

namespace convert {
namespace {

std::string Utf8Of(const char16_t* text) { return platform::Utf16ToUtf8(text); }

// LAYOUT-1: hexadecimal reading: trimming, case, invalid characters, wrap.
TEST(HexToIntTest, ReadsLikeTheCacheNamesNeed) {
  EXPECT_EQ(HexToInt(u"1b2"), 434);
  EXPECT_EQ(HexToInt(u"A3"), 163);
  EXPECT_EQ(HexToInt(u"00ff"), 255);
  EXPECT_EQ(HexToInt(u"0x10"), 0);        // x is no hex digit: the whole text reads 0
  EXPECT_EQ(HexToInt(u" 1a "), 26);       // blanks at both ends are ignored
  EXPECT_EQ(HexToInt(u"\t1a\r\n"), 26);
  EXPECT_EQ(HexToInt(u"1 a"), 0);         // an inner blank is an invalid character
  EXPECT_EQ(HexToInt(u""), 0);
  EXPECT_EQ(HexToInt(u"   "), 0);
  EXPECT_EQ(HexToInt(u"79d8000"), 0x79d8000);
  EXPECT_EQ(HexToInt(u"ffffffff"), -1);   // 32-bit wrap
  EXPECT_EQ(HexToInt(u"100000001"), 1);   // the carry out of 32 bits is lost
  EXPECT_EQ(HexToInt(u"a3.bak"), 0);
}

// LAYOUT-2: "%d" reading: blanks, sign, leading zeros, stop at the first non-digit.
TEST(ReadDecimalTest, ReadsALeadingNumber) {
  EXPECT_EQ(ReadDecimal(u"13"), 13);
  EXPECT_EQ(ReadDecimal(u"007"), 7);
  EXPECT_EQ(ReadDecimal(u"  -5x"), -5);
  EXPECT_EQ(ReadDecimal(u"+18"), 18);
  EXPECT_EQ(ReadDecimal(u"12abc"), 12);
  EXPECT_EQ(ReadDecimal(u"2147483647"), INT_MAX);
  EXPECT_EQ(ReadDecimal(u"-2147483648"), INT_MIN);
  EXPECT_FALSE(ReadDecimal(u""));
  EXPECT_FALSE(ReadDecimal(u"l"));
  EXPECT_FALSE(ReadDecimal(u"-"));
  EXPECT_FALSE(ReadDecimal(u"- 5"));
  EXPECT_FALSE(ReadDecimal(u"2147483648"));   // does not fit an int
  EXPECT_FALSE(ReadDecimal(u"99999999999999999999999"));
}

// LAYOUT-3: the tokenizer skips leading separators, merges runs, ends with "".
TEST(TokenizerTest, SplitsLikeTheLayoutsNeed) {
  using Parts = std::vector<std::u16string>;
  EXPECT_EQ(SplitParts(u"\\16\\353\\220\\png", u"\\"), (Parts{u"16", u"353", u"220", u"png"}));
  EXPECT_EQ(SplitParts(u"__a__b_", u"_"), (Parts{u"a", u"b"}));
  EXPECT_EQ(SplitParts(u"a.b\\c", u".\\"), (Parts{u"a", u"b", u"c"}));
  EXPECT_TRUE(SplitParts(u"___", u"_").empty());
  EXPECT_TRUE(SplitParts(u"", u"_").empty());
  const std::u16string text = u"x_y";
  Tokenizer tokenizer(text, u"_");
  EXPECT_EQ(tokenizer.Next(), u"x");
  EXPECT_EQ(tokenizer.Next(), u"y");
  EXPECT_EQ(tokenizer.Next(), u"");
  EXPECT_EQ(tokenizer.Next(), u"");  // stays exhausted
}

// LAYOUT-4: GeoKuk names, tile or not. A name is a tile only when its parts
// read whole: zoom of one or two decimal digits, x and y of one to eight hex
// digits (at most 7fffffff); failing that, the last three parts do, and every
// part before them is the source name.
TEST(GeoKukKeyTest, DecodesOnlySoundNames) {
  struct Case {
    const char16_t* name;
    bool tile;
    int x, y, z;
    const char16_t* source;
  };
  const Case cases[] = {
      {u"base_n_13_1b2_a3.kachle", true, 434, 163, 4, u"base_n"},
      {u"turist_13_79d8000_8250000.kachle", true, 0x79d8000, 0x8250000, 4, u"turist"},
      {u"ophoto_18_00ff_A3.kachle", true, 255, 163, -1, u"ophoto"},  // zoom 18 -> z -1; either case of hex
      {u"ophoto_0_0_0.kachle", true, 0, 0, 17, u"ophoto"},
      {u"a_5_1_2_extra_parts.kachle", true, 1, 2, 12, u"a"},       // further parts ignored
      {u"12_13_1_2.kachle", true, 1, 2, 4, u"12"},                   // numeric name kept as text
      {u"t__13__1_2.kachle", true, 1, 2, 4, u"t"},                   // a run of '_' is one separator
      {u"t_13_7fffffff_ffffff.kachle", true, 0x7fffffff, 0xffffff, 4, u"t"},
      {u"relief_l_13_79d8000_8250000.kachle", true, 0x79d8000, 0x8250000, 4, u"relief_l"},
      {u"relief_h_16_a_b.kachle", true, 10, 11, 1, u"relief_h"},
      {u"my_own_map_12_a_b.kachle", true, 10, 11, 5, u"my_own_map"},
      {u"x_base_n_12_a_b.kachle", true, 10, 11, 5, u"x_base_n"},
      // Not tiles: no part is read as 0 when it is not pure hex, no key wraps.
      {u"turist_13_79d8000_8250000 - kopie (2).kachle", false, 0, 0, 0, u""},
      {u"turist_13_79d8000_8250000 (1).kachle", false, 0, 0, 0, u""},
      {u"ophoto_18_00ff_0x10.kachle", false, 0, 0, 0, u""},
      {u"t_13_123456789_1.kachle", false, 0, 0, 0, u""},            // nine hex digits
      {u"t_13_1_80000000.kachle", false, 0, 0, 0, u""},             // would be negative
      {u"base_n_13_1b2_a3.kachle.bak", false, 0, 0, 0, u""},
      {u"base_n_13_ 1a _1.kachle", false, 0, 0, 0, u""},
      {u"t_013_1_2.kachle", false, 0, 0, 0, u""},                    // three-digit zoom
      {u"t_+5_1_2.kachle", false, 0, 0, 0, u""},
      {u"t_13_1_2\n.kachle", false, 0, 0, 0, u""},
      {u"base_n_13_1b2.kachle", false, 0, 0, 0, u""},               // three parts
      {u".kachle", false, 0, 0, 0, u""},
      {u"relief_l_a_b.kachle", false, 0, 0, 0, u""},                // four parts, no zoom
      {u"relief_l_zz_a_b.kachle", false, 0, 0, 0, u""},
      {u"relief_l_14_a_b_c.kachle", false, 0, 0, 0, u""},           // the last three do not read
      {u"a_99999999999_1_2.kachle", false, 0, 0, 0, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8Of(c.name));
    const std::optional<TileKey> key = DecodeGeoKukKey(c.name);
    ASSERT_EQ(key.has_value(), c.tile);
    if (!c.tile) continue;
    EXPECT_EQ(key->x, c.x);
    EXPECT_EQ(key->y, c.y);
    EXPECT_EQ(key->z, c.z);
    EXPECT_TRUE(key->sourceIsText);
    EXPECT_EQ(key->source, c.source);
  }
}

// LAYOUT-7: OSM Tracker Storage keys from relative paths: every zoom of one
// or two digits, columns and rows of any length that fit an int.
TEST(OsmTrackerStorageKeyTest, DecodesRelativePaths) {
  struct Case {
    const char16_t* path;
    bool tile;
    int x, y, z;
  };
  const Case cases[] = {
      {u"\\16\\353\\220.png", true, 353, 220, 1},
      {u"\\18\\00012\\034.jpg", true, 12, 34, -1},
      {u"\\5\\17\\11.png", true, 17, 11, 12},
      {u"\\10\\3\\7.png", true, 3, 7, 7},
      {u"\\0\\0\\0.png", true, 0, 0, 17},
      {u"\\16\\2147483647\\1.png", true, 2147483647, 1, 1},
      {u"\\16\\353", false, 0, 0, 0},
      {u"\\16\\353\\99999999999.png", false, 0, 0, 0},
      {u"\\15\\17621\\11308.png.part", false, 0, 0, 0},
      {u"\\15\\1\\2.png\n", false, 0, 0, 0},
      {u"\\15\\1\\2.jpeg", false, 0, 0, 0},
      {u"\\123\\1\\2.png", false, 0, 0, 0},
      {u"\\15\\+1\\2.png", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8Of(c.path));
    const std::optional<TileKey> key = DecodeOsmTrackerStorageKey(c.path);
    ASSERT_EQ(key.has_value(), c.tile);
    if (!c.tile) continue;
    EXPECT_EQ(key->x, c.x);
    EXPECT_EQ(key->y, c.y);
    EXPECT_EQ(key->z, c.z);
    EXPECT_FALSE(key->sourceIsText);
    EXPECT_TRUE(key->source.empty());
  }
}

// LAYOUT-7b: TMS keys: the OSM Tracker Storage paths with the rows
// numbered from the south; a row beyond its zoom level is no tile.
TEST(TmsKeyTest, FlipsTheRows) {
  struct Case {
    const char16_t* path;
    bool tile;
    int x, y, z;
  };
  const Case cases[] = {
      {u"\\0\\0\\0.png", true, 0, 0, 17},
      {u"\\1\\0\\0.png", true, 0, 1, 16},
      {u"\\1\\1\\1.jpg", true, 1, 0, 16},
      {u"\\16\\35210\\42635.png", true, 35210, 22900, 1},
      {u"\\31\\0\\0.png", true, 0, 2147483647, -14},
      {u"\\1\\0\\2.png", false, 0, 0, 0},
      {u"\\32\\0\\0.png", false, 0, 0, 0},
      {u"\\16\\1\\2.png.part", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8Of(c.path));
    const std::optional<TileKey> key = DecodeTmsKey(c.path);
    ASSERT_EQ(key.has_value(), c.tile);
    if (!c.tile) continue;
    EXPECT_EQ(key->x, c.x);
    EXPECT_EQ(key->y, c.y);
    EXPECT_EQ(key->z, c.z);
  }
}

// LAYOUT-7c: the paths an export writes read back to their keys: GeoKuk's
// seven-digit lower-case hex and its four folders, OSM's decimals; keys no
// name can hold have none.
TEST(TilePathTest, WritesWhatTheLayoutsReadBack) {
  const std::optional<TileFilePath> geoKuk = GeoKukTilePath(TileKey{0x79d8000, 0x8250000, 4, true, u"turist"}, "turist");
  ASSERT_TRUE(geoKuk);
  EXPECT_EQ(geoKuk->folder, "79/82/d8/50");
  EXPECT_EQ(geoKuk->name, "turist_13_79d8000_8250000.kachle");
  const std::optional<TileFilePath> small = GeoKukTilePath(TileKey{0x1b2, 0xa3, 12, true, u"base_n"}, "base_n");
  ASSERT_TRUE(small);
  EXPECT_EQ(small->folder, "00/00/00/00");
  EXPECT_EQ(small->name, "base_n_5_00001b2_00000a3.kachle");
  const std::optional<TileFilePath> wide = GeoKukTilePath(TileKey{0x7fffffff, 0, 17, true, u"t"}, "t");
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->name, "t_0_7fffffff_0000000.kachle");
  for (const TileFilePath& path : {*geoKuk, *small, *wide}) {
    const std::optional<TileKey> key = DecodeGeoKukKey(platform::Utf8ToUtf16(path.name));
    ASSERT_TRUE(key) << path.name;
  }
  EXPECT_EQ(DecodeGeoKukKey(u"base_n_5_00001b2_00000a3.kachle")->x, 0x1b2);
  const std::optional<TileFilePath> osm = OsmTrackerStorageTilePath(TileKey{353, 220, 1, false, u""}, "jpg");
  ASSERT_TRUE(osm);
  EXPECT_EQ(osm->folder, "16/353");
  EXPECT_EQ(osm->name, "220.jpg");
  EXPECT_FALSE(OsmTrackerStorageTilePath(TileKey{0, 0, -83, false, u""}, "png"));  // zoom 100
  EXPECT_FALSE(OsmTrackerStorageTilePath(TileKey{-1, 0, 1, false, u""}, "png"));
  EXPECT_FALSE(GeoKukTilePath(TileKey{0, -5, 1, true, u"t"}, "t"));
  EXPECT_FALSE(GeoKukTilePath(TileKey{0, 0, 18, true, u"t"}, "t"));  // zoom -1
}

// LAYOUT-8: relative paths: the folder removed once at the start, '\' separators.
TEST(RelativePathTest, RemovesTheSourceFolderOnce) {
  EXPECT_EQ(RelativePath("/data/tiles/05/123/567.png", "/data/tiles"), u"\\05\\123\\567.png");
  EXPECT_EQ(RelativePath("/data/tiles/05/123/567.png", "/data/tiles/"), u"\\05\\123\\567.png");
  EXPECT_EQ(RelativePath("/data/tiles//05/567.png", "/data/tiles//"), u"\\05\\567.png");
  EXPECT_EQ(RelativePath("tiles/05/x", "tiles"), u"\\05\\x");
  EXPECT_EQ(RelativePath("./05/x", "."), u"\\05\\x");
  EXPECT_EQ(RelativePath("/05/x", "/"), u"\\05\\x");
  // The folder text recurs deeper in the tree: only the leading one goes.
  EXPECT_EQ(RelativePath("/t/a/t/a/1.png", "/t/a"), u"\\t\\a\\1.png");
  EXPECT_EQ(RelativePath("/m\xc3\xa9sto/0a/x", "/m\xc3\xa9sto"), u"\\0a\\x");
  EXPECT_EQ(RelativePath("/src/\xc3\xa9.png", "/src"), u"\\\u00e9.png");
  EXPECT_EQ(RelativePath("/src/15/17621\\11308.png", "/src"), u"\\15\\17621/11308.png");  // a '\\' in a name
}

TEST(JoinPathTest, NeverDoublesTheSeparator) {
  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/", "b"), "/b");
  EXPECT_EQ(RelativePath(JoinPath(JoinPath("/src/", "05"), "1.png"), "/src/"), u"\\05\\1.png");
}

}  // namespace
}  // namespace convert
