// The three tile-layout patterns compile with flags 0 and classify paths.
#include <gtest/gtest.h>

#include <string>

#include "regex/regex.h"

namespace {

const char16_t* const kGeoKuk = u"^\\\\[0-9a-f]{2}\\\\[0-9a-f]{2}\\\\[0-9a-f]{2}\\\\[0-9a-f]{2}\\\\.*\\.kachle";
const char16_t* const kOsmStrict = u"^\\\\[0-9]{2}\\\\[0-9]{2,}\\\\[0-9]{2,}\\.(png|jpg)";
const char16_t* const kOsmLoose = u"^\\\\[0-9]{1,2}\\\\[0-9]{1,}\\\\[0-9]{1,}\\.(png|jpg)";

struct layout_case {
  const char* id;
  const char16_t* pattern;
  const char16_t* path;
  bool matched;
  int group1_offset;  // start of capture 1 (png|jpg), or -1 when not checked
};

// LAYOUT-1..12
const layout_case kCases[] = {
    {"LAYOUT-1", kGeoKuk, u"\\0a\\1b\\2c\\3d\\mapa_12_3af_4c.kachle", true, -1},
    {"LAYOUT-2", kGeoKuk, u"\\0A\\1b\\2c\\3d\\x.kachle", false, -1},  // upper-case hex folder
    {"LAYOUT-3", kGeoKuk, u"\\0a\\1b\\2c\\x.kachle", false, -1},      // three levels only
    {"LAYOUT-4", kGeoKuk, u"\\0a\\1b\\2c\\3d\\x.kachlex", true, -1},   // not anchored at the end
    {"LAYOUT-5", kGeoKuk, u"x\\0a\\1b\\2c\\3d\\x.kachle", false, -1},
    {"LAYOUT-6", kOsmStrict, u"\\12\\345\\678.png", true, 12},
    {"LAYOUT-7", kOsmStrict, u"\\123\\345\\678.png", false, -1},
    {"LAYOUT-8", kOsmStrict, u"\\12\\3\\678.png", false, -1},
    {"LAYOUT-9", kOsmStrict, u"\\12\\34\\56.jpg", true, 10},
    {"LAYOUT-10", kOsmLoose, u"\\1\\3\\6.jpg", true, 7},
    {"LAYOUT-11", kOsmLoose, u"\\123\\3\\6.jpg", false, -1},
    {"LAYOUT-12", kOsmLoose, u"\\1\\3\\6.gif", false, -1},
};

TEST(LayoutPatterns, ClassifyPathsInBothStrategies) {
  for (const layout_case& c : kCases) {
    for (int mode : {0, 1}) {
      SCOPED_TRACE(std::string(c.id) + " mode " + std::to_string(mode));
      const regex::rpattern pattern(c.pattern, 0, mode);
      EXPECT_TRUE(pattern.search_once());
      const std::u16string path(c.path);
      regex::match_results results;
      const auto whole = regex::match(path, pattern, results);
      EXPECT_EQ(whole.matched, c.matched);
      if (!c.matched) continue;
      EXPECT_TRUE(whole.first == path.begin());
      EXPECT_TRUE(results.subject_begin() == path.begin());
      if (c.group1_offset >= 0) {
        ASSERT_EQ(results.size(), 2u);
        EXPECT_EQ(results[1].first - path.begin(), c.group1_offset);
        EXPECT_EQ(results[1].second - results[1].first, 3);
      }
    }
  }
}

// LAYOUT-13: the zero-terminated form gives the same answers.
TEST(LayoutPatterns, ZeroTerminatedSubject) {
  for (const layout_case& c : kCases) {
    SCOPED_TRACE(c.id);
    const regex::rpattern_c pattern(c.pattern);
    regex::match_results_c results;
    const auto whole = regex::match(c.path, pattern, results);
    EXPECT_EQ(whole.matched, c.matched);
    if (c.matched) {
      EXPECT_EQ(whole.first, c.path);
    }
  }
}

}  // namespace
