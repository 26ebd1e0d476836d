// hetero_stack: the backtracking stack of the iterative matching strategy.
//
// A stack of records of different types. Each record is the raw bytes of a
// value, rounded up to whole machine words, followed by one word that points to
// the value's type tag. Popping or peeking checks that tag against the type the
// caller expects and throws type_error on a mismatch.
//
// Storage is a chain of heap blocks behind a one-word inline block that holds no
// record. Emptied blocks stay linked and are reused by later pushes, so a search
// that backtracks up and down over a block boundary does not allocate again;
// every heap block is freed when the stack is destroyed.
//
// Thread-safety: none. One stack belongs to one search on one thread.
//
// Invariants:
//  1. top_ lies in [begin_, end_] of the current block, and every record below
//     top_ in that block is complete (value then tag word).
//  2. A heap block that is current is never empty, except transiently inside
//     push; the inline block is current exactly when the stack is empty.
//  3. Blocks before the current one keep their records; their saved_top is the
//     top they had when the next block became current.
//  4. Record types are trivially destructible or have a destroy routine in
//     their tag, and their alignment is at most one word.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <typeinfo>

namespace regex {

class hetero_stack {
 public:
  static constexpr std::size_t word = sizeof(void*);

  // One static descriptor per record type.
  struct type_tag {
    const std::type_info* type;     // run-time type of the value (its name is used in type_error)
    std::size_t size;               // size of the value in bytes
    std::size_t aligned_size;       // size rounded up to whole words; record start to tag word
    void (*destroy)(void*);         // run on a record discarded by unwind; null for scalars
    void (*copy)(void*, const void*);  // copies one value into raw storage
  };

  // Thrown by pop and peek when the top record is not of the requested type.
  class type_error : public std::logic_error {
   public:
    type_error(const std::type_info& requested, const std::type_info& actual);
    const std::type_info& requested() const { return *requested_; }
    const std::type_info& actual() const { return *actual_; }

   private:
    const std::type_info* requested_;  // type the caller asked for
    const std::type_info* actual_;     // type of the record on top
  };

  hetero_stack();
  ~hetero_stack();
  hetero_stack(const hetero_stack&) = delete;
  hetero_stack& operator=(const hetero_stack&) = delete;

  // Appends a record of T. Throws std::bad_alloc when a new block cannot be had.
  template <class T>
  void push(const T& value) {
    const type_tag* tag = &tag_of<T>::value;
    const std::size_t n = tag->aligned_size + word;
    if (static_cast<std::size_t>(end_ - top_) < n) grow(n);
    std::byte* record = top_;
    tag->copy(record, &value);
    std::memcpy(record + tag->aligned_size, &tag, word);
    top_ += n;
  }

  // Removes the top record and returns its value. REQUIRES: not empty.
  // Throws type_error when the top record is not a T.
  template <class T>
  T pop() {
    T* p = &peek<T>();
    T value = *p;
    p->~T();
    top_ = reinterpret_cast<std::byte*>(p);
    if (top_ == begin_) step_back();
    return value;
  }

  // The top value, left in place (callers may update it). REQUIRES: not empty.
  // Throws type_error when the top record is not a T.
  template <class T>
  T& peek() {
    assert(!empty());
    const type_tag* expected = &tag_of<T>::value;
    const type_tag* actual = top_tag();
    if (actual != expected && *actual->type != typeid(T)) throw type_error(typeid(T), *actual->type);
    return *std::launder(reinterpret_cast<T*>(top_ - word - expected->aligned_size));
  }

  // The current top, to be handed back to unwind.
  std::byte* top() const { return top_; }
  bool empty() const { return current_ == &inline_.header; }

  // Removes every record above `mark` (a value of top() taken earlier), running
  // each record's destroy routine.
  void unwind(std::byte* mark);

  // For tests: number of heap blocks owned, and payload size of the current block.
  std::size_t heap_block_count() const;
  std::size_t current_payload_size() const { return static_cast<std::size_t>(end_ - begin_); }

 private:
  struct block_header {
    block_header* prev;   // previous block; the inline block points to itself
    block_header* next;   // next (possibly emptied) block, or null
    std::byte* saved_top; // top of this block while another block is current
    std::byte* end;       // end of the payload
    std::byte* payload() { return reinterpret_cast<std::byte*>(this + 1); }
  };
  struct inline_block {
    block_header header;  // see block_header
    alignas(void*) std::byte payload[word];  // one word: no record fits
  };

  template <class T>
  struct tag_of {
    static_assert(alignof(T) <= word, "stack records are word aligned");
    static_assert(std::is_copy_constructible_v<T>);
    static void destroy_fn(void* p) { static_cast<T*>(p)->~T(); }
    static void copy_fn(void* dst, const void* src) { ::new (dst) T(*static_cast<const T*>(src)); }
    static constexpr bool scalar = std::is_scalar_v<T>;
    inline static const type_tag value{&typeid(T), sizeof(T), (sizeof(T) + word - 1) / word * word,
                                       scalar ? nullptr : &destroy_fn, &copy_fn};
  };

  const type_tag* top_tag() const {
    const type_tag* tag;
    std::memcpy(&tag, top_ - word, word);
    return tag;
  }
  void grow(std::size_t n);  // makes a block with room for n bytes current
  void step_back();          // makes the previous block current (current block is empty)

  inline_block inline_;      // first block, never holds a record
  block_header* current_;    // block that holds top_
  std::byte* begin_;         // payload start of the current block
  std::byte* top_;           // just past the last tag word
  std::byte* end_;           // payload end of the current block
  std::size_t next_payload_; // payload size of the next block appended at the chain's end
};

}  // namespace regex
