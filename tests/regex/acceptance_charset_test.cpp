// Acceptance tables for character sets: bracket expressions, ranges,
// escapes inside brackets, POSIX classes, the predefined classes, case
// folding, and characters above 255. Every row runs under both strategies and
// both subject forms (see acceptance_harness.h).
#include "tests/regex/acceptance_harness.h"

namespace {

using acceptance::accept_case;
using acceptance::run_table;

constexpr int kI = regex::nocase;
constexpr int kCtl = regex::control_escapes;

TEST(AcceptanceCharset, BracketExpressions) {
  run_table({
      // SET-1: the layout patterns' hexadecimal set holds lower-case letters only.
      {"SET-1a", u"[0-9a-f]+", 0, u"G0a9fA", "1-5"},
      {"SET-1b", u"[0-9a-f]", 0, u"A", "nomatch"},
      {"SET-1c", u"[0-9a-f]", kI, u"A", "0-1"},
      // SET-2: a dash that cannot end a range is literal.
      {"SET-2a", u"[a-]", 0, u"-", "0-1"},
      {"SET-2b", uR"([a-\d])", 0, u"-", "0-1"},
      {"SET-2c", uR"([a-\d])", 0, u"5", "0-1"},
      {"SET-2d", uR"([a-\d])", 0, u"b", "nomatch"},
      {"SET-2e", uR"([\d-z])", 0, u"y-", "1-2"},
      {"SET-2f", uR"([\d-z])", 0, u"yz", "1-2"},
      {"SET-2g", uR"([\d-z])", 0, u"y3", "1-2"},
      {"SET-2h", u"[-a]", 0, u"b-", "1-2"},
      {"SET-2i", uR"([a\-z])", 0, u"b-", "1-2"},
      // SET-3: a ] or ^ first in the set is an ordinary character.
      {"SET-3a", u"[]a]", 0, u"]", "0-1"},
      {"SET-3b", u"[^]]", 0, u"]a", "1-2"},
      {"SET-3c", uR"([\]])", 0, u"x]", "1-2"},
      {"SET-3d", u"[^a]", 0, u"ab", "1-2"},
      {"SET-3e", u"[a^]", 0, u"^", "0-1"},
      // SET-4: escapes inside brackets take any number of digits.
      {"SET-4a", uR"([\0101])", 0, u"A", "0-1"},
      {"SET-4b", uR"([\x4142])", 0, u"\u4142", "0-1"},
      {"SET-4c", uR"([\x41-\x43]+)", 0, u"ABCD", "0-3"},
      {"SET-4d", uR"([\b])", 0, u"b\b", "1-2"},
      {"SET-4e", uR"([\cj])", 0, u"\n", "0-1"},
      {"SET-4f", uR"([\e])", 0, u"\u001b", "0-1"},
      // SET-5: control escapes inside brackets need the flag; \v exists here.
      {"SET-5a", uR"([^\n])", 0, u"n", "nomatch"},
      {"SET-5b", uR"([^\n])", 0, u"\n", "0-1"},
      {"SET-5c", uR"([^\n])", kCtl, u"\nn", "1-2"},
      {"SET-5d", uR"([\v])", kCtl, u"v\v", "1-2"},
      {"SET-5e", uR"([\v])", 0, u"\vv", "1-2"},
      // SET-6: ranges above 255 are kept as ranges, not bitmap bits.
      {"SET-6a", uR"([\x100-\x17F])", 0, u"\u017e", "0-1"},
      {"SET-6b", uR"([\x100-\x17F])", 0, u"\u00e9\u0180", "nomatch"},
      {"SET-6c", uR"([\x41-\x17F]+)", 0, u"@A\u00e9\u017e\u0180", "1-4"},
  });
}

TEST(AcceptanceCharset, Classes) {
  run_table({
      // CLS-1: POSIX classes and their negated forms.
      {"CLS-1a", u"[[:digit:]x]+", 0, u"ax7", "1-3"},
      {"CLS-1b", u"[[:^digit:]]", 0, u"5a", "1-2"},
      {"CLS-1c", u"[[:blank:]]", 0, u"\n\t", "1-2"},
      {"CLS-1d", u"[[:punct:]]+", 0, u"a!?", "1-3"},
      {"CLS-1e", u"[[:xdigit:]]+", 0, u"g0fF", "1-4"},
      {"CLS-1f", u"[[:space:][:digit:]]+", 0, u"a 1\t2", "1-5"},
      {"CLS-1g", u"[[:alnum:]]+", 0, u"-a1-", "1-3"},
      {"CLS-1h", u"[[:cntrl:]]", 0, u"a\u0007", "1-2"},
      // CLS-2: an unknown class name is a set of its characters.
      {"CLS-2a", u"[[:foo:]]", 0, u"f]", "0-2"},
      {"CLS-2b", u"[[:foo:]]", 0, u"f", "nomatch"},
      // CLS-3: with nocase, upper and lower include each other.
      {"CLS-3a", u"[[:upper:]]", kI, u"a", "0-1"},
      {"CLS-3b", u"[[:upper:]]", 0, u"a", "nomatch"},
      {"CLS-3c", u"[[:lower:]]", kI, u"Q", "0-1"},
      // CLS-4: 128-255 belong to no class; above 255 the wide classes apply.
      {"CLS-4a", u"[[:alpha:]]", 0, u"\u00e9", "nomatch"},
      {"CLS-4b", u"[[:alpha:]]", 0, u"\u00e9\u017e", "1-2"},
      {"CLS-4c", u"[[:^alpha:]]", 0, u"\u017e1", "1-2"},
      {"CLS-4d", uR"(\w)", 0, u"\u00e9\u017e", "1-2"},
      {"CLS-4e", uR"(\s)", 0, u"\u00a0\u2003", "1-2"},
      {"CLS-4f", uR"(\S)", 0, u"\u00a0", "0-1"},
      {"CLS-4g", uR"([\w])", 0, u"\u00e9\u017e", "1-2"},
      // CLS-5: predefined classes inside brackets, plain and negated.
      {"CLS-5a", uR"([\D])", 0, u"5a", "1-2"},
      {"CLS-5b", uR"([\Wa]+)", 0, u"b a", "1-3"},
      {"CLS-5c", uR"([^\W])", 0, u" b", "1-2"},
      {"CLS-5d", uR"([^\d\s])", 0, u"1 a", "2-3"},
      {"CLS-5e", uR"([\S\d])", 0, u" x", "1-2"},
      {"CLS-5f", uR"(\d+)", 0, u"a123", "1-4"},
      {"CLS-5g", uR"(\D+)", 0, u"12ab3", "2-4"},
  });
}

TEST(AcceptanceCharset, CaseFolding) {
  run_table({
      // FLD-1: ranges fold case in the bitmap.
      {"FLD-1a", u"[a-c]", kI, u"B", "0-1"},
      {"FLD-1b", u"(?i)[A-Z]", 0, u"q", "0-1"},
      // FLD-2: characters above 255 fold through the wide case mapping.
      {"FLD-2a", u"[\u017e]", kI, u"\u017d", "0-1"},
      {"FLD-2b", u"[\u017d]", kI, u"\u017e", "0-1"},
      {"FLD-2c", u"\u017e", kI, u"\u017d", "0-1"},
      // FLD-3: in a set, 128-255 fold with the narrow C rules (not at all),
      // while a single character folds with the wide rules.
      {"FLD-3a", u"[\u00e9]", kI, u"\u00c9", "nomatch"},
      {"FLD-3b", u"\u00e9", kI, u"\u00c9", "0-1"},
      // FLD-4: literals fold as a whole.
      {"FLD-4", u"(?i)abc\u017e", 0, u"xAbC\u017d", "1-5"},
  });
}

}  // namespace
