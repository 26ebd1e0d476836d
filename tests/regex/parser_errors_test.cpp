// Every syntax error of the pattern parser and compiler, with its exact text,
// and constructs that look wrong but compile.
#include <gtest/gtest.h>

#include "engine_test_util.h"

namespace {

using engine_test::compile_error;

struct error_case {
  const char* id;
  const char16_t* pattern;
  int flags;
  const char* message;  // "" = compiles
};

const error_case kCases[] = {
    // Quantifier with nothing to repeat.
    {"PARSE-1", u"*a", 0, "quantifier not expected"},
    {"PARSE-2", u"a**", 0, "quantifier not expected"},
    {"PARSE-3", u"(*a)", 0, "quantifier not expected"},
    {"PARSE-4", u"a|*b", 0, "quantifier not expected"},
    {"PARSE-5", u"^*", 0, "quantifier not expected"},
    {"PARSE-6", u"a*??", 0, "quantifier not expected"},
    {"PARSE-7", u"(?i)*", 0, "quantifier not expected"},
    {"PARSE-8", u"\\Qab\\E+", 0, "quantifier not expected"},
    {"PARSE-9", u"(?=a)*", 0, "quantifier not expected"},
    {"PARSE-10", u"()*", 0, "quantifier not expected"},  // () builds no group
    {"PARSE-11", u"a(?R)*", 0, "quantifier not expected"},
    {"PARSE-12", u"\\b+", 0, "quantifier not expected"},
    // Extensions.
    {"PARSE-13", u"?a", 0, "ill-formed regular expression"},
    {"PARSE-14", u"(?", 0, "ill-formed regular expression"},
    {"PARSE-15", u"(?i", 0, "ill-formed regular expression"},
    {"PARSE-16", u"(?:", 0, "ill-formed regular expression"},
    {"PARSE-17", u"(?Q)", 0, "bad extension sequence"},
    {"PARSE-18", u"(?i-m-s)", 0, "bad extension sequence"},
    {"PARSE-19", u"(?<x)", 0, "bad extension sequence"},
    {"PARSE-20", u"(?Rx)", 0, "bad extension sequence"},
    {"PARSE-21", u"(?(x)a|b)", 0, "bad extension sequence"},
    {"PARSE-22", u"(?(0)a|b)", 0, "bad extension sequence"},
    {"PARSE-23", u"(?#x", 0, "Expecting end of comment"},
    {"PARSE-24", u"(a)(?(1)a|b|c)", 0, "Too many alternates in conditional subexpression"},
    // Parentheses.
    {"PARSE-25", u"(a", 0, "mismatched parenthesis"},
    {"PARSE-26", u"a)", 0, "mismatched parenthesis"},
    {"PARSE-27", u")", 0, "mismatched parenthesis"},
    {"PARSE-28", u"((a)", 0, "mismatched parenthesis"},
    {"PARSE-29", u"(a # x)", regex::extended, "mismatched parenthesis"},  // the ) is inside the comment
    // Escapes.
    {"PARSE-30", u"\\c", 0, "incomplete escape sequence \\c"},
    {"PARSE-31", u"a\\E", 0, "quotemeta turned off, but was never turned on"},
    {"PARSE-32", u"\\Qa\\E\\E", 0, "quotemeta turned off, but was never turned on"},
    // Counts.
    {"PARSE-33", u"a{3,1}", 0, "Can't do {n, m} with n > m"},
    {"PARSE-34", u"a{3,1}?", 0, "Can't do {n, m} with n > m"},
    {"PARSE-35", u"a{3,1", 0, ""},  // no closing brace: taken literally
    // Back-references are checked once the whole pattern is known.
    {"PARSE-36", u"(a)\\2", 0, "reference to nonexistent group"},
    {"PARSE-37", u"\\2(a)(b)", 0, ""},
    {"PARSE-38", u"(?:a)\\1", 0, "reference to nonexistent group"},
    {"PARSE-39", u"(?(2)a)(b)", 0, "reference to nonexistent group"},
    {"PARSE-40", u"(a*|\\5)", 0, "reference to nonexistent group"},  // in a later alternative
    {"PARSE-41", u"\\12", 0, ""},                                     // octal, not a reference
    // Sets (the bracket parser's messages pass through).
    {"PARSE-42", u"[a", 0, "expecting end of character set"},
    {"PARSE-43", u"[z-a]", 0, "invalid range specified in character set"},
    // Constructs that compile.
    {"PARSE-44", u"", 0, ""},
    {"PARSE-45", u"(?i)", 0, ""},
    {"PARSE-46", u"(?:)", 0, ""},
    {"PARSE-47", u"(?#comment)a", 0, ""},
    {"PARSE-48", u"a{", 0, ""},
    {"PARSE-49", u"a{x}", 0, ""},
    {"PARSE-50", u"{2}", 0, ""},
    {"PARSE-51", u"\\", 0, ""},
    {"PARSE-52", u"a{,3}", 0, ""},
    {"PARSE-53", u"(?i-m:a)", 0, ""},
    {"PARSE-54", u"a* ?", regex::extended, ""},
    {"PARSE-55", u"(?(?=a)a|b)", 0, ""},
    {"PARSE-56", u"(?<!a)(?<=b)c", 0, ""},
};

TEST(PatternErrors, ExactMessages) {
  for (const error_case& c : kCases) {
    EXPECT_EQ(compile_error(c.pattern, c.flags), c.message) << c.id << " " << engine_test::narrow(c.pattern);
  }
}

// PARSE-57: the exception type and hierarchy.
TEST(PatternErrors, ExceptionHierarchy) {
  try {
    const regex::rpattern p(u"(a");
    FAIL() << "compiled";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "mismatched parenthesis");
  }
}

// PARSE-58: deep nesting is refused with a message instead of exhausting the
// stack; moderate nesting is fine.
// `levels` groups nested around one literal.
std::u16string nested_groups(std::size_t levels) {
  std::u16string text(levels, u'(');
  text += u'a';
  text.append(levels, u')');
  return text;
}

TEST(PatternErrors, NestingLimit) {
  EXPECT_EQ(compile_error(nested_groups(5000)), "pattern nested too deeply");
  EXPECT_EQ(compile_error(nested_groups(200)), "");
}

}  // namespace
