// Matching rules of the nodes and quantifiers, checked in both strategies and
// both subject forms: every case runs recursive and iterative on a bounded
// subject and recursive on the zero-terminated form, and all must agree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_test_util.h"

namespace {

using engine_test::none;
using engine_test::outcome;
using engine_test::span;
using namespace regex;  // flag names

struct match_case {
  const char* id;
  const char16_t* pattern;
  int flags;
  const char16_t* subject;
  bool matched;
  std::vector<span> captures;  // expected entries when matched (all of them)
};

void check(const match_case& c) {
  SCOPED_TRACE(std::string(c.id) + " /" + engine_test::narrow(c.pattern) + "/ on \"" +
               engine_test::narrow(c.subject) + "\"");
  const outcome recursive = engine_test::run(c.pattern, c.subject, c.flags, 0);
  ASSERT_EQ(recursive.error, "");
  EXPECT_EQ(recursive.matched, c.matched);
  if (c.matched) {
    EXPECT_EQ(recursive.captures, c.captures);
  }
  const outcome iterative = engine_test::run(c.pattern, c.subject, c.flags, 1);
  EXPECT_EQ(iterative.matched, recursive.matched);
  EXPECT_EQ(iterative.captures, recursive.captures);
  if (c.flags & from_right) return;  // the zero-terminated search always goes left to right
  const outcome cstr = engine_test::run_cstr(c.pattern, c.subject, c.flags, 0);
  EXPECT_EQ(cstr.matched, recursive.matched);
  EXPECT_EQ(cstr.captures, recursive.captures);
}

const match_case kNodeCases[] = {
    // Alternation takes the first alternative that leads to an overall match.
    {"MATCH-1", u"(a|ab)(c|bcd)", 0, u"abcd", true, {{0, 4}, {0, 1}, {1, 4}}},
    // Back-references.
    {"MATCH-2", u"(a)?b\\1", 0, u"b", false, {}},                  // group did not take part
    {"MATCH-3", u"(a*)b\\1c", 0, u"bc", true, {{0, 2}, {0, 0}}},  // empty capture
    {"MATCH-4", u"(a)\\1", nocase, u"aA", true, {{0, 2}, {0, 1}}},
    {"MATCH-5", u"(ab)\\1", 0, u"abAB", false, {}},
    // Look-around and atomic groups.
    {"MATCH-6", u"(?=ab)a", 0, u"ab", true, {{0, 1}}},
    {"MATCH-7", u"(?!ab)a", 0, u"ab", false, {}},
    {"MATCH-8", u"(?>a+)a", 0, u"aaa", false, {}},
    {"MATCH-9", u"(?=(a))a", 0, u"a", true, {{0, 1}, {0, 1}}},     // captures in a look-ahead stay
    {"MATCH-10", u"(?<=ab)c", 0, u"abc", true, {{2, 3}}},
    {"MATCH-11", u"(?<!a)b", 0, u"ab", false, {}},
    {"MATCH-12", u"(?<=a$)b", 0, u"ab", true, {{1, 2}}},           // the body ends at the look-behind point
    {"MATCH-13", u"(?<=(a|bc))x", 0, u"bcx", true, {{2, 3}, {0, 2}}},
    {"MATCH-14", u"(?<!a|bc)x", 0, u"zax", true, {{2, 3}}},        // decided at the first start tried
    // Assertions.
    {"MATCH-15", u"a$", 0, u"a\n", true, {{0, 1}}},
    {"MATCH-16", u"a\\z", 0, u"a\n", false, {}},
    {"MATCH-17", u"a\\Z", 0, u"a\n", true, {{0, 1}}},
    {"MATCH-18", u"^b", multiline, u"a\nb", true, {{2, 3}}},
    {"MATCH-19", u"a$", multiline, u"a\nb", true, {{0, 1}}},
    {"MATCH-20", u"\\bb", 0, u"ab b", true, {{3, 4}}},
    {"MATCH-21", u"\\Bb", 0, u"ab", true, {{1, 2}}},
    {"MATCH-22", u"a.c", 0, u"a\nc", false, {}},
    {"MATCH-23", u"a.c", singleline, u"a\nc", true, {{0, 3}}},
    // Conditionals.
    {"MATCH-24", u"(a)?(?(1)b|c)", 0, u"ab", true, {{0, 2}, {0, 1}}},
    {"MATCH-25", u"(a)?(?(1)b|c)", 0, u"c", true, {{0, 1}, none}},
    {"MATCH-26", u"(?(?=a)ab|cd)", 0, u"cd", true, {{0, 2}}},
    // The number recorded as invisible is the one before the condition, so a
    // group inside the condition hides and the conditional itself is reported.
    {"MATCH-26b", u"(?(?=(a))ab|cd)", 0, u"ab", true, {{0, 2}, {0, 2}}},
    // Recursion.
    {"MATCH-27", u"a(?R)b|c", 0, u"aacbb", true, {{0, 5}}},
    // Case folding.
    {"MATCH-28", u"(?i)abc", 0, u"xABC", true, {{1, 4}}},
    {"MATCH-29", u"(a(?i)b)c", 0, u"aBc", true, {{0, 3}, {0, 2}}},
    {"MATCH-30", u"(a(?i)b)c", 0, u"aBC", false, {}},
    {"MATCH-31", u"(?i:a)b", 0, u"AB", false, {}},
    // Escapes.
    {"MATCH-32", u"\\n", 0, u"n", true, {{0, 1}}},
    {"MATCH-33", u"\\n", control_escapes, u"\n", true, {{0, 1}}},
    {"MATCH-34", u"\\x41\\101\\cj\\e", 0, u"AA\n\x1b", true, {{0, 4}}},
    {"MATCH-35", u"(a)\\12", 0, u"a\n", true, {{0, 2}, {0, 1}}},  // \12 is octal: only one group opened
    {"MATCH-36", u"a\\", 0, u"a\\", true, {{0, 2}}},
    // Extended mode.
    {"MATCH-37", u"a b # comment\nc", extended, u"abc", true, {{0, 3}}},
    // The search.
    {"MATCH-38", u"abc", 0, u"ab", false, {}},          // shorter than the minimum width
    {"MATCH-39", u"", 0, u"", true, {{0, 0}}},
    {"MATCH-40", u"a", from_right, u"aaa", true, {{2, 3}}},
    {"MATCH-41", u"^a", from_right, u"aaa", true, {{0, 1}}},  // anchored: from_right is dropped
    {"MATCH-42", u"abab", 0, u"abacabab", true, {{4, 8}}},     // found through the skip table
    {"MATCH-43", u"(?i)abab", 0, u"xABaBab", true, {{1, 5}}},
};

const match_case kQuantifierCases[] = {
    {"QUANT-1", u"a+?", 0, u"aaa", true, {{0, 1}}},
    {"QUANT-2", u"a+", 0, u"aaa", true, {{0, 3}}},
    {"QUANT-3", u"a{0}", 0, u"aaa", true, {{0, 0}}},
    {"QUANT-4", u"a{2}", 0, u"a", false, {}},
    {"QUANT-5", u".*x", 0, u"axbxc", true, {{0, 4}}},
    {"QUANT-6", u".*?x", 0, u"axbxc", true, {{0, 2}}},
    {"QUANT-7", u"(a*)*", 0, u"b", true, {{0, 0}, {0, 0}}},     // stops after two empty passes
    {"QUANT-8", u"(a*)+b", 0, u"b", true, {{0, 1}, {0, 0}}},
    {"QUANT-9", u"(a*)\\1*b", 0, u"b", true, {{0, 1}, {0, 0}}},  // empty reference repeated
    {"QUANT-10", u"(?:(a)|b)+", 0, u"ab", true, {{0, 2}, {0, 1}}},
    {"QUANT-11", u"((a)|b)+", 0, u"ab", true, {{0, 2}, {1, 2}, {0, 1}}},  // last pass of group 1
    {"QUANT-12", u"(a|b){2,3}?c", 0, u"ababc", true, {{1, 5}, {3, 4}}},
    {"QUANT-13", u"(ab){2}", 0, u"ababab", true, {{0, 4}, {2, 4}}},
    {"QUANT-14", u"(a){0}b", 0, u"ab", true, {{1, 2}, none}},
    {"QUANT-15", u"(?:a|ab)*?c", 0, u"ababc", true, {{0, 5}}},
    {"QUANT-16", u"(a+|b+)*c", 0, u"aabbac", true, {{0, 6}, {4, 5}}},
    {"QUANT-17", u"x{2,}?", 0, u"xxxx", true, {{0, 2}}},
    {"QUANT-18", u"a{,2}", 0, u"aaa", true, {{0, 2}}},
    {"QUANT-19", u"[ab]{2}c", 0, u"abbc", true, {{1, 4}}},
    {"QUANT-20", u"(?>a*)*b", 0, u"aab", true, {{0, 3}}},
    {"QUANT-21", u"(a?)*?b", 0, u"ab", true, {{0, 2}, {0, 1}}},
    {"QUANT-22", u"\\d+?\\.", 0, u"12.", true, {{0, 3}}},
};

TEST(Matcher, NodeRules) {
  for (const match_case& c : kNodeCases) check(c);
}

TEST(Matcher, QuantifierRules) {
  for (const match_case& c : kQuantifierCases) check(c);
}

// MATCH-44: the zero-terminated form tries the NUL position too.
TEST(Matcher, TerminatedSubjectTriesNulPosition) {
  const regex::rpattern_c end_only(u"\\z");
  regex::match_results_c r;
  const char16_t subject[] = u"ab";
  const auto whole = regex::match(subject, end_only, r);
  ASSERT_TRUE(whole.matched);
  EXPECT_EQ(whole.first, subject + 2);
  // A NUL inside a bounded subject is an ordinary character.
  const regex::rpattern nul(std::u16string(u"a\0b", 3));
  regex::match_results rb;
  const std::u16string bounded(u"xa\0b", 4);
  EXPECT_TRUE(regex::match(bounded, nul, rb).matched);
}

// MATCH-45: the match call returns a null record when nothing matched, and
// the results keep one entry per group number.
TEST(Matcher, NotMatchedRecord) {
  const regex::rpattern p(u"(?:x)(y)(z)");
  regex::match_results r;
  const std::u16string s = u"abc";
  const auto whole = regex::match(s, p, r);
  EXPECT_FALSE(whole.matched);
  EXPECT_TRUE(whole.first == std::u16string::const_iterator());
  EXPECT_EQ(r.size(), 4u);  // every group number, the non-capturing one included
  for (std::size_t i = 0; i < r.size(); ++i) EXPECT_FALSE(r[i].matched);
}

// MATCH-46: long subjects under repeated groups do not exhaust the stack in
// any mode: the recursive strategy falls back to the iterative one.
TEST(Matcher, LongSubjects) {
  const std::u16string ab = [] {
    std::u16string s;
    for (int i = 0; i < 100000; ++i) s += u"ab";  // far deeper than the thread stack allows
    return s;
  }();
  for (int mode : {0, 1, 2}) {
    SCOPED_TRACE(mode);
    const outcome groups = engine_test::run(u"(ab)*$", ab, 0, mode);
    EXPECT_TRUE(groups.matched);
    EXPECT_EQ(groups.captures, (std::vector<span>{{0, 200000}, {199998, 200000}}));
    const outcome alternation = engine_test::run(u"(?:a|b)*x", ab + u"x", 0, mode);
    EXPECT_EQ(alternation.captures, (std::vector<span>{{0, 200001}}));
  }
}

// MATCH-47: deep (?R) recursion ends in the documented exception, not a crash.
TEST(Matcher, RunawayRecursionThrows) {
  const std::u16string subject(200000, u'a');
  for (int mode : {0, 1}) {
    const regex::rpattern p(u"a(?R)|b", 0, mode);
    regex::match_results r;
    EXPECT_THROW(regex::match(subject, p, r), regex::match_depth_error);
  }
}

}  // namespace
