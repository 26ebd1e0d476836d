// The bracket-expression parser: reads the text after a '[' into a set.
//
// Tokens inside brackets (white space is never skipped, so in extended mode
// spaces are ordinary characters):
//   -                       range mark
//   [:name:] / [:^name:]    POSIX class / its complement (12 names, below)
//   \d \D \s \S \w \W       predefined set
//   \b                      backspace (8)
//   \ anything else         escape, decoded by decode_set_escape()
//   ]                       set close
//   ^                       caret
//   anything else           ordinary character ('[' included)
//
// Failures raise bad_regexpr:
//   "expecting end of character set"            the pattern ends inside [...]
//   "invalid range specified in character set"   a range whose high end < low
//
// Thread-safety: stateless apart from the set being built.
//
// Invariants:
//   1. On success the cursor stands just after the closing ']' and the set
//      is finished.
//   2. The parser holds at most one pending character: the last ordinary
//      character, which may still open a range.
#pragma once

#include <cassert>
#include <cstdint>
#include <optional>
#include <string_view>

#include "regex/bad_regexpr.h"
#include "regex/charset.h"
#include "regex/ctype.h"
#include "regex/flags.h"

namespace regex::detail {

enum class set_token_kind {
  range_mark,     // '-'
  posix_class,    // [:name:]; mask in set_token::mask
  negated_class,  // [:^name:]; mask in set_token::mask
  predefined,     // \d \D \s \S \w \W; letter in set_token::ch
  backspace,      // \b; ch == 8
  escape,         // any other escape; decoded character in set_token::ch
  close,          // ']'
  caret,          // '^'
  ordinary,       // any other character; ch
};

struct set_token {
  set_token_kind kind;  // what was read
  char16_t ch;          // the character (see set_token_kind), or the predefined letter
  ctype_mask mask;      // class mask of posix_class / negated_class, else 0
};

// The POSIX classes in the order they are tried; the first name that matches
// wins.
struct posix_class_name {
  std::u16string_view name;  // text between "[:" (or "[:^") and ":]"
  ctype_mask mask;           // class bits
  ctype_mask nocase_mask;    // class bits when the pattern ignores case
};

inline constexpr posix_class_name posix_class_names[] = {
    {u"alnum", ct_alnum, ct_alnum},
    {u"alpha", ct_alpha, ct_alpha},
    {u"blank", ct_blank, ct_blank},
    {u"cntrl", ct_cntrl, ct_cntrl},
    {u"digit", ct_digit, ct_digit},
    {u"graph", ct_graph, ct_graph},
    {u"lower", ct_lower, ct_lower | ct_upper},
    {u"print", ct_print, ct_print},
    {u"punct", ct_punct, ct_punct},
    {u"space", ct_space, ct_space},
    {u"upper", ct_upper, ct_upper | ct_lower},
    {u"xdigit", ct_xdigit, ct_xdigit},
};

[[noreturn]] inline void throw_set_unterminated() {
  throw bad_regexpr("expecting end of character set");
}

// Reads "[:name:]" or "[:^name:]" at cursor (which points at the '[').
// Returns the token and moves the cursor past it, or returns nothing and
// leaves the cursor alone when the text is not exactly such a class.
inline std::optional<set_token> read_posix_class(const char16_t*& cursor, const char16_t* end,
                                                 bool nocase) {
  const std::u16string_view rest(cursor, static_cast<std::size_t>(end - cursor));
  if (rest.size() < 2 || rest[1] != u':') return std::nullopt;
  std::size_t at = 2;
  const bool negated = at < rest.size() && rest[at] == u'^';
  if (negated) ++at;
  for (const posix_class_name& c : posix_class_names) {
    const std::u16string_view tail = rest.substr(at);
    if (tail.size() >= c.name.size() + 2 && tail.substr(0, c.name.size()) == c.name &&
        tail[c.name.size()] == u':' && tail[c.name.size() + 1] == u']') {
      cursor += at + c.name.size() + 2;
      return set_token{negated ? set_token_kind::negated_class : set_token_kind::posix_class, 0,
                       nocase ? c.nocase_mask : c.mask};
    }
  }
  return std::nullopt;
}

inline bool is_octal_digit(char16_t c) { return c >= u'0' && c <= u'7'; }

inline int hex_digit_value(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Decodes the escape whose '\' has just been consumed. Octal and hexadecimal
// escapes take every following digit and wrap to 16 bits. Control letters
// (\a \f \n \r \t \v) mean control characters only with control_escapes.
// Throws "expecting end of character set" when the pattern ends right after
// the '\' or after "\c"; an escape that runs to the end of the pattern is
// caught by the caller's next read.
inline char16_t decode_set_escape(const char16_t*& cursor, const char16_t* end, int flags) {
  if (cursor == end) throw_set_unterminated();
  const char16_t c = *cursor++;
  if (is_octal_digit(c)) {
    std::uint16_t value = static_cast<std::uint16_t>(c - u'0');
    while (cursor != end && is_octal_digit(*cursor)) {
      value = static_cast<std::uint16_t>(value * 8 + (*cursor++ - u'0'));
    }
    return value;
  }
  switch (c) {
    case u'x': {
      std::uint16_t value = 0;
      for (int d; cursor != end && (d = hex_digit_value(*cursor)) >= 0; ++cursor) {
        value = static_cast<std::uint16_t>(value * 16 + d);
      }
      return value;
    }
    case u'c': {
      if (cursor == end) throw_set_unterminated();
      char16_t x = *cursor++;
      if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - u'a' + u'A');
      return static_cast<char16_t>(x ^ 0x40);
    }
    case u'e':
      return 27;
    default:
      break;
  }
  if (flags & control_escapes) {
    switch (c) {
      case u'a': return 7;
      case u'f': return 12;
      case u'n': return 10;
      case u'r': return 13;
      case u't': return 9;
      case u'v': return 11;
      default: break;
    }
  }
  return c;  // \\ \] \- \^ \[ \8 ... and the control letters without control_escapes
}

// Reads one token at cursor and moves past it.
// REQUIRES: cursor != end.
inline set_token next_set_token(const char16_t*& cursor, const char16_t* end, int flags) {
  assert(cursor != end);
  const char16_t c = *cursor;
  switch (c) {
    case u'-':
      ++cursor;
      return {set_token_kind::range_mark, c, 0};
    case u']':
      ++cursor;
      return {set_token_kind::close, c, 0};
    case u'^':
      ++cursor;
      return {set_token_kind::caret, c, 0};
    case u'[':
      if (auto cls = read_posix_class(cursor, end, (flags & nocase) != 0)) return *cls;
      ++cursor;
      return {set_token_kind::ordinary, c, 0};
    case u'\\': {
      ++cursor;
      if (cursor != end) {
        const char16_t e = *cursor;
        switch (e) {
          case u'd': case u'D': case u's': case u'S': case u'w': case u'W':
            ++cursor;
            return {set_token_kind::predefined, e, 0};
          case u'b':
            ++cursor;
            return {set_token_kind::backspace, 8, 0};
          default:
            break;
        }
      }
      return {set_token_kind::escape, decode_set_escape(cursor, end, flags), 0};
    }
    default:
      ++cursor;
      return {set_token_kind::ordinary, c, 0};
  }
}

// Parses a bracket expression into `set` (cursor just after '['; on return
// just after the closing ']') and finishes the set. Uses the flags nocase and
// control_escapes. On bad_regexpr the set is left unfinished and the cursor
// somewhere inside the expression; the caller discards both.
template <class Alloc>
void parse_charset(basic_charset<Alloc>& set, const char16_t*& cursor, const char16_t* end,
                   int flags) {
  const bool fold = (flags & nocase) != 0;
  auto next = [&]() {
    if (cursor == end) throw_set_unterminated();
    return next_set_token(cursor, end, flags);
  };

  if (cursor != end && *cursor == u'^') {
    set.set_negated(true);
    ++cursor;
  }

  std::optional<char16_t> pending;  // last ordinary character, may open a range
  auto add_pending = [&]() {
    if (pending) set.add_char(*pending, fold);
    pending.reset();
  };
  // Classes and predefined sets go straight into the set; anything else
  // becomes the pending character.
  auto take = [&](const set_token& t) {
    switch (t.kind) {
      case set_token_kind::predefined:
        set.merge(predefined_charset(t.ch));
        break;
      case set_token_kind::posix_class:
        set.add_class(t.mask);
        break;
      case set_token_kind::negated_class:
        set.add_negated_class(t.mask);
        break;
      default:
        pending = t.ch;
        break;
    }
  };

  // The first token is never a close, so "[]a]" and "[^]]" hold ']'.
  take(next());

  for (;;) {
    const set_token t = next();
    if (t.kind == set_token_kind::close) break;
    if (t.kind == set_token_kind::range_mark && pending) {
      const char16_t* after_mark = cursor;
      const set_token high = next();
      switch (high.kind) {
        case set_token_kind::ordinary:
        case set_token_kind::caret:
        case set_token_kind::range_mark:
        case set_token_kind::escape:
        case set_token_kind::backspace:
          set.add_range(*pending, high.ch, fold);
          pending.reset();
          continue;
        default:
          // "a-]", "a-\d", "a-[:digit:]": the '-' is an ordinary character.
          add_pending();
          set.add_char(u'-', fold);
          cursor = after_mark;
          continue;
      }
    }
    add_pending();
    take(t);
  }
  add_pending();
  set.finish();
}

}  // namespace regex::detail
