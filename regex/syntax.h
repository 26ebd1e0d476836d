// perl_syntax: the tokeniser of the Perl-style pattern syntax.
//
// The parser sees pattern characters only through these readers (apart from
// literal runs, character codes after escapes and the digits of counts). Each
// reader takes the cursor by reference and the pattern end, consumes the
// characters of the token it returns and nothing when there is no token. The
// regular, quantifier and extension readers first skip white space and `#`
// comments when the `extended` flag is set; the substitution reader never does.
// Only characters below 256 can be special.
//
// Thread-safety: stateless.
#pragma once

#include "regex/flags.h"

namespace regex {

// Tokens outside brackets.
enum class regular_token {
  none,                   // an ordinary character (nothing consumed)
  group_open,             // (
  group_close,            // )
  alternation,            // |
  line_start,             // ^
  line_end,               // $
  set_open,               // [
  any_char,               // .
  escape,                 // \ followed by a character the parser decodes (only the \ consumed)
  digit, not_digit,       // \d \D
  space, not_space,       // \s \S
  word, not_word,         // \w \W
  subject_start,          // \A
  subject_end_or_newline, // \Z
  subject_end,            // \z
  word_boundary,          // \b
  not_word_boundary,      // \B
  quote_on,               // \Q
  quote_off,              // \E
};

// Repetition tokens.
enum class quantifier_token {
  none,
  star, star_lazy,         // * *?
  plus, plus_lazy,         // + +?
  question, question_lazy, // ? ??
  range_open,              // {
  range_separator,         // ,
  range_close,             // }
  range_close_lazy,        // }?
};

// Tokens read right after a `(`.
enum class extension_token {
  none,            // no `?`: an ordinary group
  non_capturing,   // ?:
  lookahead,       // ?=
  neg_lookahead,   // ?!
  lookbehind,      // ?<=
  neg_lookbehind,  // ?<!
  independent,     // ?>
  comment,         // ?#
  conditional,     // ?(
  recurse,         // ?R
  modifiers_group, // ?imsx-imsx: (flags changed, the `:` consumed)
  modifiers,       // ?imsx-imsx followed by `)` (flags changed, the `)` left)
  unknown,         // anything else after `?`, or the end of the pattern
};

// Tokens of a substitution string.
enum class substitution_token {
  none,            // an ordinary character (nothing consumed)
  capture_number,  // $ followed by anything but & ` ' (only the $ consumed), or $ at the end
  whole_match,     // $&
  before_match,    // $`
  after_match,     // $'
  escape_at_end,   // \ as the last character
  upper_all,       // \U
  upper_one,       // \u
  lower_all,       // \L
  lower_one,       // \l
  quote_end,       // \E
  quote_start,     // \Q
  escape,          // \ followed by another character (only the \ consumed)
};

template <class Char>
struct perl_syntax {
  using cursor = const Char*;

  static bool is_blank(Char c) { return c == ' ' || (c >= 9 && c <= 13); }

  // Skips white space and `#` comments (up to and including the line feed) when
  // `extended` is set.
  static void skip_extended(cursor& c, cursor end, int flags) {
    if (!(flags & extended)) return;
    while (c != end) {
      if (is_blank(*c)) {
        ++c;
      } else if (*c == '#') {
        while (c != end && *c != '\n') ++c;
        if (c != end) ++c;
      } else {
        break;
      }
    }
  }

  static regular_token next_regular(cursor& c, cursor end, int flags) {
    skip_extended(c, end, flags);
    if (c == end) return regular_token::none;
    switch (*c) {
      case '(': ++c; return regular_token::group_open;
      case ')': ++c; return regular_token::group_close;
      case '|': ++c; return regular_token::alternation;
      case '^': ++c; return regular_token::line_start;
      case '$': ++c; return regular_token::line_end;
      case '[': ++c; return regular_token::set_open;
      case '.': ++c; return regular_token::any_char;
      case '\\': break;
      default: return regular_token::none;
    }
    ++c;
    if (c == end) return regular_token::escape;
    regular_token t;
    switch (*c) {
      case 'd': t = regular_token::digit; break;
      case 'D': t = regular_token::not_digit; break;
      case 's': t = regular_token::space; break;
      case 'S': t = regular_token::not_space; break;
      case 'w': t = regular_token::word; break;
      case 'W': t = regular_token::not_word; break;
      case 'A': t = regular_token::subject_start; break;
      case 'Z': t = regular_token::subject_end_or_newline; break;
      case 'z': t = regular_token::subject_end; break;
      case 'b': t = regular_token::word_boundary; break;
      case 'B': t = regular_token::not_word_boundary; break;
      case 'Q': t = regular_token::quote_on; break;
      case 'E': t = regular_token::quote_off; break;
      default: return regular_token::escape;
    }
    ++c;
    return t;
  }

  // True when the character at c starts a regular token (without skipping).
  static bool starts_regular(Char ch) {
    switch (ch) {
      case '(': case ')': case '|': case '^': case '$': case '[': case '.': case '\\': return true;
      default: return false;
    }
  }

  static quantifier_token next_quantifier(cursor& c, cursor end, int flags) {
    skip_extended(c, end, flags);
    if (c == end) return quantifier_token::none;
    quantifier_token greedy, lazy;
    switch (*c) {
      case '*': greedy = quantifier_token::star; lazy = quantifier_token::star_lazy; break;
      case '+': greedy = quantifier_token::plus; lazy = quantifier_token::plus_lazy; break;
      case '?': greedy = quantifier_token::question; lazy = quantifier_token::question_lazy; break;
      case '}': greedy = quantifier_token::range_close; lazy = quantifier_token::range_close_lazy; break;
      case '{': ++c; return quantifier_token::range_open;
      case ',': ++c; return quantifier_token::range_separator;
      default: return quantifier_token::none;
    }
    ++c;
    cursor after = c;
    skip_extended(c, end, flags);
    if (c != end && *c == '?') {
      ++c;
      return lazy;
    }
    c = after;
    return greedy;
  }

  // Reads an extension after `(`. Modifier letters change `flags` as they are
  // read. An unknown extension consumes up to, not including, the character
  // that made it unknown.
  static extension_token next_extension(cursor& c, cursor end, int& flags) {
    cursor start = c;
    skip_extended(c, end, flags);
    if (c == end || *c != '?') {
      c = start;
      return extension_token::none;
    }
    ++c;
    if (c == end) return extension_token::unknown;
    switch (*c) {
      case ':': ++c; return extension_token::non_capturing;
      case '=': ++c; return extension_token::lookahead;
      case '!': ++c; return extension_token::neg_lookahead;
      case '>': ++c; return extension_token::independent;
      case '#': ++c; return extension_token::comment;
      case '(': ++c; return extension_token::conditional;
      case 'R': ++c; return extension_token::recurse;
      case '<':
        ++c;
        skip_extended(c, end, flags);
        if (c == end) return extension_token::unknown;
        if (*c == '=') { ++c; return extension_token::lookbehind; }
        if (*c == '!') { ++c; return extension_token::neg_lookbehind; }
        return extension_token::unknown;
      case 'i': case 'm': case 's': case 'x': case '-':
        break;
      default:
        return extension_token::unknown;
    }
    bool clearing = false;
    for (;;) {
      if (c == end) return extension_token::unknown;
      int bit = 0;
      switch (*c) {
        case 'i': bit = nocase; break;
        case 'm': bit = multiline; break;
        case 's': bit = singleline; break;
        case 'x': bit = extended; break;
        case '-':
          if (clearing) return extension_token::unknown;
          clearing = true;
          ++c;
          continue;
        case ':': ++c; return extension_token::modifiers_group;
        case ')': return extension_token::modifiers;
        default: return extension_token::unknown;
      }
      flags = clearing ? (flags & ~bit) : (flags | bit);
      ++c;
    }
  }

  static substitution_token next_substitution(cursor& c, cursor end) {
    if (c == end) return substitution_token::none;
    if (*c == '$') {
      ++c;
      if (c == end) return substitution_token::capture_number;
      switch (*c) {
        case '&': ++c; return substitution_token::whole_match;
        case '`': ++c; return substitution_token::before_match;
        case '\'': ++c; return substitution_token::after_match;
        default: return substitution_token::capture_number;
      }
    }
    if (*c != '\\') return substitution_token::none;
    ++c;
    if (c == end) return substitution_token::escape_at_end;
    substitution_token t;
    switch (*c) {
      case 'E': t = substitution_token::quote_end; break;
      case 'L': t = substitution_token::lower_all; break;
      case 'Q': t = substitution_token::quote_start; break;
      case 'U': t = substitution_token::upper_all; break;
      case 'l': t = substitution_token::lower_one; break;
      case 'u': t = substitution_token::upper_one; break;
      default: return substitution_token::escape;
    }
    ++c;
    return t;
  }
};

}  // namespace regex
