// The match state of one search, the two subject forms, and the calls through
// which nodes run each other.
//
// A search runs under one of two strategies. Recursive: every node's
// match_rest matches itself and then calls its successor, so the C++ depth
// grows with the matched path. Iterative: a driver loop calls step on each
// node and, on failure, retry on the nodes recorded on the backtracking stack.
// Each operation exists for a bounded subject (end position) and a
// zero-terminated one (NUL ends it); the Form parameter selects which.
//
// Depth guard: every nested call made through rest() compares the current
// frame with the state's stack limit. Past it, the recursive strategy throws
// recursion_exhausted, which the search entry catches to redo that search with
// the iterative strategy (same result, no C++ recursion per character). The
// iterative strategy nests C++ calls only per look-around, atomic group and
// (?R) level; past the limit it throws match_depth_error.
//
// Thread-safety: a match state belongs to one search.
#pragma once

#include <cstddef>

#include "regex/backref_tag.h"
#include "regex/hetero_stack.h"
#include "regex/rpattern.h"
#include "regex/stack_guard.h"

namespace regex::detail {

template <class Iter>
class sub_expr_base;

template <class Iter>
struct match_param {
  backref_tag<Iter>* captures = nullptr;              // one record per group number, group 0 first
  Iter subject_end{};                                 // end of a bounded subject
  Iter position{};                                    // current position (iterative strategy)
  std::size_t capture_count = 0;                      // records in captures
  const sub_expr_base<Iter>* next_node = nullptr;     // node to run next (iterative); null = matched
  Iter subject_begin{};                               // first character of the subject
  Iter search_start{};                                // where this search began
  const sub_expr_base<Iter>* root = nullptr;          // group 0, for (?R)
  hetero_stack* stack = nullptr;                      // backtracking stack; null when recursive
  bool no_empty_match = false;                        // reject an empty match at search_start
  const char* stack_limit = nullptr;                  // lowest frame address nested calls may use
};

// Thrown by the recursive strategy when it nears the stack limit.
struct recursion_exhausted {};

// Bounded subject: at end means position == end.
struct bounded_form {
  static constexpr bool cstr = false;
  template <class Iter>
  static bool at_end(const match_param<Iter>& s, Iter p) { return p == s.subject_end; }
};

// Zero-terminated subject: at end means the character is NUL.
struct cstr_form {
  static constexpr bool cstr = true;
  template <class Iter>
  static bool at_end(const match_param<Iter>&, Iter p) { return *p == 0; }
};

// The abstract node interface: the six operations of both strategies.
template <class Iter>
class sub_expr_base {
 public:
  using iter = Iter;
  using param = match_param<Iter>;

  // Recursive strategy: match this node at p and everything after it.
  virtual bool match_rest(param& s, Iter p) const = 0;
  virtual bool match_rest_cstr(param& s, Iter p) const = 0;
  // Iterative strategy: try this node at s.position, advance it, set
  // s.next_node and push what retry needs.
  virtual bool step(param& s) const = 0;
  virtual bool step_cstr(param& s) const = 0;
  // Iterative strategy, after everything after this node failed: take another
  // choice (true, next_node set) or undo this node's effect (false).
  virtual bool retry(param& s) const = 0;
  virtual bool retry_cstr(param& s) const = 0;
  virtual ~sub_expr_base() = default;
};

// Recursive call of node n at p, with the depth guard.
template <class Form, class Iter>
inline bool rest(const sub_expr_base<Iter>* n, match_param<Iter>& s, Iter p) {
  if (below_stack_limit(s.stack_limit)) throw recursion_exhausted{};
  if constexpr (Form::cstr) {
    return n->match_rest_cstr(s, p);
  } else {
    return n->match_rest(s, p);
  }
}

template <class Form, class Iter>
inline bool step(const sub_expr_base<Iter>* n, match_param<Iter>& s) {
  if constexpr (Form::cstr) {
    return n->step_cstr(s);
  } else {
    return n->step(s);
  }
}

template <class Form, class Iter>
inline bool retry(const sub_expr_base<Iter>* n, match_param<Iter>& s) {
  if constexpr (Form::cstr) {
    return n->retry_cstr(s);
  } else {
    return n->retry(s);
  }
}

// Implements the six virtual operations of Base by forwarding to Derived's
// rest_impl<Form>, step_impl<Form> and retry_impl<Form>.
template <class Derived, class Base>
class with_forms : public Base {
 public:
  using Base::Base;
  using iter = typename Base::iter;
  using param = typename Base::param;

  bool match_rest(param& s, iter p) const final { return self().template rest_impl<bounded_form>(s, p); }
  bool match_rest_cstr(param& s, iter p) const final { return self().template rest_impl<cstr_form>(s, p); }
  bool step(param& s) const final { return self().template step_impl<bounded_form>(s); }
  bool step_cstr(param& s) const final { return self().template step_impl<cstr_form>(s); }
  bool retry(param& s) const final { return self().template retry_impl<bounded_form>(s); }
  bool retry_cstr(param& s) const final { return self().template retry_impl<cstr_form>(s); }

 private:
  const Derived& self() const { return static_cast<const Derived&>(*this); }
};

// The iterative driver: runs the graph from `start` at p on s.stack until a
// node sets next_node to null (true) or every choice failed (false). The stack
// is unwound to where it was on every exit. Throws match_depth_error when the
// thread's stack is nearly used up by nested drivers.
template <class Form, class Iter>
bool run_iterative(match_param<Iter>& s, const sub_expr_base<Iter>* start, Iter p) {
  if (below_stack_limit(s.stack_limit)) throw match_depth_error();
  hetero_stack& stack = *s.stack;
  std::byte* const mark = stack.top();
  struct unwinder {
    hetero_stack& stack;
    std::byte* mark;
    ~unwinder() { stack.unwind(mark); }
  } guard{stack, mark};
  using node_ptr = const sub_expr_base<Iter>*;
  node_ptr n = start;
  s.position = p;
  if (!step<Form>(n, s)) return false;
  while (s.next_node != nullptr) {
    stack.push<node_ptr>(n);
    n = s.next_node;
    if (step<Form>(n, s)) continue;
    for (;;) {
      if (stack.top() == mark) return false;
      n = stack.pop<node_ptr>();
      if (retry<Form>(n, s)) break;
    }
  }
  return true;
}

}  // namespace regex::detail
