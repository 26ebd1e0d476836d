// The three layout patterns, compiled by our own engine, on relative paths.
#include <gtest/gtest.h>

#include "convert/layouts.h"
#include "convert/tile_matcher.h"
#include "convert/tile_recognizer.h"

namespace convert {
namespace {

struct Case {
  const char16_t* path;
  bool geoKuk;     // the GeoKuk pattern matches
  bool osm;        // the converting pass's OSM pattern matches
  bool osmProbe;   // the probe's OSM pattern matches
};

// PATTERN-1: what each pattern accepts, case by case.
TEST(LayoutPatternsTest, MatchRelativePaths) {
  const Case cases[] = {
      {u"\\79\\82\\d8\\50\\turist_13_79d8000_8250000.kachle", true, false, false},
      {u"\\00\\00\\01\\a3\\deeper\\ophoto_18_ff_10.kachle", true, false, false},  // five levels deep
      {u"\\7A\\82\\d8\\50\\turist_13_1_2.kachle", false, false, false},          // upper-case hex
      {u"\\79\\82\\d8\\50\\turist_13_1_2.KACHLE", false, false, false},          // upper-case extension
      {u"\\79\\82\\d8\\turist_13_1_2.kachle", false, false, false},              // three levels
      {u"\\79\\82\\d8\\50\\x.kachle.bak", false, false, false},                   // the path ends at the extension
      {u"\\79\\82\\d8\\50\\turist_16_79d8000_8250000.kachle.tmp", false, false, false},
      {u"79\\82\\d8\\50\\x.kachle", false, false, false},                         // no leading separator
      {u"\\16\\353\\220.png", false, true, true},
      {u"\\18\\00012\\034.jpg", false, true, true},
      {u"\\16\\353\\220.png.old", false, false, false},
      {u"\\15\\17621\\11308.png.part", false, false, false},                      // a partial download
      {u"\\5\\17\\11.png", false, true, true},                                    // one-digit zoom
      {u"\\16\\3\\220.png", false, true, true},                                   // one-digit column
      {u"\\16\\353\\2.png", false, true, true},                                   // one-digit row
      {u"\\0\\0\\0.jpg", false, true, true},
      {u"\\123\\353\\220.png", false, false, false},                              // three-digit zoom
      {u"\\16\\353\\220.jpeg", false, false, false},
      {u"\\16\\353\\220.PNG", false, false, false},
      {u"\\16\\353\\220.gif", false, false, false},
      {u"\\16\\353\\220", false, false, false},
      {u"\\16\\353\\sub\\220.png", false, false, false},
  };
  TileMatcher geoKuk(kGeoKukPattern);
  TileMatcher osm(kOsmTrackerStoragePattern);
  TileMatcher osmProbe(kOsmTrackerStorageProbePattern);
  for (const Case& c : cases) {
    const std::u16string path = c.path;
    SCOPED_TRACE(std::string(path.begin(), path.end()));
    EXPECT_EQ(geoKuk.Matches(path), c.geoKuk);
    EXPECT_EQ(osm.Matches(path), c.osm);
    EXPECT_EQ(osmProbe.Matches(path), c.osmProbe);
  }
}

// PATTERN-2: the recognizer: pattern up to the end of the path, and a key
// that decodes (a trailing line feed passes "$" but is no extension).
TEST(TileRecognizerTest, TakesOnlyWholeTilesWithSoundKeys) {
  struct Recognition {
    int layout;
    const char16_t* path;
    const char* name;
    bool tile;
  };
  const Recognition cases[] = {
      {LayoutGeoKuk, u"\\79\\82\\d8\\50\\turist_13_79d8000_8250000.kachle", "turist_13_79d8000_8250000.kachle", true},
      {LayoutGeoKuk, u"\\79\\82\\d8\\50\\turist_13_79d8000_8250000 - kopie (2).kachle",
       "turist_13_79d8000_8250000 - kopie (2).kachle", false},
      {LayoutGeoKuk, u"\\79\\82\\d8\\50\\t_13_1_2.kachle\n", "t_13_1_2.kachle\n", false},
      {LayoutGeoKuk, u"\\79\\82\\d8\\50\\x_13_1_2_.kachle\n", "x_13_1_2_.kachle\n", false},
      {LayoutOsmTrackerStorage, u"\\15\\17621/11308.png", "17621\\11308.png", false},  // a '\\' in a name
      {LayoutGeoKuk, u"\\16\\353\\220.png", "220.png", false},
      {LayoutOsmTrackerStorage, u"\\16\\353\\220.png", "220.png", true},
      {LayoutOsmTrackerStorage, u"\\16\\353\\220.png\n", "220.png\n", false},
      {LayoutOsmTrackerStorage, u"\\79\\82\\d8\\50\\turist_13_1_2.kachle", "turist_13_1_2.kachle", false},
      {7, u"\\16\\353\\220.png", "220.png", false},  // no layout: nothing is a tile
      // A source name that is no UTF-8 would be stored with U+FFFD.
      {LayoutGeoKuk, u"\\79\\82\\d8\\50\\\xfffd_13_1_2.kachle", "\xfe_13_1_2.kachle", false},
      {LayoutGeoKuk, u"\\79\\82\\d8\\50\\\u010d_13_1_2.kachle", "\xc4\x8d_13_1_2.kachle", true},
  };
  for (const Recognition& c : cases) {
    SCOPED_TRACE(c.name);
    TileRecognizer recognizer(c.layout);
    EXPECT_EQ(recognizer.Recognize(c.path, c.name).has_value(), c.tile);
  }
}

}  // namespace
}  // namespace convert
