// Matcher nodes: the compile-time interface of every node and the
// single-step nodes (characters, literals, sets, the dot, back-references and
// the zero-width assertions).
//
// A single-step node consumes a fixed, recomputable width, so it keeps no
// stack records: its retry moves the position back by that width.
//
// Thread-safety: nodes are built once and only read while matching.
//
// Invariants:
//  1. atom<Form>(s, p) advances p only when it returns true.
//  2. rep_width(s) is what the last successful atom() consumed, as long as
//     the capture it may depend on has not changed since.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "regex/arena_allocator.h"
#include "regex/bad_regexpr.h"
#include "regex/charset.h"
#include "regex/ctype.h"
#include "regex/match_state.h"

namespace regex::detail {

inline constexpr unsigned npos = 0xFFFFFFFFu;       // no group number
inline constexpr unsigned unbounded = 0xFFFFFFFFu;  // no upper limit (widths, counts)

// (minimum, maximum) match length in characters; maximum unbounded = no limit.
struct width_pair {
  unsigned min;  // shortest match
  unsigned max;  // longest match, or unbounded
};

inline unsigned width_add(unsigned a, unsigned b) {
  if (a == unbounded || b == unbounded) return unbounded;
  const std::uint64_t sum = std::uint64_t(a) + b;
  return sum >= unbounded ? unbounded : static_cast<unsigned>(sum);
}

// Width of `count` repetitions; 0 absorbs unbounded, products saturate.
inline unsigned width_mul(unsigned w, unsigned count) {
  if (w == 0 || count == 0) return 0;
  if (w == unbounded || count == unbounded) return unbounded;
  const std::uint64_t product = std::uint64_t(w) * count;
  return product >= unbounded ? unbounded : static_cast<unsigned>(product);
}

// First-character hint of a node, used to build group filters and the
// pattern's literal search hint.
struct peek_hint {
  const char16_t* chars = nullptr;       // candidate first characters
  std::size_t count = 0;                 // number of candidates
  const char16_t* lit_begin = nullptr;   // leading literal, or null
  const char16_t* lit_end = nullptr;     // end of the leading literal
  const char16_t* lit_other = nullptr;   // other-case copy of the literal, or null
};

// What peek() found.
enum class peek_result {
  none,     // no hint
  found,    // the hint is filled
  forward,  // zero width: ask the next node
};

template <class Iter>
class match_group_base;
template <class Iter>
class sub_expr;

// One registered node: the pattern destroys its nodes through this list.
template <class Iter>
struct node_cell {
  sub_expr_base<Iter>* node;  // node to destroy
  node_cell* next;            // node created before it
};

// Creates nodes in the pattern's arena and registers them for destruction.
template <class Iter>
class node_factory {
 public:
  node_factory(arena_allocator& arena, node_cell<Iter>*& head) : arena_(arena), head_(head) {}

  // Throws std::bad_alloc, or what T's constructor throws.
  template <class T, class... Args>
  T* make(Args&&... args) {
    auto* cell = arena_.make<node_cell<Iter>>(node_cell<Iter>{nullptr, head_});
    T* node = arena_.make<T>(std::forward<Args>(args)...);
    cell->node = node;
    head_ = cell;
    return node;
  }
  arena_allocator& arena() { return arena_; }

 private:
  arena_allocator& arena_;   // storage of every node
  node_cell<Iter>*& head_;   // the pattern's destruction list
};

// Group table and invisible-group list used while widths are computed.
template <class Iter>
struct width_context {
  std::vector<match_group_base<Iter>*> table;  // group node per number; null while it is being visited
  const std::vector<unsigned>* invisible;      // ascending numbers of non-capturing groups
};

// Every concrete node: holds its successor and the compile-time operations.
template <class Iter>
class sub_expr : public sub_expr_base<Iter> {
 public:
  using param = match_param<Iter>;

  sub_expr* next = nullptr;  // following node of the sequence; null for the last node of a graph

  // The repeated form of this node. Throws bad_regexpr for kinds that cannot
  // be repeated.
  virtual sub_expr* quantify(unsigned /*min*/, unsigned /*max*/, bool /*greedy*/, node_factory<Iter>&) {
    throw bad_regexpr("sub-expression cannot be quantified");
  }
  virtual bool is_assertion() const { return false; }
  // Match length bounds. May throw bad_regexpr "reference to nonexistent group".
  virtual width_pair width(width_context<Iter>&) = 0;
  virtual peek_result peek(peek_hint&) const { return peek_result::none; }
};

// Follows zero-width assertions until a node gives a hint or none.
template <class Iter>
bool peek_through(const sub_expr<Iter>* n, peek_hint& hint) {
  while (n != nullptr) {
    switch (n->peek(hint)) {
      case peek_result::found: return true;
      case peek_result::none: return false;
      case peek_result::forward: n = n->next; break;
    }
  }
  return false;
}

// Base of the single-step nodes: match the atom, then the rest. Derived
// supplies:
//   template <class Form> bool atom(const param&, Iter&) const;
//   std::size_t rep_width(const param&) const;
template <class Derived, class Iter>
class single_step : public with_forms<Derived, sub_expr<Iter>> {
 public:
  using param = match_param<Iter>;

  template <class Form>
  bool rest_impl(param& s, Iter p) const {
    if (!self().template atom<Form>(s, p)) return false;
    return rest<Form>(this->next, s, p);
  }
  template <class Form>
  bool step_impl(param& s) const {
    s.next_node = this->next;
    return self().template atom<Form>(s, s.position);
  }
  template <class Form>
  bool retry_impl(param& s) const {
    s.position -= static_cast<std::ptrdiff_t>(self().rep_width(s));
    return false;
  }

 private:
  const Derived& self() const { return static_cast<const Derived&>(*this); }
};

template <class Iter, class Atom, bool Greedy>
class atom_quantifier;

// Gives a single-step atom its repeated forms.
template <class Derived, class Iter>
class quantifiable_atom : public single_step<Derived, Iter> {
 public:
  sub_expr<Iter>* quantify(unsigned min, unsigned max, bool greedy, node_factory<Iter>& make) override {
    const auto* atom = static_cast<const Derived*>(this);
    if (greedy) return make.template make<atom_quantifier<Iter, Derived, true>>(atom, min, max);
    return make.template make<atom_quantifier<Iter, Derived, false>>(atom, min, max);
  }
};

// One character; the no-case form accepts the lower- or the upper-case form.
template <class Iter, bool Nocase>
class match_char_t final : public quantifiable_atom<match_char_t<Iter, Nocase>, Iter> {
 public:
  using param = match_param<Iter>;
  explicit match_char_t(char16_t c) : chars_{c, c} {}
  match_char_t(char16_t lower, char16_t upper) : chars_{lower, upper} {}

  template <class Form>
  bool atom(const param& s, Iter& p) const {
    if (Form::at_end(s, p)) return false;
    const char16_t c = *p;
    if (Nocase ? (c == chars_[0] || c == chars_[1]) : c == chars_[0]) {
      ++p;
      return true;
    }
    return false;
  }
  std::size_t rep_width(const param&) const { return 1; }
  width_pair width(width_context<Iter>&) override { return {1, 1}; }
  peek_result peek(peek_hint& h) const override {
    h.chars = chars_;
    h.count = Nocase ? 2 : 1;
    return peek_result::found;
  }

 private:
  char16_t chars_[2];  // the character; no-case form: lower-case then upper-case form
};

// A literal of two or more characters, a slice of the pattern's private text.
// The no-case form compares each character with the upper-case text (the
// slice, converted in place) and the lower-case copy.
template <class Iter, bool Nocase>
class match_literal_t final : public quantifiable_atom<match_literal_t<Iter, Nocase>, Iter> {
 public:
  using param = match_param<Iter>;
  match_literal_t(const char16_t* begin, const char16_t* end, const char16_t* other)
      : begin_(begin), end_(end), other_(other), length_(static_cast<std::size_t>(end - begin)) {
    first_[0] = *begin;
    first_[1] = Nocase ? *other : *begin;
  }

  template <class Form>
  bool atom(const param& s, Iter& p) const {
    Iter q = p;
    for (std::size_t i = 0; i < length_; ++i, ++q) {
      if (Form::at_end(s, q)) return false;
      const char16_t c = *q;
      if (Nocase ? (c != begin_[i] && c != other_[i]) : c != begin_[i]) return false;
    }
    p = q;
    return true;
  }
  std::size_t rep_width(const param&) const { return length_; }
  width_pair width(width_context<Iter>&) override {
    const unsigned w = length_ >= unbounded ? unbounded : static_cast<unsigned>(length_);
    return {w, w};
  }
  peek_result peek(peek_hint& h) const override {
    h.chars = first_;
    h.count = Nocase ? 2 : 1;
    h.lit_begin = begin_;
    h.lit_end = end_;
    h.lit_other = Nocase ? other_ : nullptr;
    return peek_result::found;
  }
  std::size_t length() const { return length_; }

 private:
  const char16_t* begin_;   // literal text (upper case in the no-case form)
  const char16_t* end_;     // end of the literal text
  const char16_t* other_;   // lower-case copy of the same length (no-case form), else null
  std::size_t length_;      // characters in the literal
  char16_t first_[2];       // first character of each text, for peek
};

using custom_charset = basic_charset<arena_std_allocator<char>>;

// One character from a set: a shared predefined set or an owned custom set.
template <class Iter, bool Nocase>
class match_charset_t final : public quantifiable_atom<match_charset_t<Iter, Nocase>, Iter> {
 public:
  using param = match_param<Iter>;
  // Points to a set that outlives the node (a predefined set).
  explicit match_charset_t(const charset* shared) : set_(shared), owned_(nullptr) {}
  // Owns a set living in the arena: the node runs its destructor.
  explicit match_charset_t(custom_charset* owned) : set_(owned), owned_(owned) {}
  ~match_charset_t() override {
    if (owned_ != nullptr) owned_->~custom_charset();
  }

  template <class Form>
  bool atom(const param& s, Iter& p) const {
    if (Form::at_end(s, p)) return false;
    if (Nocase ? set_->in_nocase(*p) : set_->in(*p)) {
      ++p;
      return true;
    }
    return false;
  }
  // Greedy run of up to `max` members from p, for the repetition loop: the
  // bitmap test is done here, inline, and only characters above 255 go
  // through the out-of-line lookup. Advances p past the run and returns its
  // length; the same answers as calling atom() `max` times.
  template <class Form>
  unsigned run(const param& s, Iter& p, unsigned max) const {
    const charset& set = *set_;
    const bool negated = set.negated();
    unsigned i = 0;
    Iter q = p;
    while (i < max && !Form::at_end(s, q)) {
      const char16_t c = *q;
      const bool member = c <= 0xFF ? set.bit(static_cast<unsigned char>(c)) != negated
                                    : (Nocase ? set.in_nocase(c) : set.in(c));
      if (!member) break;
      ++q;
      ++i;
    }
    p = q;
    return i;
  }
  std::size_t rep_width(const param&) const { return 1; }
  width_pair width(width_context<Iter>&) override { return {1, 1}; }
  const charset& set() const { return *set_; }

 private:
  const charset* set_;      // the set tested
  custom_charset* owned_;   // the same set when this node owns it, else null
};

// The dot: any character but a line feed (Eos false), or any character.
template <class Iter, bool Eos>
class match_any_t final : public quantifiable_atom<match_any_t<Iter, Eos>, Iter> {
 public:
  using param = match_param<Iter>;
  template <class Form>
  bool atom(const param& s, Iter& p) const {
    if (Form::at_end(s, p)) return false;
    if (!Eos && *p == u'\n') return false;
    ++p;
    return true;
  }
  std::size_t rep_width(const param&) const { return 1; }
  width_pair width(width_context<Iter>&) override { return {1, 1}; }
};

// Back-reference to a group's last capture (visible number until the width
// pass converts it to the internal number).
template <class Iter, bool Nocase>
class match_backref_t final : public quantifiable_atom<match_backref_t<Iter, Nocase>, Iter> {
 public:
  using param = match_param<Iter>;
  explicit match_backref_t(unsigned visible_number) : group_(visible_number) {}

  template <class Form>
  bool atom(const param& s, Iter& p) const {
    const backref_tag<Iter>& c = s.captures[group_];
    if (!c.matched) return false;
    Iter q = p;
    for (Iter r = c.first; r != c.second; ++r, ++q) {
      if (Form::at_end(s, q)) return false;
      if (Nocase ? to_upper(*q) != to_upper(*r) : *q != *r) return false;
    }
    p = q;
    return true;
  }
  std::size_t rep_width(const param& s) const {
    const backref_tag<Iter>& c = s.captures[group_];
    return static_cast<std::size_t>(c.second - c.first);
  }
  width_pair width(width_context<Iter>& ctx) override;
  unsigned group() const { return group_; }

 private:
  unsigned group_;          // group number (internal after the width pass)
  bool converted_ = false;  // the width pass has converted group_
};

// Converts a visible group number to the internal one: every invisible number
// not above the value shifts it up by one.
inline unsigned to_internal_group(unsigned visible, const std::vector<unsigned>& invisible) {
  unsigned n = visible;
  for (unsigned g : invisible) {
    if (g <= n) ++n;
  }
  return n;
}

// Kinds of position assertions.
enum class assert_kind {
  bos,   // start of subject
  bol,   // start of subject or after a line feed
  eos,   // end of subject
  eol,   // end of subject or before a line feed
  peos,  // end of subject, or before a line feed that is the last character
};

template <class Iter, assert_kind Kind>
class assert_op final : public single_step<assert_op<Iter, Kind>, Iter> {
 public:
  using param = match_param<Iter>;
  template <class Form>
  bool atom(const param& s, Iter& p) const {
    switch (Kind) {
      case assert_kind::bos: return p == s.subject_begin;
      case assert_kind::bol: return p == s.subject_begin || *(p - 1) == u'\n';
      case assert_kind::eos: return Form::at_end(s, p);
      case assert_kind::eol: return Form::at_end(s, p) || *p == u'\n';
      case assert_kind::peos: return Form::at_end(s, p) || (*p == u'\n' && Form::at_end(s, p + 1));
    }
    return false;
  }
  std::size_t rep_width(const param&) const { return 0; }
  bool is_assertion() const override { return true; }
  width_pair width(width_context<Iter>&) override { return {0, 0}; }
  peek_result peek(peek_hint&) const override { return peek_result::forward; }
};

// Kinds of word assertions.
enum class word_kind { boundary, not_boundary, start, stop };

template <class Iter, word_kind Kind>
class word_assertion_t final : public single_step<word_assertion_t<Iter, Kind>, Iter> {
 public:
  using param = match_param<Iter>;
  explicit word_assertion_t(const charset* word_set) : word_(word_set) {}
  template <class Form>
  bool atom(const param& s, Iter& p) const {
    const bool before = p != s.subject_begin && word_->in(*(p - 1));
    const bool after = !Form::at_end(s, p) && word_->in(*p);
    switch (Kind) {
      case word_kind::boundary: return before != after;
      case word_kind::not_boundary: return before == after;
      case word_kind::start: return after && !before;
      case word_kind::stop: return before && !after;
    }
    return false;
  }
  std::size_t rep_width(const param&) const { return 0; }
  bool is_assertion() const override { return true; }
  width_pair width(width_context<Iter>&) override { return {0, 0}; }
  peek_result peek(peek_hint&) const override { return peek_result::forward; }

 private:
  const charset* word_;  // the predefined \w set
};

}  // namespace regex::detail
