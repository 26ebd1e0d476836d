// backref_tag: the capture record of one group number.
//
// The fields a caller reads are first, second and matched. The others are the
// matcher's working state: where the group was last entered, and the loop state
// of a quantifier that repeats the group (kept here so the recursive strategy
// needs no stack for it).
//
// Thread-safety: a plain value.
#pragma once

#include <cstdint>

namespace regex {

template <class Iter>
struct backref_tag {
  Iter first{};                  // start of the last completed capture
  Iter second{};                 // one past the end of the last completed capture
  bool matched = false;          // the group has captured
  Iter entry{};                  // where the group was last entered
  std::uint32_t iterations = 0;  // passes of a quantifier over this group
  bool iterating = false;        // the quantifier's last decision was one more pass
  Iter prev_iter_start{};        // start of the pass before the current one
  Iter iter_start{};             // start of the current pass

  // Length of the capture in characters.
  auto length() const { return second - first; }
};

}  // namespace regex
