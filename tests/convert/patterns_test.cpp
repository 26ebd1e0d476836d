// The three layout patterns, compiled by our own engine, on relative paths.
#include <gtest/gtest.h>

#include "convert/layouts.h"
#include "convert/tile_matcher.h"

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
      {u"\\79\\82\\d8\\50\\x.kachle.bak", true, false, false},                    // anything may follow
      {u"79\\82\\d8\\50\\x.kachle", false, false, false},                         // no leading separator
      {u"\\16\\353\\220.png", false, true, true},
      {u"\\18\\00012\\034.jpg", false, true, true},
      {u"\\16\\353\\220.png.old", false, true, true},
      {u"\\5\\17\\11.png", false, false, true},                                   // one-digit zoom
      {u"\\16\\3\\220.png", false, false, true},                                  // one-digit column
      {u"\\16\\353\\2.png", false, false, true},                                  // one-digit row
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

}  // namespace
}  // namespace convert
