// Match results, repeated matching (find_all) and substitution strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_test_util.h"

namespace {

using engine_test::none;
using engine_test::span;
using regex::subst_piece;

// RESULT-1: after a successful match the invisible groups are removed, so
// entry i is visible group i.
TEST(Results, InvisibleGroupsRemoved) {
  for (int mode : {0, 1}) {
    EXPECT_EQ(engine_test::run(u"(?:a)(b)", u"ab", 0, mode).captures, (std::vector<span>{{0, 2}, {1, 2}}));
    EXPECT_EQ(engine_test::run(u"(?:x)(?>y)(z)(?:w)(v)", u"xyzwv", 0, mode).captures,
              (std::vector<span>{{0, 5}, {2, 3}, {4, 5}}));
  }
}

// RESULT-2: a results object is reused: every call overwrites it.
TEST(Results, ReuseOverwrites) {
  const regex::rpattern p(u"(a)|(b)");
  regex::match_results r;
  const std::u16string first = u"a", second = u"b";
  ASSERT_TRUE(regex::match(first, p, r).matched);
  EXPECT_TRUE(r[1].matched);
  ASSERT_TRUE(regex::match(second, p, r).matched);
  EXPECT_FALSE(r[1].matched);
  EXPECT_TRUE(r[2].matched);
  EXPECT_TRUE(r.subject_begin() == second.begin());
}

struct find_all_case {
  const char* id;
  const char16_t* pattern;
  int flags;
  const char16_t* subject;
  std::vector<span> captures;  // the results after the call
};

// FINDALL-1..: the three keep modes, and empty matches reported once each.
TEST(FindAll, KeepModes) {
  using namespace regex;
  const find_all_case cases[] = {
      {"FINDALL-1", u"(a)(\\d)", find_all, u"a1-a2-a3", {{6, 8}, {6, 7}, {7, 8}}},
      {"FINDALL-2", u"(a)(\\d)", find_all | find_all_whole, u"a1-a2-a3", {{0, 2}, {3, 5}, {6, 8}}},
      {"FINDALL-3", u"(a)(\\d)", find_all | find_all_groups, u"a1-a2",
       {{0, 2}, {0, 1}, {1, 2}, {3, 5}, {3, 4}, {4, 5}}},
      {"FINDALL-4", u"(?:)", find_all | find_all_whole, u"ab", {{0, 0}, {1, 1}, {2, 2}}},
      {"FINDALL-5", u"x*", find_all | find_all_whole, u"axxb", {{0, 0}, {1, 3}, {3, 3}, {4, 4}}},
      {"FINDALL-6", u"a|", find_all | find_all_whole, u"ab", {{0, 1}, {1, 1}, {2, 2}}},
      {"FINDALL-7", u"z", find_all, u"ab", {}},
      {"FINDALL-8", u"\\B", find_all | find_all_whole | from_right, u"1Bb 1", {{2, 2}}},
      {"FINDALL-9", u"a", find_all | find_all_whole | from_right, u"aaa", {{2, 3}}},
  };
  for (const find_all_case& c : cases) {
    SCOPED_TRACE(c.id);
    for (int mode : {0, 1}) {
      const engine_test::outcome out = engine_test::run(c.pattern, c.subject, c.flags, mode);
      EXPECT_EQ(out.matched, !c.captures.empty());
      EXPECT_EQ(out.captures, c.captures);
    }
  }
}

// FINDALL-10: the zero-terminated form stops after the NUL position.
TEST(FindAll, ZeroTerminated) {
  const engine_test::outcome out =
      engine_test::run_cstr(u"", u"ab", regex::find_all | regex::find_all_whole, 0);
  EXPECT_EQ(out.captures, (std::vector<span>{{0, 0}, {1, 1}, {2, 2}}));
}

constexpr std::int32_t lit = subst_piece::literal;
constexpr std::int32_t cap = subst_piece::capture;
constexpr std::int32_t op = subst_piece::operation;

// SUBST-1..: piece lists.
TEST(Substitution, Pieces) {
  const char16_t* four = u"(a)(b)(c)(d)";
  struct piece_case {
    const char* id;
    const char16_t* pattern;
    const char16_t* substitution;
    int flags;
    std::vector<subst_piece> pieces;
    bool uses_captures;
  };
  const piece_case cases[] = {
      {"SUBST-1", four, u"$45", 0, {{cap, 4, 0}, {lit, 2, 1}}, true},
      {"SUBST-2", four, u"$12", 0, {{cap, 1, 0}, {lit, 2, 1}}, true},
      {"SUBST-3", four, u"x$&y$`$'", 0,
       {{lit, 0, 1}, {cap, subst_piece::whole_match, 0}, {lit, 3, 1}, {cap, subst_piece::before_match, 0},
        {cap, subst_piece::after_match, 0}},
       true},
      {"SUBST-4", four, u"\\Q$1\\E", 0, {{lit, 2, 2}, {op, subst_piece::end_case, 0}}, false},
      {"SUBST-5", four, u"\\Q$1", 0, {{lit, 2, 2}}, false},
      {"SUBST-6", four, u"a\\Ub\\lc\\Ld\\ue\\Ef", 0,
       {{lit, 0, 1}, {op, subst_piece::upper_all, 0}, {lit, 3, 1}, {op, subst_piece::lower_one, 0},
        {lit, 6, 1}, {op, subst_piece::lower_all, 0}, {lit, 9, 1}, {op, subst_piece::upper_one, 0},
        {lit, 12, 1}, {op, subst_piece::end_case, 0}, {lit, 15, 1}}, false},
      {"SUBST-7", four, u"a\\$1b", 0, {{lit, 0, 1}, {lit, 2, 3}}, false},  // escaped $ starts a new run
      {"SUBST-8", four, u"", 0, {}, false},
      // Escape processing: \n becomes a line feed; four backslashes become two,
      // which the parser reads as one escaped backslash.
      {"SUBST-9", four, u"a\\nb", regex::control_escapes, {{lit, 0, 3}}, false},
      {"SUBST-10", four, u"\\\\\\\\", regex::control_escapes, {{lit, 1, 1}}, false},
      {"SUBST-11", four, u"\\\\\\\\", 0, {{lit, 1, 1}, {lit, 3, 1}}, false},
      {"SUBST-12", u"(a)", u"$1$1", 0, {{cap, 1, 0}, {cap, 1, 0}}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const regex::rpattern p(c.pattern, c.substitution, c.flags);
    EXPECT_EQ(p.substitution_pieces(), c.pieces);
    EXPECT_EQ(p.substitution_uses_captures(), c.uses_captures);
  }
  // The processed text is what literal offsets refer to.
  const regex::rpattern processed(u"a", u"x\\ty", regex::control_escapes);
  EXPECT_EQ(processed.substitution(), u"x\ty");
}

// SUBST-13..: errors, and set_substitution keeps the old one on failure.
TEST(Substitution, Errors) {
  const char16_t* four = u"(a)(b)(c)(d)";
  const char* bad_ref = "invalid backreference in substitution";
  const char* bad_escape = "expecting escape sequence in substitution string";
  const std::pair<const char16_t*, const char*> cases[] = {
      {u"$", bad_ref}, {u"$0", bad_ref}, {u"$x", bad_ref}, {u"$5", bad_ref}, {u"a\\", bad_escape},
  };
  for (const auto& [text, message] : cases) {
    try {
      regex::rpattern p(four, text);
      ADD_FAILURE() << "accepted " << engine_test::narrow(text);
    } catch (const regex::bad_regexpr& e) {
      EXPECT_STREQ(e.what(), message) << engine_test::narrow(text);
    }
  }
  EXPECT_THROW(regex::rpattern(u"abc", u"$1"), regex::bad_regexpr);  // no groups at all

  regex::rpattern p(four, u"<$2>");
  const auto before = p.substitution_pieces();
  EXPECT_THROW(p.set_substitution(u"$9"), regex::bad_regexpr);
  EXPECT_EQ(p.substitution(), u"<$2>");
  EXPECT_EQ(p.substitution_pieces(), before);
  EXPECT_TRUE(p.substitution_uses_captures());
  p.set_substitution(u"plain");
  EXPECT_FALSE(p.substitution_uses_captures());
  EXPECT_EQ(p.substitution_pieces(), (std::vector<subst_piece>{{lit, 0, 5}}));
}

}  // namespace
