// pattern_parser: the recursive-descent parser and node builder of a pattern.
//
// Walks the pattern's private text once: groups, alternatives, atoms, escapes
// and repetitions. Each construct becomes its node at once, in the variant the
// flag word in force at that point selects (inline modifiers change the word
// until the end of the enclosing group). Literal runs are slices of the
// private text; in extended mode the white space and comments inside a run are
// erased from the text so the run stays one slice, and case-insensitive
// literals are upper-cased in place.
//
// Failure: every syntax error throws bad_regexpr with its fixed message;
// nodes already built are destroyed with the pattern.
//
// Thread-safety: one parser works on one pattern under construction.
#pragma once

#include <cstdint>

#include <algorithm>
#include <vector>

#include "regex/charset_parser.h"
#include "regex/quantifier_nodes.h"
#include "regex/rpattern.h"

namespace regex::detail {

// Deepest group nesting accepted; deeper patterns are refused rather than
// risking the parser's and the matcher's C++ stack.
inline constexpr unsigned max_group_nesting = 1000;

template <class Iter, class Syntax>
class pattern_parser {
 public:
  using cursor = const char16_t*;
  using group_type = match_group_base<Iter>;

  explicit pattern_parser(basic_rpattern<Iter, Syntax>& pattern)
      : pat_(pattern), make_(pattern.arena_, pattern.nodes_) {}

  // Parses the whole text into group 0 and appends the end-of-pattern node.
  group_type* parse_pattern() {
    cursor c = begin();
    int flags = pat_.flags_;
    group_type* top = parse_group(c, nullptr, flags);
    top->next = make_.template make<end_of_pattern<Iter>>();
    return top;
  }

  std::vector<group_type*>& table() { return table_; }

 private:
  cursor begin() const { return pat_.text_.data(); }
  cursor end() const { return pat_.text_.data() + pat_.text_.size(); }

  [[noreturn]] static void fail(const char* message) { throw bad_regexpr(message); }

  // Parses a group: cursor just after its `(`, or at the pattern start for
  // group 0 (enclosing null). Returns null for constructs that build no group.
  group_type* parse_group(cursor& c, group_type* enclosing, int& flags) {
    if (++depth_ > max_group_nesting) fail("pattern nested too deeply");
    struct depth_guard {
      unsigned& depth;
      ~depth_guard() { --depth; }
    } guard{depth_};

    const cursor remembered = c;
    const int saved_flags = flags;
    const bool top = enclosing == nullptr;
    extension_token ext = extension_token::none;
    if (c != end()) {
      ext = Syntax::next_extension(c, end(), flags);
      if (ext != extension_token::none && (remembered == begin() || c == end())) {
        fail("ill-formed regular expression");
      }
    }
    if (ext == extension_token::recurse) {
      enclosing->append(make_.template make<match_recurse<Iter>>());
      pat_.recursion_safe_ = false;
    }
    if (!top) {
      cursor probe = c;
      if (Syntax::next_regular(probe, end(), flags) == regular_token::group_close) {
        c = probe;
        return nullptr;  // modifiers set by (?i) stay in force
      }
    }

    const unsigned first_number = pat_.group_counter_;
    group_type* g = nullptr;
    switch (ext) {
      case extension_token::none:
        g = make_.template make<match_group<Iter>>(pat_.group_counter_++);
        ++pat_.visible_count_;
        break;
      case extension_token::non_capturing:
      case extension_token::modifiers_group:
        pat_.invisible_.push_back(pat_.group_counter_);
        g = make_.template make<match_group<Iter>>(pat_.group_counter_++);
        break;
      case extension_token::independent:
        pat_.invisible_.push_back(pat_.group_counter_);
        g = make_.template make<independent_group<Iter>>(pat_.group_counter_++, true);
        break;
      case extension_token::lookahead:
      case extension_token::neg_lookahead:
        g = make_.template make<lookahead_assertion<Iter>>(ext == extension_token::lookahead);
        break;
      case extension_token::lookbehind:
      case extension_token::neg_lookbehind:
        g = make_.template make<lookbehind_assertion<Iter>>(ext == extension_token::lookbehind);
        break;
      case extension_token::comment:
        for (;;) {
          if (c == end()) fail("Expecting end of comment");
          const regular_token t = Syntax::next_regular(c, end(), flags);
          if (t == regular_token::group_close) return nullptr;
          if (t == regular_token::none && c != end()) ++c;
        }
      case extension_token::conditional:
        g = parse_conditional(c, enclosing, flags);
        break;
      default:
        fail("bad extension sequence");
    }
    if (ext != extension_token::conditional) {
      while (parse_atom(c, g, flags)) {
      }
    }
    close_group(g, first_number);
    flags = saved_flags;
    return g;
  }

  // Conditional: cursor after `(?(`. Parses the condition and the branches.
  group_type* parse_conditional(cursor& c, group_type* enclosing, int& flags) {
    pat_.invisible_.push_back(pat_.group_counter_);
    const cursor start = c;
    const unsigned number = parse_count(c, end(), unbounded);
    match_conditional<Iter>* cond = nullptr;
    if (c != start && number != 0) {
      cursor probe = c;
      if (Syntax::next_regular(probe, end(), flags) == regular_token::group_close) {
        c = probe;
        cond = make_.template make<match_conditional<Iter>>(pat_.group_counter_++, number);
      }
    }
    if (cond == nullptr) {
      c = start;
      cursor probe = c;
      int probe_flags = flags;
      const extension_token t = Syntax::next_extension(probe, end(), probe_flags);
      if (t != extension_token::lookahead && t != extension_token::neg_lookahead &&
          t != extension_token::lookbehind && t != extension_token::neg_lookbehind) {
        fail("bad extension sequence");
      }
      group_type* assertion = parse_group(c, enclosing, flags);
      if (assertion == nullptr) fail("bad extension sequence");
      assertion->next = make_.template make<end_of_pattern<Iter>>();
      cond = make_.template make<match_conditional<Iter>>(pat_.group_counter_++, assertion);
    }
    while (parse_atom(c, cond, flags)) {
    }
    return cond;
  }

  // Closes a group: links its alternatives, checks a conditional's branch
  // count, builds the search hint for group 0 and records the group.
  void close_group(group_type* g, unsigned first_number) {
    g->close(make_.arena());
    if (dynamic_cast<match_conditional<Iter>*>(g) != nullptr && g->alternative_count() > 2) {
      fail("Too many alternates in conditional subexpression");
    }
    if (g->number() == 0) build_search_hint(g);
    if (g->number() != npos) {
      if (table_.size() <= g->number()) table_.resize(g->number() + 1, nullptr);
      table_[g->number()] = g;
    }
    g->set_group_range(first_number, pat_.group_counter_ - first_number);
  }

  // Horspool skip table over group 0's leading literal.
  void build_search_hint(group_type* g) {
    const peek_hint& lit = g->literal_hint();
    if (lit.lit_begin == nullptr) return;
    auto* hint = make_.arena().template make<search_hint>();
    const std::size_t length = static_cast<std::size_t>(lit.lit_end - lit.lit_begin);
    const unsigned l = static_cast<unsigned>(std::min<std::size_t>(length, 255));
    hint->literal_begin = lit.lit_begin;
    hint->literal_end = lit.lit_end;
    hint->other_case = lit.lit_other;
    std::fill(std::begin(hint->skip), std::end(hint->skip), static_cast<unsigned char>(l));
    for (unsigned i = 0; i + 1 < l; ++i) hint->skip[lit.lit_begin[i] & 0xFF] = static_cast<unsigned char>(l - 1 - i);
    if (lit.lit_other != nullptr) {
      for (unsigned i = 0; i + 1 < l; ++i) {
        unsigned char& entry = hint->skip[lit.lit_other[i] & 0xFF];
        entry = std::min(entry, static_cast<unsigned char>(l - 1 - i));
      }
    }
    hint->last_index = l - 1;
    pat_.hint_ = hint;
  }

  // One step inside group g. Returns false at the group's end.
  bool parse_atom(cursor& c, group_type* g, int& flags) {
    const bool top = g->number() == 0;
    if (c == end()) {
      if (top) return false;
      fail("mismatched parenthesis");
    }
    const regular_token t = Syntax::next_regular(c, end(), flags);
    sub_expr<Iter>* atom = nullptr;
    bool is_group = false;
    switch (t) {
      case regular_token::none:
        if (c == end()) {
          if (top) return false;
          fail("mismatched parenthesis");
        }
        parse_literal_run(c, g, flags);
        return true;
      case regular_token::group_open: {
        group_type* sub = parse_group(c, g, flags);
        if (sub == nullptr) return true;
        atom = sub;
        is_group = true;
        break;
      }
      case regular_token::group_close:
        if (top) fail("mismatched parenthesis");
        return false;
      case regular_token::alternation:
        g->new_alternative(make_.arena());
        return true;
      case regular_token::line_start:
        atom = (flags & multiline) ? make_assert<assert_kind::bol>() : make_assert<assert_kind::bos>();
        break;
      case regular_token::line_end:
        atom = (flags & multiline) ? make_assert<assert_kind::eol>() : make_assert<assert_kind::peos>();
        break;
      case regular_token::any_char:
        if (flags & singleline) {
          atom = make_.template make<match_any_t<Iter, true>>();
        } else {
          atom = make_.template make<match_any_t<Iter, false>>();
        }
        break;
      case regular_token::subject_start: atom = make_assert<assert_kind::bos>(); break;
      case regular_token::subject_end_or_newline: atom = make_assert<assert_kind::peos>(); break;
      case regular_token::subject_end: atom = make_assert<assert_kind::eos>(); break;
      case regular_token::word_boundary:
        atom = make_.template make<word_assertion_t<Iter, word_kind::boundary>>(&predefined_charset(u'w'));
        break;
      case regular_token::not_word_boundary:
        atom = make_.template make<word_assertion_t<Iter, word_kind::not_boundary>>(&predefined_charset(u'w'));
        break;
      case regular_token::digit: atom = make_predefined(u'd', flags); break;
      case regular_token::not_digit: atom = make_predefined(u'D', flags); break;
      case regular_token::space: atom = make_predefined(u's', flags); break;
      case regular_token::not_space: atom = make_predefined(u'S', flags); break;
      case regular_token::word: atom = make_predefined(u'w', flags); break;
      case regular_token::not_word: atom = make_predefined(u'W', flags); break;
      case regular_token::set_open: atom = parse_set(c, flags); break;
      case regular_token::escape: atom = parse_escape(c, flags); break;
      case regular_token::quote_on: parse_quoted(c, g, flags); return true;
      case regular_token::quote_off: fail("quotemeta turned off, but was never turned on");
    }
    g->append(quantify(atom, c, is_group, flags));
    return true;
  }

  template <assert_kind Kind>
  sub_expr<Iter>* make_assert() {
    return make_.template make<assert_op<Iter, Kind>>();
  }

  sub_expr<Iter>* make_predefined(char16_t letter, int flags) {
    const charset* set = &predefined_charset(letter);
    if (flags & nocase) return make_.template make<match_charset_t<Iter, true>>(set);
    return make_.template make<match_charset_t<Iter, false>>(set);
  }

  sub_expr<Iter>* parse_set(cursor& c, int flags) {
    auto* set = make_.arena().template make<custom_charset>(arena_std_allocator<char>(&make_.arena()));
    sub_expr<Iter>* node;
    try {
      if (flags & nocase) {
        node = make_.template make<match_charset_t<Iter, true>>(set);
      } else {
        node = make_.template make<match_charset_t<Iter, false>>(set);
      }
    } catch (...) {
      set->~custom_charset();
      throw;
    }
    parse_charset(*set, c, end(), flags);  // the node owns the set from here on
    return node;
  }

  sub_expr<Iter>* make_char(char16_t ch, int flags) {
    if (flags & nocase) {
      const char16_t lower = to_lower(ch);
      const char16_t upper = to_upper(ch);
      if (lower != upper) return make_.template make<match_char_t<Iter, true>>(lower, upper);
    }
    return make_.template make<match_char_t<Iter, false>>(ch);
  }

  // A slice of the private text: one character node, or a literal node (under
  // nocase the slice is upper-cased in place and a lower-case copy kept).
  sub_expr<Iter>* make_text(cursor from, cursor to, int flags) {
    if (to - from == 1) return make_char(*from, flags);
    if (flags & nocase) {
      const std::size_t n = static_cast<std::size_t>(to - from);
      auto* lower = static_cast<char16_t*>(make_.arena().allocate(n * sizeof(char16_t)));
      auto* upper = const_cast<char16_t*>(from);
      for (std::size_t i = 0; i < n; ++i) {
        lower[i] = to_lower(from[i]);
        upper[i] = to_upper(from[i]);
      }
      return make_.template make<match_literal_t<Iter, true>>(from, to, lower);
    }
    return make_.template make<match_literal_t<Iter, false>>(from, to, nullptr);
  }

  // \Q...\E: everything up to \E (or the end) literally; not quantifiable.
  void parse_quoted(cursor& c, group_type* g, int flags) {
    const cursor from = c;
    while (c != end() && !(c[0] == u'\\' && c + 1 != end() && c[1] == u'E')) ++c;
    const cursor to = c;
    if (c != end()) c += 2;
    if (to != from) g->append(make_text(from, to, flags));
  }

  // Escape outside brackets; cursor after the backslash.
  sub_expr<Iter>* parse_escape(cursor& c, int flags) {
    if (c == end()) return make_char(u'\\', flags);
    const char16_t ch = *c;
    if (ch >= u'0' && ch <= u'9') {
      cursor probe = c;
      const unsigned number = parse_count(probe, end(), 999);
      if (ch == u'0' || (number > 9 && number >= pat_.group_counter_)) {
        unsigned value = 0;
        for (int k = 0; k < 3 && c != end() && *c >= u'0' && *c <= u'7'; ++k, ++c) value = value * 8 + (*c - u'0');
        return make_char(static_cast<char16_t>(value), flags);
      }
      c = probe;
      if (flags & nocase) return make_.template make<match_backref_t<Iter, true>>(number);
      return make_.template make<match_backref_t<Iter, false>>(number);
    }
    ++c;
    switch (ch) {
      case u'e': return make_char(27, flags);
      case u'x': {
        unsigned value = 0;
        for (int k = 0; k < 2 && c != end(); ++k, ++c) {
          const int d = hex_digit_value(*c);
          if (d < 0) break;
          value = value * 16 + static_cast<unsigned>(d);
        }
        return make_char(static_cast<char16_t>(value), flags);
      }
      case u'c': {
        if (c == end()) fail("incomplete escape sequence \\c");
        char16_t x = *c++;
        if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - u'a' + u'A');
        return make_char(static_cast<char16_t>(x ^ 0x40), flags);
      }
      default:
        break;
    }
    if (flags & control_escapes) {
      switch (ch) {
        case u'a': return make_char(7, flags);
        case u'f': return make_char(12, flags);
        case u'n': return make_char(10, flags);
        case u'r': return make_char(13, flags);
        case u't': return make_char(9, flags);
        case u'\\': return make_char(92, flags);
        default: break;
      }
    }
    return make_char(ch, flags);
  }

  // Erases white space and comments at c from the private text (extended mode).
  void erase_extended(cursor c, int flags) {
    if (!(flags & extended)) return;
    cursor q = c;
    Syntax::skip_extended(q, end(), flags);
    if (q != c) pat_.text_.erase(static_cast<std::size_t>(c - begin()), static_cast<std::size_t>(q - c));
  }

  // A run of ordinary characters; a repetition cuts off the character it
  // belongs to.
  void parse_literal_run(cursor& c, group_type* g, int flags) {
    const cursor start = c;
    for (;;) {
      if (c == end()) break;
      if (c != start && Syntax::starts_regular(*c)) break;
      cursor q = c;
      const quantifier_token qt = Syntax::next_quantifier(q, end(), flags);
      const bool joins = qt == quantifier_token::none || qt == quantifier_token::range_separator ||
                         qt == quantifier_token::range_close || qt == quantifier_token::range_close_lazy ||
                         (qt == quantifier_token::range_open && c == start);
      if (joins) {
        ++c;
        erase_extended(c, flags);
        continue;
      }
      if (c == start) fail("quantifier not expected");
      const cursor last = c - 1;
      if (last != start) g->append(make_text(start, last, flags));
      g->append(quantify(make_char(*last, flags), c, false, flags));
      return;
    }
    g->append(make_text(start, c, flags));
  }

  // Repetition after an atom; returns the atom or its quantified form.
  sub_expr<Iter>* quantify(sub_expr<Iter>* atom, cursor& c, bool is_group, int flags) {
    if (c == end() || atom->is_assertion()) return atom;
    cursor q = c;
    unsigned lo = 0, hi = unbounded;
    bool greedy = true;
    switch (Syntax::next_quantifier(q, end(), flags)) {
      case quantifier_token::star: break;
      case quantifier_token::star_lazy: greedy = false; break;
      case quantifier_token::plus: lo = 1; break;
      case quantifier_token::plus_lazy: lo = 1; greedy = false; break;
      case quantifier_token::question: hi = 1; break;
      case quantifier_token::question_lazy: hi = 1; greedy = false; break;
      case quantifier_token::range_open: {
        lo = parse_count(q, end(), unbounded);
        if (q == end()) return atom;
        const quantifier_token t = Syntax::next_quantifier(q, end(), flags);
        if (t == quantifier_token::range_close || t == quantifier_token::range_close_lazy) {
          hi = lo;
          greedy = t == quantifier_token::range_close;
        } else if (t == quantifier_token::range_separator) {
          const cursor digits = q;
          const unsigned m = parse_count(q, end(), unbounded);
          hi = q != digits ? m : unbounded;
          if (q == end()) return atom;
          const quantifier_token close = Syntax::next_quantifier(q, end(), flags);
          if (close != quantifier_token::range_close && close != quantifier_token::range_close_lazy) return atom;
          greedy = close == quantifier_token::range_close;
          if (lo > hi) fail("Can't do {n, m} with n > m");
        } else {
          return atom;
        }
        if (lo == unbounded) return atom;
        break;
      }
      default:
        return atom;
    }
    if (is_group && hi > 16) pat_.recursion_safe_ = false;
    c = q;
    return atom->quantify(lo, hi, greedy, make_);
  }

 public:
  // Reads a decimal number of at most `maximum`: digits are taken while the
  // value is below the maximum; a value that ends above it gives back its
  // last digit. No digits: 0, cursor unchanged.
  // The value is accumulated in 64 bits: while it is below a 32-bit
  // maximum, one more digit cannot overflow it, so a count written with
  // more digits than fit gives its last digit back instead of wrapping
  // around to a small number.
  static unsigned parse_count(cursor& c, cursor end, unsigned maximum) {
    std::uint64_t value = 0;
    while (c != end && *c >= u'0' && *c <= u'9' && value < maximum) {
      value = value * 10 + static_cast<std::uint64_t>(*c - u'0');
      ++c;
    }
    if (value > maximum) {
      --c;
      return static_cast<unsigned>(value / 10);
    }
    return static_cast<unsigned>(value);
  }

 private:
  basic_rpattern<Iter, Syntax>& pat_;       // pattern under construction
  node_factory<Iter> make_;                 // node creation in its arena
  std::vector<group_type*> table_;          // group node per number
  unsigned depth_ = 0;                      // current group nesting
};

}  // namespace regex::detail
