#include "regex/charset.h"

#include <algorithm>

namespace regex::detail {

void charset::finish_lists() {
  // Sort by low end, then high end, and join ranges that overlap or touch.
  std::sort(ranges_, ranges_ + range_count_, [](const char_range& a, const char_range& b) {
    return a.low != b.low ? a.low < b.low : a.high < b.high;
  });
  std::size_t kept = 0;
  for (std::size_t i = 0; i < range_count_; ++i) {
    const char_range r = ranges_[i];
    if (kept > 0 && static_cast<unsigned>(r.low) <= static_cast<unsigned>(ranges_[kept - 1].high) + 1) {
      ranges_[kept - 1].high = std::max(ranges_[kept - 1].high, r.high);
    } else {
      ranges_[kept++] = r;
    }
  }
  range_count_ = kept;

  simple_ = negated_count_ == 0 && merged_count_ == 0;

  // Characters 0-255 are answered by the bitmap alone: every test that the
  // wide path makes (classes, negated classes, merged sets) is made here once.
  // The class mask follows the narrow classification for them, but a negated
  // class is always tested with the wide one, so [[:^alpha:]] leaves out a
  // Latin-1 letter such as U+00E9 while [^[:alpha:]] takes it.
  for (unsigned c = 0; c < 256; ++c) {
    const auto ch = static_cast<unsigned char>(c);
    if (bit(ch)) continue;
    bool hit = is_ctype(ch, class_mask_);
    for (std::size_t i = 0; !hit && i < negated_count_; ++i) hit = !is_wide_ctype(ch, negated_classes_[i]);
    for (std::size_t i = 0; !hit && i < merged_count_; ++i) hit = merged_[i]->in(ch);
    if (hit) set_bit(ch);
  }
  finished_ = true;
}

bool charset::in_ranges(char16_t c) const {
  // First range whose high end is >= c; c is inside when it is >= its low end.
  const char_range* begin = ranges_;
  const char_range* end = ranges_ + range_count_;
  const char_range* r = std::lower_bound(begin, end, c,
                                         [](const char_range& a, char16_t x) { return a.high < x; });
  return r != end && r->low <= c;
}

bool charset::in_wide(char16_t c, bool nocase) const {
  if (in_ranges(c)) return !negated_;
  if (nocase) {
    const char16_t upper = to_upper(c);
    if (upper != c && in_ranges(upper)) return !negated_;
    const char16_t lower = to_lower(c);
    if (lower != c && lower != upper && in_ranges(lower)) return !negated_;
  }
  bool hit = class_mask_ != 0 && is_ctype(c, class_mask_);
  if (!hit && !simple_) {
    for (std::size_t i = 0; !hit && i < negated_count_; ++i) hit = !is_ctype(c, negated_classes_[i]);
    for (std::size_t i = 0; !hit && i < merged_count_; ++i) {
      hit = nocase ? merged_[i]->in_nocase(c) : merged_[i]->in(c);
    }
  }
  return hit != negated_;
}

namespace {

// A predefined set: one class, '_' for the word sets, maybe negated.
class predefined_set : public intrinsic_charset {
 public:
  predefined_set(ctype_mask mask, bool word, bool negated) {
    add_class(mask);
    if (word) add_char(u'_', false);
    set_negated(negated);
    finish();
  }
};

}  // namespace

const charset& predefined_charset(char16_t letter) {
  constexpr ctype_mask word = ct_alpha | ct_digit;
  switch (letter) {
    case u'd': { static const predefined_set s(ct_digit, false, false); return s; }
    case u'D': { static const predefined_set s(ct_digit, false, true); return s; }
    case u's': { static const predefined_set s(ct_space, false, false); return s; }
    case u'S': { static const predefined_set s(ct_space, false, true); return s; }
    case u'w': { static const predefined_set s(word, true, false); return s; }
    case u'W': { static const predefined_set s(word, true, true); return s; }
    default: break;
  }
  assert(false && "predefined_charset: letter must be one of d D s S w W");
  // Release builds: an unknown letter gets the empty set rather than a crash.
  static const predefined_set empty(0, false, false);
  return empty;
}

}  // namespace regex::detail
