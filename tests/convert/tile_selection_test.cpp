// TileSelection: parsing the three filters, and how they combine on keys.
#include "convert/tile_selection.h"
#include "convert/layouts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using convert::TileSelection;

// SEL-1: zoom lists, good and bad.
TEST(TileSelection, ZoomLists) {
  struct Case {
    const char* text;
    const char* levels;  // the levels taken, as a comma list; null: refused
  };
  const Case cases[] = {
      {"12-16", "12,13,14,15,16"}, {"8,10,12-15", "8,10,12,13,14,15"}, {"7", "7"}, {" 3 , 5-5 ", "3,5"},
      {"0-2,1", "0,1,2"},          {"99", "99"},                        {"", nullptr}, {"12-", nullptr},
      {"-5", nullptr},             {"1,,2", nullptr},                   {"100", nullptr}, {"016", nullptr},
      {"16-12", nullptr},          {"12-16-18", nullptr},               {"a", nullptr}, {"1.5", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::bitset<convert::kMaxSelectableZoom + 1> zooms;
    zooms.set(50);  // left alone on a refusal
    std::string why;
    const bool ok = convert::ParseZoomList(c.text, &zooms, &why);
    ASSERT_EQ(ok, c.levels != nullptr) << why;
    if (!ok) {
      EXPECT_FALSE(why.empty());
      EXPECT_TRUE(zooms.test(50));
      continue;
    }
    std::string taken;
    for (int level = 0; level <= convert::kMaxSelectableZoom; ++level) {
      if (!zooms.test(level)) continue;
      if (!taken.empty()) taken.push_back(',');
      taken.append(std::to_string(level));
    }
    EXPECT_EQ(taken, c.levels);
  }
}

// SEL-2: source lists and areas, good and bad.
TEST(TileSelection, SourcesAndAreas) {
  std::vector<std::u16string> sources;
  std::string why;
  ASSERT_TRUE(convert::ParseSourceList("turist,relief_l", &sources, &why));
  EXPECT_EQ(sources, (std::vector<std::u16string>{u"turist", u"relief_l"}));
  EXPECT_FALSE(convert::ParseSourceList("", &sources, &why));
  EXPECT_FALSE(convert::ParseSourceList("turist,", &sources, &why));

  struct Case {
    const char* text;
    bool ok;
  };
  const Case cases[] = {
      {"49.5,14.2,50.3,15.0", true}, {"-10,-20,10,20", true}, {"+1,2,3,4", true}, {"50,14,50,14", true},
      {"50,14,49,15", false},        // south above north
      {"49,15,50,14", false},        // west east of east
      {"49,14,50", false},           {"49,14,50,15,1", false}, {"49,14,x,15", false}, {"49,14,50,15e", false},
      {"-91,14,50,15", false},       {"49,14,50,181", false},  {"nan,14,50,15", false}, {"49,,50,15", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    store::GeoArea area;
    EXPECT_EQ(convert::ParseArea(c.text, &area, &why), c.ok) << why;
  }
  store::GeoArea area;
  ASSERT_TRUE(convert::ParseArea("-86,0,10,10", &area, &why));
  EXPECT_FALSE(convert::AreaFitsWebMercator(area));
  ASSERT_TRUE(convert::ParseArea("-85.0511,0,85.05112878,10", &area, &why));
  EXPECT_TRUE(convert::AreaFitsWebMercator(area));
  // The grid's edge rounded outward at five decimals, as info prints it,
  // still fits; a hundred-thousandth more does not, except for GeoKuk tiles.
  ASSERT_TRUE(convert::ParseArea("-85.05113,0,85.05113,10", &area, &why));
  EXPECT_TRUE(convert::AreaFitsWebMercator(area));
  ASSERT_TRUE(convert::ParseArea("0,0,85.05114,10", &area, &why));
  EXPECT_FALSE(convert::AreaFitsWebMercator(area));
  TileSelection selection;
  selection.area = area;
  EXPECT_FALSE(convert::AreaFitsLayout(selection, convert::LayoutOsmTrackerStorage));
  EXPECT_TRUE(convert::AreaFitsLayout(selection, convert::LayoutGeoKuk));
  EXPECT_TRUE(convert::AreaFitsLayout(TileSelection{}, convert::LayoutOsmTrackerStorage));
}

// SEL-3: the filters alone and combined; a Web Mercator tile has no source
// and is never dropped by a source list.
TEST(TileSelection, FiltersCombine) {
  const store::TileKey osm{35393, 22201, 17 - 16, false, u""};             // zoom 16, Prague
  const store::TileKey turist{0x79d8000, 0x8250000, 17 - 13, true, u"turist"};  // zoom 13, west Bohemia
  const store::TileKey relief{0x79d8000, 0x8250000, 17 - 13, true, u"relief_l"};
  std::bitset<convert::kMaxSelectableZoom + 1> z13;
  z13.set(13);
  const store::GeoArea bohemia{49.5, 12.0, 51.0, 15.0};
  const store::GeoArea moravia{48.6, 16.0, 50.2, 18.8};

  struct Case {
    const char* what;
    TileSelection selection;
    bool osm, turist, relief;
  };
  const Case cases[] = {
      {"everything", {}, true, true, true},
      {"zoom 13", {z13, std::nullopt, std::nullopt}, false, true, true},
      {"source turist", {std::nullopt, std::vector<std::u16string>{u"turist"}, std::nullopt}, true, true, false},
      {"area bohemia", {std::nullopt, std::nullopt, bohemia}, true, true, true},
      {"area moravia", {std::nullopt, std::nullopt, moravia}, false, false, false},
      {"zoom 13, turist, bohemia", {z13, std::vector<std::u16string>{u"turist"}, bohemia}, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.selection.Everything(), std::string(c.what) == "everything");
    const convert::SelectionFilter filter(c.selection);
    EXPECT_EQ(filter.Selects(osm), c.osm);
    EXPECT_EQ(filter.Selects(turist), c.turist);
    EXPECT_EQ(filter.Selects(relief), c.relief);
  }
  // A stored z that no file name can carry is outside any zoom list or area.
  const convert::SelectionFilter area({std::nullopt, std::nullopt, bohemia});
  EXPECT_FALSE(area.Selects(store::TileKey{0, 0, -2000000000, false, u""}));
  EXPECT_TRUE(convert::SelectionFilter({}).Selects(store::TileKey{0, 0, -2000000000, false, u""}));
}

}  // namespace
