// Observable decisions of the pattern compiler: group numbering, widths,
// search-once, first-character arrays, the literal search hint and the
// nodes chosen for literals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_test_util.h"
#include "regex/quantifier_nodes.h"
#include "regex/regex.h"

namespace {

using regex::rpattern;
using iter = std::u16string::const_iterator;
constexpr unsigned inf = rpattern::unbounded;

// COMP-1: `abc` is group 0 with one alternative: one literal of length 3, then
// the group's end; group 0 is followed by the end of the pattern. The search
// hint skips by L - 1 - i for the first L - 1 characters.
TEST(Compiler, LiteralAndSearchHint) {
  const rpattern p(u"abc");
  const auto* g0 = dynamic_cast<const regex::detail::match_group_base<iter>*>(p.first_node());
  ASSERT_NE(g0, nullptr);
  ASSERT_EQ(g0->alternative_count(), 1u);
  const auto* lit = dynamic_cast<const regex::detail::match_literal_t<iter, false>*>(g0->alternatives()->first);
  ASSERT_NE(lit, nullptr);
  EXPECT_EQ(lit->length(), 3u);
  EXPECT_EQ(lit->next, g0->end_node());
  EXPECT_NE(dynamic_cast<const regex::detail::end_of_pattern<iter>*>(g0->next), nullptr);

  const regex::detail::search_hint* h = p.search_hint();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->last_index, 2u);
  EXPECT_EQ(h->skip['a'], 2);
  EXPECT_EQ(h->skip['b'], 1);
  EXPECT_EQ(h->skip['c'], 3);
  EXPECT_EQ(h->skip[0], 3);
  EXPECT_EQ(h->other_case, nullptr);
}

// COMP-2: a case-insensitive literal upper-cases its slice of the private
// text and keeps a lower-case copy; the hint takes the smaller skip of both.
TEST(Compiler, NocaseLiteral) {
  const rpattern p(u"(?i)ab");
  EXPECT_EQ(p.pattern_text(), u"(?i)AB");
  const regex::detail::search_hint* h = p.search_hint();
  ASSERT_NE(h, nullptr);
  ASSERT_NE(h->other_case, nullptr);
  EXPECT_EQ(std::u16string(h->other_case, 2), u"ab");
  EXPECT_EQ(h->skip['A'], 1);
  EXPECT_EQ(h->skip['a'], 1);
  EXPECT_EQ(h->skip['B'], 2);
}

// COMP-3: group numbers follow the opening parentheses; non-capturing and
// atomic groups and conditionals take numbers but are invisible; references
// use the visible numbering.
TEST(Compiler, GroupNumbering) {
  struct numbering_case {
    const char* id;
    const char16_t* pattern;
    unsigned counter;
    unsigned visible;
    std::vector<unsigned> invisible;
  };
  const numbering_case cases[] = {
      {"COMP-3a", u"(x)(?:y)(z)\\2", 4, 3, {2}},
      {"COMP-3b", u"(?>a)(b)", 3, 2, {1}},
      {"COMP-3c", u"(a)(?(1)b|c)", 3, 2, {2}},
      {"COMP-3d", u"(?=(a))(?<=(b))", 3, 3, {}},  // look-arounds take no number
      {"COMP-3e", u"(?i:a)(?:b)", 3, 1, {1, 2}},
      {"COMP-3f", u"()a", 1, 1, {}},  // () builds nothing
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const rpattern p(c.pattern);
    EXPECT_EQ(p.group_count(), c.counter);
    EXPECT_EQ(p.visible_group_count(), c.visible);
    EXPECT_EQ(p.invisible_groups(), c.invisible);
  }
  // `\2` in COMP-3a names the (z) group: it must repeat z, not y.
  EXPECT_TRUE(engine_test::run(u"(x)(?:y)(z)\\2", u"xyzz").matched);
  EXPECT_FALSE(engine_test::run(u"(x)(?:y)(z)\\2", u"xyzy").matched);
}

// COMP-4: widths of the whole pattern and of groups.
TEST(Compiler, Widths) {
  struct width_case {
    const char* id;
    const char16_t* pattern;
    unsigned min;
    unsigned max;
  };
  const width_case cases[] = {
      {"COMP-4a", u"a{2,5}", 2, 5},
      {"COMP-4b", u"a*b", 1, inf},
      {"COMP-4c", u"(a|bc)", 1, 2},
      {"COMP-4d", u"(a)\\1", 2, 2},
      {"COMP-4e", u"(a\\1)", 1, inf},      // reference into its own group
      {"COMP-4f", u"^abc$", 3, 3},
      {"COMP-4g", u"(?=abc)a", 1, 1},      // look-ahead has no width
      {"COMP-4h", u"(?<=ab)c", 1, 1},
      {"COMP-4i", u"", 0, 0},
      {"COMP-4j", u"(?:ab){3}", 6, 6},
      {"COMP-4k", u"(?:ab){0,}", 0, inf},
      {"COMP-4l", u"a(?R)|b", 1, inf},
      {"COMP-4m", u"(?:a{65536}){65536}", inf, inf},  // saturates
      {"COMP-4n", u"(a)?(?(1)bcd)", 0, 4},            // a conditional without a no-branch may match nothing
      {"COMP-4o", u"[a-z]\\d.", 3, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const rpattern p(c.pattern);
    EXPECT_EQ(p.min_width(), c.min);
    EXPECT_EQ(p.max_width(), c.max);
  }
  const rpattern p(u"x(ab|c)");
  EXPECT_EQ(p.group(1).min_width, 1u);
  EXPECT_EQ(p.group(1).max_width, 2u);
}

// COMP-5: the search-once decision.
TEST(Compiler, SearchOnce) {
  struct once_case {
    const char* id;
    const char16_t* pattern;
    int flags;
    bool once;
    int flags_after;
  };
  const once_case cases[] = {
      {"COMP-5a", u"^abc", 0, true, 0},
      {"COMP-5b", u"^a|b", 0, false, 0},
      {"COMP-5c", u"^abc", regex::multiline, false, regex::multiline},
      {"COMP-5d", u"^abc", regex::from_right, true, 0},  // from_right cleared
      {"COMP-5e", u".*x", 0, false, 0},
      {"COMP-5f", u".*x", regex::singleline, true, regex::singleline},
      {"COMP-5g", u".+?x", regex::singleline, true, regex::singleline},
      {"COMP-5h", u".?x", regex::singleline, false, regex::singleline},
      {"COMP-5i", u".{2,}x", regex::singleline, false, regex::singleline},
      {"COMP-5j", u".*x", regex::singleline | regex::from_right, false, regex::singleline | regex::from_right},
      {"COMP-5k", u"  ^a", regex::extended, true, regex::extended},
      {"COMP-5l", u"(?m)^a", 0, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const rpattern p(c.pattern, c.flags);
    EXPECT_EQ(p.search_once(), c.once);
    EXPECT_EQ(p.flags(), c.flags_after);
  }
  // COMP-5m: a search-once pattern is tried at the start only.
  EXPECT_FALSE(engine_test::run(u"^b", u"ab").matched);
  EXPECT_TRUE(engine_test::run(u".*b", u"\nb", regex::singleline).matched);
}

// COMP-6: first-character arrays of groups.
TEST(Compiler, FirstCharacters) {
  struct fc_case {
    const char* id;
    const char16_t* pattern;
    unsigned group;
    bool has;
    std::u16string chars;
  };
  const fc_case cases[] = {
      {"COMP-6a", u"a|b", 0, true, u"ab"},
      {"COMP-6b", u"a|.", 0, false, u""},
      {"COMP-6c", u"(?i)a|b", 0, true, u"ABab"},
      {"COMP-6d", u"x(cat|dog|cow)", 1, true, u"cd"},
      {"COMP-6e", u"^\\bz", 0, true, u"z"},     // assertions pass the hint on
      {"COMP-6f", u"a*b|c", 0, false, u""},     // a* may match nothing
      {"COMP-6g", u"a+b|c", 0, true, u"ac"},
      {"COMP-6h", u"(a|)", 1, false, u""},      // the empty alternative
      {"COMP-6i", u"(?:b|c)d", 0, true, u"bc"},
      {"COMP-6j", u"(a)?(?(1)x)", 2, false, u""},  // a conditional that may skip its branch
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const rpattern p(c.pattern);
    EXPECT_EQ(p.group(c.group).has_first_characters, c.has);
    EXPECT_EQ(p.group(c.group).first_characters, c.chars);
  }
  // COMP-6k: the filter does not reject a conditional whose test fails.
  EXPECT_TRUE(engine_test::run(u"(a)?(?(1)x)y", u"y").matched);
}

// COMP-7: the recursion-safe flag.
TEST(Compiler, RecursionSafe) {
  EXPECT_TRUE(rpattern(u"(a){16}b*").recursion_safe());
  EXPECT_FALSE(rpattern(u"(a){17}").recursion_safe());
  EXPECT_FALSE(rpattern(u"(a)*").recursion_safe());
  EXPECT_TRUE(rpattern(u"a{1000}").recursion_safe());  // atoms do not count
  EXPECT_FALSE(rpattern(u"a(?R)|b").recursion_safe());
}

// COMP-8: extended mode erases white space and comments inside a literal run,
// so the run stays one slice of the private text.
TEST(Compiler, ExtendedLiteralRun) {
  const rpattern p(u"a b # comment\nc", regex::extended);
  EXPECT_EQ(p.pattern_text(), u"abc");
  const std::u16string s = u"xabc";
  regex::match_results r;
  EXPECT_TRUE(regex::match(s, p, r).matched);
}

}  // namespace
