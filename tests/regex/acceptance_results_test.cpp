// Acceptance tables for match results: the three tile layout patterns,
// repeated matching (find_all and the flags that choose what it keeps), and
// substitution strings (their errors, and that a rejected one leaves the
// pattern usable).
#include <atomic>
#include <thread>
#include <vector>

#include "tests/regex/acceptance_harness.h"

namespace {

using acceptance::accept_case;
using acceptance::forms;
using acceptance::run_table;

constexpr int kAll = regex::find_all;
constexpr int kWhole = regex::find_all_whole;
constexpr int kGroups = regex::find_all_groups;

// The layout patterns exactly as the tile code compiles them.
const std::u16string kGeoKuk =
    uR"(^\\[0-9a-f]{2}\\[0-9a-f]{2}\\[0-9a-f]{2}\\[0-9a-f]{2}\\.*\.kachle)";
const std::u16string kOsmConvert = uR"(^\\[0-9]{2}\\[0-9]{2,}\\[0-9]{2,}\.(png|jpg))";
const std::u16string kOsmProbe = uR"(^\\[0-9]{1,2}\\[0-9]{1,}\\[0-9]{1,}\.(png|jpg))";

TEST(AcceptanceResults, LayoutPatterns) {
  run_table({
      // LAY-1: a GeoKuk tile four hexadecimal folders deep.
      {"LAY-1a", kGeoKuk, 0, uR"(\79\82\d8\50\turist_13_79d8000_8250000.kachle)", "0-45"},
      // LAY-1b: deeper folders are crossed by .*; the last .kachle ends the match.
      {"LAY-1b", kGeoKuk, 0, uR"(\79\82\d8\50\aa\x.kachle_1_2_3.kachle)", "0-37"},
      // LAY-1c: upper-case folder digits and extensions do not match.
      {"LAY-1c", kGeoKuk, 0, uR"(\79\82\D8\50\turist_13_7_8.kachle)", "nomatch"},
      {"LAY-1d", kGeoKuk, 0, uR"(\79\82\d8\50\turist_13_7_8.KACHLE)", "nomatch"},
      {"LAY-1e", kGeoKuk, 0, uR"(\79\82\d8\turist_13_7_8.kachle)", "nomatch"},
      {"LAY-1f", kGeoKuk, 0, uR"(x\79\82\d8\50\a.kachle)", "nomatch"},
      // LAY-2: OSM Tracker Storage tiles for the converting pass.
      {"LAY-2a", kOsmConvert, 0, uR"(\16\35312\22050.png)", "0-19 16-19"},
      {"LAY-2b", kOsmConvert, 0, uR"(\16\353\220.jpg.bak)", "0-15 12-15"},
      {"LAY-2c", kOsmConvert, 0, uR"(\163\35312\22050.png)", "nomatch"},
      {"LAY-2d", kOsmConvert, 0, uR"(\5\17\11.png)", "nomatch"},
      {"LAY-2e", kOsmConvert, 0, uR"(\16\353\220.jpeg)", "nomatch"},
      {"LAY-2f", kOsmConvert, 0, uR"(\16\353\220.PNG)", "nomatch"},
      {"LAY-2g", kOsmConvert, 0, uR"(\18\3\220.png)", "nomatch"},
      // LAY-3: the probe pattern accepts one-digit zoom, column and row.
      {"LAY-3a", kOsmProbe, 0, uR"(\5\17\11.png)", "0-12 9-12"},
      {"LAY-3b", kOsmProbe, 0, uR"(\5\1\1.jpg)", "0-10 7-10"},
      {"LAY-3c", kOsmProbe, 0, uR"(\123\1\1.jpg)", "nomatch"},
  });
}

TEST(AcceptanceResults, FindAll) {
  run_table({
      // FND-1: without 0x040 and 0x080 only the last match's captures remain.
      {"FND-1a", u"a", kAll, u"aXaa", "3-4"},
      {"FND-1b", u"(a)|b", kAll, u"ab", "1-2 -"},
      {"FND-1c", u"x", kAll, u"abc", "nomatch"},
      // FND-2: 0x040 keeps the whole match of every match.
      {"FND-2a", u"a", kAll | kWhole, u"aXaa", "0-1 2-3 3-4"},
      {"FND-2b", u"(a)", kAll | kWhole | kGroups, u"aa", "0-1 1-2"},
      // FND-3: 0x080 keeps every visible group of every match.
      {"FND-3", u"(a)(b)?", kAll | kGroups, u"abxa", "0-2 0-1 1-2 3-4 3-4 -"},
      // FND-4: an empty match is reported once per position.
      {"FND-4a", u"", kAll | kWhole, u"ab", "0-0 1-1 2-2"},
      {"FND-4b", u"a*", kAll | kWhole, u"baa", "0-0 1-3 3-3"},
      {"FND-4c", uR"(\b)", kAll | kWhole, u"ab cd", "0-0 2-2 3-3 5-5"},
      // FND-5: ^ holds only at the subject start, not at each search start.
      {"FND-5", u"^a", kAll | kWhole, u"aa", "0-1"},
      // FND-6: look-behind sees the text before the search start.
      {"FND-6", u"(?<=a)b", kAll | kWhole, u"abab", "1-2 3-4"},
      // FND-7: repeated matching from the right ends, each match once.
      {"FND-7", uR"(\A)", kAll | kWhole | regex::from_right, u"ab", "0-0", forms::bounded},
      // FND-8: repeated matching with a recursion inside a look-behind ends.
      {"FND-8", uR"((?<!(?R)))", kAll | kWhole, u"11", "1-1 2-2"},
  });
}

// SUB-1..4: substitution strings are parsed when the pattern is built; every
// error is reported with its fixed text by both pattern types.
TEST(AcceptanceResults, SubstitutionErrors) {
  struct substitution_case {
    const char* id;
    std::u16string pattern;
    std::u16string substitution;
    int flags;
    const char* error;  // "" when accepted
  };
  const char* bad_ref = "invalid backreference in substitution";
  const char* bad_esc = "expecting escape sequence in substitution string";
  const substitution_case cases[] = {
      {"SUB-1a", u"(a)", u"$", 0, bad_ref},
      {"SUB-1b", u"(a)", u"x$0", 0, bad_ref},
      {"SUB-1c", u"(a)", u"$a", 0, bad_ref},
      {"SUB-1d", u"(a)", u"$$", 0, bad_ref},
      {"SUB-1e", u"(a)", u"$2", 0, bad_ref},
      {"SUB-1f", u"a", u"$1", 0, bad_ref},
      {"SUB-1g", u"(?:a)(b)", u"$2", 0, bad_ref},
      {"SUB-1h", u"(a)(b)(c)(d)", u"$5", 0, bad_ref},
      {"SUB-2a", u"(a)", u"x\\", 0, bad_esc},
      {"SUB-2b", u"(a)", u"\\\\\\", 0, bad_esc},
      {"SUB-2c", u"(a)", u"\\\\\\\\\\", regex::control_escapes, bad_esc},
      {"SUB-3a", u"(a)", u"[$1]", 0, ""},
      {"SUB-3b", u"(?:a)(b)", u"$1", 0, ""},
      {"SUB-3c", u"(a)(b)(c)(d)", u"$45$12", 0, ""},
      {"SUB-3d", u"a", u"$&$`$'", 0, ""},
      {"SUB-3e", u"a", u"\\Q$1\\E", 0, ""},
      {"SUB-3f", u"a", u"\\U\\u\\L\\l\\E\\x\\$", 0, ""},
      {"SUB-3g", u"a", u"\\\\\\\\", regex::control_escapes, ""},
      {"SUB-3h", u"a", u"\\n\\t", regex::control_escapes, ""},
      {"SUB-3i", u"a", u"", 0, ""},
      // SUB-4: a pattern error is reported before the substitution is read.
      {"SUB-4", u"(a", u"$", 0, "mismatched parenthesis"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(corvane_check::substitution_error(c.pattern, c.substitution, c.flags), c.error)
        << c.id;
  }
}

// SUB-5: a rejected substitution leaves the pattern's earlier substitution in
// place and the pattern matching as before.
TEST(AcceptanceResults, RejectedSubstitutionKeepsPattern) {
  regex::rpattern pattern(u"(a)(b)", u"$2$1", 0, 1);
  EXPECT_THROW(pattern.set_substitution(u"$3"), regex::bad_regexpr);
  EXPECT_NO_THROW(pattern.set_substitution(u"$1"));
  EXPECT_THROW(pattern.set_substitution(u"tail\\"), regex::bad_regexpr);
  const std::u16string subject = u"xab";
  regex::match_results results;
  const auto whole = regex::match(subject, pattern, results);
  ASSERT_TRUE(whole.matched);
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[2].first - subject.cbegin(), 2);
  EXPECT_EQ(results[2].second - subject.cbegin(), 3);
}

// RES-1: a results object is reused: each call replaces the captures and the
// subject begin of the previous one.
TEST(AcceptanceResults, ResultsObjectIsReused) {
  regex::rpattern pattern(u"(b+)", 0, 0);
  regex::match_results results;
  const std::u16string first = u"abbb";
  ASSERT_TRUE(regex::match(first, pattern, results).matched);
  const std::u16string second = u"xxxxb";
  const auto whole = regex::match(second, pattern, results);
  ASSERT_TRUE(whole.matched);
  EXPECT_TRUE(results.subject_begin() == second.cbegin());
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[1].first - second.cbegin(), 4);
  const std::u16string none = u"xyz";
  EXPECT_FALSE(regex::match(none, pattern, results).matched);
  EXPECT_TRUE(results.subject_begin() == none.cbegin());
}

// RES-2: one compiled pattern serves several searches at once, each with
// its own results object.
TEST(AcceptanceResults, ConcurrentSearchesShareOnePattern) {
  const regex::rpattern pattern(kOsmConvert, 0, 0);
  const regex::rpattern iterative(kOsmConvert, 0, 1);
  std::atomic<int> wrong{0};
  auto worker = [&](int seed) {
    regex::match_results results;
    for (int i = 0; i < 2000; ++i) {
      const int row = (seed * 7919 + i) % 5000 + 10;
      const std::u16string path = u"\\16\\" + std::u16string(1, u'1') +
                                  std::u16string(1, static_cast<char16_t>(u'0' + row % 10)) +
                                  u"\\" + std::u16string(1, static_cast<char16_t>(u'1' + row % 9)) +
                                  u"0" + (i % 2 ? u".png" : u".jpeg");
      const bool tile = (i % 2) != 0;
      const auto& which = (i % 3) ? pattern : iterative;
      const auto whole = regex::match(path, which, results);
      if (whole.matched != tile) ++wrong;
      if (tile && (results.size() != 2 || results[1].second - path.cbegin() !=
                                              static_cast<std::ptrdiff_t>(path.size()))) {
        ++wrong;
      }
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back(worker, t);
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
