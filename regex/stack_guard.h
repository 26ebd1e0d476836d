// Stack guard: how deep the matcher may recurse on the current thread.
//
// The recursive strategy nests one C++ call per node on the matched path, and
// the iterative strategy nests one driver per look-around, atomic group or
// recursion level. Both compare the address of their current frame with a
// limit computed here once per search, and give up before the thread's stack
// runs out.
//
// Thread-safety: the thread's stack bounds are cached per thread.
#pragma once

namespace regex::detail {

// Lowest stack address the matcher may reach from the caller's frame: most of
// the stack left below it, keeping a reserve for the frames that run between
// two checks and for exception unwinding.
const char* stack_limit_for_search();

// True when the current frame lies below `limit`.
inline bool below_stack_limit(const char* limit) {
  return static_cast<const char*>(__builtin_frame_address(0)) < limit;
}

}  // namespace regex::detail
