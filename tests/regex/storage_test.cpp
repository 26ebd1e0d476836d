// Backtracking stack and node arena.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "regex/arena_allocator.h"
#include "regex/hetero_stack.h"

namespace {

using regex::hetero_stack;
using regex::detail::arena_allocator;

struct big_record {  // 40 bytes: larger than the first block's payload
  std::int64_t a, b, c, d, e;
};

// Counts destructions, to see unwind run destroy routines.
struct counted {
  static int destroyed;
  int value = 0;
  counted() = default;
  explicit counted(int v) : value(v) {}
  counted(const counted&) = default;
  ~counted() { ++destroyed; }
};
int counted::destroyed = 0;

// STACK-1: the first push makes one heap block with a 16-byte payload; a record
// of a word plus its tag fills it, so the next push needs another block.
TEST(HeteroStack, FirstBlockHolds16Bytes) {
  hetero_stack s;
  EXPECT_TRUE(s.empty());
  EXPECT_EQ(s.heap_block_count(), 0u);
  s.push<const void*>(nullptr);
  EXPECT_EQ(s.heap_block_count(), 1u);
  EXPECT_EQ(s.current_payload_size(), 16u);
  s.push<int>(7);
  EXPECT_EQ(s.heap_block_count(), 2u);
  EXPECT_EQ(s.pop<int>(), 7);
  EXPECT_EQ(s.pop<const void*>(), nullptr);
  EXPECT_TRUE(s.empty());
}

// STACK-2: a record larger than 16 bytes as the first push gets a block whose
// payload is exactly the record (value rounded to words plus the tag word).
TEST(HeteroStack, LargeRecordGetsExactBlock) {
  hetero_stack s;
  s.push(big_record{1, 2, 3, 4, 5});
  EXPECT_EQ(s.current_payload_size(), sizeof(big_record) + sizeof(void*));
  big_record r = s.pop<big_record>();
  EXPECT_EQ(r.a + r.e, 6);
}

// STACK-3: emptied blocks are reused without allocating again.
TEST(HeteroStack, EmptiedBlocksAreReused) {
  hetero_stack s;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 1000; ++i) s.push<int>(i);
    const std::size_t blocks = s.heap_block_count();
    for (int i = 999; i >= 0; --i) ASSERT_EQ(s.pop<int>(), i);
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(s.heap_block_count(), blocks);
  }
}

// STACK-4: popping the last record of a block makes the previous one current;
// mixed record sizes come back in order.
TEST(HeteroStack, MixedRecordsRoundTrip) {
  hetero_stack s;
  s.push<char>('x');
  s.push(std::pair<const char16_t*, unsigned>(nullptr, 42u));
  s.push(big_record{9, 8, 7, 6, 5});
  s.push<bool>(true);
  EXPECT_TRUE(s.pop<bool>());
  EXPECT_EQ(s.pop<big_record>().c, 7);
  auto pair = s.pop<std::pair<const char16_t*, unsigned>>();
  EXPECT_EQ(pair.second, 42u);
  EXPECT_EQ(s.pop<char>(), 'x');
  EXPECT_TRUE(s.empty());
}

// STACK-5: peek returns a reference the caller may update in place.
TEST(HeteroStack, PeekUpdatesInPlace) {
  hetero_stack s;
  s.push<unsigned>(1);
  s.peek<unsigned>() += 41;
  EXPECT_EQ(s.pop<unsigned>(), 42u);
}

// STACK-6: the type check names both types, requested first. g++ 12's
// demangler prints these as "int", "double" and "char const*".
TEST(HeteroStack, TypeErrorMessage) {
  hetero_stack s;
  s.push<int>(3);
  try {
    s.pop<double>();
    FAIL() << "no type_error";
  } catch (const hetero_stack::type_error& e) {
    EXPECT_STREQ(e.what(), "type error in hetero_stack (requested type: double, actual type: int)");
    EXPECT_EQ(e.requested(), typeid(double));
    EXPECT_EQ(e.actual(), typeid(int));
  }
  EXPECT_EQ(s.peek<int>(), 3);  // a failed pop leaves the record
  s.push<const char*>("a");
  try {
    s.peek<int>();
    FAIL() << "no type_error";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "type error in hetero_stack (requested type: int, actual type: char const*)");
  }
}

// STACK-7: unwind across several blocks returns to the mark exactly, runs the
// destroy routines, and leaves the records below the mark intact.
TEST(HeteroStack, UnwindAcrossBlocks) {
  hetero_stack s;
  s.push<int>(1);
  s.push<int>(2);
  std::byte* mark = s.top();
  counted::destroyed = 0;
  for (int i = 0; i < 50; ++i) {
    s.push(counted(i));
    s.push(big_record{i, 0, 0, 0, 0});
  }
  const int copies_destroyed = counted::destroyed;  // temporaries of the pushes
  s.unwind(mark);
  EXPECT_EQ(counted::destroyed - copies_destroyed, 50);
  EXPECT_EQ(s.top(), mark);
  EXPECT_EQ(s.pop<int>(), 2);
  EXPECT_EQ(s.pop<int>(), 1);
  EXPECT_TRUE(s.empty());
  s.unwind(s.top());  // unwinding to the current top does nothing
  EXPECT_TRUE(s.empty());
}

// STACK-8: unwinding to a mark on an exception leaves the stack usable.
TEST(HeteroStack, UnwindOnException) {
  hetero_stack s;
  s.push<int>(5);
  std::byte* mark = s.top();
  try {
    for (int i = 0; i < 100; ++i) s.push<int>(i);
    s.pop<float>();
  } catch (const hetero_stack::type_error&) {
    s.unwind(mark);
  }
  EXPECT_EQ(s.top(), mark);
  s.push<int>(6);
  EXPECT_EQ(s.pop<int>(), 6);
  EXPECT_EQ(s.pop<int>(), 5);
}

// STACK-9: a large record pushed when the next emptied block is too small gets
// a block of its own between them; the small block is still reused afterwards.
TEST(HeteroStack, LargeRecordBeforeSmallEmptiedBlock) {
  hetero_stack s;
  s.push<int>(1);
  s.push<int>(2);  // second block
  s.pop<int>();    // second block emptied but kept
  const std::size_t before = s.heap_block_count();
  s.push(big_record{});
  EXPECT_EQ(s.heap_block_count(), before + 1);
  EXPECT_EQ(s.current_payload_size(), sizeof(big_record) + sizeof(void*));
  s.push<int>(3);  // the old small block follows and is reused
  EXPECT_EQ(s.heap_block_count(), before + 1);
  EXPECT_EQ(s.pop<int>(), 3);
  s.pop<big_record>();
  EXPECT_EQ(s.pop<int>(), 1);
}

// ARENA-1: small requests share a block; an oversized request gets a block of
// exactly its size; the next small request starts a new normal block.
TEST(Arena, OversizedRequestGetsOwnBlock) {
  arena_allocator arena(352);
  EXPECT_EQ(arena.block_count(), 0u);
  void* a = arena.allocate(10);
  void* b = arena.allocate(10);
  EXPECT_EQ(arena.block_count(), 1u);
  EXPECT_EQ(arena.current_payload_size(), 352u);
  EXPECT_EQ(static_cast<char*>(b) - static_cast<char*>(a), 16);  // rounded to words
  arena.allocate(1000);
  EXPECT_EQ(arena.block_count(), 2u);
  EXPECT_EQ(arena.current_payload_size(), 1000u);
  arena.allocate(8);
  EXPECT_EQ(arena.block_count(), 3u);
  EXPECT_EQ(arena.current_payload_size(), 352u);
  EXPECT_EQ(arena.current_used(), 8u);
}

// ARENA-2: a block is filled up to the block size before the next is added,
// and addresses are word aligned.
TEST(Arena, FillsBlockThenAddsAnother) {
  arena_allocator arena(64);
  for (int i = 0; i < 8; ++i) {
    void* p = arena.allocate(8);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % alignof(void*), 0u);
  }
  EXPECT_EQ(arena.block_count(), 1u);
  arena.allocate(1);
  EXPECT_EQ(arena.block_count(), 2u);
  EXPECT_EQ(arena.current_used(), 8u);
}

// ARENA-3: the standard-allocator view serves a container from the arena.
TEST(Arena, StdAllocatorView) {
  arena_allocator arena(352);
  regex::detail::arena_std_allocator<char16_t> alloc(&arena);
  std::basic_string<char16_t, std::char_traits<char16_t>, regex::detail::arena_std_allocator<char16_t>> text(
      alloc);
  text.assign(100, u'x');
  EXPECT_EQ(text.size(), 100u);
  EXPECT_GE(arena.block_count(), 1u);
}

}  // namespace
