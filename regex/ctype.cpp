#include "regex/ctype.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <ctype.h>
#include <locale.h>
#include <wctype.h>

namespace regex::detail {
namespace {

// The locale objects the engine classifies with, and the narrow class table
// derived from the "C" locale. One instance exists, created on first use.
class classifier {
 public:
  static const classifier& get() {
    static const classifier instance;
    return instance;
  }

  classifier(const classifier&) = delete;
  classifier& operator=(const classifier&) = delete;

  ctype_mask narrow(unsigned char c) const { return narrow_[c]; }

  bool wide(char16_t c, ctype_mask m) const {
    const wint_t w = c;
    if ((m & ct_upper) && iswupper_l(w, wide_)) return true;
    if ((m & ct_lower) && iswlower_l(w, wide_)) return true;
    if ((m & ct_alpha) && iswalpha_l(w, wide_)) return true;
    if ((m & ct_digit) && iswdigit_l(w, wide_)) return true;
    if ((m & ct_alnum) && iswalnum_l(w, wide_)) return true;
    if ((m & ct_space) && iswspace_l(w, wide_)) return true;
    if ((m & ct_punct) && iswpunct_l(w, wide_)) return true;
    if ((m & ct_cntrl) && iswcntrl_l(w, wide_)) return true;
    if ((m & ct_blank) && iswblank_l(w, wide_)) return true;
    if ((m & ct_xdigit) && iswxdigit_l(w, wide_)) return true;
    if ((m & ct_graph) && iswgraph_l(w, wide_)) return true;
    if ((m & ct_print) && iswprint_l(w, wide_)) return true;
    return false;
  }

  char16_t upper(char16_t c) const { return fit(towupper_l(c, wide_), c); }
  char16_t lower(char16_t c) const { return fit(towlower_l(c, wide_), c); }
  unsigned char narrow_upper(unsigned char c) const {
    return static_cast<unsigned char>(toupper_l(c, narrow_locale_));
  }
  unsigned char narrow_lower(unsigned char c) const {
    return static_cast<unsigned char>(tolower_l(c, narrow_locale_));
  }

 private:
  classifier() {
    narrow_locale_ = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (narrow_locale_ == nullptr) {
      // The "C" locale is built into the C library; failing to get it means
      // the process cannot classify text at all.
      std::fputs("cannot create the \"C\" locale object\n", stderr);
      std::abort();
    }
    // C.UTF-8 gives the wide classification of every Unicode character. On a
    // system without it the "C" locale is used, which puts characters above
    // 127 into no class and maps no case.
    for (const char* name : {"C.UTF-8", "C.utf8"}) {
      wide_ = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr));
      if (wide_ != nullptr) break;
    }
    if (wide_ == nullptr) wide_ = duplocale(narrow_locale_);
    if (wide_ == nullptr) wide_ = narrow_locale_;

    for (int c = 0; c < 256; ++c) {
      ctype_mask m = 0;
      if (isupper_l(c, narrow_locale_)) m |= ct_upper;
      if (islower_l(c, narrow_locale_)) m |= ct_lower;
      if (isalpha_l(c, narrow_locale_)) m |= ct_alpha;
      if (isdigit_l(c, narrow_locale_)) m |= ct_digit;
      if (isalnum_l(c, narrow_locale_)) m |= ct_alnum;
      if (isspace_l(c, narrow_locale_)) m |= ct_space;
      if (ispunct_l(c, narrow_locale_)) m |= ct_punct;
      if (iscntrl_l(c, narrow_locale_)) m |= ct_cntrl;
      if (isblank_l(c, narrow_locale_)) m |= ct_blank;
      if (isxdigit_l(c, narrow_locale_)) m |= ct_xdigit;
      if (isgraph_l(c, narrow_locale_)) m |= ct_graph;
      if (isprint_l(c, narrow_locale_)) m |= ct_print;
      narrow_[c] = m;
    }
  }

  ~classifier() {
    if (wide_ != narrow_locale_) freelocale(wide_);
    freelocale(narrow_locale_);
  }

  // A wide mapping whose result does not fit a 16-bit unit leaves c as is.
  static char16_t fit(wint_t mapped, char16_t c) {
    return mapped <= 0xFFFF ? static_cast<char16_t>(mapped) : c;
  }

  locale_t narrow_locale_ = nullptr;  // the "C" locale; owned
  locale_t wide_ = nullptr;           // C.UTF-8 (or a copy of "C"); owned
  ctype_mask narrow_[256] = {};       // class bits of 0-255 in the "C" locale
};

}  // namespace

bool is_ctype(char16_t c, ctype_mask m) {
  if (m == 0) return false;
  const classifier& cl = classifier::get();
  if (c <= 0xFF) return (cl.narrow(static_cast<unsigned char>(c)) & m) != 0;
  return cl.wide(c, m);
}

bool is_wide_ctype(char16_t c, ctype_mask m) {
  if (m == 0) return false;
  return classifier::get().wide(c, m);
}

char16_t to_upper(char16_t c) { return classifier::get().upper(c); }
char16_t to_lower(char16_t c) { return classifier::get().lower(c); }

unsigned char narrow_to_upper(unsigned char c) { return classifier::get().narrow_upper(c); }
unsigned char narrow_to_lower(unsigned char c) { return classifier::get().narrow_lower(c); }

}  // namespace regex::detail
