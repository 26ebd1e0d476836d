// basic_match_results: the captures of the last match call.
//
// After a successful search entry i is the capture of visible group i, entry 0
// being the whole match. After a failed search the vector holds one entry per
// group number of the pattern, none matched; after a find_all call that found
// nothing it is empty. subject_begin() is the first position of the subject of
// the last match call, so positions can be turned into offsets.
//
// Thread-safety: written by the match call of the thread that owns it.
#pragma once

#include <cassert>
#include <cstddef>
#include <vector>

#include "regex/backref_tag.h"

namespace regex {

template <class Iter, class Syntax>
class basic_rpattern;

template <class Iter>
class basic_match_results {
 public:
  using iterator = Iter;
  using capture_vector = std::vector<backref_tag<Iter>>;

  basic_match_results() = default;
  virtual ~basic_match_results() = default;

  std::size_t size() const { return captures_.size(); }
  // REQUIRES: i < size().
  const backref_tag<Iter>& operator[](std::size_t i) const {
    assert(i < captures_.size());
    return captures_[i];
  }
  Iter subject_begin() const { return subject_begin_; }
  const capture_vector& captures() const { return captures_; }

 private:
  template <class I, class S>
  friend class basic_rpattern;

  capture_vector captures_;  // see the class comment
  Iter subject_begin_{};     // first position of the last subject; null before any match call
};

}  // namespace regex
