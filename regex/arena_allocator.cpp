#include "regex/arena_allocator.h"

#include <algorithm>
#include <memory>

namespace regex::detail {

arena_allocator::~arena_allocator() {
  std::allocator<char> chars;
  while (current_ != nullptr) {
    block* prev = current_->prev;
    chars.deallocate(reinterpret_cast<char*>(current_), current_->total);
    current_ = prev;
  }
}

void* arena_allocator::allocate(std::size_t n) {
  if (n > static_cast<std::size_t>(-1) / 2) throw std::bad_alloc();
  n = (n + alignment - 1) / alignment * alignment;
  if (current_ == nullptr || block_size_ < current_->used + n) {
    const std::size_t payload = std::max(n, block_size_);
    const std::size_t total = sizeof(block) + payload;
    char* raw = std::allocator<char>().allocate(total);  // throws std::bad_alloc
    auto* b = ::new (raw) block{0, total, current_};
    current_ = b;
  }
  char* result = reinterpret_cast<char*>(current_ + 1) + current_->used;
  current_->used += n;
  return result;
}

std::size_t arena_allocator::block_count() const {
  std::size_t count = 0;
  for (const block* b = current_; b != nullptr; b = b->prev) ++count;
  return count;
}

std::size_t arena_allocator::current_payload_size() const {
  return current_ == nullptr ? 0 : current_->total - sizeof(block);
}

std::size_t arena_allocator::current_used() const { return current_ == nullptr ? 0 : current_->used; }

}  // namespace regex::detail
