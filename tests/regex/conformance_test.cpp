// Conformance tables for the pattern engine: the corners of the pattern
// grammar (literal runs, counts, extended mode, escapes, modifiers, which
// error wins), group numbering and captures, the search driver, look-around
// and repetition guards. Every row runs through the public interface under
// modes 0, 1, 2 and 7 and, unless it says otherwise, over both subject forms
// (a std::u16string and a zero-terminated pointer); all runs must give the
// row's outcome.
//
// Outcome texts: "nomatch", "error:<message>", or the capture entries as
// "0-3 1-2 -" (offsets; "-" = the entry did not take part).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regex/regex.h"

namespace {

enum class forms { both, bounded };

struct row {
  const char* id;           // greppable case id
  std::u16string pattern;   // pattern text
  int flags;                // constructor flags
  std::u16string subject;   // subject text
  const char* expect;       // outcome text, see the file comment
  forms where = forms::both;
};

template <class Iter>
std::string describe_captures(const regex::basic_match_results<Iter>& results, Iter begin) {
  std::string text;
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (!text.empty()) text += ' ';
    const auto& c = results[i];
    text += c.matched ? std::to_string(c.first - begin) + "-" + std::to_string(c.second - begin) : "-";
  }
  return text;
}

std::string run(const row& r, int mode, bool terminated) {
  try {
    if (!terminated) {
      regex::rpattern pattern(r.pattern, r.flags, mode);
      regex::match_results results;
      const auto whole = regex::match(r.subject, pattern, results);
      if (!whole.matched) return "nomatch";
      return describe_captures(results, r.subject.cbegin());
    }
    regex::rpattern_c pattern(r.pattern, r.flags, mode);
    regex::match_results_c results;
    const char16_t* text = r.subject.c_str();
    const auto whole = regex::match(text, pattern, results);
    if (!whole.matched) return "nomatch";
    return describe_captures(results, text);
  } catch (const regex::bad_regexpr& e) {
    return std::string("error:") + e.what();
  }
}

void check(const std::vector<row>& table) {
  for (const row& r : table) {
    for (int mode : {0, 1, 2, 7}) {
      for (bool terminated : {false, true}) {
        if (terminated && r.where == forms::bounded) continue;
        EXPECT_EQ(run(r, mode, terminated), r.expect)
            << r.id << " (mode " << mode << (terminated ? ", zero-terminated)" : ", bounded)");
      }
    }
  }
}

constexpr int kNocase = regex::nocase;
constexpr int kMulti = regex::multiline;
constexpr int kSingle = regex::singleline;
constexpr int kRight = regex::from_right;
constexpr int kCtl = regex::control_escapes;
constexpr int kExt = regex::extended;
constexpr int kAll = regex::find_all;
constexpr int kWhole = regex::find_all_whole;
constexpr int kGroups = regex::find_all_groups;

// CONF-1: a repetition takes only the character before it; `{` starts a
// count only where one can be read, otherwise it is an ordinary character.
TEST(ConformanceGrammar, LiteralRunsAndCounts) {
  check({
      {"CONF-1a", u"abc*", 0, u"ab", "0-2"},
      {"CONF-1b", u"ab{2}", 0, u"abb", "0-3"},
      {"CONF-1c", u"a{", 0, u"a{", "0-2"},
      {"CONF-1d", u"a{x}", 0, u"a{x}", "0-4"},
      {"CONF-1e", u"a{,3}", 0, u"aaaa", "0-3"},
      {"CONF-1f", u"a{2,", 0, u"a{2,", "0-4"},
      {"CONF-1g", u"a{2,", 0, u"aa", "nomatch"},
      {"CONF-1h", u"a{3}?", 0, u"aaaa", "0-3"},
      {"CONF-1i", u"x{0}", 0, u"x", "0-0"},
      {"CONF-1j", u"{", 0, u"{", "0-1"},
      {"CONF-1k", u"{2}", 0, u"{2}", "0-3"},
      {"CONF-1l", u"a{3,1", 0, u"a{3,1", "0-5"},
      {"CONF-1m", u"a{2}{3}", 0, u"aa{3}", "0-5"},
      {"CONF-1n", u"a{}", 0, u"a{}", "0-0"},
      {"CONF-1o", u"a{,}", 0, u"aaa", "0-3"},
      // A lower bound of all ones leaves the atom alone: the count is text.
      {"CONF-1p", u"a{4294967295}", 0, u"a", "nomatch"},
      {"CONF-1q", u"a{4294967295}", 0, u"a{4294967295}", "0-13"},
      {"CONF-1r", u"a}?", 0, u"a", "0-1"},
      {"CONF-1s", u"a,?", 0, u"a,", "0-2"},
      {"CONF-1t", u"a{2,3}?", 0, u"aaaa", "0-2"},
      {"CONF-1u", u"a{2,}?a", 0, u"aaaa", "0-3"},
      // After an assertion or a construct that builds nothing, a count is text.
      {"CONF-1v", u"^{3,1}", 0, u"{3,1}", "0-5"},
      {"CONF-1w", u"(?i){3,1}", 0, u"{3,1}", "0-5"},
      {"CONF-1x", u"(a){0}b", 0, u"ab", "1-2 -"},
  });
}

// CONF-2: extended mode skips white space and comments between tokens,
// inside literal runs and before repetitions (the lazy `?` too), but not
// inside counts, brackets or between `(?` and its letter; (?x) lasts to the
// end of the enclosing group.
TEST(ConformanceGrammar, ExtendedMode) {
  check({
      {"CONF-2a", u"a b # comment\nc", kExt, u"abc", "0-3"},
      {"CONF-2b", u"a *", kExt, u"aaa", "0-3"},
      {"CONF-2c", u"a* ?", kExt, u"aaa", "0-0"},
      {"CONF-2d", u"a * ?b", kExt, u"aab", "0-3"},
      {"CONF-2e", u"a{2 }", kExt, u"aa", "0-2"},
      {"CONF-2f", u"a{ 2}", kExt, u"a{2}", "0-4"},
      {"CONF-2g", u"ab c+", kExt, u"abccc", "0-5"},
      {"CONF-2h", u"ab #x\n c+", kExt, u"abcc", "0-4"},
      {"CONF-2i", u"a\\ b", kExt, u"a b", "0-3"},
      {"CONF-2j", u"[ ]", kExt, u" ", "0-1"},
      {"CONF-2k", u"((?x)a b)c d", 0, u"abc d", "0-5 0-2"},
      {"CONF-2l", u"((?x)a b)c d", 0, u"abcd", "nomatch"},
      {"CONF-2m", u"( ?:a)", kExt, u"a", "0-1"},
      {"CONF-2n", u"(?< =a)b", kExt, u"ab", "1-2"},
      {"CONF-2o", u"(a) {2}", kExt, u"aa", "0-2 1-2"},
      {"CONF-2p", u"( ? :a)", kExt, u"a", "error:bad extension sequence"},
      {"CONF-2q", u"(?x) ?", 0, u"", "error:quantifier not expected"},
      {"CONF-2r", u"  ^ab", kExt, u"xab", "nomatch"},
  });
}

// CONF-3: escapes outside brackets.
TEST(ConformanceGrammar, Escapes) {
  check({
      {"CONF-3a", u"\\0", 0, std::u16string(1, u'\0'), "0-1", forms::bounded},
      {"CONF-3b", u"\\8", 0, u"8", "error:reference to nonexistent group"},
      // Above 9 and not below the groups opened so far: octal, \18 is \1 then 8.
      {"CONF-3c", u"\\18", 0, u"\x01" u"8", "0-2"},
      {"CONF-3d", u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)\\10", 0, u"abcdefghijj",
       "0-11 0-1 1-2 2-3 3-4 4-5 5-6 6-7 7-8 8-9 9-10"},
      {"CONF-3e", u"(a)(b)(c)(d)(e)(f)(g)(h)(i)\\10", 0, u"abcdefghi\x08",
       "0-10 0-1 1-2 2-3 3-4 4-5 5-6 6-7 7-8 8-9"},
      {"CONF-3f", u"(a)\\12", 0, u"a\n", "0-2 0-1"},
      // An octal escape whose first digit is 8 or 9 is character 0 followed by the digits.
      {"CONF-3g", u"\\81", 0, std::u16string(u"\0" u"81", 3), "0-3", forms::bounded},
      {"CONF-3h", u"\\0123", 0, u"\n3", "0-2"},
      {"CONF-3i", u"\\400", 0, u"\u0100", "0-1"},
      {"CONF-3j", u"\\x", 0, std::u16string(1, u'\0'), "0-1", forms::bounded},
      {"CONF-3k", u"\\x4g", 0, u"\x04g", "0-2"},
      {"CONF-3l", u"\\xZ", 0, std::u16string(u"\0Z", 2), "0-2", forms::bounded},
      {"CONF-3m", u"\\x41b", 0, u"Ab", "0-2"},
      {"CONF-3n", u"\\x{41}", 0, u"x{41}", "nomatch"},
      {"CONF-3o", u"\\cj", 0, u"\n", "0-1"},
      {"CONF-3p", u"\\c1", 0, u"q", "0-1"},
      {"CONF-3q", u"\\c", 0, u"", "error:incomplete escape sequence \\c"},
      {"CONF-3r", u"\\e", 0, u"\x1b", "0-1"},
      {"CONF-3s", u"\\n", 0, u"n", "0-1"},
      {"CONF-3t", u"\\n", kCtl, u"\n", "0-1"},
      {"CONF-3u", u"\\t\\r\\f\\a", kCtl, u"\t\r\f\a", "0-4"},
      {"CONF-3v", u"\\t", 0, u"t", "0-1"},
      {"CONF-3w", u"\\v", kCtl, u"v", "0-1"},
      {"CONF-3x", u"a\\", 0, u"a\\", "0-2"},
      {"CONF-3y", u"(?i)\\x41", 0, u"a", "0-1"},
      {"CONF-3z", u"\\2(a)(b)", 0, u"ab", "nomatch"},
  });
}

// CONF-4: \Q...\E quotes everything up to \E or the end and cannot be repeated.
TEST(ConformanceGrammar, QuoteMeta) {
  check({
      {"CONF-4a", u"\\Qa.b\\E", 0, u"axb", "nomatch"},
      {"CONF-4b", u"\\Qa.b\\E", 0, u"a.b", "0-3"},
      {"CONF-4c", u"\\Qa*", 0, u"a*", "0-2"},
      {"CONF-4d", u"\\Q", 0, u"", "0-0"},
      {"CONF-4e", u"\\Q(\\Ea", 0, u"(a", "0-2"},
      {"CONF-4f", u"\\Qab\\E*", 0, u"ab", "error:quantifier not expected"},
      {"CONF-4g", u"\\Qa\\E*", 0, u"a", "error:quantifier not expected"},
      {"CONF-4h", u"a\\Q\\E+", 0, u"aa", "error:quantifier not expected"},
      {"CONF-4i", u"\\Qa b\\E", kExt, u"a b", "0-3"},
      {"CONF-4j", u"\\Qab\\E", kNocase, u"AB", "0-2"},
      {"CONF-4k", u"a\\E", 0, u"a", "error:quotemeta turned off, but was never turned on"},
  });
}

// CONF-5: inline modifiers: (?i) lasts to the end of the enclosing group,
// (?i:...) only inside, `-` clears.
TEST(ConformanceGrammar, Modifiers) {
  check({
      {"CONF-5a", u"(a(?i)b)c", 0, u"aBc", "0-3 0-2"},
      {"CONF-5b", u"(a(?i)b)c", 0, u"aBC", "nomatch"},
      {"CONF-5c", u"(?i:a)b", 0, u"AB", "nomatch"},
      {"CONF-5d", u"(?i)a(?-i)b", 0, u"AB", "nomatch"},
      {"CONF-5e", u"(?i)a(?-i)b", 0, u"Ab", "0-2"},
      {"CONF-5f", u"(?im-sx)a", 0, u"A", "0-1"},
      {"CONF-5g", u"(?i-i)a", 0, u"A", "nomatch"},
      {"CONF-5h", u"(?i:(?-i)a)a", 0, u"Aa", "nomatch"},
      {"CONF-5i", u"a(?i)|b", 0, u"B", "0-1"},
      {"CONF-5j", u"(?s).", 0, u"\n", "0-1"},
      {"CONF-5k", u"(?m)^b", 0, u"a\nb", "2-3"},
      {"CONF-5l", u"(?x)a b", 0, u"ab", "0-2"},
      {"CONF-5m", u"(?i)(a)\\1", 0, u"aA", "0-2 0-1"},
  });
}

// CONF-6: error messages, including which one wins when several apply.
TEST(ConformanceGrammar, Errors) {
  const char* ill = "error:ill-formed regular expression";
  const char* bad = "error:bad extension sequence";
  const char* quant = "error:quantifier not expected";
  const char* paren = "error:mismatched parenthesis";
  const char* alts = "error:Too many alternates in conditional subexpression";
  const char* ref = "error:reference to nonexistent group";
  check({
      {"CONF-6a", u"?a", 0, u"", ill},
      {"CONF-6b", u"(?", 0, u"", ill},
      {"CONF-6c", u"(?i", 0, u"", ill},
      {"CONF-6d", u"(?#", 0, u"", ill},
      {"CONF-6e", u"(?<", 0, u"", ill},
      {"CONF-6f", u"(?R", 0, u"", ill},
      {"CONF-6g", u"(?Q)", 0, u"", bad},
      {"CONF-6h", u"(?i-m-s)", 0, u"", bad},
      {"CONF-6i", u"(?<a)", 0, u"", bad},
      {"CONF-6j", u"(?Ra)", 0, u"", bad},
      {"CONF-6k", u"(?(a)b)", 0, u"", bad},
      {"CONF-6l", u"(?(0)a|b)", 0, u"", bad},
      {"CONF-6m", u"(?(1", 0, u"", bad},
      {"CONF-6n", u"(?(?x)a)", 0, u"", bad},
      {"CONF-6o", u"(?#x", 0, u"", "error:Expecting end of comment"},
      {"CONF-6p", u"(a", 0, u"", paren},
      {"CONF-6q", u")", 0, u"", paren},
      {"CONF-6r", u"(?(1)", 0, u"", paren},
      {"CONF-6s", u"(?i)(", 0, u"", paren},
      {"CONF-6t", u"^*", 0, u"", quant},
      {"CONF-6u", u"(?i)*", 0, u"", quant},
      {"CONF-6v", u"(?=a)*", 0, u"", quant},
      {"CONF-6w", u"(?<=a)*", 0, u"", quant},
      {"CONF-6x", u"\\b+", 0, u"", quant},
      {"CONF-6y", u"(?R)*", 0, u"", quant},
      {"CONF-6z", u"a{2}*", 0, u"", quant},
      {"CONF-6aa", u"a(?#x)*", 0, u"", quant},
      {"CONF-6ab", u"(?:)*", 0, u"", quant},
      // Errors found while parsing win over those of the width pass, and the
      // conditional's branch count is checked when it closes.
      {"CONF-6ac", u"(?(1)a|b|c)", 0, u"", alts},
      {"CONF-6ad", u"(?(?=a)b|c|d)", 0, u"", alts},
      {"CONF-6ae", u"(?(1)a|b|c)(", 0, u"", alts},
      {"CONF-6af", u"(a)\\2)", 0, u"", paren},
      {"CONF-6ag", u"(a)\\2", 0, u"", ref},
      {"CONF-6ah", u"(?:a)\\1", 0, u"", ref},
      {"CONF-6ai", u"(?(2)a)", 0, u"", ref},
      {"CONF-6aj", u"(?(1)abc)", 0, u"", ref},
      {"CONF-6ak", u"(a\\c", 0, u"", "error:incomplete escape sequence \\c"},
      {"CONF-6al", u"(a{3,1}", 0, u"", "error:Can't do {n, m} with n > m"},
      {"CONF-6am", u"a{3,1}?", 0, u"", "error:Can't do {n, m} with n > m"},
      {"CONF-6an", u"[a-\\]", 0, u"", "error:invalid range specified in character set"},
  });
}

// CONF-7: group numbering: non-capturing groups are dropped from the results,
// back-references use the visible numbers, and a conditional records the
// counter before its condition (so a group inside a look-around condition is
// hidden and the conditional itself is reported in its place).
TEST(ConformanceGroups, NumberingAndCaptures) {
  check({
      {"CONF-7a", u"(x)(?:y)(z)\\2", 0, u"xyzz", "0-4 0-1 2-3"},
      {"CONF-7b", u"(?:x)(a)\\1", 0, u"xaa", "0-3 1-2"},
      {"CONF-7c", u"(?(?=(a))ab|cd)(x)", 0, u"abx", "0-3 0-2 2-3"},
      {"CONF-7d", u"(?(?=(a))ab|cd)(x)", 0, u"cdx", "0-3 0-2 2-3"},
      {"CONF-7e", u"((?(?=(a))ab|cd))(x)", 0, u"abx", "0-3 0-2 0-2 2-3"},
      {"CONF-7f", u"(?(?<=(a))b|c)", 0, u"ab", "1-2 1-2"},
      {"CONF-7g", u"(?(1)a|b)(a)", 0, u"ba", "0-2 1-2"},
      {"CONF-7h", u"(?(1)abc)(a)", 0, u"a", "0-1 0-1"},
      {"CONF-7i", u"(?:(a)|b)(?(1)c|d)", 0, u"bd", "0-2 -"},
      {"CONF-7j", u"(a|ab)(c|bcd)", 0, u"abcd", "0-4 0-1 1-4"},
      {"CONF-7k", u"(a)b|ac", 0, u"ac", "0-2 -"},
      {"CONF-7l", u"((a)|b)+", 0, u"ab", "0-2 1-2 0-1"},
      {"CONF-7m", u"(?:(a)(b)?)+", 0, u"aba", "0-3 2-3 1-2"},
      {"CONF-7n", u"(a\\1?)+", 0, u"aaa", "0-3 1-3"},
      {"CONF-7o", u"(\\1a|b)+", 0, u"bbab", "0-4 3-4"},
      {"CONF-7p", u"(a\\1)", 0, u"aa", "nomatch"},
      {"CONF-7q", u"(a)?x\\1", 0, u"x", "nomatch"},
      {"CONF-7r", u"(a*)?b\\1", 0, u"b", "0-1 0-0"},
      {"CONF-7s", u"(?>(a+))b", 0, u"aab", "0-3 0-2"},
      {"CONF-7t", u"(?>a|ab)c", 0, u"abc", "nomatch"},
      {"CONF-7u", u"(?=(a))a", 0, u"a", "0-1 0-1"},
      {"CONF-7v", u"(?!(a))b", 0, u"b", "0-1 -"},
      // A group that is closed at once builds nothing and takes no number.
      {"CONF-7w", u"(a)()(b)", 0, u"ab", "0-2 0-1 1-2"},
      {"CONF-7x", u"a(?!)", 0, u"a", "0-1"},
      {"CONF-7y", u"(a|b(?R))", 0, u"bba", "0-3 0-3"},
      {"CONF-7z", u"((?R)a|b)", 0, u"ba", "0-1 0-1"},
  });
}

// CONF-8: the search driver: literal-prefix scan, one attempt for a leading
// ^ (not with multiline or two alternatives) and for a leading .* under
// singleline, from_right, the zero-terminated form's NUL position, find_all.
TEST(ConformanceSearch, Driver) {
  check({
      {"CONF-8a", u"abc", 0, u"xxabcabc", "2-5"},
      {"CONF-8b", u"abc", kNocase, u"xxABcAbC", "2-5"},
      {"CONF-8c", u"(?i)abc", 0, u"xaBxAbC", "4-7"},
      {"CONF-8d", u"^abc", 0, u"xabc", "nomatch"},
      {"CONF-8e", u"^abc", kMulti, u"x\nabc", "2-5"},
      {"CONF-8f", u"^a|b", 0, u"xb", "1-2"},
      {"CONF-8g", u".*x", kSingle, u"ab\nx", "0-4"},
      {"CONF-8h", u".*x", 0, u"ab\nx", "3-4"},
      {"CONF-8i", u".?x", kSingle, u"ab\nx", "2-4"},
      {"CONF-8j", u"a", kRight, u"aaa", "2-3", forms::bounded},
      {"CONF-8k", u"^a", kRight, u"aaa", "0-1", forms::bounded},
      {"CONF-8l", u"a*", kRight, u"baa", "3-3", forms::bounded},
      {"CONF-8m", u"(?=a)", kRight, u"aab", "1-1", forms::bounded},
      {"CONF-8n", u".*x", kSingle | kRight, u"axbx", "3-4", forms::bounded},
      {"CONF-8o", u"\\z", 0, u"ab", "2-2"},
      {"CONF-8p", u"$", 0, u"ab\n", "2-2"},
      {"CONF-8q", u"abc", 0, u"ab", "nomatch"},
      {"CONF-8r", u"x*", kAll | kWhole, u"ab", "0-0 1-1 2-2"},
      {"CONF-8s", u"a*", kAll | kWhole, u"baaa", "0-0 1-4 4-4"},
      {"CONF-8t", u"\\b", kAll | kWhole, u"ab cd", "0-0 2-2 3-3 5-5"},
      {"CONF-8u", u"(a)|(b)", kAll | kGroups, u"ab", "0-1 0-1 - 1-2 - 1-2"},
      {"CONF-8v", u"(a)|(b)", kAll, u"ab", "1-2 - 1-2"},
      {"CONF-8w", u"^a", kAll | kWhole, u"aa", "0-1"},
      {"CONF-8x", u"a*", kAll | kWhole | kRight, u"baa", "3-3", forms::bounded},
      {"CONF-8y", u"(?=a)", kAll | kWhole | kRight, u"aab", "1-1", forms::bounded},
      {"CONF-8z", u"b", kAll, u"", "nomatch"},
  });
}

// CONF-9: look-behind scans its starts from the leftmost the body's widths
// allow; a negative look-behind with a variable-width body decides on that
// first start. The body sees the look-behind point as the subject's end.
TEST(ConformanceLookAround, LookBehind) {
  check({
      {"CONF-9a", u"(?<=(a+))b", 0, u"aab", "2-3 0-2"},
      {"CONF-9b", u"(?<=(a|aa))b", 0, u"aab", "2-3 0-2"},
      {"CONF-9c", u"(?<=(a*?))b", 0, u"aab", "2-3 0-2"},
      {"CONF-9d", u"(?<!a|bcd)x", 0, u"bcdx", "nomatch"},
      {"CONF-9e", u"(?<!xa|b)c", 0, u"abc", "2-3"},
      {"CONF-9f", u"(?<!a|xb)c", 0, u"abc", "2-3"},
      {"CONF-9g", u"(?<!a+)b", 0, u"cab", "2-3"},
      {"CONF-9h", u"(?<!a+)b", 0, u"ab", "nomatch"},
      {"CONF-9i", u"(?<!a*)b", 0, u"b", "nomatch"},
      {"CONF-9j", u"(?<!a{2,3})b", 0, u"aaaab", "nomatch"},
      {"CONF-9k", u"(?<=\\b)a", 0, u"a", "nomatch"},
      {"CONF-9l", u"(?<=$)", 0, u"a", "0-0"},
      {"CONF-9m", u"(?<=a(?=b))b", 0, u"ab", "nomatch"},
      {"CONF-9n", u"(?<=(?<=a)b)c", 0, u"abc", "2-3"},
      {"CONF-9o", u"(?<=(a)|(b))c", 0, u"bc", "1-2 - 0-1"},
      {"CONF-9p", u"(?<!a)", 0, u"", "0-0"},
      {"CONF-9q", u"(?<=a)", 0, u"", "nomatch"},
      {"CONF-9r", u"(?<=a)b", kAll | kWhole, u"abab", "1-2 3-4"},
  });
}

// CONF-10: repetition guards: an empty atom is not repeated, a repeated
// group stops after two empty passes in a row, {0} and large counts.
TEST(ConformanceRepetition, Guards) {
  check({
      {"CONF-10a", u"(a?)*b", 0, u"aab", "0-3 2-2"},
      {"CONF-10b", u"(a?)+?b", 0, u"aab", "0-3 1-2"},
      {"CONF-10c", u"(a?){3}b", 0, u"b", "0-1 0-0"},
      {"CONF-10d", u"(a?){3}?b", 0, u"b", "0-1 0-0"},
      {"CONF-10e", u"(a*)+", 0, u"b", "0-0 0-0"},
      {"CONF-10f", u"(|a)*b", 0, u"aab", "0-3 2-2"},
      {"CONF-10g", u"(|a){2}b", 0, u"ab", "0-2 0-1"},
      {"CONF-10h", u"(a*)\\1{3}c", 0, u"c", "0-1 0-0"},
      {"CONF-10i", u"(a*)\\1{3}?c", 0, u"c", "0-1 0-0"},
      {"CONF-10j", u"(a*)\\1+?c", 0, u"c", "0-1 0-0"},
      {"CONF-10k", u"(a)?\\1{2}c", 0, u"c", "nomatch"},
      {"CONF-10l", u"(a)?\\1*c", 0, u"c", "0-1 -"},
      {"CONF-10m", u"(a){0}\\1", 0, u"a", "nomatch"},
      {"CONF-10n", u"(?:(a)|(b)){0}", 0, u"a", "0-0 - -"},
      {"CONF-10o", u"(?>(a?))*b", 0, u"aab", "0-3 2-2"},
      {"CONF-10p", u"(a|b){2,}?c", 0, u"abababc", "0-7 5-6"},
      {"CONF-10q", u"(?:a|b){17}", 0, std::u16string(17, u'a'), "0-17"},
      {"CONF-10r", u"(a){65536}", 0, u"a", "nomatch"},
      {"CONF-10s", u"a{1000}", 0, std::u16string(1000, u'a'), "0-1000"},
      {"CONF-10t", u"(\\b)*a", 0, u"a", "0-1 0-0"},
  });
}

// CONF-11: repeated matching: after an empty match the next search starts at
// the same position but may not end there empty, so it backtracks into a
// longer choice or moves on.
TEST(ConformanceSearch, RepeatedMatching) {
  check({
      {"CONF-11a", u"a*?", kAll | kWhole, u"aa", "0-0 0-1 1-1 1-2 2-2"},
      {"CONF-11b", u"(?:a|)", kAll | kWhole, u"aa", "0-1 1-2 2-2"},
      {"CONF-11c", u"\\b|a", kAll | kWhole, u"ab", "0-0 0-1 2-2"},
      {"CONF-11d", u"a??", kAll | kWhole, u"ab", "0-0 0-1 1-1 2-2"},
      {"CONF-11e", u"(a)?", kAll | kGroups, u"ab", "0-1 0-1 1-1 - 2-2 -"},
      {"CONF-11f", u"(a)?", kAll, u"ab", "2-2 -"},
      {"CONF-11g", u"$", kAll | kWhole | kMulti, u"a\nb\n", "1-1 3-3 4-4"},
      {"CONF-11h", u"$", kAll | kWhole, u"a\nb\n", "3-3 4-4"},
      {"CONF-11i", u"^", kAll | kWhole | kMulti, u"a\nb\n", "0-0 2-2 4-4"},
  });
}

// CONF-12: extended mode and comments: a `#` comment hides a `)`, (?#...)
// ends at the first `)`, (?-x) and (?x) switch in the middle of a group, and
// a number in a condition is read without skipping white space.
TEST(ConformanceGrammar, ExtendedComments) {
  check({
      {"CONF-12a", u"(a#)\n)b", kExt, u"ab", "0-2 0-1"},
      {"CONF-12b", u"a{2}#c\n?", kExt, u"aaa", "0-2"},
      {"CONF-12c", u"a#\n#\n*", kExt, u"aaa", "0-3"},
      {"CONF-12d", u"x(?-x) (?x) y", kExt, u"x y", "0-3"},
      {"CONF-12e", u"a(?-x) b|c", kExt, u"a b", "0-3"},
      {"CONF-12f", u"[a #]", kExt, u"#", "0-1"},
      {"CONF-12g", u"(?# a ) b)c", kExt, u"bc", "error:mismatched parenthesis"},
      {"CONF-12h", u"(?( 1)a)", kExt, u"a", "error:bad extension sequence"},
      {"CONF-12i", u"(?(01)a|b)(x)", 0, u"bx", "0-2 1-2"},
      {"CONF-12j", u"\\Qa #b\\E", kExt, u"a #b", "0-4"},
  });
}

// CONF-13: a negated POSIX class inside brackets tests every character with
// the wide classification, while a plain class decides 0-255 by the narrow
// "C" one: U+00E9 is a letter to [[:^alpha:]] but not to [[:alpha:]].
TEST(ConformanceSets, NegatedClassesAndLatin1) {
  check({
      {"CONF-13a", u"[[:^alpha:]]", 0, u"\u00e9", "nomatch"},
      {"CONF-13b", u"[^[:alpha:]]", 0, u"\u00e9", "0-1"},
      {"CONF-13c", u"[[:alpha:]]", 0, u"\u00e9", "nomatch"},
      {"CONF-13d", u"[[:^alpha:]]", 0, u"\u00e9" u"1", "1-2"},
      {"CONF-13e", u"[[:^print:]]", 0, u"\u00e9", "nomatch"},
      {"CONF-13f", u"[[:^digit:]]", 0, u"\u00e9", "0-1"},
      {"CONF-13g", u"[[:^alpha:]]", kNocase, u"\u00c9", "nomatch"},
      {"CONF-13h", u"[^[:^alpha:]]", 0, u"\u00e9", "0-1"},
      {"CONF-13i", u"[[:^alpha:]]", 0, u"a\u0150-", "2-3"},
      {"CONF-13j", u"\\W", 0, u"\u00e9", "0-1"},
  });
}

// CONF-14: back-references and numeric conditions name visible groups; the
// number is moved past every non-capturing group at or below it, including
// those nested inside a capturing group and the odd number a conditional
// records before its condition.
TEST(ConformanceGroups, VisibleToInternalNumbers) {
  check({
      {"CONF-14a", u"((?:a)(b))\\2", 0, u"abb", "0-3 0-2 1-2"},
      {"CONF-14b", u"(?:(?:(a)))\\1", 0, u"aa", "0-2 0-1"},
      {"CONF-14c", u"(a)(?:b)\\1", 0, u"aba", "0-3 0-1"},
      {"CONF-14d", u"(?>(a))\\1", 0, u"aa", "0-2 0-1"},
      // The conditional is reported in place of the group inside its condition.
      {"CONF-14e", u"(?(?=(a))a|b)\\1", 0, u"aa", "0-2 0-1"},
      {"CONF-14f", u"(?(?=(a))a|b)(c)\\2", 0, u"acc", "0-3 0-1 1-2"},
      {"CONF-14g", u"(?:x)(?(?=(a))a|b)(c)\\2", 0, u"xacc", "0-4 1-2 2-3"},
      {"CONF-14h", u"(?(?=(a))a|b)(?(2)x|y)", 0, u"ay", "error:reference to nonexistent group"},
      {"CONF-14i", u"(?(?=(?:a))a|b)(c)", 0, u"ac", "0-2 0-1 1-2"},
  });
}

}  // namespace
