// arena_allocator: node storage of one compiled pattern.
//
// Hands out memory from large blocks by bumping a count; nothing is released
// one by one. All blocks are released together when the arena is destroyed,
// which happens after the pattern has destroyed its nodes. A request larger than
// the block size gets a block of its own; the test for a new block compares the
// arena's block size (not the current block's size) with what the current
// block has used, so the request after an oversized one starts a new block.
//
// arena_std_allocator<T> adapts an arena to the standard allocator interface
// (deallocate does nothing), for containers that live as long as the arena.
//
// Thread-safety: none; an arena is written only while its pattern is compiled.
//
// Invariants:
//  1. Every address returned is aligned to `alignment` and stays valid until
//     the arena is destroyed.
//  2. Blocks form a list from current_ through `prev`; each records the total
//     byte count it was allocated with.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace regex::detail {

class arena_allocator {
 public:
  static constexpr std::size_t alignment = alignof(void*);

  explicit arena_allocator(std::size_t block_size) : block_size_(block_size) {}
  ~arena_allocator();
  arena_allocator(const arena_allocator&) = delete;
  arena_allocator& operator=(const arena_allocator&) = delete;

  // Returns n bytes (rounded up to the alignment). Throws std::bad_alloc.
  void* allocate(std::size_t n);

  // Constructs a T in the arena. The caller owns the object's lifetime: it must
  // run the destructor (if any) before the arena dies. Throws std::bad_alloc or
  // whatever T's constructor throws (the memory then stays unused in the arena).
  template <class T, class... Args>
  T* make(Args&&... args) {
    static_assert(alignof(T) <= alignment, "arena objects are word aligned");
    return ::new (allocate(sizeof(T))) T(std::forward<Args>(args)...);
  }

  std::size_t block_size() const { return block_size_; }

  // For tests: number of blocks, payload size and used bytes of the current block.
  std::size_t block_count() const;
  std::size_t current_payload_size() const;
  std::size_t current_used() const;

 private:
  struct block {
    std::size_t used;   // bytes of the payload handed out
    std::size_t total;  // bytes allocated for the block: header plus payload
    block* prev;        // block that was current before this one, or null
  };
  static_assert(sizeof(block) % alignment == 0);

  block* current_ = nullptr;  // block requests are served from, or null
  std::size_t block_size_;    // payload size of a normal block, in bytes
};

// Standard-allocator view of an arena: allocate takes arena memory, deallocate
// does nothing (the memory returns with the arena).
template <class T>
class arena_std_allocator {
 public:
  using value_type = T;
  template <class U>
  struct rebind {
    using other = arena_std_allocator<U>;
  };

  explicit arena_std_allocator(arena_allocator* arena) : arena_(arena) {}
  template <class U>
  arena_std_allocator(const arena_std_allocator<U>& other) : arena_(other.arena()) {}

  T* allocate(std::size_t n) {
    static_assert(alignof(T) <= arena_allocator::alignment);
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(arena_->allocate(n * sizeof(T)));
  }
  void deallocate(T*, std::size_t) {}
  arena_allocator* arena() const { return arena_; }

  template <class U>
  bool operator==(const arena_std_allocator<U>& other) const { return arena_ == other.arena(); }

 private:
  arena_allocator* arena_;  // arena the memory comes from (not owned)
};

}  // namespace regex::detail
