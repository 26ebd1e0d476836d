// Construction, compilation and the search entry of basic_rpattern, with the
// explicit instantiations of both position types.
#include "regex/rpattern.h"

#include <algorithm>
#include <string>

#include "regex/hetero_stack.h"
#include "regex/parser.h"
#include "regex/regex.h"
#include "regex/stack_guard.h"
#include "regex/substitution.h"

namespace regex {

template <class Iter, class Syntax>
basic_rpattern<Iter, Syntax>::basic_rpattern(const std::u16string& pattern, int flags, int mode)
    : flags_(flags), mode_(mode), text_(pattern) {
  try {
    compile();
  } catch (...) {
    destroy_nodes();
    throw;
  }
}

template <class Iter, class Syntax>
basic_rpattern<Iter, Syntax>::basic_rpattern(const std::u16string& pattern, const std::u16string& substitution,
                                             int flags, int mode)
    : basic_rpattern(pattern, flags, mode) {
  set_substitution(substitution);
}

template <class Iter, class Syntax>
basic_rpattern<Iter, Syntax>::~basic_rpattern() {
  destroy_nodes();
}

template <class Iter, class Syntax>
void basic_rpattern<Iter, Syntax>::destroy_nodes() {
  while (nodes_ != nullptr) {
    detail::node_cell<Iter>* cell = nodes_;
    nodes_ = cell->next;
    if (cell->node != nullptr) cell->node->~sub_expr_base();
  }
  first_ = nullptr;
}

template <class Iter, class Syntax>
const detail::sub_expr_base<Iter>* basic_rpattern<Iter, Syntax>::first_node() const {
  return first_;
}

template <class Iter, class Syntax>
void basic_rpattern<Iter, Syntax>::set_substitution(const std::u16string& substitution) {
  std::u16string text = substitution;
  if (flags_ & control_escapes) detail::process_substitution_escapes(text);
  std::vector<subst_piece> pieces;
  bool uses = false;
  detail::parse_substitution(text, visible_count_, pieces, uses);
  subst_text_.swap(text);
  pieces_.swap(pieces);
  subst_uses_captures_ = uses;
}

template <class Iter, class Syntax>
void basic_rpattern<Iter, Syntax>::compile() {
  group_counter_ = 0;
  detail::pattern_parser<Iter, Syntax> parser(*this);
  first_ = parser.parse_pattern();

  // A conditional records the counter before its condition, which a group
  // inside the condition may share: keep each number once.
  invisible_.erase(std::unique(invisible_.begin(), invisible_.end()), invisible_.end());
  visible_count_ = group_counter_ - static_cast<unsigned>(invisible_.size());

  detail::width_context<Iter> ctx{parser.table(), &invisible_};
  ctx.table.resize(group_counter_, nullptr);
  const detail::width_pair w = first_->width(ctx);
  min_width_ = w.min;
  max_width_ = w.max;

  // Search-once decisions use the constructor's flags.
  const char16_t* c = text_.data();
  const char16_t* const e = c + text_.size();
  int f = flags_;
  const regular_token first_token = Syntax::next_regular(c, e, f);
  const bool one_alternative = first_->alternative_count() == 1;
  if (!(flags_ & multiline) && one_alternative && first_token == regular_token::line_start) {
    flags_ &= ~from_right;
    search_once_ = true;
  }
  if (!(flags_ & from_right) && (flags_ & singleline) && one_alternative && first_token == regular_token::any_char) {
    const quantifier_token q = Syntax::next_quantifier(c, e, f);
    if (q == quantifier_token::star || q == quantifier_token::plus || q == quantifier_token::star_lazy ||
        q == quantifier_token::plus_lazy) {
      search_once_ = true;
    }
  }

  groups_.assign(group_counter_, group_facts{});
  for (unsigned n = 0; n < group_counter_ && n < ctx.table.size(); ++n) {
    const detail::match_group_base<Iter>* g = ctx.table[n];
    if (g == nullptr) continue;
    group_facts& facts = groups_[n];
    const detail::width_pair gw = g->cached_width();
    facts.min_width = gw.min;
    facts.max_width = gw.max;
    facts.has_first_characters = g->has_first_characters();
    if (facts.has_first_characters) facts.first_characters.assign(g->fc_begin(), g->fc_end());
  }
}

template <class Iter, class Syntax>
Iter basic_rpattern<Iter, Syntax>::scan(Iter from, Iter end) const {
  const detail::search_hint& h = *hint_;
  const std::size_t last = h.last_index;
  const char16_t* lit = h.literal_begin;
  const char16_t* other = h.other_case;
  while (static_cast<std::size_t>(end - from) > last) {
    std::size_t i = last + 1;
    while (i > 0) {
      const char16_t c = from[static_cast<std::ptrdiff_t>(i - 1)];
      if (c != lit[i - 1] && (other == nullptr || c != other[i - 1])) break;
      --i;
    }
    if (i == 0) return from;
    from += h.skip[from[static_cast<std::ptrdiff_t>(last)] & 0xFF];
  }
  return end;
}

template <class Iter, class Syntax>
template <class Form>
bool basic_rpattern<Iter, Syntax>::drive(detail::match_param<Iter>& s, bool recursive) const {
  s.root = first_;
  for (std::size_t i = 0; i < s.capture_count; ++i) s.captures[i] = backref_tag<Iter>{};
  const auto attempt = [&](Iter p) {
    return recursive ? detail::rest<Form>(first_, s, p) : detail::run_iterative<Form>(s, first_, p);
  };
  // The result is that of the successful attempt: a nested (?R) match may
  // have marked capture 0 during an attempt that failed afterwards.
  bool found = false;
  const Iter start = s.search_start;
  if constexpr (Form::cstr) {
    for (Iter p = start;; ++p) {
      if ((found = attempt(p)) || search_once_ || *p == 0) break;
      s.no_empty_match = false;
    }
  } else {
    const Iter end = s.subject_end;
    if (static_cast<std::size_t>(end - start) < min_width_) return false;
    const Iter last = end - static_cast<std::ptrdiff_t>(min_width_);
    if (flags_ & from_right) {
      // The attempts move towards search_start, so the ban on an empty match
      // there stays in force until that position itself has been tried
      // (clearing it earlier would let find_all report one empty match forever).
      for (Iter p = last;; --p) {
        if ((found = attempt(p)) || p == start) break;
      }
    } else if (hint_ != nullptr) {
      for (Iter c = scan(start, end); c != end; c = scan(c + 1, end)) {
        if ((found = attempt(c)) || search_once_) break;
        s.no_empty_match = false;
      }
    } else {
      for (Iter p = start;; ++p) {
        if ((found = attempt(p)) || search_once_ || p == last) break;
        s.no_empty_match = false;
      }
    }
  }
  if (!found) {
    for (std::size_t i = 0; i < s.capture_count; ++i) s.captures[i] = backref_tag<Iter>{};
  }
  return found;
}

template <class Iter, class Syntax>
template <class Form>
bool basic_rpattern<Iter, Syntax>::search(typename results_type::capture_vector& captures, Iter begin, Iter end,
                                          Iter search_start, bool no_empty_match) const {
  // The subject is usually not in the cache yet: start loading its first
  // and (bounded form) its last characters now, so both cache lines arrive
  // together and the loads overlap with setting up the search.
  if constexpr (Form::cstr) {
    __builtin_prefetch(&*search_start);
  } else if (search_start != end) {
    __builtin_prefetch(&*search_start);
    __builtin_prefetch(&*(end - 1));
  }
  captures.resize(group_counter_);
  detail::match_param<Iter> s;
  s.captures = captures.data();
  s.capture_count = captures.size();
  s.subject_begin = begin;
  s.subject_end = end;
  s.search_start = search_start;
  s.no_empty_match = no_empty_match;
  s.stack_limit = detail::stack_limit_for_search();
  bool recursive = mode_ == mode_recursive || (mode_ == mode_auto && recursion_safe_);
  bool matched = false;
  if (recursive) {
    try {
      matched = drive<Form>(s, true);
    } catch (const detail::recursion_exhausted&) {
      recursive = false;  // too deep for this thread's stack: redo the search iteratively
      s.no_empty_match = no_empty_match;
    }
  }
  if (!recursive) {
    hetero_stack stack;
    s.stack = &stack;
    matched = drive<Form>(s, false);
  }
  if (matched) {
    // Drop the records of non-capturing groups: entry i becomes visible group i.
    std::size_t removed = 0;
    for (unsigned n : invisible_) {
      captures.erase(captures.begin() + static_cast<std::ptrdiff_t>(n - removed));
      ++removed;
    }
  }
  return matched;
}

template <class Iter, class Syntax>
template <class Form>
bool basic_rpattern<Iter, Syntax>::match_into(Iter begin, Iter end, results_type& results) const {
  results.subject_begin_ = begin;
  if (!(flags_ & find_all)) return search<Form>(results.captures_, begin, end, begin, false);
  typename results_type::capture_vector kept;
  Iter start = begin;
  bool no_empty = false;
  while (search<Form>(results.captures_, begin, end, start, no_empty)) {
    if (flags_ & find_all_whole) {
      kept.push_back(results.captures_[0]);
    } else if (flags_ & find_all_groups) {
      kept.insert(kept.end(), results.captures_.begin(), results.captures_.end());
    } else {
      kept.swap(results.captures_);
    }
    const backref_tag<Iter>& whole = (flags_ & (find_all_whole | find_all_groups)) ? results.captures_[0] : kept[0];
    start = whole.second;
    no_empty = whole.first == whole.second;
  }
  results.captures_.swap(kept);
  return !results.captures_.empty();
}

template <class Iter, class Syntax>
bool basic_rpattern<Iter, Syntax>::match_bounded(Iter begin, Iter end, results_type& results) const {
  return match_into<detail::bounded_form>(begin, end, results);
}

template <class Iter, class Syntax>
bool basic_rpattern<Iter, Syntax>::match_cstr(Iter begin, results_type& results) const {
  return match_into<detail::cstr_form>(begin, Iter{}, results);
}

template class basic_rpattern<std::u16string::const_iterator>;
template class basic_rpattern<const char16_t*>;

namespace {
template <class Iter>
backref_tag<Iter> not_matched() {
  static const backref_tag<Iter> none{};
  return none;
}
}  // namespace

backref_tag<std::u16string::const_iterator> match(const std::u16string& subject, const rpattern& pattern,
                                                  match_results& results) {
  if (pattern.match_bounded(subject.begin(), subject.end(), results)) return results[0];
  return not_matched<std::u16string::const_iterator>();
}

backref_tag<const char16_t*> match(const char16_t* subject, const rpattern_c& pattern, match_results_c& results) {
  if (subject == nullptr) subject = u"";
  if (pattern.match_cstr(subject, results)) return results[0];
  return not_matched<const char16_t*>();
}

backref_tag<const char16_t*> match(const char16_t* begin, const char16_t* end, const rpattern_c& pattern,
                                   match_results_c& results) {
  if (pattern.match_bounded(begin, end, results)) return results[0];
  return not_matched<const char16_t*>();
}

}  // namespace regex
