// Character classification and case mapping.
#include "regex/ctype.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace regex::detail {
namespace {

struct class_name {
  ctype_mask bit;
  const char* name;
};

constexpr class_name all_classes[] = {
    {ct_upper, "upper"}, {ct_lower, "lower"}, {ct_digit, "digit"},   {ct_space, "space"},
    {ct_punct, "punct"}, {ct_cntrl, "cntrl"}, {ct_blank, "blank"},   {ct_xdigit, "xdigit"},
    {ct_alpha, "alpha"}, {ct_graph, "graph"}, {ct_print, "print"},   {ct_alnum, "alnum"},
};

// The classes of c, one bit tested at a time, as a readable list.
std::string classes_of(char16_t c) {
  std::string out;
  for (const class_name& k : all_classes) {
    if (is_ctype(c, k.bit)) out += std::string(out.empty() ? "" : " ") + k.name;
  }
  return out;
}

// CTYPE-2: characters 0-127 follow the "C" classification.
TEST(CharsetCtype, AsciiFollowsTheCLocale) {
  const struct {
    char16_t c;
    const char* classes;
  } cases[] = {
      {u'a', "lower xdigit alpha graph print alnum"},
      {u'g', "lower alpha graph print alnum"},
      {u'G', "upper alpha graph print alnum"},
      {u'F', "upper xdigit alpha graph print alnum"},
      {u'7', "digit xdigit graph print alnum"},
      {u'_', "punct graph print"},
      {u'~', "punct graph print"},
      {u' ', "space blank print"},
      {u'\t', "space cntrl blank"},
      {u'\n', "space cntrl"},
      {u'\v', "space cntrl"},
      {0, "cntrl"},
      {0x7F, "cntrl"},
  };
  for (const auto& t : cases) EXPECT_EQ(classes_of(t.c), t.classes) << "character " << int(t.c);
}

// CTYPE-3: 128-255 belong to no class, even letters, digits and spaces of
// Latin-1, and whatever mask is asked.
TEST(CharsetCtype, Latin1UpperHalfHasNoClass) {
  for (unsigned c = 128; c < 256; ++c) {
    EXPECT_FALSE(is_ctype(static_cast<char16_t>(c), 0xFFFF)) << "character " << c;
  }
}

// CTYPE-4: above 255 the wide classification applies.
TEST(CharsetCtype, AboveLatin1FollowsWideClassification) {
  EXPECT_EQ(classes_of(0x100), "upper alpha graph print alnum");  // A with macron
  EXPECT_EQ(classes_of(0x3B1), "lower alpha graph print alnum");  // Greek alpha
  EXPECT_TRUE(is_ctype(0x2003, ct_space));                        // em space
  EXPECT_TRUE(is_ctype(0x3000, ct_blank));                        // ideographic space
  EXPECT_FALSE(is_ctype(0x2028, ct_blank));                       // line separator
  EXPECT_TRUE(is_ctype(0x2028, ct_space));
  EXPECT_FALSE(is_ctype(0x4E00, ct_upper | ct_lower | ct_digit | ct_space));
  EXPECT_TRUE(is_ctype(0x4E00, ct_alpha));                        // CJK ideograph
  EXPECT_FALSE(is_ctype(0x100, 0));
}

// CTYPE-5: the process's global locale changes nothing.
TEST(CharsetCtype, IndependentOfTheGlobalLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  for (const char* name : {"C", "C.UTF-8"}) {
    if (std::setlocale(LC_ALL, name) == nullptr) continue;
    EXPECT_FALSE(is_ctype(0xE9, ct_alpha)) << name;  // e acute stays classless
    EXPECT_TRUE(is_ctype(0x101, ct_lower)) << name;
    EXPECT_EQ(to_upper(0x101), 0x100) << name;
    EXPECT_EQ(narrow_to_upper(0xE9), 0xE9) << name;
  }
  std::setlocale(LC_ALL, saved.c_str());
}

// CTYPE-6: wide case mapping covers every character, 0-255 included;
// the narrow mapping changes ASCII letters only.
TEST(CharsetCtype, CaseMapping) {
  EXPECT_EQ(to_upper(u'a'), u'A');
  EXPECT_EQ(to_lower(u'Z'), u'z');
  EXPECT_EQ(to_upper(0xE9), 0xC9);    // e acute
  EXPECT_EQ(to_upper(0xFF), 0x178);   // y diaeresis leaves Latin-1
  EXPECT_EQ(to_upper(0xDF), 0xDF);    // sharp s has no one-unit upper case
  EXPECT_EQ(to_lower(0x3A3), 0x3C3);  // Greek sigma
  EXPECT_EQ(to_upper(0x1C5), 0x1C4);  // title-case Dz: both mappings differ from it
  EXPECT_EQ(to_lower(0x1C5), 0x1C6);
  EXPECT_EQ(to_upper(0xD800), 0xD800);  // lone surrogate unchanged
  EXPECT_EQ(to_upper(u'1'), u'1');

  EXPECT_EQ(narrow_to_upper('q'), 'Q');
  EXPECT_EQ(narrow_to_lower('Q'), 'q');
  EXPECT_EQ(narrow_to_upper('['), '[');
  EXPECT_EQ(narrow_to_lower(0xC9), 0xC9);
  EXPECT_EQ(narrow_to_upper(0xFF), 0xFF);
}

}  // namespace
}  // namespace regex::detail
