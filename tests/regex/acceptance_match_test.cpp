// Acceptance tables for matching: anchors and word boundaries, the dot,
// groups and alternation, repetition, look-around, atomic groups,
// conditionals, recursion, the zero-terminated subject form and searching
// from the right. Every row runs under both strategies and, unless it says
// otherwise, both subject forms (see acceptance_harness.h).
#include "tests/regex/acceptance_harness.h"

namespace {

using namespace std::string_literals;
using acceptance::accept_case;
using acceptance::forms;
using acceptance::run_table;

constexpr int kM = regex::multiline;
constexpr int kS = regex::singleline;
constexpr int kR = regex::from_right;

TEST(AcceptanceMatch, Anchors) {
  run_table({
      // ANC-1: ^ without multiline holds at the subject start only.
      {"ANC-1a", u"^a", 0, u"ba", "nomatch"},
      {"ANC-1b", u"^b", 0, u"a\nb", "nomatch"},
      {"ANC-1c", u"^b", kM, u"a\nb", "2-3"},
      {"ANC-1d", u"^$", kM, u"a\n", "2-2"},
      // ANC-2: a leading ^ in one alternative does not limit the search.
      {"ANC-2", u"^a|b", 0, u"cb", "1-2"},
      // ANC-3: $ holds at the end or before a final line feed.
      {"ANC-3a", u"a$", 0, u"a\n", "0-1"},
      {"ANC-3b", u"a$", 0, u"a\nb", "nomatch"},
      {"ANC-3c", u"a$", kM, u"a\nb", "0-1"},
      {"ANC-3d", u"a$", 0, u"a\r", "nomatch"},
      {"ANC-3e", u"$", 0, u"ab", "2-2"},
      {"ANC-3f", u"^$", 0, u"", "0-0"},
      // ANC-4: \A, \Z and \z ignore multiline.
      {"ANC-4a", uR"(\Ab)", kM, u"a\nb", "nomatch"},
      {"ANC-4b", uR"(\Aa)", 0, u"aa", "0-1"},
      {"ANC-4c", uR"(a\z)", 0, u"a\n", "nomatch"},
      {"ANC-4d", uR"(a\Z)", 0, u"a\n", "0-1"},
      {"ANC-4e", uR"(a\Z)", 0, u"a\n\n", "nomatch"},
      {"ANC-4f", uR"(a\Z)", kM, u"a\nb", "nomatch"},
      {"ANC-4g", uR"(\Z)", 0, u"a\n", "1-1"},
      // ANC-5: \b and \B use the word set: letters, digits and _, where
      // characters 128-255 are no letters but those above 255 may be.
      {"ANC-5a", uR"(\bfoo\b)", 0, u"afoo foo", "5-8"},
      {"ANC-5b", uR"(\Boo\B)", 0, u"foo fooo", "5-7"},
      {"ANC-5c", uR"(\b)", 0, u"", "nomatch"},
      {"ANC-5d", uR"(\B)", 0, u"", "0-0"},
      {"ANC-5e", uR"(a\b)", 0, u"a", "0-1"},
      {"ANC-5f", uR"(\b_)", 0, u"a_", "nomatch"},
      {"ANC-5g", u"\\b\u017e", 0, u"\u00e9\u017e", "1-2"},
      {"ANC-5h", uR"(\w+)", 0, u"\u00e9_\u017e9", "1-4"},
  });
}

TEST(AcceptanceMatch, Dot) {
  run_table({
      // DOT-1: the dot stops at a line feed unless singleline is set.
      {"DOT-1a", u"a.b", 0, u"a\nb", "nomatch"},
      {"DOT-1b", u"a.b", kS, u"a\nb", "0-3"},
      {"DOT-1c", u".+", 0, u"ab\ncd", "0-2"},
      {"DOT-1d", u".*", kS, u"a\nb", "0-3"},
      {"DOT-2", u".", 0, u"\r", "0-1"},
      // DOT-3: a NUL is a character of a bounded subject and the end of a
      // terminated one.
      {"DOT-3a", u".", 0, u"\0"s, "0-1", forms::bounded},
      {"DOT-3b", u".", 0, u"\0"s, "nomatch", forms::terminated},
  });
}

TEST(AcceptanceMatch, GroupsAndAlternation) {
  run_table({
      // GRP-1: alternatives are tried left to right for an overall match.
      {"GRP-1", u"(a|ab)(c|bcd)", 0, u"abcd", "0-4 0-1 1-4"},
      {"GRP-2", u"a|b|c", 0, u"xc", "1-2"},
      {"GRP-3", u"(a)|(b)", 0, u"b", "0-1 - 0-1"},
      {"GRP-4", u"(a)|b", 0, u"b", "0-1 -"},
      // GRP-5: empty alternatives match the empty string.
      {"GRP-5a", u"(a|)", 0, u"b", "0-0 0-0"},
      {"GRP-5b", u"(|a)", 0, u"a", "0-0 0-0"},
      // GRP-6: groups are numbered by their opening parentheses.
      {"GRP-6", u"((a)(b))", 0, u"ab", "0-2 0-2 0-1 1-2"},
      // GRP-7: non-capturing, atomic and conditional groups are not reported.
      {"GRP-7a", u"(?:a)(b)", 0, u"ab", "0-2 1-2"},
      {"GRP-7b", u"(?>a)(b)", 0, u"ab", "0-2 1-2"},
      {"GRP-7c", u"(a)?(?(1)b|c)(d)", 0, u"cd", "0-2 - 1-2"},
      {"GRP-7d", u"(a)?(?(1)b|c)(d)", 0, u"abd", "0-3 0-1 2-3"},
      // GRP-8: a capture made on an abandoned path is undone.
      {"GRP-8", u"(a)b|ac", 0, u"ac", "0-2 -"},
      // GRP-9: a group closed right after it opens builds no group and takes
      // no number, like (?:) and (?=): the groups after it keep counting on.
      {"GRP-9a", u"(a)()(b)", 0, u"ab", "0-2 0-1 1-2"},
      {"GRP-9b", uR"((a)()(b)\2)", 0, u"ab", "nomatch"},
      {"GRP-9c", uR"((a)()(b)\2)", 0, u"abb", "0-3 0-1 1-2"},
  });
}

TEST(AcceptanceMatch, Repetition) {
  run_table({
      // QNT-1: greedy repetition gives back one repetition at a time.
      {"QNT-1", u".*x", 0, u"axbxc", "0-4"},
      // QNT-2: a repeated group that matches empty stops after two empty passes.
      {"QNT-2a", u"(a*)*", 0, u"b", "0-0 0-0"},
      {"QNT-2b", u"(a*)+", 0, u"b", "0-0 0-0"},
      {"QNT-2c", u"(a|)*b", 0, u"aab", "0-3 2-2"},
      // QNT-3: a repeated back-reference to an empty capture matches once.
      {"QNT-3", uR"((a*)\1{3}x)", 0, u"x", "0-1 0-0"},
      // QNT-4: captures report the last pass on the successful path.
      {"QNT-4a", u"((a)|b)+", 0, u"ab", "0-2 1-2 0-1"},
      {"QNT-4b", u"(a(b)?)+", 0, u"aba", "0-3 2-3 1-2"},
      {"QNT-4c", u"(a|b)*", 0, u"ab", "0-2 1-2"},
      {"QNT-4d", u"(a|ab)*c", 0, u"ababc", "0-5 2-4"},
      // QNT-5: counted and lazy group repetition.
      {"QNT-5a", u"(ab){2}", 0, u"ababab", "0-4 2-4"},
      {"QNT-5b", u"(ab){2,}?", 0, u"ababab", "0-4 2-4"},
      {"QNT-5c", u"(ab)+?", 0, u"abab", "0-2 0-2"},
      {"QNT-5d", u"(a|ab)+?c", 0, u"abc", "0-3 0-2"},
      {"QNT-5e", u"(a){0}b", 0, u"ab", "1-2 -"},
      {"QNT-5f", u"(a){2}", 0, u"a", "nomatch"},
      {"QNT-5g", u"(a){20}", 0, std::u16string(21, u'a'), "0-20 19-20"},
      {"QNT-5h", u"(?:a|b)*?b", 0, u"aab", "0-3"},
      // QNT-6: repeated sets and back-references.
      {"QNT-6a", u"[ab]{3}", 0, u"abba", "0-3"},
      {"QNT-6b", uR"((ab)\1+)", 0, u"abababx", "0-6 0-2"},
      {"QNT-6c", uR"((ab)\1+?)", 0, u"abababx", "0-4 0-2"},
      {"QNT-6d", uR"((ab)\1{2})", 0, u"ababab", "0-6 0-2"},
      // QNT-7: a lazy repetition with a minimum takes the minimum first.
      {"QNT-7", u"a{2,}?", 0, u"aaaa", "0-2"},
      // QNT-8: a greedy repeated set stops at the first non-member, at its
      // upper limit or at the end, tests characters above 255 too, and gives
      // back one character at a time.
      {"QNT-8a", u"[0-9]{2,}5", 0, u"x12345y", "1-6"},
      {"QNT-8b", u"[0-9]{2,3}", 0, u"12345", "0-3"},
      {"QNT-8c", u"^[0-9]{3,}", 0, u"12", "nomatch"},
      {"QNT-8d", u"[\u0100-\u02FFa]+", 0, u"x\u0100a\u02FF\u0300", "1-4"},
      {"QNT-8e", u"[^a]+a", 0, u"\u0100\u00FFba", "0-4"},
      {"QNT-8f", u"[\u0100a]+", regex::nocase, u"A\u0100a\u0102", "0-3"},
      {"QNT-8g", u"[a-c]*c", 0, u"abcabx", "0-3"},
  });
}

TEST(AcceptanceMatch, LookAround) {
  run_table({
      // LKA-1: look-ahead tests without consuming.
      {"LKA-1a", u"(?=ab)a", 0, u"ab", "0-1"},
      {"LKA-1b", u"(?!ab)a", 0, u"ab", "nomatch"},
      {"LKA-1c", u"(?!ab)a", 0, u"ac", "0-1"},
      {"LKA-1d", u"a(?=b)", 0, u"acab", "2-3"},
      // LKA-2: captures of a positive look-ahead stay, of a negative one not.
      {"LKA-2a", u"(?=(a))a", 0, u"a", "0-1 0-1"},
      {"LKA-2b", u"(?!(a))b", 0, u"b", "0-1 -"},
      // LKA-3: a look-ahead is not re-entered for another choice.
      {"LKA-3", uR"((?=(a+))a*b\1)", 0, u"baaabac", "3-6 3-4"},
      // LKA-4: look-behind, fixed and varying width.
      {"LKA-4a", u"(?<=a)b", 0, u"ab", "1-2"},
      {"LKA-4b", u"(?<=a)b", 0, u"cb", "nomatch"},
      {"LKA-4c", u"(?<!a)b", 0, u"abcb", "3-4"},
      {"LKA-4d", u"(?<=a|bc)x", 0, u"bcx", "2-3"},
      {"LKA-4e", u"(?<=a|bc)x", 0, u"ax", "1-2"},
      {"LKA-4f", u"(?<=(a))b", 0, u"ab", "1-2 0-1"},
      {"LKA-4g", u"(?<=ab)c", 0, u"bc", "nomatch"},
      {"LKA-4h", u"(?<!ab)c", 0, u"bc", "1-2"},
      {"LKA-4i", u"(?<=a+)b", 0, u"aab", "2-3"},
      // LKA-6: a look-behind spans exactly its body's widths.
      {"LKA-6a", uR"((?<=(a)\1)b)", 0, u"aab", "2-3 0-1"},
      {"LKA-6b", u"(?<=a{2,5})b", 0, u"ab", "nomatch"},
      {"LKA-6c", u"(?<=a{2,5})b", 0, u"aaaaaab", "6-7"},
      {"LKA-6d", u"(?<=x(a|bc))d", 0, u"xbcd", "3-4 1-3"},
      // LKA-5: an empty look-around builds no node at all, so it tests nothing.
      {"LKA-5a", u"a(?!)", 0, u"a", "0-1"},
      {"LKA-5b", u"(?!)", 0, u"", "0-0"},
      {"LKA-5c", u"a(?=)b", 0, u"ab", "0-2"},
  });
}

TEST(AcceptanceMatch, AtomicGroups) {
  run_table({
      // ATM-1: an atomic group gives nothing back.
      {"ATM-1a", u"(?>a+)a", 0, u"aaa", "nomatch"},
      {"ATM-1b", u"(?>a+)b", 0, u"aab", "0-3"},
      {"ATM-1c", u"(?>(a+))b", 0, u"aab", "0-3 0-2"},
      {"ATM-2a", u"(?>a|ab)c", 0, u"abc", "nomatch"},
      {"ATM-2b", u"(?>ab|a)c", 0, u"abc", "0-3"},
      {"ATM-3", u"(?>a)+b", 0, u"aab", "0-3"},
  });
}

TEST(AcceptanceMatch, Conditionals) {
  run_table({
      // CND-1: a numbered condition tests whether the group took part.
      {"CND-1a", u"(a)?(?(1)b|c)", 0, u"ab", "0-2 0-1"},
      {"CND-1b", u"(a)?(?(1)b|c)", 0, u"c", "0-1 -"},
      {"CND-1c", u"(a)?(?(1)b|c)", 0, u"ac", "1-2 -"},
      {"CND-1d", u"(a)?(?(1)b)c", 0, u"c", "0-1 -"},
      {"CND-1e", u"(a)?(?(1)b)c", 0, u"abc", "0-3 0-1"},
      // CND-2: the condition counts visible groups, also forward ones.
      {"CND-2", u"(?(1)a|b)(x)", 0, u"bx", "0-2 1-2"},
      // CND-3: look-around conditions.
      {"CND-3a", u"(?(?=a)ab|cd)", 0, u"cd", "0-2"},
      {"CND-3b", u"(?(?=a)ab|cd)", 0, u"ab", "0-2"},
      {"CND-3c", u"(?(?=a)ab|cd)", 0, u"ad", "nomatch"},
      {"CND-3d", u"(?(?<=x)a|b)", 0, u"xa", "1-2"},
      {"CND-3e", u"(?(?<=x)a|b)", 0, u"b", "0-1"},
      {"CND-3f", u"(?(?<=x)a|b)", 0, u"xb", "nomatch"},
      {"CND-3g", u"(?(?!a)cd|ab)", 0, u"ab", "0-2"},
      // CND-3h: the number put on the invisible list is taken before the
      // condition is parsed, so a group inside the condition takes it and the
      // conditional's own number stays visible: group 1 reports the
      // conditional's span.
      {"CND-3h", u"(?(?=(a))ab|cd)(x)", 0, u"abx", "0-3 0-2 2-3"},
      // CND-4: a conditional can be repeated.
      {"CND-4", u"(?(?=a)a|b)+", 0, u"abab", "0-4"},
  });
}

TEST(AcceptanceMatch, Recursion) {
  run_table({
      // REC-1: balanced parentheses through recursion.
      {"REC-1a", uR"(\((?:[^()]|(?R))*\))", 0, u"x(a(b)c)y", "1-8"},
      {"REC-1b", uR"(\((?:[^()]|(?R))*\))", 0, u"((()", "2-4"},
      // REC-2: recursion at the attempt's start continues without recursing.
      {"REC-2", u"a|(?R)b", 0, u"b", "0-1"},
      // REC-3: a recursion is a complete nested match.
      {"REC-3a", u"a(?:(?R))?b", 0, u"aabb", "0-4"},
      {"REC-3b", u"a(?:(?R))?b", 0, u"aab", "1-3"},
      // REC-4: a recursion that matched inside a failed attempt does not make
      // the search report a match.
      {"REC-4", uR"(a\z|(?<=(?R))bc)", 0, u"ab", "nomatch"},
      // REC-5: a recursion inside a repeated group ends.
      {"REC-5", u"(?=.(?:(?R))*)", 0, u"a_", "0-0"},
  });
}

TEST(AcceptanceMatch, TerminatedSubject) {
  run_table({
      // TRM-1: the NUL position of a terminated subject is tried too.
      {"TRM-1a", uR"(\z)", 0, u"ab", "2-2"},
      {"TRM-1b", u"(?!.)", 0, u"ab", "2-2"},
      {"TRM-1c", u"x*", 0, u"", "0-0"},
      {"TRM-1d", uR"(a\b)", 0, u"a", "0-1"},
      // TRM-2: a terminated subject ends at its first NUL.
      {"TRM-2a", u"b", 0, u"a\0b"s, "2-3", forms::bounded},
      {"TRM-2b", u"b", 0, u"a\0b"s, "nomatch", forms::terminated},
      {"TRM-2c", uR"(a\z)", 0, u"a\0b"s, "nomatch", forms::bounded},
      {"TRM-2d", uR"(a\z)", 0, u"a\0b"s, "0-1", forms::terminated},
      {"TRM-2e", u"$", 0, u"a\0b"s, "3-3", forms::bounded},
      {"TRM-2f", u"$", 0, u"a\0b"s, "1-1", forms::terminated},
      {"TRM-2g", uR"(\0)", 0, u"a\0"s, "1-2", forms::bounded},
      {"TRM-2h", uR"(\0)", 0, u"a\0"s, "nomatch", forms::terminated},
  });
}

TEST(AcceptanceMatch, FromRight) {
  run_table({
      // RTL-1: the search starts at the last position that leaves room.
      {"RTL-1a", u"a", kR, u"aaa", "2-3", forms::bounded},
      {"RTL-1b", u"a+", kR, u"aaa", "2-3", forms::bounded},
      {"RTL-1c", u"ab|b", kR, u"abab", "3-4", forms::bounded},
      {"RTL-1d", u"(a)(b)?", kR, u"aab", "1-3 1-2 2-3", forms::bounded},
      {"RTL-1e", u"x", kR, u"abc", "nomatch", forms::bounded},
      {"RTL-1f", u"a*", kR, u"baa", "3-3", forms::bounded},
      // RTL-2: a leading ^ (without multiline) anchors the search at 0.
      {"RTL-2a", u"^a", kR, u"aaa", "0-1"},
      {"RTL-2b", u"^a", kR | kM, u"a\na", "2-3", forms::bounded},
      // RTL-3: a terminated subject is searched left to right.
      {"RTL-3a", u"a", kR, u"aaa", "0-1", forms::terminated},
      {"RTL-3b", u"a+", kR, u"baa", "1-3", forms::terminated},
  });
}

}  // namespace
