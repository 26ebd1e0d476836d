#include "regex/stack_guard.h"

#include <pthread.h>

#include <algorithm>
#include <cstddef>

namespace regex::detail {
namespace {

// Lowest address of the calling thread's stack, or null when unknown.
const char* thread_stack_low() {
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return nullptr;
  void* addr = nullptr;
  std::size_t size = 0;
  const int rc = pthread_attr_getstack(&attr, &addr, &size);
  pthread_attr_destroy(&attr);
  return rc == 0 ? static_cast<const char*>(addr) : nullptr;
}

constexpr std::size_t min_reserve = 128 * 1024;     // kept free below the limit
constexpr std::size_t unknown_budget = 512 * 1024;  // used when the bounds are unknown

}  // namespace

const char* stack_limit_for_search() {
  thread_local const char* low = thread_stack_low();
  const char* here = static_cast<const char*>(__builtin_frame_address(0));
  if (low == nullptr || here <= low) return here - unknown_budget;
  const std::size_t room = static_cast<std::size_t>(here - low);
  const std::size_t reserve = std::min(std::max(room / 4, min_reserve), room / 2);
  return low + reserve;
}

}  // namespace regex::detail
