// Quantifier nodes: greedy and lazy repetition of a single-step atom, and of
// a group.
//
// An atom quantifier keeps its state in locals (recursive strategy) or in one
// (start, count) stack record per entry (iterative strategy), and gives back
// repetitions by subtracting the atom's width. The atom test is a direct,
// inlinable call.
//
// A group quantifier keeps its loop state (iterations, iterating, the starts
// of the current and the previous pass) in the capture record of the group it
// repeats; the group's successor is the quantifier's embedded end_quantifier,
// so every pass through the group ends there. Two passes in a row that
// consume nothing end the repetition.
//
// Thread-safety: nodes are only read while matching.
#pragma once

#include <cstdint>
#include <utility>

#include "regex/group_nodes.h"

namespace regex::detail {

template <class Iter, class Atom, bool Greedy>
class atom_quantifier final : public with_forms<atom_quantifier<Iter, Atom, Greedy>, sub_expr<Iter>> {
 public:
  using param = match_param<Iter>;
  using record = std::pair<Iter, unsigned>;  // start position, repetition count

  atom_quantifier(const Atom* atom, unsigned min, unsigned max) : atom_(atom), min_(min), max_(max) {}

  width_pair width(width_context<Iter>& ctx) override {
    const width_pair w = const_cast<Atom*>(atom_)->width(ctx);
    return {width_mul(w.min, min_), width_mul(w.max, max_)};
  }
  peek_result peek(peek_hint& h) const override { return min_ > 0 ? atom_->peek(h) : peek_result::none; }

  template <class Form>
  bool rest_impl(param& s, Iter p) const {
    if constexpr (Greedy && requires(Iter q) { atom_->template run<Form>(s, q, 0u); }) {
      // A one-character atom: the whole run is taken in one inline loop.
      Iter q = p;
      unsigned i = atom_->template run<Form>(s, q, max_);
      if (i < min_) return false;
      for (;;) {
        if (rest<Form>(this->next, s, q)) return true;
        if (i == min_) return false;
        --q;
        --i;
      }
    } else if constexpr (Greedy) {
      unsigned i = 0;
      Iter q = p;
      std::ptrdiff_t w = 0;
      if (max_ > 0 && atom_->template atom<Form>(s, q)) {
        if (q == p) return rest<Form>(this->next, s, p);
        i = 1;
        w = q - p;
        while (i < max_ && atom_->template atom<Form>(s, q)) ++i;
      }
      if (i < min_) return false;
      for (;;) {
        if (rest<Form>(this->next, s, q)) return true;
        if (i == min_) return false;
        q -= w;
        --i;
      }
    } else {
      unsigned i;
      Iter q = p;
      Iter t = p;
      if (!atom_->template atom<Form>(s, t)) {
        if (min_ > 0) return false;
        i = 0;
      } else if (t == p) {
        return rest<Form>(this->next, s, p);
      } else if (min_ == 0) {
        i = 0;
      } else {
        i = 1;
        q = t;
        while (i < min_) {
          if (!atom_->template atom<Form>(s, q)) return false;
          ++i;
        }
      }
      for (;;) {
        if (rest<Form>(this->next, s, q)) return true;
        if (i >= max_ || !atom_->template atom<Form>(s, q)) return false;
        ++i;
      }
    }
  }

  template <class Form>
  bool step_impl(param& s) const {
    const Iter start = s.position;
    Iter q = start;
    unsigned i = 0;
    if constexpr (Greedy) {
      if (max_ > 0 && atom_->template atom<Form>(s, q)) {
        if (q == start) {
          i = min_;  // an empty atom is not repeated
        } else {
          i = 1;
          while (i < max_ && atom_->template atom<Form>(s, q)) ++i;
        }
      }
      if (i < min_) return false;
    } else {
      for (; i < min_; ++i) {
        if (!atom_->template atom<Form>(s, q)) return false;
      }
    }
    s.position = q;
    s.stack->push(record{start, i});
    s.next_node = this->next;
    return true;
  }

  template <class Form>
  bool retry_impl(param& s) const {
    record& r = s.stack->template peek<record>();
    if constexpr (Greedy) {
      if (r.second == min_) {
        s.position = r.first;
        s.stack->template pop<record>();
        return false;
      }
      --r.second;
      s.position -= static_cast<std::ptrdiff_t>(atom_->rep_width(s));
      s.next_node = this->next;
      return true;
    } else {
      Iter q = s.position;
      // An atom that matches empty (a back-reference to an empty capture)
      // gives no new choice by repeating.
      if (r.second != max_ && atom_->template atom<Form>(s, q) && q != s.position) {
        s.position = q;
        ++r.second;
        s.next_node = this->next;
        return true;
      }
      s.position = r.first;
      s.stack->template pop<record>();
      return false;
    }
  }

  const Atom* atom() const { return atom_; }
  unsigned min() const { return min_; }
  unsigned max() const { return max_; }

 private:
  const Atom* atom_;  // the repeated single-step node
  unsigned min_;      // fewest repetitions
  unsigned max_;      // most repetitions, unbounded = no limit
};

// Loop state saved by a group quantifier's step.
template <class Iter>
struct old_quant {
  std::uint32_t iterations;  // saved iterations
  bool iterating;            // saved iterating
  Iter prev_iter_start;      // saved prev_iter_start
  Iter iter_start;           // saved iter_start
};

template <class Iter, bool Greedy>
class group_quantifier final : public with_forms<group_quantifier<Iter, Greedy>, sub_expr<Iter>> {
 public:
  using param = match_param<Iter>;

  // The loop point: every pass through the group ends here.
  class end_quantifier final : public with_forms<end_quantifier, sub_expr<Iter>> {
   public:
    explicit end_quantifier(const group_quantifier* owner) : q_(owner) {}
    template <class Form>
    bool rest_impl(param& s, Iter p) const { return q_->template end_rest<Form>(s, p); }
    template <class Form>
    bool step_impl(param& s) const { return q_->template end_step<Form>(s); }
    template <class Form>
    bool retry_impl(param& s) const { return q_->template end_retry<Form>(s); }
    width_pair width(width_context<Iter>&) override { return {0, 0}; }

   private:
    const group_quantifier* q_;  // owner
  };

  group_quantifier(match_group_base<Iter>* group, unsigned min, unsigned max)
      : group_(group), min_(min), max_(max), n_(group->number()), end_(this) {
    group->next = &end_;
  }

  width_pair width(width_context<Iter>& ctx) override {
    const width_pair w = group_->width(ctx);
    return {width_mul(w.min, min_), width_mul(w.max, max_)};
  }
  peek_result peek(peek_hint& h) const override { return min_ > 0 ? group_->peek(h) : peek_result::none; }

  template <class Form>
  bool rest_impl(param& s, Iter p) const {
    backref_tag<Iter>& c = s.captures[n_];
    const std::uint32_t iterations = c.iterations;
    const Iter prev = c.prev_iter_start;
    const Iter start = c.iter_start;
    c.prev_iter_start = Iter{};
    c.iter_start = p;
    c.iterations = 0;
    bool ok;
    if constexpr (Greedy) {
      if (max_ != 0) {
        c.iterations = 1;
        if (rest<Form>(group_, s, p)) return true;
        s.captures[n_].iterations = 0;
        ok = min_ == 0 && rest<Form>(this->next, s, p);
      } else {
        ok = rest<Form>(this->next, s, p);
      }
    } else {
      ok = lazy_continue<Form>(s, p);
    }
    if (ok) return true;
    backref_tag<Iter>& again = s.captures[n_];
    again.iterations = iterations;
    again.prev_iter_start = prev;
    again.iter_start = start;
    return false;
  }

  template <class Form>
  bool step_impl(param& s) const {
    backref_tag<Iter>& c = s.captures[n_];
    s.stack->push(old_quant<Iter>{c.iterations, c.iterating, c.prev_iter_start, c.iter_start});
    c.iterations = 0;
    c.iterating = true;
    c.prev_iter_start = Iter{};
    c.iter_start = Iter{};
    s.next_node = &end_;
    return true;
  }
  template <class Form>
  bool retry_impl(param& s) const {
    const auto saved = s.stack->template pop<old_quant<Iter>>();
    backref_tag<Iter>& c = s.captures[n_];
    c.iterations = saved.iterations;
    c.iterating = saved.iterating;
    c.prev_iter_start = saved.prev_iter_start;
    c.iter_start = saved.iter_start;
    return false;
  }

  const match_group_base<Iter>* group() const { return group_; }
  unsigned min() const { return min_; }
  unsigned max() const { return max_; }

 private:
  template <class Form>
  bool lazy_continue(param& s, Iter p) const {
    backref_tag<Iter>& c = s.captures[n_];
    if (c.iterations >= min_ && rest<Form>(this->next, s, p)) return true;
    if (c.iterations < max_) {
      ++c.iterations;
      if (rest<Form>(group_, s, p)) return true;
      --s.captures[n_].iterations;
    }
    return false;
  }

  template <class Form>
  bool end_rest(param& s, Iter p) const {
    backref_tag<Iter>& c = s.captures[n_];
    if (p == c.prev_iter_start) return rest<Form>(this->next, s, p);
    const Iter before = c.prev_iter_start;
    c.prev_iter_start = c.iter_start;
    c.iter_start = p;
    if constexpr (Greedy) {
      bool below_min = false;
      if (c.iterations != max_) {
        ++c.iterations;
        if (rest<Form>(group_, s, p)) return true;
        below_min = --s.captures[n_].iterations < min_;
      }
      if (!below_min && rest<Form>(this->next, s, p)) return true;
    } else {
      if (lazy_continue<Form>(s, p)) return true;
    }
    backref_tag<Iter>& again = s.captures[n_];
    again.iter_start = again.prev_iter_start;
    again.prev_iter_start = before;
    return false;
  }

  void shift(param& s) const {
    backref_tag<Iter>& c = s.captures[n_];
    s.stack->push(c.prev_iter_start);
    c.prev_iter_start = c.iter_start;
    c.iter_start = s.position;
  }
  void unshift(param& s) const {
    backref_tag<Iter>& c = s.captures[n_];
    c.iter_start = c.prev_iter_start;
    c.prev_iter_start = s.stack->template pop<Iter>();
  }

  template <class Form>
  bool end_step(param& s) const {
    backref_tag<Iter>& c = s.captures[n_];
    if (s.position == c.prev_iter_start) {
      shift(s);
      s.next_node = this->next;
      return true;
    }
    shift(s);
    if constexpr (Greedy) {
      if (c.iterations == max_) {
        c.iterating = false;
        s.next_node = this->next;
      } else {
        c.iterating = true;
        ++c.iterations;
        s.next_node = group_;
      }
    } else {
      if (c.iterations < min_) {
        ++c.iterations;
        s.next_node = group_;
      } else {
        c.iterating = false;
        s.next_node = this->next;
      }
    }
    return true;
  }

  template <class Form>
  bool end_retry(param& s) const {
    backref_tag<Iter>& c = s.captures[n_];
    if (s.position == s.stack->template peek<Iter>()) {  // the empty-pass branch was taken
      unshift(s);
      return false;
    }
    if constexpr (Greedy) {
      if (c.iterating) {
        --c.iterations;
        if (c.iterations >= min_) {
          c.iterating = false;
          s.next_node = this->next;
          return true;
        }
        unshift(s);
        return false;
      }
      c.iterating = true;
      unshift(s);
      return false;
    } else {
      if (c.iterating) {
        --c.iterations;
        unshift(s);
        return false;
      }
      c.iterating = true;
      if (c.iterations < max_) {
        ++c.iterations;
        s.next_node = group_;
        return true;
      }
      unshift(s);
      return false;
    }
  }

  match_group_base<Iter>* group_;  // the repeated group G (G's next is end_)
  unsigned min_;                   // fewest passes
  unsigned max_;                   // most passes, unbounded = no limit
  unsigned n_;                     // G's group number: the capture record holding the loop state
  end_quantifier end_;             // loop point
};

template <class Derived, class Iter>
sub_expr<Iter>* quantifiable_group<Derived, Iter>::quantify(unsigned min, unsigned max, bool greedy,
                                                             node_factory<Iter>& make) {
  if (greedy) return make.template make<group_quantifier<Iter, true>>(this, min, max);
  return make.template make<group_quantifier<Iter, false>>(this, min, max);
}

}  // namespace regex::detail
