// Character sets of the pattern engine: bracket expressions, POSIX classes
// and the predefined sets behind \d \D \s \S \w \W.
//
// A set is built once (add_char, add_range, add_class, add_negated_class,
// merge, set_negated), then finish() is called once; afterwards it is only
// read. A set holds:
//   - a 256-bit bitmap answering every character 0-255,
//   - a class mask for characters above 255,
//   - a sorted list of disjoint ranges, all inside 256-65535,
//   - a list of negated class masks (member if outside one of them),
//   - a list of other sets it was merged with by pointer (negated sets).
//
// Thread-safety: building is single-threaded. A finished set is immutable, so
// in() and in_nocase() may be called from any number of threads at once. The
// predefined sets are created on first use with thread-safe initialisation.
//
// Invariants of a finished set:
//   1. For c <= 255, in(c) == in_nocase(c) == (bitmap bit c) != negated():
//      the class mask, the negated classes and the merged sets are folded
//      into the bitmap by finish(), so one bit test decides.
//   2. Every range r satisfies 256 <= r.low <= r.high; the ranges are sorted
//      by low end, and two neighbours neither overlap nor touch.
//   3. simple() == negated_classes().empty() && merged_sets().empty().
//   4. A set lists other sets only by pointer; those must outlive it (the
//      predefined sets live until the process ends).
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "regex/bad_regexpr.h"
#include "regex/ctype.h"

namespace regex::detail {

// A closed range of characters: low <= c <= high.
struct char_range {
  char16_t low;   // first member
  char16_t high;  // last member (inclusive)
};

// A finished (or finishing) set; the storage of its lists belongs to the
// derived basic_charset. Membership only reads it.
class charset {
 public:
  charset(const charset&) = delete;
  charset& operator=(const charset&) = delete;

  // Case-sensitive membership. For c <= 255 this is one bit test.
  // REQUIRES: finish() has run.
  bool in(char16_t c) const {
    assert(finished_);
    if (c <= 0xFF) return bit(c) != negated_;
    return in_wide(c, false);
  }

  // Case-insensitive membership: above 255 the character, its upper-case
  // and its lower-case form are looked up in the ranges. Characters 0-255
  // were case-folded when the set was built, so the bitmap answers them.
  // REQUIRES: finish() has run.
  bool in_nocase(char16_t c) const {
    assert(finished_);
    if (c <= 0xFF) return bit(c) != negated_;
    return in_wide(c, true);
  }

  bool negated() const { return negated_; }
  bool simple() const { return simple_; }
  bool finished() const { return finished_; }
  ctype_mask class_mask() const { return class_mask_; }
  // The bitmap bit of c (before negation).
  bool bit(unsigned char c) const { return (bitmap_[c >> 5] >> (c & 31)) & 1u; }
  std::span<const char_range> ranges() const { return {ranges_, range_count_}; }
  std::span<const ctype_mask> negated_classes() const { return {negated_classes_, negated_count_}; }
  std::span<const charset* const> merged_sets() const { return {merged_, merged_count_}; }

 protected:
  charset() = default;
  ~charset() = default;

  // Sorts and joins the ranges (the caller owns the array and may shrink
  // range_count_), folds classes and merged sets into the bitmap, computes
  // simple_. Runs once.
  void finish_lists();

  bool in_wide(char16_t c, bool nocase) const;
  bool in_ranges(char16_t c) const;

  void set_bit(unsigned char c) { bitmap_[c >> 5] |= 1u << (c & 31); }

  bool negated_ = false;                     // the whole set is complemented
  bool simple_ = true;                       // no negated classes and no merged sets
  bool finished_ = false;                    // finish() has run
  std::uint32_t bitmap_[8] = {};             // bit c&31 of word c>>5: member c, 0-255
  ctype_mask class_mask_ = 0;                // classes whose members above 255 belong
  char_range* ranges_ = nullptr;             // range_count_ ranges above 255
  std::size_t range_count_ = 0;              // number of ranges in use
  ctype_mask* negated_classes_ = nullptr;    // negated_count_ masks
  std::size_t negated_count_ = 0;            // number of negated class masks
  const charset** merged_ = nullptr;         // merged_count_ sets, not owned
  std::size_t merged_count_ = 0;             // number of merged sets
};

// A set whose lists are stored through Alloc (std::allocator for the
// predefined sets, the pattern's node arena for bracket expressions). Alloc
// may carry state; it is copied into the set and rebound per list.
template <class Alloc>
class basic_charset : public charset {
 public:
  explicit basic_charset(const Alloc& alloc = Alloc()) : alloc_(alloc) {}
  ~basic_charset() {
    release(ranges_, range_capacity_);
    release(negated_classes_, negated_capacity_);
    release(merged_, merged_capacity_);
  }

  // Complements the whole set. REQUIRES: not finished.
  void set_negated(bool negated) {
    assert(!finished_);
    negated_ = negated;
  }

  // Adds one character. Under nocase a character <= 255 sets the bits of its
  // narrow lower- and upper-case forms. A character above 255 becomes the
  // range (c, c). Throws std::bad_alloc when storage runs out.
  // REQUIRES: not finished.
  void add_char(char16_t c, bool nocase) {
    assert(!finished_);
    if (c <= 0xFF) {
      add_narrow(static_cast<unsigned char>(c), nocase);
    } else {
      append_range(c, c);
    }
  }

  // Adds low..high inclusive. Throws bad_regexpr "invalid range specified in
  // character set" when high < low (the set is unchanged), std::bad_alloc
  // when storage runs out. REQUIRES: not finished.
  void add_range(char16_t low, char16_t high, bool nocase) {
    assert(!finished_);
    if (high < low) throw bad_regexpr("invalid range specified in character set");
    const unsigned narrow_high = std::min<unsigned>(high, 0xFF);
    for (unsigned c = low; c <= narrow_high; ++c) add_narrow(static_cast<unsigned char>(c), nocase);
    if (high >= 0x100) append_range(std::max<char16_t>(low, 0x100), high);
  }

  // Characters above 255 in any class of mask become members (0-255 are
  // folded in by finish()). REQUIRES: not finished.
  void add_class(ctype_mask mask) {
    assert(!finished_);
    class_mask_ |= mask;
  }

  // Every character outside the classes of mask becomes a member.
  // REQUIRES: not finished.
  void add_negated_class(ctype_mask mask) {
    assert(!finished_);
    append(negated_classes_, negated_count_, negated_capacity_, mask);
  }

  // Unites another finished set with this one. A plain set is copied in
  // (bitmap, class mask and lists); a negated set is kept by pointer.
  // REQUIRES: not finished; other finished; a negated other outlives this.
  void merge(const charset& other) {
    assert(!finished_);
    assert(other.finished());
    if (other.negated()) {
      append(merged_, merged_count_, merged_capacity_, &other);
      return;
    }
    for (int c = 0; c < 256; ++c) {
      if (other.bit(static_cast<unsigned char>(c))) set_bit(static_cast<unsigned char>(c));
    }
    class_mask_ |= other.class_mask();
    for (const char_range& r : other.ranges()) append_range(r.low, r.high);
    for (ctype_mask m : other.negated_classes()) add_negated_class(m);
    for (const charset* s : other.merged_sets()) append(merged_, merged_count_, merged_capacity_, s);
  }

  // Sorts and joins the ranges, folds every test for 0-255 into the bitmap
  // and computes simple(). REQUIRES: called once.
  void finish() {
    assert(!finished_);
    finish_lists();
  }

 private:
  template <class T>
  using rebound = typename std::allocator_traits<Alloc>::template rebind_alloc<T>;

  void add_narrow(unsigned char c, bool nocase) {
    if (nocase) {
      set_bit(narrow_to_lower(c));
      set_bit(narrow_to_upper(c));
    } else {
      set_bit(c);
    }
  }

  void append_range(char16_t low, char16_t high) {
    assert(low >= 0x100 && low <= high);
    append(ranges_, range_count_, range_capacity_, char_range{low, high});
  }

  // Appends v to the array (data, count, capacity), doubling its storage
  // when full. On std::bad_alloc the array is unchanged.
  template <class T, class V>
  void append(T*& data, std::size_t& count, std::size_t& capacity, const V& v) {
    if (count == capacity) {
      rebound<T> a(alloc_);
      const std::size_t grown = capacity == 0 ? 4 : capacity * 2;
      T* fresh = std::allocator_traits<rebound<T>>::allocate(a, grown);
      std::uninitialized_copy_n(data, count, fresh);
      release(data, capacity);
      data = fresh;
      capacity = grown;
    }
    std::construct_at(data + count, v);
    ++count;
  }

  template <class T>
  void release(T* data, std::size_t capacity) {
    if (data == nullptr) return;
    rebound<T> a(alloc_);
    std::allocator_traits<rebound<T>>::deallocate(a, data, capacity);
  }

  Alloc alloc_;                      // storage of the three lists
  std::size_t range_capacity_ = 0;   // ranges_ slots allocated
  std::size_t negated_capacity_ = 0; // negated_classes_ slots allocated
  std::size_t merged_capacity_ = 0;  // merged_ slots allocated
};

using intrinsic_charset = basic_charset<std::allocator<char>>;

// The six predefined sets behind \d \D \s \S \w \W, created on first use
// (thread-safe) and kept until the process ends.
// REQUIRES: letter is one of d D s S w W.
const charset& predefined_charset(char16_t letter);

}  // namespace regex::detail
