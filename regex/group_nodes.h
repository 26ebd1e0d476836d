// Group nodes: plain and capturing groups, atomic groups, look-ahead,
// look-behind, conditionals, recursion into the whole pattern and the end of
// the pattern.
//
// A group holds a list of alternatives; each alternative is a chain of nodes
// that ends in the group's embedded end node. What the end node does depends
// on the group kind: continue after the group (ordinary groups), stop the body
// with success (atomic groups and look-ahead), or stop with success only at the
// look-behind point (look-behind).
//
// Thread-safety: nodes are only read while matching.
//
// Invariants:
//  1. A group has at least one alternative once it is closed.
//  2. Every operation that fails leaves the capture array and the position as
//     they were before it ran; retry undoes exactly what step did.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "regex/nodes.h"

namespace regex::detail {

// One alternative of a group (a list cell in the arena).
template <class Iter>
struct alternative {
  sub_expr<Iter>* first;   // first node of the alternative's chain
  alternative* next;       // following alternative, or null
};

// Saved first, second and matched of one capture.
template <class Iter>
struct old_backref {
  Iter first;     // saved first
  Iter second;    // saved second
  bool matched;   // saved matched
};

// Copies of a range of capture records, held on the C++ stack for the
// recursive strategy (small ranges inline).
template <class Iter>
class capture_snapshot {
 public:
  capture_snapshot(const match_param<Iter>& s, unsigned first, unsigned count) : first_(first), count_(count) {
    if (count_ > inline_size) heap_.assign(s.captures + first_, s.captures + first_ + count_);
    else std::copy_n(s.captures + first_, count_, inline_);
  }
  void restore(match_param<Iter>& s) const {
    const backref_tag<Iter>* from = count_ > inline_size ? heap_.data() : inline_;
    std::copy_n(from, count_, s.captures + first_);
  }

 private:
  static constexpr unsigned inline_size = 4;
  unsigned first_;                            // first group number copied
  unsigned count_;                            // number of records copied
  backref_tag<Iter> inline_[inline_size];     // copies when count_ <= inline_size
  std::vector<backref_tag<Iter>> heap_;       // copies otherwise
};

// Pushes copies of a range of capture records (iterative strategy).
template <class Iter>
void push_captures(match_param<Iter>& s, unsigned first, unsigned count) {
  for (unsigned i = 0; i < count; ++i) s.stack->push(s.captures[first + i]);
}
// Pops them back into the capture array.
template <class Iter>
void pop_captures(match_param<Iter>& s, unsigned first, unsigned count) {
  for (unsigned i = count; i-- > 0;) s.captures[first + i] = s.stack->template pop<backref_tag<Iter>>();
}
// Restores the capture array from the copies on top of the stack, keeping them.
template <class Iter>
void restore_captures_keep(match_param<Iter>& s, unsigned first, unsigned count) {
  pop_captures(s, first, count);
  push_captures(s, first, count);
}

// What the end node of a group does.
enum class end_mode {
  normal,       // record the capture, continue after the group
  body,         // record the capture, end the body with success
  lookbehind,   // end the body with success only at the subject end (the look-behind point)
};

template <class Iter>
class match_group_base : public sub_expr<Iter> {
 public:
  using param = match_param<Iter>;

  // The node every alternative of a group ends in.
  class end_group final : public with_forms<end_group, sub_expr<Iter>> {
   public:
    end_group(const match_group_base* group, end_mode mode) : group_(group), mode_(mode) {}

    template <class Form>
    bool rest_impl(param& s, Iter p) const {
      const unsigned n = group_->number_;
      if (mode_ == end_mode::lookbehind) return p == s.subject_end;
      if (n == npos) {
        return mode_ == end_mode::body || rest<Form>(group_->next, s, p);
      }
      backref_tag<Iter>& c = s.captures[n];
      if (mode_ == end_mode::body) {
        c.first = c.entry;
        c.second = p;
        c.matched = true;
        return true;
      }
      const old_backref<Iter> saved{c.first, c.second, c.matched};
      c.first = c.entry;
      c.second = p;
      c.matched = true;
      if (rest<Form>(group_->next, s, p)) return true;
      backref_tag<Iter>& again = s.captures[n];
      again.first = saved.first;
      again.second = saved.second;
      again.matched = saved.matched;
      return false;
    }
    template <class Form>
    bool step_impl(param& s) const {
      const unsigned n = group_->number_;
      if (mode_ == end_mode::lookbehind) {
        s.next_node = nullptr;
        return s.position == s.subject_end;
      }
      if (n != npos) {
        backref_tag<Iter>& c = s.captures[n];
        if (mode_ == end_mode::normal) s.stack->push(old_backref<Iter>{c.first, c.second, c.matched});
        c.first = c.entry;
        c.second = s.position;
        c.matched = true;
      }
      s.next_node = mode_ == end_mode::normal ? group_->next : nullptr;
      return true;
    }
    template <class Form>
    bool retry_impl(param& s) const {
      const unsigned n = group_->number_;
      if (mode_ == end_mode::normal && n != npos) {
        const auto saved = s.stack->template pop<old_backref<Iter>>();
        backref_tag<Iter>& c = s.captures[n];
        c.first = saved.first;
        c.second = saved.second;
        c.matched = saved.matched;
      }
      return false;
    }
    width_pair width(width_context<Iter>&) override { return {0, 0}; }

   private:
    const match_group_base* group_;  // owner
    end_mode mode_;                  // see end_mode
  };

  match_group_base(unsigned number, end_mode mode) : number_(number), end_(this, mode) {}

  // Building (used by the parser).
  void append(sub_expr<Iter>* node) {
    if (last_ == nullptr) {
      building_first_ = node;
    } else {
      last_->next = node;
    }
    last_ = node;
  }
  void new_alternative(arena_allocator& arena) { finish_alternative(arena); }
  // Links the last alternative to the end node and computes the first-character
  // array and the leading literal.
  void close(arena_allocator& arena) {
    finish_alternative(arena);
    compute_first_characters(arena);
  }
  void set_group_range(unsigned first, unsigned count) {
    nested_first_ = first;
    nested_count_ = count;
  }

  unsigned number() const { return number_; }
  unsigned alternative_count() const { return alternative_count_; }
  const alternative<Iter>* alternatives() const { return alternatives_; }
  const sub_expr<Iter>* end_node() const { return &end_; }
  bool has_first_characters() const { return has_fc_; }
  const char16_t* fc_begin() const { return fc_begin_; }
  const char16_t* fc_end() const { return fc_end_; }
  // Leading literal of a one-alternative group (lit_begin null when none).
  const peek_hint& literal_hint() const { return literal_; }
  unsigned nested_first() const { return nested_first_; }
  unsigned nested_count() const { return nested_count_; }
  width_pair cached_width() const { return {min_width_, max_width_}; }
  bool width_known() const { return width_known_; }

  width_pair width(width_context<Iter>& ctx) override { return body_width(ctx); }
  peek_result peek(peek_hint& h) const override {
    if (!has_fc_) return peek_result::none;
    h.chars = fc_begin_;
    h.count = static_cast<std::size_t>(fc_end_ - fc_begin_);
    if (literal_.lit_begin != nullptr) {
      h.lit_begin = literal_.lit_begin;
      h.lit_end = literal_.lit_end;
      h.lit_other = literal_.lit_other;
    }
    return peek_result::found;
  }

  // The body: filter, entry, alternatives in order (recursive strategy).
  template <class Form>
  bool body_rest(param& s, Iter p) const {
    if (!filter<Form>(s, p)) return false;
    Iter saved{};
    if (number_ != npos) {
      saved = s.captures[number_].entry;
      s.captures[number_].entry = p;
    }
    for (const alternative<Iter>* a = alternatives_; a != nullptr; a = a->next) {
      if (rest<Form>(a->first, s, p)) return true;
    }
    if (number_ != npos) s.captures[number_].entry = saved;
    return false;
  }
  // The body (iterative strategy): records the old entry and a cursor on the
  // alternative list.
  template <class Form>
  bool body_step(param& s) const {
    if (!filter<Form>(s, s.position)) return false;
    if (number_ != npos) {
      s.stack->push(s.captures[number_].entry);
      s.captures[number_].entry = s.position;
    }
    s.stack->push(static_cast<const alternative<Iter>*>(alternatives_));
    s.next_node = alternatives_->first;
    return true;
  }
  template <class Form>
  bool body_retry(param& s) const {
    auto& cursor = s.stack->template peek<const alternative<Iter>*>();
    cursor = cursor->next;
    if (cursor != nullptr) {
      s.next_node = cursor->first;
      return true;
    }
    s.stack->template pop<const alternative<Iter>*>();
    if (number_ != npos) s.captures[number_].entry = s.stack->template pop<Iter>();
    return false;
  }

 protected:
  // The first-character filter: with an array, the group fails at once at the
  // end, or when the character is not a candidate.
  template <class Form>
  bool filter(const param& s, Iter p) const {
    if (!has_fc_) return true;
    if (Form::at_end(s, p) || fc_begin_ == fc_end_) return false;
    return std::binary_search(fc_begin_, fc_end_, static_cast<char16_t>(*p));
  }

  // Width over the alternatives, with this group's table entry cleared while
  // they are visited (a reference into the group itself is unbounded).
  width_pair body_width(width_context<Iter>& ctx) {
    if (width_known_) return {min_width_, max_width_};
    match_group_base* saved = nullptr;
    if (number_ != npos && number_ < ctx.table.size()) {
      saved = ctx.table[number_];
      ctx.table[number_] = nullptr;
    }
    unsigned lo = unbounded, hi = 0;
    for (alternative<Iter>* a = alternatives_; a != nullptr; a = a->next) {
      unsigned alo = 0, ahi = 0;
      for (sub_expr<Iter>* n = a->first; n != &end_; n = n->next) {
        const width_pair w = n->width(ctx);
        alo = width_add(alo, w.min);
        ahi = width_add(ahi, w.max);
      }
      lo = std::min(lo, alo);
      hi = std::max(hi, ahi);
    }
    if (number_ != npos && number_ < ctx.table.size()) ctx.table[number_] = saved;
    min_width_ = lo;
    max_width_ = hi;
    width_known_ = true;
    return {lo, hi};
  }

  // Groups whose alternatives may be skipped entirely keep no filter.
  virtual bool may_skip_alternatives() const { return false; }

  unsigned number_;                               // group number, npos for look-arounds
  alternative<Iter>* alternatives_ = nullptr;     // alternatives in pattern order
  unsigned alternative_count_ = 0;                // length of that list
  unsigned min_width_ = unbounded;                // shortest body match (after the width pass)
  unsigned max_width_ = unbounded;                // longest body match, unbounded = no limit
  bool width_known_ = false;                      // the width pass has visited the group
  bool has_fc_ = false;                           // the group has a first-character array
  const char16_t* fc_begin_ = nullptr;            // sorted distinct candidate first characters
  const char16_t* fc_end_ = nullptr;              // end of that array
  peek_hint literal_;                             // leading literal of a one-alternative group
  unsigned nested_first_ = 0;                     // first group number handed out inside the group
  unsigned nested_count_ = 0;                     // numbers handed out inside the group (itself included)
  end_group end_;                                 // end node of every alternative

 private:
  void finish_alternative(arena_allocator& arena) {
    append(&end_);
    auto* cell = arena.make<alternative<Iter>>(alternative<Iter>{building_first_, nullptr});
    if (alternatives_ == nullptr) {
      alternatives_ = cell;
    } else {
      alternative<Iter>* tail = alternatives_;
      while (tail->next != nullptr) tail = tail->next;
      tail->next = cell;
    }
    ++alternative_count_;
    building_first_ = nullptr;
    last_ = nullptr;
  }

  void compute_first_characters(arena_allocator& arena) {
    std::vector<char16_t> chars;
    peek_hint first_hint;
    for (const alternative<Iter>* a = alternatives_; a != nullptr; a = a->next) {
      peek_hint h;
      if (!peek_through<Iter>(a->first, h)) return;
      chars.insert(chars.end(), h.chars, h.chars + h.count);
      if (a == alternatives_) first_hint = h;
    }
    if (may_skip_alternatives()) return;
    std::sort(chars.begin(), chars.end());
    chars.erase(std::unique(chars.begin(), chars.end()), chars.end());
    auto* array = static_cast<char16_t*>(arena.allocate(chars.size() * sizeof(char16_t)));
    std::copy(chars.begin(), chars.end(), array);
    fc_begin_ = array;
    fc_end_ = array + chars.size();
    has_fc_ = true;
    if (alternative_count_ == 1 && first_hint.lit_begin != nullptr) {
      literal_.lit_begin = first_hint.lit_begin;
      literal_.lit_end = first_hint.lit_end;
      literal_.lit_other = first_hint.lit_other;
    }
  }

  sub_expr<Iter>* building_first_ = nullptr;  // first node of the alternative being built
  sub_expr<Iter>* last_ = nullptr;            // last node of the alternative being built
};

template <class Iter, bool Greedy>
class group_quantifier;

// Runs a group's body as the start node of a nested iterative driver.
template <class Iter>
class group_wrapper final : public with_forms<group_wrapper<Iter>, sub_expr<Iter>> {
 public:
  using param = match_param<Iter>;
  explicit group_wrapper(const match_group_base<Iter>* group) : group_(group) {}
  template <class Form>
  bool rest_impl(param& s, Iter p) const { return group_->template body_rest<Form>(s, p); }
  template <class Form>
  bool step_impl(param& s) const { return group_->template body_step<Form>(s); }
  template <class Form>
  bool retry_impl(param& s) const { return group_->template body_retry<Form>(s); }
  width_pair width(width_context<Iter>&) override { return {0, 0}; }

 private:
  const match_group_base<Iter>* group_;  // group whose body runs
};

// Gives a group kind its repeated forms.
template <class Derived, class Iter>
class quantifiable_group : public with_forms<Derived, match_group_base<Iter>> {
 public:
  using with_forms<Derived, match_group_base<Iter>>::with_forms;
  sub_expr<Iter>* quantify(unsigned min, unsigned max, bool greedy, node_factory<Iter>& make) override;
};

// A plain group, capturing or not.
template <class Iter>
class match_group : public quantifiable_group<match_group<Iter>, Iter> {
 public:
  using param = match_param<Iter>;
  explicit match_group(unsigned number) : quantifiable_group<match_group<Iter>, Iter>(number, end_mode::normal) {}

  template <class Form>
  bool rest_impl(param& s, Iter p) const { return this->template body_rest<Form>(s, p); }
  template <class Form>
  bool step_impl(param& s) const { return this->template body_step<Form>(s); }
  template <class Form>
  bool retry_impl(param& s) const { return this->template body_retry<Form>(s); }
};

// Atomic group (expected true, with a number) and look-ahead (no number,
// expected true or false): the body is matched alone, its choices are dropped,
// and the continuation runs after it.
template <class Iter>
class independent_group : public quantifiable_group<independent_group<Iter>, Iter> {
 public:
  using param = match_param<Iter>;
  independent_group(unsigned number, bool expected)
      : quantifiable_group<independent_group<Iter>, Iter>(number, end_mode::body), expected_(expected) {}

  template <class Form>
  bool rest_impl(param& s, Iter p) const {
    const capture_snapshot<Iter> saved(s, this->nested_first_, this->nested_count_);
    const bool r = this->template body_rest<Form>(s, p);
    if (r == expected_) {
      const Iter cont = (r && this->number_ != npos) ? s.captures[this->number_].second : p;
      if (rest<Form>(this->next, s, cont)) return true;
    }
    if (r) saved.restore(s);
    return false;
  }
  template <class Form>
  bool step_impl(param& s) const {
    const Iter p = s.position;
    push_captures(s, this->nested_first_, this->nested_count_);
    s.stack->push(p);
    const group_wrapper<Iter> body(this);
    const bool r = run_iterative<Form>(s, &body, p);
    if (r == expected_) {
      if (!r || this->number_ == npos) s.position = p;
      s.next_node = this->next;
      return true;
    }
    s.position = s.stack->template pop<Iter>();
    pop_captures(s, this->nested_first_, this->nested_count_);
    return false;
  }
  template <class Form>
  bool retry_impl(param& s) const {
    s.position = s.stack->template pop<Iter>();
    pop_captures(s, this->nested_first_, this->nested_count_);
    return false;
  }
  // Stops after the condition of a conditional: drops the records of a
  // successful step (captures restored).
  template <class Form>
  void release(param& s) const { retry_impl<Form>(s); }

 protected:
  bool expected_;  // result the body must give: true for atomic groups and positive look-ahead
};

template <class Iter>
class lookahead_assertion final : public independent_group<Iter> {
 public:
  explicit lookahead_assertion(bool positive) : independent_group<Iter>(npos, positive) {}
  sub_expr<Iter>* quantify(unsigned, unsigned, bool, node_factory<Iter>&) override {
    throw bad_regexpr("look-ahead assertion cannot be quantified");
  }
  bool is_assertion() const override { return true; }
  width_pair width(width_context<Iter>& ctx) override {
    this->body_width(ctx);
    return {0, 0};
  }
  peek_result peek(peek_hint&) const override { return peek_result::none; }
};

// Look-behind: the body must match ending exactly at the current position. It
// is tried from the leftmost start the body's widths allow, one character at a
// time; a negative look-behind decides on the first start whose body matches.
template <class Iter>
class lookbehind_assertion final : public with_forms<lookbehind_assertion<Iter>, match_group_base<Iter>> {
 public:
  using param = match_param<Iter>;
  using base = with_forms<lookbehind_assertion<Iter>, match_group_base<Iter>>;
  explicit lookbehind_assertion(bool positive) : base(npos, end_mode::lookbehind), expected_(positive) {}

  bool is_assertion() const override { return true; }
  width_pair width(width_context<Iter>& ctx) override {
    const width_pair body = this->body_width(ctx);
    wmin_ = body.min;
    wmax_ = body.max;
    return {0, 0};
  }
  peek_result peek(peek_hint&) const override { return peek_result::none; }

  template <class Form>
  bool rest_impl(param& s, Iter p) const {
    const std::size_t avail = static_cast<std::size_t>(p - s.subject_begin);
    if (avail < wmin_) return !expected_ && rest<Form>(this->next, s, p);
    const capture_snapshot<Iter> saved(s, this->nested_first_, this->nested_count_);
    param sub = body_state(s, p);
    Iter q = p - static_cast<std::ptrdiff_t>(std::min<std::size_t>(wmax_, avail));
    const Iter stop = p - static_cast<std::ptrdiff_t>(wmin_);
    for (;;) {
      const bool r = this->template body_rest<bounded_form>(sub, q);
      if (r == expected_ && rest<Form>(this->next, s, p)) return true;
      if (r) {
        saved.restore(s);
        if (!expected_) return false;
      }
      if (q == stop) return false;
      ++q;
    }
  }

  template <class Form>
  bool step_impl(param& s) const {
    const Iter p = s.position;
    const std::size_t avail = static_cast<std::size_t>(p - s.subject_begin);
    if (avail < wmin_) {
      if (expected_) return false;
      s.stack->push(record{p, p, true});
      s.next_node = this->next;
      return true;
    }
    push_captures(s, this->nested_first_, this->nested_count_);
    return scan<Form>(s, p, p - static_cast<std::ptrdiff_t>(std::min<std::size_t>(wmax_, avail)));
  }
  template <class Form>
  bool retry_impl(param& s) const {
    const record r = s.stack->template pop<record>();
    s.position = r.at;
    if (r.short_subject) return false;
    restore_captures_keep(s, this->nested_first_, this->nested_count_);
    // A negative look-behind held because its body failed at r.start; the
    // continuation gives the same answer from any later start, so stop.
    if (!expected_ || r.start == r.at - static_cast<std::ptrdiff_t>(wmin_)) {
      pop_captures(s, this->nested_first_, this->nested_count_);
      return false;
    }
    return scan<Form>(s, r.at, r.start + 1);
  }
  template <class Form>
  void release(param& s) const {
    const record r = s.stack->template pop<record>();
    s.position = r.at;
    if (!r.short_subject) pop_captures(s, this->nested_first_, this->nested_count_);
  }

 private:
  // Retry state of a successful step.
  struct record {
    Iter at;             // the look-behind point
    Iter start;          // start of the body that decided
    bool short_subject;  // too few characters before `at`: nothing else pushed
  };

  // The body runs on a copy of the state that ends at the look-behind point.
  static param body_state(const param& s, Iter p) {
    param sub = s;
    sub.subject_end = p;
    sub.no_empty_match = false;
    return sub;
  }

  // Tries body starts from q on; the capture copies are on the stack.
  template <class Form>
  bool scan(param& s, Iter p, Iter q) const {
    param sub = body_state(s, p);
    const Iter stop = p - static_cast<std::ptrdiff_t>(wmin_);
    const group_wrapper<Iter> body(this);
    for (;;) {
      const bool r = run_iterative<bounded_form>(sub, &body, q);
      if (r == expected_) {
        s.stack->push(record{p, q, false});
        s.position = p;
        s.next_node = this->next;
        return true;
      }
      if (r) {
        restore_captures_keep(s, this->nested_first_, this->nested_count_);
        if (!expected_) break;
      }
      if (q == stop) break;
      ++q;
    }
    pop_captures(s, this->nested_first_, this->nested_count_);
    s.position = p;
    return false;
  }

  bool expected_;            // true for (?<=, false for (?<!
  unsigned wmin_ = 0;        // shortest body match
  unsigned wmax_ = unbounded;  // longest body match
};

// End of the whole pattern (also the successor of a conditional's assertion):
// succeeds unless an empty match at the search start is forbidden.
template <class Iter>
class end_of_pattern final : public with_forms<end_of_pattern<Iter>, sub_expr<Iter>> {
 public:
  using param = match_param<Iter>;
  template <class Form>
  bool rest_impl(param& s, Iter p) const { return !(s.no_empty_match && p == s.search_start); }
  template <class Form>
  bool step_impl(param& s) const {
    s.next_node = nullptr;
    return !(s.no_empty_match && s.position == s.search_start);
  }
  template <class Form>
  bool retry_impl(param&) const { return false; }
  width_pair width(width_context<Iter>&) override { return {0, 0}; }
};

// Conditional: the first alternative runs when the condition holds, the
// second (or nothing) otherwise. The condition is a group that has captured,
// or a look-around assertion followed by its own end_of_pattern node.
template <class Iter>
class match_conditional final : public quantifiable_group<match_conditional<Iter>, Iter> {
 public:
  using param = match_param<Iter>;
  using base = quantifiable_group<match_conditional<Iter>, Iter>;
  // Tests whether visible group `group` has captured.
  match_conditional(unsigned number, unsigned group)
      : base(number, end_mode::normal), group_(group), assertion_(nullptr) {}
  // Tests a look-around.
  match_conditional(unsigned number, match_group_base<Iter>* assertion)
      : base(number, end_mode::normal), group_(npos), assertion_(assertion) {}

  width_pair width(width_context<Iter>& ctx) override {
    if (assertion_ != nullptr) {
      assertion_->width(ctx);
    } else if (!converted_) {
      group_ = to_internal_group(group_, *ctx.invisible);
      converted_ = true;
      if (group_ >= ctx.table.size()) throw bad_regexpr("reference to nonexistent group");
    }
    width_pair w = this->body_width(ctx);
    if (this->alternative_count_ < 2) w.min = 0;  // the missing branch matches nothing
    return w;
  }

  template <class Form>
  bool rest_impl(param& s, Iter p) const {
    if (!this->template filter<Form>(s, p)) return false;
    bool held;
    const unsigned first = assertion_ ? assertion_->nested_first() : 0;
    const unsigned count = assertion_ ? assertion_->nested_count() : 0;
    const capture_snapshot<Iter> saved(s, first, count);
    if (assertion_ != nullptr) {
      held = rest<Form>(assertion_, s, p);
    } else {
      held = group_ < s.capture_count && s.captures[group_].matched;
    }
    const alternative<Iter>* branch = held ? this->alternatives_ : this->alternatives_->next;
    const unsigned n = this->number_;
    const Iter entry = s.captures[n].entry;
    s.captures[n].entry = p;
    if (branch != nullptr ? rest<Form>(branch->first, s, p) : rest<Form>(this->next, s, p)) return true;
    s.captures[n].entry = entry;
    if (held && assertion_ != nullptr) saved.restore(s);
    return false;
  }
  template <class Form>
  bool step_impl(param& s) const {
    if (!this->template filter<Form>(s, s.position)) return false;
    bool held;
    if (assertion_ != nullptr) {
      held = step<Form>(assertion_, s);
      // The assertion's successor is an end_of_pattern node: it must accept too.
      while (held && !step<Form>(assertion_->next, s)) held = retry<Form>(assertion_, s);
    } else {
      held = group_ < s.capture_count && s.captures[group_].matched;
    }
    const unsigned n = this->number_;
    s.stack->push(s.captures[n].entry);
    s.captures[n].entry = s.position;
    s.stack->push(held);
    const alternative<Iter>* branch = held ? this->alternatives_ : this->alternatives_->next;
    s.next_node = branch != nullptr ? branch->first : this->next;
    return true;
  }
  template <class Form>
  bool retry_impl(param& s) const {
    const bool held = s.stack->template pop<bool>();
    s.captures[this->number_].entry = s.stack->template pop<Iter>();
    if (held && assertion_ != nullptr) release_assertion<Form>(s);
    return false;
  }

  unsigned tested_group() const { return group_; }

 protected:
  bool may_skip_alternatives() const override { return this->alternative_count_ < 2; }

 private:
  template <class Form>
  void release_assertion(param& s) const {
    if (auto* behind = dynamic_cast<const lookbehind_assertion<Iter>*>(assertion_)) {
      behind->template release<Form>(s);
    } else {
      static_cast<const independent_group<Iter>*>(assertion_)->template release<Form>(s);
    }
  }

  unsigned group_;                        // tested group (visible number until converted), or npos
  match_group_base<Iter>* assertion_;     // tested look-around, or null
  bool converted_ = false;                // group_ holds the internal number
};

// Working fields of a capture record that a nested (?R) match must not
// change for the level that called it: where the group was entered and the
// loop state of a quantifier repeating it.
template <class Iter>
struct recursion_frame {
  Iter entry;                // saved entry
  std::uint32_t iterations;  // saved iterations
  bool iterating;            // saved iterating
  Iter prev_iter_start;      // saved prev_iter_start
  Iter iter_start;           // saved iter_start

  static recursion_frame save(const backref_tag<Iter>& c) {
    return {c.entry, c.iterations, c.iterating, c.prev_iter_start, c.iter_start};
  }
  void restore(backref_tag<Iter>& c) const {
    c.entry = entry;
    c.iterations = iterations;
    c.iterating = iterating;
    c.prev_iter_start = prev_iter_start;
    c.iter_start = iter_start;
  }
};

// (?R): a complete nested match of the whole pattern at the current position,
// then the continuation from where it ended. At the start of the current
// top-level attempt it matches nothing (no endless recursion). The nested
// match's captures remain; the entry points and loop states of the calling
// level are put back, so a repetition around (?R) keeps counting its own passes.
template <class Iter>
class match_recurse final : public with_forms<match_recurse<Iter>, sub_expr<Iter>> {
 public:
  using param = match_param<Iter>;
  using frame = recursion_frame<Iter>;

  sub_expr<Iter>* quantify(unsigned, unsigned, bool, node_factory<Iter>&) override {
    throw bad_regexpr("recursion sub-expression cannot be quantified");
  }
  width_pair width(width_context<Iter>&) override { return {0, unbounded}; }

  template <class Form>
  bool rest_impl(param& s, Iter p) const {
    if (p == s.captures[0].entry) return rest<Form>(this->next, s, p);
    std::vector<frame> saved(s.capture_count);
    for (std::size_t i = 0; i < s.capture_count; ++i) saved[i] = frame::save(s.captures[i]);
    if (!rest<Form>(s.root, s, p)) return false;
    for (std::size_t i = 0; i < s.capture_count; ++i) saved[i].restore(s.captures[i]);
    return rest<Form>(this->next, s, s.captures[0].second);
  }
  template <class Form>
  bool step_impl(param& s) const {
    const Iter p = s.position;
    if (p != s.captures[0].entry) {
      for (std::size_t i = 0; i < s.capture_count; ++i) s.stack->push(frame::save(s.captures[i]));
      const bool r = run_iterative<Form>(s, s.root, p);
      for (std::size_t i = s.capture_count; i-- > 0;) s.stack->template pop<frame>().restore(s.captures[i]);
      if (!r) {
        s.position = p;
        return false;
      }
    }
    s.stack->push(p);
    s.next_node = this->next;
    return true;
  }
  template <class Form>
  bool retry_impl(param& s) const {
    s.position = s.stack->template pop<Iter>();
    return false;
  }
};

template <class Iter, bool Nocase>
width_pair match_backref_t<Iter, Nocase>::width(width_context<Iter>& ctx) {
  if (!converted_) {
    group_ = to_internal_group(group_, *ctx.invisible);
    converted_ = true;
  }
  if (group_ >= ctx.table.size()) throw bad_regexpr("reference to nonexistent group");
  match_group_base<Iter>* g = ctx.table[group_];
  if (g == nullptr) return {0, unbounded};
  return g->width(ctx);
}

}  // namespace regex::detail
