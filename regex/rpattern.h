// basic_rpattern: a compiled pattern.
//
// The constructor parses the whole pattern (Perl-style syntax over UTF-16
// text), builds the node graph in the pattern's own arena and analyses it once.
// Every syntax error is thrown from the constructor as bad_regexpr; a pattern
// object that exists is always usable. Apart from its substitution string a
// pattern never changes after construction.
//
// Two instantiations exist: std::u16string::const_iterator and const char16_t*.
// They behave identically.
//
// Thread-safety: a constructed pattern may be matched from several threads at
// once (matching only reads it), as long as nobody sets its substitution.
//
// Invariants:
//  1. first_ is group 0, whose successor is the end-of-pattern node.
//  2. Every node lives in arena_ and is destroyed (through nodes_) before the
//     arena releases its blocks; literal nodes point into text_.
//  3. invisible_ is ascending; group_counter_ - invisible_.size() ==
//     visible_count_.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "regex/arena_allocator.h"
#include "regex/bad_regexpr.h"
#include "regex/flags.h"
#include "regex/match_results.h"
#include "regex/syntax.h"

namespace regex {

// Match modes: which strategy a search uses.
enum match_mode : int {
  mode_recursive = 0,     // recursive strategy
  mode_iterative = 1,     // iterative strategy on a backtracking stack
  mode_auto = 2,          // recursive when the pattern is recursion-safe, else iterative
};

// One piece of a parsed substitution string.
struct subst_piece {
  enum kind_type : std::int32_t { literal = 0, capture = 1, operation = 2 };
  // Values of capture pieces other than group numbers.
  enum : std::int32_t { whole_match = 0, before_match = -1, after_match = -2 };
  // Values of operation pieces: the letter of the escape.
  enum : std::int32_t { upper_all = 'U', upper_one = 'u', lower_all = 'L', lower_one = 'l', end_case = 'E' };

  std::int32_t kind;    // 0 literal text, 1 capture reference, 2 case or quoting operation
  std::int32_t value;   // literal: offset in the processed substitution; capture: group number,
                        // 0 whole match, -1 text before, -2 text after; operation: the letter
  std::uint32_t length; // literal: number of characters; otherwise 0

  friend bool operator==(const subst_piece&, const subst_piece&) = default;
};

// Thrown by a search whose pattern recursion (?R) or look-around nesting is
// deeper than the thread's stack allows even for the iterative strategy.
class match_depth_error : public std::runtime_error {
 public:
  match_depth_error() : std::runtime_error("pattern recursion too deep for this subject") {}
};

namespace detail {
template <class Iter>
class sub_expr_base;
template <class Iter>
class match_group_base;
template <class Iter>
struct node_cell;
template <class Iter, class Syntax>
class pattern_parser;
template <class Iter>
struct match_param;

// Skip table over the pattern's leading literal, used to jump to candidate
// start positions.
struct search_hint {
  const char16_t* literal_begin;  // leading literal in the private pattern text
  const char16_t* literal_end;    // end of that literal
  const char16_t* other_case;     // lower-case copy of a case-insensitive literal, or null
  unsigned last_index;            // L - 1, where L = min(literal length, 255)
  unsigned char skip[256];        // shift per low byte of a subject character
};
}  // namespace detail

// Facts about one group number, kept from compilation for inspection.
struct group_facts {
  unsigned min_width = 0xFFFFFFFFu;     // shortest match of the group's body
  unsigned max_width = 0xFFFFFFFFu;     // longest match; 0xFFFFFFFF = unbounded
  bool has_first_characters = false;    // the group filters start positions
  std::u16string first_characters;      // sorted distinct candidates when it does
};

template <class Iter, class Syntax = perl_syntax<char16_t>>
class basic_rpattern {
 public:
  using iterator = Iter;
  using results_type = basic_match_results<Iter>;
  static constexpr unsigned unbounded = 0xFFFFFFFFu;

  // Compiles `pattern`. Throws bad_regexpr (ill-formed pattern) or std::bad_alloc.
  basic_rpattern(const std::u16string& pattern, int flags = 0, int mode = 0);
  // The same, then parses `substitution` (Throws bad_regexpr for a bad one).
  basic_rpattern(const std::u16string& pattern, const std::u16string& substitution, int flags = 0,
                 int mode = 0);
  ~basic_rpattern();
  basic_rpattern(const basic_rpattern&) = delete;
  basic_rpattern& operator=(const basic_rpattern&) = delete;

  // Replaces the substitution string. On bad_regexpr the previous substitution,
  // its pieces and its flag are left untouched.
  void set_substitution(const std::u16string& substitution);

  // Searches [begin, end) (or the zero-terminated text at begin, whose NUL
  // position is tried too) and fills `results`; find_all in the flags repeats
  // the search. Returns whether anything matched. Throws std::bad_alloc, or
  // match_depth_error when even the iterative strategy would overflow the stack.
  bool match_bounded(Iter begin, Iter end, results_type& results) const;
  bool match_cstr(Iter begin, results_type& results) const;

  // Read access to the compiled pattern.
  int flags() const { return flags_; }
  int mode() const { return mode_; }
  bool search_once() const { return search_once_; }
  bool recursion_safe() const { return recursion_safe_; }
  unsigned min_width() const { return min_width_; }
  unsigned max_width() const { return max_width_; }
  unsigned group_count() const { return group_counter_; }
  unsigned visible_group_count() const { return visible_count_; }
  const std::vector<unsigned>& invisible_groups() const { return invisible_; }
  const detail::search_hint* search_hint() const { return hint_; }
  const detail::sub_expr_base<Iter>* first_node() const;
  // Facts about internal group number n (REQUIRES: n < group_count()).
  const group_facts& group(unsigned n) const { return groups_.at(n); }
  // The private pattern text the nodes refer to.
  std::u16string_view pattern_text() const { return text_; }

  const std::u16string& substitution() const { return subst_text_; }
  const std::vector<subst_piece>& substitution_pieces() const { return pieces_; }
  bool substitution_uses_captures() const { return subst_uses_captures_; }

 private:
  friend class detail::pattern_parser<Iter, Syntax>;

  void compile();
  void destroy_nodes();
  template <class Form>
  bool search(typename results_type::capture_vector& captures, Iter begin, Iter end, Iter search_start,
              bool no_empty_match) const;
  template <class Form>
  bool drive(detail::match_param<Iter>& s, bool recursive) const;
  template <class Form>
  bool match_into(Iter begin, Iter end, results_type& results) const;
  Iter scan(Iter from, Iter end) const;

  detail::arena_allocator arena_{352};  // owns every node of the graph
  bool subst_uses_captures_ = false;    // the substitution has a capture piece
  bool search_once_ = false;            // a search makes one attempt only
  bool recursion_safe_ = true;          // no (?R), no group repeated more than 16 times
  unsigned group_counter_ = 0;          // group numbers handed out (all kinds)
  unsigned visible_count_ = 0;          // capturing groups, group 0 included
  int flags_;                           // constructor flags; compiling may clear from_right
  int mode_;                            // strategy selector, see match_mode
  unsigned min_width_ = unbounded;      // shortest possible match, in characters
  unsigned max_width_ = unbounded;      // longest possible match; unbounded = no limit
  std::u16string text_;                 // private pattern copy (edited by the parser)
  std::u16string subst_text_;           // processed substitution string
  std::vector<subst_piece> pieces_;     // parsed substitution
  detail::match_group_base<Iter>* first_ = nullptr;  // group 0
  std::vector<unsigned> invisible_;     // numbers of non-capturing groups, ascending
  const detail::search_hint* hint_ = nullptr;  // leading-literal skip table, or null
  detail::node_cell<Iter>* nodes_ = nullptr;   // every node, newest first, for destruction
  std::vector<group_facts> groups_;     // per group number, from compilation
};

}  // namespace regex
