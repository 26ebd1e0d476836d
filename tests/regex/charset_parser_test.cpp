// Bracket expressions parsed into sets, checked by membership.
#include "regex/charset_parser.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "regex/flags.h"

namespace regex::detail {
namespace {

// The result of parsing the text after a '['.
struct parsed {
  std::unique_ptr<intrinsic_charset> set;
  std::u16string rest;  // the pattern text after the closing ']'
};

parsed parse(const std::u16string& text, int flags = 0) {
  parsed p{std::make_unique<intrinsic_charset>(), {}};
  const char16_t* cursor = text.data();
  parse_charset(*p.set, cursor, text.data() + text.size(), flags);
  p.rest.assign(cursor, text.data() + text.size());
  return p;
}

std::string show(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      out += "\\u" + std::to_string(unsigned(c));
    }
  }
  return out;
}

// "[text" for failure traces, built by appending (GCC 12 warns spuriously on
// a literal plus a temporary string).
std::string bracket(const std::u16string& text) {
  std::string out = "[";
  out += show(text);
  return out;
}

struct membership_case {
  const char16_t* text;  // after '['
  int flags;
  const char16_t* members;
  const char16_t* non_members;
  const char16_t* rest;  // left after the set
};

void check(const membership_case& t) {
  SCOPED_TRACE(bracket(t.text) + " flags " + std::to_string(t.flags));
  const parsed p = parse(t.text, t.flags);
  const bool fold = (t.flags & nocase) != 0;
  auto in = [&](char16_t c) { return fold ? p.set->in_nocase(c) : p.set->in(c); };
  for (const char16_t* m = t.members; *m; ++m) EXPECT_TRUE(in(*m)) << "member " << show({*m});
  for (const char16_t* m = t.non_members; *m; ++m) EXPECT_FALSE(in(*m)) << "non-member " << show({*m});
  EXPECT_EQ(show(p.rest), show(t.rest));
}

// PARSE-1: first token, range marks and closes in the awkward places.
TEST(CharsetParser, RangesAndLiteralCloseCaretDash) {
  const membership_case cases[] = {
      {u"0-9a-f]", 0, u"0123456789abcdef", u"/:`gABCDEF-", u""},
      {u"0-9a-f]", nocase, u"0123456789abcdefABCDEF", u"gG-/", u""},
      {u"]a]", 0, u"]a", u"b[", u""},
      {u"^]]", 0, u"a[^\u0100", u"]", u""},
      {u"-a]", 0, u"-a", u"b", u""},
      {u"a-]x", 0, u"a-", u"bx]", u"x"},
      {u"a-\\d]", 0, u"a-05", u"bd\\", u""},
      {u"\\d-z]", 0, u"09-z", u"ay", u""},
      {u"a-[:digit:]]", 0, u"a-7", u"b[:", u""},
      {u"a-c-e]", 0, u"abc-e", u"d", u""},
      {u"!-^]", 0, u"!AZ^", u"_ ", u""},
      {u"--/]", 0, u"-./", u",0", u""},
      {u"^-]", 0, u"a", u"-", u""},
      {u"^^]", 0, u"a", u"^", u""},
      {u"a^]", 0, u"a^", u"b", u""},
      {u"a-a]", 0, u"a", u"b`", u""},
      {u"a-z ]", extended, u"a ", u"#", u""},
      {u"[a]", 0, u"[a", u"]", u""},
      {u"a]]", 0, u"a", u"]", u"]"},
  };
  for (const auto& t : cases) check(t);
}

// PARSE-2: escapes: octal and hexadecimal take every digit and wrap at 16
// bits; control letters need control_escapes; anything else is itself.
TEST(CharsetParser, Escapes) {
  const membership_case cases[] = {
      {u"\\101]", 0, u"A", u"\\1", u""},
      {u"\\0]", 0, u"\u0000", u"0", u""},
      {u"\\7777777]", 0, u"\uFFFF", u"7", u""},
      {u"\\1018]", 0, u"A8", u"", u""},
      {u"\\x41]", 0, u"A", u"x4", u""},
      {u"\\x4142]", 0, u"\u4142", u"AB", u""},
      {u"\\x]", 0, u"\u0000", u"x", u""},
      {u"\\x10041]", 0, u"A", u"", u""},
      {u"\\xfF]", 0, u"\u00FF", u"", u""},
      {u"\\cA\\cz\\c[]", 0, u"\u0001\u001A\u001B", u"Acz", u""},
      {u"\\e]", 0, u"\u001B", u"e", u""},
      {u"\\b]", 0, u"\u0008", u"b", u""},
      {u"\\b-\\x10]", 0, u"\u0008\u000C\u0010", u"\u0007\u0011", u""},
      {u"\\a\\f\\n\\r\\t\\v]", 0, u"afnrtv", u"\a\f\n\r\t\v", u""},
      {u"\\a\\f\\n\\r\\t\\v]", control_escapes, u"\a\f\n\r\t\v", u"afnrtv", u""},
      {u"\\\\\\]\\-\\^\\[\\8]", 0, u"\\]-^[8", u"", u""},
      {u"^\\n]", 0, u"\n\r", u"n", u""},
      {u"^\\n]", control_escapes, u"n\r", u"\n", u""},
      {u"\\]-a]", 0, u"]^`a", u"\\b", u""},
  };
  for (const auto& t : cases) check(t);
}

// PARSE-3: POSIX classes, their complements, exact spelling, and case
// folding of upper/lower under nocase.
TEST(CharsetParser, PosixClasses) {
  const membership_case cases[] = {
      {u"[:digit:]x]", 0, u"0189x", u"ay\u0660", u""},
      {u"[:^digit:]]", 0, u"a \u00E9\u0100", u"05", u""},
      {u"[:foo:]]", 0, u"[:fo", u"]x", u"]"},
      {u"[:Digit:]]", 0, u"[:Dig", u"05]", u"]"},
      {u"[: digit:]]", 0, u"[: dig", u"05", u"]"},
      {u"[:alnum:]]", 0, u"a5Z\u0100", u"_ -\u00E9", u""},
      {u"[:alpha:]]", 0, u"aZ\u03B1", u"5_\u00E9", u""},
      {u"[:blank:]]", 0, u" \t\u3000", u"\n\r\v\u2028", u""},
      {u"[:cntrl:]]", 0, u"\u0000\n\u007F", u" a\u0085", u""},
      {u"[:graph:]]", 0, u"a!~", u" \t\u3000", u""},
      {u"[:lower:]]", 0, u"az\u0101", u"AZ\u0100", u""},
      {u"[:lower:]]", nocase, u"azAZ\u0100", u"5", u""},
      {u"[:upper:]]", 0, u"AZ\u0100", u"az\u0101", u""},
      {u"[:upper:]]", nocase, u"azAZ\u0101", u"5_", u""},
      {u"[:print:]]", 0, u" a~", u"\t\u007F", u""},
      {u"[:punct:]]", 0, u"!_~", u"a \u00A1", u""},
      {u"[:space:]]", 0, u" \t\n\r\f\v\u2003", u"a\u00A0", u""},
      {u"[:xdigit:]]", 0, u"09afAF", u"gG", u""},
      {u"[:^space:][:digit:]]", 0, u"a5", u" \t", u""},
      {u"[:^alpha:][:^digit:]]", 0, u"a5 ", u"", u""},
      {u"\\W]", 0, u"-! \u00E9\u2003", u"a_5\u0100", u""},
      {u"\\Wa]", 0, u"a-", u"b_", u""},
      {u"\\s\\d]", 0, u" 5\u2003", u"a", u""},
      {u"^\\w]", 0, u"- \u00E9", u"a_\u0100", u""},
  };
  for (const auto& t : cases) check(t);
}

// PARSE-4: characters above 255 are stored as sorted, joined ranges and
// leave the bitmap alone; case-insensitive lookup folds them.
TEST(CharsetParser, RangesAbove255) {
  const parsed p = parse(u"\\x100-\\x17F]");
  ASSERT_EQ(p.set->ranges().size(), 1u);
  EXPECT_EQ(p.set->ranges()[0].low, 0x100);
  EXPECT_EQ(p.set->ranges()[0].high, 0x17F);
  for (unsigned c = 0; c < 256; ++c) EXPECT_FALSE(p.set->bit(static_cast<unsigned char>(c))) << c;
  EXPECT_TRUE(p.set->in(0x17F));
  EXPECT_FALSE(p.set->in(0x180));

  const parsed q = parse(u"\u0430-\u044F\u0400\u0410-\u042F\u0401-\u040F]");  // Cyrillic
  ASSERT_EQ(q.set->ranges().size(), 1u);
  EXPECT_EQ(q.set->ranges()[0].low, 0x400);
  EXPECT_EQ(q.set->ranges()[0].high, 0x44F);

  check({u"\u0101\u0430-\u044F]", nocase, u"\u0100\u0101\u0410\u042F\u0430", u"\u0102\u0450a", u""});
  check({u"\u0101\u0430-\u044F]", 0, u"\u0101\u0430", u"\u0100\u0410", u""});
}

// PARSE-5: errors and their exact messages.
TEST(CharsetParser, Errors) {
  const struct {
    const char16_t* text;
    int flags;
    const char* message;
  } cases[] = {
      {u"", 0, "expecting end of character set"},
      {u"^", 0, "expecting end of character set"},
      {u"a", 0, "expecting end of character set"},
      {u"]", 0, "expecting end of character set"},
      {u"^]", 0, "expecting end of character set"},
      {u"\\", 0, "expecting end of character set"},
      {u"a\\", 0, "expecting end of character set"},
      {u"a-", 0, "expecting end of character set"},
      {u"\\101", 0, "expecting end of character set"},
      {u"\\x41", 0, "expecting end of character set"},
      {u"\\c", 0, "expecting end of character set"},
      {u"[:digit:]", 0, "expecting end of character set"},
      {u"[:digit:", 0, "expecting end of character set"},
      {u"z-a]", 0, "invalid range specified in character set"},
      {u"a--]", 0, "invalid range specified in character set"},
      {u"\\x17F-\\x100]", 0, "invalid range specified in character set"},
      {u"\\xFFFF-\\x0]", 0, "invalid range specified in character set"},
      {u"b-a]", nocase, "invalid range specified in character set"},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(bracket(t.text));
    try {
      parse(t.text, t.flags);
      ADD_FAILURE() << "no exception";
    } catch (const bad_regexpr& e) {
      EXPECT_STREQ(e.what(), t.message);
    }
  }
}

// PARSE-6: sets mixing negated classes, negated merges and negation agree
// with a direct reading of their definition for every character 0-0x3FF.
TEST(CharsetParser, MixedSetsAgreeWithDefinition) {
  auto digit = [](unsigned c) { return c >= '0' && c <= '9'; };
  auto word = [&](unsigned c) {
    return c == '_' || digit(c) || is_ctype(static_cast<char16_t>(c), ct_alpha);
  };
  auto space = [](unsigned c) { return is_ctype(static_cast<char16_t>(c), ct_space); };
  auto upper = [](unsigned c) { return is_ctype(static_cast<char16_t>(c), ct_upper); };
  const struct {
    const char16_t* text;
    std::function<bool(unsigned)> definition;
  } cases[] = {
      {u"a-z\\W[:^digit:]]", [&](unsigned c) { return (c >= 'a' && c <= 'z') || !word(c) || !digit(c); }},
      {u"^\\D\\s[:upper:]]", [&](unsigned c) { return !(!digit(c) || space(c) || upper(c)); }},
      {u"\\S\\d]", [&](unsigned c) { return !space(c) || digit(c); }},
      {u"^\\x00-\\xFF]", [](unsigned c) { return c > 0xFF; }},
  };
  for (const auto& t : cases) {
    const parsed p = parse(t.text);
    for (unsigned c = 0; c < 0x400; ++c) {
      EXPECT_EQ(p.set->in(static_cast<char16_t>(c)), t.definition(c)) << show(t.text) << " " << c;
    }
  }
}

}  // namespace
}  // namespace regex::detail
