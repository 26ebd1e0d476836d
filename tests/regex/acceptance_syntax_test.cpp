// Acceptance tables for pattern syntax: escapes, octal escapes against
// back-references, counts and quantifier parsing, inline modifiers and their
// scope, extended mode and quoting. Every row runs under both strategies and
// both subject forms (see acceptance_harness.h).
#include "tests/regex/acceptance_harness.h"

namespace {

using namespace std::string_literals;
using acceptance::accept_case;
using acceptance::forms;
using acceptance::run_table;

constexpr int kCtl = regex::control_escapes;
constexpr int kX = regex::extended;
constexpr int kI = regex::nocase;

TEST(AcceptanceSyntax, Escapes) {
  run_table({
      // ESC-1: a literal run matches where it occurs.
      {"ESC-1", u"abc", 0, u"xxabcx", "2-5"},
      // ESC-2: the empty pattern matches the empty string at 0.
      {"ESC-2", u"", 0, u"abc", "0-0"},
      // ESC-3: without control_escapes \n is the letter n.
      {"ESC-3", uR"(\n)", 0, u"a\nn", "2-3"},
      // ESC-4: with control_escapes \n is a line feed.
      {"ESC-4", uR"(\n)", kCtl, u"an\n", "2-3"},
      // ESC-5: \t, \a, \f, \r follow the same rule.
      {"ESC-5a", uR"(\t)", kCtl, u"t\t", "1-2"},
      {"ESC-5b", uR"(\t)", 0, u"t\t", "0-1"},
      {"ESC-5c", uR"(\a\f\r)", kCtl, u"x\a\f\r", "1-4"},
      {"ESC-5d", uR"(\a\f\r)", 0, u"afr", "0-3"},
      // ESC-6: \v outside brackets is the letter v even with control_escapes.
      {"ESC-6", uR"(\v)", kCtl, u"\vv", "1-2"},
      // ESC-7: an escaped backslash is a backslash with or without the flag.
      {"ESC-7a", uR"(\\)", 0, u"a\\", "1-2"},
      {"ESC-7b", uR"(\\)", kCtl, u"a\\", "1-2"},
      // ESC-8: \x takes at most two hexadecimal digits; none give NUL, and a
      // following {n} counts that NUL.
      {"ESC-8a", uR"(\x41)", 0, u"zA", "1-2"},
      {"ESC-8b", uR"(\x414)", 0, u"A4", "0-2"},
      {"ESC-8c", uR"(\x4g)", 0, u"\u0004g", "0-2"},
      {"ESC-8d", uR"(a\x)", 0, u"a\0b"s, "0-2", forms::bounded},
      {"ESC-8e", uR"(\x{2})", 0, u"A\0\0B"s, "1-3", forms::bounded},
      // ESC-9: octal escapes start with a zero or exceed the groups opened.
      {"ESC-9a", uR"(\101)", 0, u"A", "0-1"},
      {"ESC-9b", uR"(\012)", 0, u"\n", "0-1"},
      {"ESC-9c", uR"(\0101)", 0, u"\b1", "0-2"},
      {"ESC-9d", uR"(\400)", 0, u"\u0100", "0-1"},
      {"ESC-9e", uR"(x\0)", 0, u"x\0"s, "0-2", forms::bounded},
      // ESC-10: \c turns a letter into its control character.
      {"ESC-10a", uR"(\cj)", 0, u"\n", "0-1"},
      {"ESC-10b", uR"(\cJ)", 0, u"\n", "0-1"},
      {"ESC-10c", uR"(\c[)", 0, u"\u001b", "0-1"},
      {"ESC-10d", uR"(\c?)", 0, u"\u007f", "0-1"},
      // ESC-11: \e is the escape character.
      {"ESC-11", uR"(\e)", 0, u"\u001b", "0-1"},
      // ESC-12: a trailing backslash is a literal backslash.
      {"ESC-12", uR"(a\)", 0, u"a\\", "0-2"},
      // ESC-13: an escaped special character is literal.
      {"ESC-13a", uR"(a\.)", 0, u"ab a.", "3-5"},
      {"ESC-13b", uR"(\(\)\[\{\*\+\?\|\^\$)", 0, u"()[{*+?|^$", "0-10"},
      // ESC-14: characters above 255 are ordinary characters.
      {"ESC-14", u"\u017e\u4e00", 0, u"x\u017e\u4e00", "1-3"},
      // ESC-15: a comment group matches nothing.
      {"ESC-15", u"a(?#note)b", 0, u"ab", "0-2"},
  });
}

TEST(AcceptanceSyntax, OctalAgainstBackReference) {
  run_table({
      // OCT-1: \1 refers to group 1.
      {"OCT-1", uR"((a)\1)", 0, u"aa", "0-2 0-1"},
      // OCT-2: \12 with fewer than 12 groups opened is octal 10.
      {"OCT-2", uR"(a\12)", 0, u"a\n", "0-2"},
      // OCT-3: \10 after one group is octal 8.
      {"OCT-3", uR"((a)\10)", 0, u"a\b", "0-2 0-1"},
      // OCT-4: \10 after ten groups is a back-reference.
      {"OCT-4", uR"((a)(b)(c)(d)(e)(f)(g)(h)(i)(j)\10)", 0, u"abcdefghijj",
       "0-11 0-1 1-2 2-3 3-4 4-5 5-6 6-7 7-8 8-9 9-10"},
      // OCT-5: \11 after ten groups (eleven numbers with group 0) is octal 9.
      {"OCT-5", uR"((a)(b)(c)(d)(e)(f)(g)(h)(i)(j)\11)", 0, u"abcdefghij\t",
       "0-11 0-1 1-2 2-3 3-4 4-5 5-6 6-7 7-8 8-9 9-10"},
      // OCT-6: octal stops at the first non-octal digit, which is literal.
      {"OCT-6", uR"(\18)", 0, u"\u00018", "0-2"},
      // OCT-7: an octal escape starting with 8 yields NUL, the digits follow.
      {"OCT-7", uR"(\81)", 0, u"x\0" u"81"s, "1-4", forms::bounded},
      // OCT-8: forward references 1-9 compile and fail while unset.
      {"OCT-8", uR"(\2(a)(b))", 0, u"xab", "nomatch"},
      // OCT-9: a back-reference to a group outside the taken alternative fails.
      {"OCT-9", uR"((a)|b\1)", 0, u"ba", "1-2 1-2"},
      // OCT-10: a back-reference to an empty capture matches without advancing.
      {"OCT-10", uR"((a*)b\1)", 0, u"b", "0-1 0-0"},
      // OCT-11: a back-reference to an optional group that did not take part fails.
      {"OCT-11", uR"((a)?b\1)", 0, u"b", "nomatch"},
      // OCT-12: back-references count visible groups only.
      {"OCT-12", uR"((x)(?:y)(z)\2)", 0, u"xyzz", "0-4 0-1 2-3"},
      {"OCT-12b", uR"((x)(?:y)(z)\2)", 0, u"xyzy", "nomatch"},
      // OCT-13: case-insensitive back-references compare upper-case forms.
      {"OCT-13a", uR"((?i)(a)\1)", 0, u"aA", "0-2 0-1"},
      {"OCT-13b", uR"((a)(?i:\1))", 0, u"aA", "0-2 0-1"},
      {"OCT-13c", uR"((a)\1)", 0, u"aA", "nomatch"},
      {"OCT-13d", u"(?i)(\u017e)\\1", 0, u"\u017e\u017d", "0-2 0-1"},
      // OCT-14: a back-reference repeats the captured text, not the pattern.
      {"OCT-14", uR"(([ab])\1)", 0, u"abba", "1-3 1-2"},
  });
}

TEST(AcceptanceSyntax, Counts) {
  run_table({
      // CNT-1: a quantifier after a literal run binds to its last character.
      {"CNT-1a", u"abc*", 0, u"abccc", "0-5"},
      {"CNT-1b", u"abc*", 0, u"abab", "0-2"},
      {"CNT-2", u"ab{2}", 0, u"ababb", "2-5"},
      // CNT-3: {,n} is {0,n}; {n,} and {,} have no upper bound.
      {"CNT-3a", u"a{,3}", 0, u"aaaa", "0-3"},
      {"CNT-3b", u"a{2,}", 0, u"aaaa", "0-4"},
      {"CNT-3c", u"a{2,}", 0, u"a", "nomatch"},
      {"CNT-3d", u"a{,}", 0, u"aaa", "0-3"},
      // CNT-4: a brace that starts no valid count is literal.
      {"CNT-4a", u"a{x}", 0, u"a{x}", "0-4"},
      {"CNT-4b", u"a{", 0, u"a{", "0-2"},
      {"CNT-4c", u"a{2", 0, u"aa{2", "1-4"},
      {"CNT-4d", u"{2}", 0, u"{2}", "0-3"},
      {"CNT-4e", u"a{2}{3}", 0, u"aa{3}", "0-5"},
      // CNT-5: a lower bound of 0xFFFFFFFF leaves the atom unquantified.
      {"CNT-5", u"a{4294967295}", 0, u"a{4294967295}", "0-13"},
      // CNT-5b: a count beyond 32 bits never means a small count.
      {"CNT-5b", u"a{4294967296}", 0, u"aa", "nomatch"},
      {"CNT-5c", u"a{4294967297,}", 0, u"aa", "nomatch"},
      {"CNT-5d", u"a{4294967296}", 0, u"a{4294967296}", "0-13"},
      {"CNT-5e", u"a{99999999999}", 0, u"a{99999999999}", "0-14"},
      // CNT-6: bounded counts, exact and lazy.
      {"CNT-6a", u"a{2,3}", 0, u"aaaaa", "0-3"},
      {"CNT-6b", u"a{2,3}?", 0, u"aaaa", "0-2"},
      {"CNT-6c", u"a{2}?", 0, u"aaa", "0-2"},
      {"CNT-6d", u"a{2}", 0, u"a", "nomatch"},
      {"CNT-6e", u"a{0}", 0, u"a", "0-0"},
      {"CNT-6f", u"x{0}y", 0, u"xy", "1-2"},
      // CNT-7: the short forms, greedy and lazy.
      {"CNT-7a", u"a+", 0, u"aaa", "0-3"},
      {"CNT-7b", u"a+?", 0, u"aaa", "0-1"},
      {"CNT-7c", u"a*?", 0, u"aaa", "0-0"},
      {"CNT-7d", u"a?", 0, u"a", "0-1"},
      {"CNT-7e", u"a??", 0, u"a", "0-0"},
      {"CNT-7f", u"a{2,}?b", 0, u"aaab", "0-4"},
      // CNT-8: in extended mode the quantifier may follow white space.
      {"CNT-8a", u"ab +", kX, u"abbb", "0-4"},
      {"CNT-8b", u"a* ?", kX, u"aaa", "0-0"},
      {"CNT-8c", u"a {2}", kX, u"aa", "0-2"},
  });
}

TEST(AcceptanceSyntax, ModifiersAndScope) {
  run_table({
      // MOD-1: (?i) applies to the rest of the pattern.
      {"MOD-1", u"(?i)abc", 0, u"xABC", "1-4"},
      // MOD-2: (?i) inside a group ends with the group.
      {"MOD-2a", u"(a(?i)b)c", 0, u"aBc", "0-3 0-2"},
      {"MOD-2b", u"(a(?i)b)c", 0, u"aBC", "nomatch"},
      {"MOD-2c", u"((?i)a)a", 0, u"Aa", "0-2 0-1"},
      {"MOD-2d", u"((?i)a)a", 0, u"AA", "nomatch"},
      // MOD-3: (?i:...) applies inside only.
      {"MOD-3a", u"(?i:a)b", 0, u"Ab", "0-2"},
      {"MOD-3b", u"(?i:a)b", 0, u"AB", "nomatch"},
      {"MOD-3c", u"(?i:a|b)c", 0, u"Bc", "0-2"},
      {"MOD-3d", u"(?i:(?-i:a)b)", 0, u"aB", "0-2"},
      {"MOD-3e", u"(?i:(?-i:a)b)", 0, u"AB", "nomatch"},
      // MOD-4: a modifier reaches later alternatives of its group.
      {"MOD-4", u"a(?i)b|c", 0, u"C", "0-1"},
      // MOD-5: letters after - clear their bit.
      {"MOD-5a", u"(?i)a(?-i)b", 0, u"Ab", "0-2"},
      {"MOD-5b", u"(?i)a(?-i)b", 0, u"AB", "nomatch"},
      {"MOD-5c", u"(?i-i)a", 0, u"A", "nomatch"},
      {"MOD-5d", u"(?-i)a", kI, u"A", "nomatch"},
      // MOD-6: s, m and x inline.
      {"MOD-6a", u"(?s).", 0, u"\n", "0-1"},
      {"MOD-6b", u".", 0, u"\n", "nomatch"},
      {"MOD-6c", u"(?m)^b", 0, u"a\nb", "2-3"},
      {"MOD-6d", u"(?x)a b", 0, u"ab", "0-2"},
      {"MOD-6e", u"(?ms)a.^b", 0, u"a\nb", "0-3"},
  });
}

TEST(AcceptanceSyntax, ExtendedModeAndQuoting) {
  run_table({
      // EXT-1: white space and comments between tokens are ignored.
      {"EXT-1", u"a b # comment\nc", kX, u"abc", "0-3"},
      {"EXT-2", u"a b", 0, u"a b", "0-3"},
      {"EXT-3", u"( a | b ) c", kX, u"bc", "0-2 0-1"},
      {"EXT-4", u"a #c", kX, u"a", "0-1"},
      // EXT-5: spaces inside brackets and escaped spaces stay.
      {"EXT-5a", u"[ ]", kX, u"x y", "1-2"},
      {"EXT-5b", uR"(a\ b)", kX, u"a b", "0-3"},
      {"EXT-5c", uR"(a\#b)", kX, u"a#b", "0-3"},
      // QM-1: \Q...\E quotes special characters.
      {"QM-1", uR"(\Qa.b\E)", 0, u"axb a.b", "4-7"},
      {"QM-2", uR"(\Qa.b)", 0, u"a.b", "0-3"},
      {"QM-3", uR"(x\Q(\E)", 0, u"x(", "0-2"},
      {"QM-4", uR"(a\Q\Eb)", 0, u"ab", "0-2"},
      {"QM-5", uR"(\Q*\E)", 0, u"*", "0-1"},
      {"QM-6", uR"(\Qa\\E)", 0, u"a\\", "0-2"},
      {"QM-7", uR"(\Q a \E)", kX, u"x a ", "1-4"},
  });
}

TEST(AcceptanceSyntax, ErrorMessages) {
  const char* qne = "error:quantifier not expected";
  const char* ill = "error:ill-formed regular expression";
  const char* bad = "error:bad extension sequence";
  const char* par = "error:mismatched parenthesis";
  const char* ref = "error:reference to nonexistent group";
  run_table({
      // ERR-1: quantifiers with nothing quantifiable before them.
      {"ERR-1a", u"*a", 0, u"", qne},
      {"ERR-1b", u"a**", 0, u"", qne},
      {"ERR-1c", u"(*a)", 0, u"", qne},
      {"ERR-1d", u"a|*b", 0, u"", qne},
      {"ERR-1e", u"^*", 0, u"", qne},
      {"ERR-1f", u"+", 0, u"", qne},
      {"ERR-1g", u"a|?", 0, u"", qne},
      {"ERR-1h", u"(?i)*", 0, u"", qne},
      {"ERR-1i", uR"(\b+)", 0, u"", qne},
      {"ERR-1j", uR"(\Qab\E+)", 0, u"", qne},
      {"ERR-1k", u"a{2}*", 0, u"", qne},
      {"ERR-1l", u"(?=a)*", 0, u"", qne},
      {"ERR-1m", u"x(?R)*", 0, u"", qne},
      // ERR-2: an extension at the pattern start or at its end.
      {"ERR-2a", u"?a", 0, u"", ill},
      {"ERR-2b", u"(?", 0, u"", ill},
      {"ERR-2c", u"(?i", 0, u"", ill},
      {"ERR-2d", u"??", 0, u"", ill},
      // ERR-3: unknown extensions.
      {"ERR-3a", u"(?Q)", 0, u"", bad},
      {"ERR-3b", u"(?i-m-s)", 0, u"", bad},
      {"ERR-3c", u"(?<a)", 0, u"", bad},
      {"ERR-3d", u"(?Ra)", 0, u"", bad},
      {"ERR-3e", u"(?(a)b)", 0, u"", bad},
      {"ERR-3f", u"(?(0)a|b)", 0, u"", bad},
      {"ERR-3g", u"(a)(?(1a)b)", 0, u"", bad},
      // ERR-4: parentheses that do not pair.
      {"ERR-4a", u"(a", 0, u"", par},
      {"ERR-4b", u"a)", 0, u"", par},
      {"ERR-4c", u"((a)", 0, u"", par},
      {"ERR-4d", u"(?:a", 0, u"", par},
      {"ERR-4e", u"(?<=a", 0, u"", par},
      // ERR-5: the remaining parse errors.
      {"ERR-5a", u"(?#x", 0, u"", "error:Expecting end of comment"},
      {"ERR-5b", u"a{3,1}", 0, u"", "error:Can't do {n, m} with n > m"},
      {"ERR-5c", uR"(a\c)", 0, u"", "error:incomplete escape sequence \\c"},
      {"ERR-5d", uR"(a\E)", 0, u"", "error:quotemeta turned off, but was never turned on"},
      {"ERR-5e", u"(a)(?(1)b|c|d)", 0, u"",
       "error:Too many alternates in conditional subexpression"},
      // ERR-6: references to groups the pattern does not have.
      {"ERR-6a", uR"((a)\2)", 0, u"", ref},
      {"ERR-6b", uR"(\8)", 0, u"", ref},
      {"ERR-6c", u"(a)(?(2)b|c)", 0, u"", ref},
      {"ERR-6d", u"(?(1)a|b)", 0, u"", ref},
      {"ERR-6e", uR"((?:a)\2)", 0, u"", ref},
      // ERR-7: bracket expressions.
      {"ERR-7a", u"[a", 0, u"", "error:expecting end of character set"},
      {"ERR-7b", uR"([\)", 0, u"", "error:expecting end of character set"},
      {"ERR-7c", u"[", 0, u"", "error:expecting end of character set"},
      {"ERR-7d", u"[^", 0, u"", "error:expecting end of character set"},
      {"ERR-7e", uR"([\x41)", 0, u"", "error:expecting end of character set"},
      {"ERR-7f", uR"([\c)", 0, u"", "error:expecting end of character set"},
      {"ERR-7g", u"[a-", 0, u"", "error:expecting end of character set"},
      {"ERR-7h", u"[z-a]", 0, u"", "error:invalid range specified in character set"},
      {"ERR-7i", u"[a--]", 0, u"", "error:invalid range specified in character set"},
  });
}

}  // namespace
