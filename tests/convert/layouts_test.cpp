// Tile key decoding, number reading and relative paths.
#include <gtest/gtest.h>

#include <climits>

#include "convert/layouts.h"
#include "convert/text_reading.h"

namespace convert {
namespace {

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

void ExpectKey(const std::optional<TileKey>& key, int x, int y, int z, const std::u16string& source) {
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->x, x);
  EXPECT_EQ(key->y, y);
  EXPECT_EQ(key->z, z);
  EXPECT_TRUE(key->sourceIsText);
  EXPECT_EQ(key->source, source);
}

// LAYOUT-4: GeoKuk keys of the usual form.
TEST(GeoKukKeyTest, DecodesUsualNames) {
  ExpectKey(DecodeGeoKukKey(u"base_n_13_1b2_a3.kachle"), 434, 163, 4, u"base_n");
  ExpectKey(DecodeGeoKukKey(u"turist_13_79d8000_8250000.kachle"), 0x79d8000, 0x8250000, 4, u"turist");
  ExpectKey(DecodeGeoKukKey(u"ophoto_18_00ff_0x10.kachle"), 255, 0, -1, u"ophoto");  // zoom 18 -> z -1
  ExpectKey(DecodeGeoKukKey(u"ophoto_0_0_0.kachle"), 0, 0, 17, u"ophoto");
  ExpectKey(DecodeGeoKukKey(u"a_5_1_2_extra_parts.kachle"), 1, 2, 12, u"a");       // further parts ignored
  ExpectKey(DecodeGeoKukKey(u"12_13_1_2.kachle"), 1, 2, 4, u"12");                   // numeric name kept as text
  ExpectKey(DecodeGeoKukKey(u"base_n_13_1b2_a3.kachle.bak"), 434, 0, 4, u"base_n");  // "a3.bak" is no hex
  ExpectKey(DecodeGeoKukKey(u"base_n_13_ 1a _1.kachle"), 26, 1, 4, u"base_n");
}

// LAYOUT-5: GeoKuk overlay sources whose names hold '_' (relief_l, relief_h).
TEST(GeoKukKeyTest, DecodesSourceNamesWithUnderscores) {
  ExpectKey(DecodeGeoKukKey(u"relief_l_13_79d8000_8250000.kachle"), 0x79d8000, 0x8250000, 4, u"relief_l");
  ExpectKey(DecodeGeoKukKey(u"relief_h_16_a_b.kachle"), 10, 11, 1, u"relief_h");
  ExpectKey(DecodeGeoKukKey(u"my_own_map_12_a_b.kachle"), 10, 11, 5, u"my_own_map");
  ExpectKey(DecodeGeoKukKey(u"x_base_n_12_a_b.kachle"), 10, 11, 5, u"x_base_n");
}

// LAYOUT-6: GeoKuk names that are not tiles.
TEST(GeoKukKeyTest, RejectsNamesWithoutAKey) {
  EXPECT_FALSE(DecodeGeoKukKey(u"base_n_13_1b2.kachle"));     // three parts
  EXPECT_FALSE(DecodeGeoKukKey(u".kachle"));
  EXPECT_FALSE(DecodeGeoKukKey(u"relief_l_a_b.kachle"));      // four parts, no decimal zoom
  EXPECT_FALSE(DecodeGeoKukKey(u"relief_l_zz_a_b.kachle"));   // five parts, still no decimal zoom
  EXPECT_FALSE(DecodeGeoKukKey(u"a_99999999999_1_2.kachle")); // zoom does not fit an int
  EXPECT_FALSE(DecodeGeoKukKey(u"a_-2147483640_1_2.kachle")); // 17 - zoom does not fit an int
}

// LAYOUT-7: OSM Tracker Storage keys from relative paths.
TEST(OsmTrackerStorageKeyTest, DecodesRelativePaths) {
  auto key = DecodeOsmTrackerStorageKey(u"\\16\\353\\220.png");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->x, 353);
  EXPECT_EQ(key->y, 220);
  EXPECT_EQ(key->z, 1);
  EXPECT_FALSE(key->sourceIsText);
  EXPECT_TRUE(key->source.empty());

  key = DecodeOsmTrackerStorageKey(u"\\18\\00012\\034.jpg");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->z, -1);
  EXPECT_EQ(key->x, 12);
  EXPECT_EQ(key->y, 34);

  key = DecodeOsmTrackerStorageKey(u"\\5\\17\\11.png");  // one-digit zoom decodes (the pattern decides)
  ASSERT_TRUE(key);
  EXPECT_EQ(key->z, 12);

  EXPECT_FALSE(DecodeOsmTrackerStorageKey(u"\\16\\353"));
  EXPECT_FALSE(DecodeOsmTrackerStorageKey(u"\\16\\353\\99999999999.png"));
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
}

TEST(JoinPathTest, NeverDoublesTheSeparator) {
  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/", "b"), "/b");
  EXPECT_EQ(RelativePath(JoinPath(JoinPath("/src/", "05"), "1.png"), "/src/"), u"\\05\\1.png");
}

}  // namespace
}  // namespace convert
