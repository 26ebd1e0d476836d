// Character sets built through their own interface, and the predefined sets.
#include "regex/charset.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

namespace regex::detail {
namespace {

std::vector<std::pair<unsigned, unsigned>> ranges_of(const charset& s) {
  std::vector<std::pair<unsigned, unsigned>> out;
  for (const char_range& r : s.ranges()) out.emplace_back(r.low, r.high);
  return out;
}

// A stateful allocator that counts what is live in a shared counter; it has
// no default constructor, so the set must store and rebind it.
template <class T>
struct counting_allocator {
  using value_type = T;
  explicit counting_allocator(std::ptrdiff_t* live) : live(live) {}
  template <class U>
  counting_allocator(const counting_allocator<U>& o) : live(o.live) {}
  T* allocate(std::size_t n) {
    *live += static_cast<std::ptrdiff_t>(n * sizeof(T));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, std::size_t n) {
    *live -= static_cast<std::ptrdiff_t>(n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }
  template <class U>
  bool operator==(const counting_allocator<U>& o) const { return live == o.live; }
  std::ptrdiff_t* live;  // bytes allocated and not yet released
};

// SET-1: a range across 255 fills the bitmap up to 255 and stores the rest.
TEST(CharsetSet, RangeAcrossLatin1Boundary) {
  intrinsic_charset s;
  s.add_range(0xF0, 0x110, false);
  s.finish();
  EXPECT_EQ(ranges_of(s), (std::vector<std::pair<unsigned, unsigned>>{{0x100, 0x110}}));
  EXPECT_FALSE(s.in(0xEF));
  for (unsigned c = 0xF0; c <= 0x110; ++c) EXPECT_TRUE(s.in(static_cast<char16_t>(c))) << c;
  EXPECT_FALSE(s.in(0x111));
}

// SET-2: ranges are sorted and joined when they overlap or touch, and the
// binary search finds both ends of each and nothing between them.
TEST(CharsetSet, RangesSortedJoinedAndSearched) {
  intrinsic_charset s;
  s.add_range(0x300, 0x310, false);
  s.add_range(0x100, 0x120, false);
  s.add_char(0x400, false);
  s.add_range(0x121, 0x130, false);  // touches the first
  s.add_range(0x105, 0x108, false);  // inside the first
  s.add_range(0x30F, 0x320, false);  // overlaps the second
  s.add_char(0x402, false);          // one apart from 0x400: stays separate
  s.finish();
  EXPECT_EQ(ranges_of(s), (std::vector<std::pair<unsigned, unsigned>>{
                              {0x100, 0x130}, {0x300, 0x320}, {0x400, 0x400}, {0x402, 0x402}}));
  const struct {
    char16_t c;
    bool member;
  } probes[] = {{0xFF, false},  {0x100, true}, {0x130, true},  {0x131, false}, {0x2FF, false},
                {0x300, true},  {0x320, true}, {0x321, false}, {0x400, true},  {0x401, false},
                {0x402, true},  {0x403, false}, {0xFFFF, false}};
  for (const auto& p : probes) EXPECT_EQ(s.in(p.c), p.member) << std::hex << int(p.c);
}

// SET-3: the full 16-bit range, with no wrap at the top.
TEST(CharsetSet, WholeRangeUpTo0xFFFF) {
  intrinsic_charset s;
  s.add_range(0, 0xFFFF, false);
  s.finish();
  EXPECT_EQ(ranges_of(s), (std::vector<std::pair<unsigned, unsigned>>{{0x100, 0xFFFF}}));
  for (unsigned c : {0u, 0x7Fu, 0xFFu, 0x100u, 0xD800u, 0xFFFFu}) EXPECT_TRUE(s.in(static_cast<char16_t>(c)));
}

// SET-4: a reversed range is refused with the exact message and adds nothing.
TEST(CharsetSet, ReversedRangeThrows) {
  intrinsic_charset s;
  try {
    s.add_range(u'z', u'a', false);
    FAIL() << "no exception";
  } catch (const bad_regexpr& e) {
    EXPECT_STREQ(e.what(), "invalid range specified in character set");
  }
  EXPECT_THROW(s.add_range(0x17F, 0x100, false), bad_regexpr);
  s.finish();
  for (unsigned c = 0; c < 0x200; ++c) EXPECT_FALSE(s.in(static_cast<char16_t>(c))) << c;
}

// SET-5: case folding while building uses the narrow ASCII mapping, and the
// case-insensitive lookup above 255 tries the character and both its forms.
TEST(CharsetSet, CaseFolding) {
  intrinsic_charset s;
  s.add_char(u'a', true);
  s.add_range(u'X', u'Z', true);
  s.add_char(0xE9, true);   // e acute: no narrow case mapping, stays alone
  s.add_char(0x100, true);  // A with macron: stored as is, folded on lookup
  s.add_char(0x1C5, true);  // title-case Dz
  s.finish();
  for (char16_t c : std::u16string(u"aAxyzXYZ")) EXPECT_TRUE(s.in(c)) << char(c);
  EXPECT_FALSE(s.in(u'b'));
  EXPECT_TRUE(s.in(0xE9));
  EXPECT_FALSE(s.in_nocase(0xC9));
  EXPECT_TRUE(s.in(0x100));
  EXPECT_FALSE(s.in(0x101));
  EXPECT_TRUE(s.in_nocase(0x101));
  EXPECT_FALSE(s.in_nocase(0x102));
  // A character that differs from both its case forms still matches itself.
  EXPECT_TRUE(s.in_nocase(0x1C5));
  EXPECT_FALSE(s.in(0x1C4));
}

// SET-6: classes are folded into the bitmap for 0-255 by the narrow rule and
// tested by the wide rule above; a negated class and a merged negated set
// make the set not simple and are folded too.
TEST(CharsetSet, ClassesNegatedClassesAndMerges) {
  intrinsic_charset alpha;
  alpha.add_class(ct_alpha);
  alpha.finish();
  EXPECT_TRUE(alpha.simple());
  EXPECT_TRUE(alpha.bit('q'));
  EXPECT_FALSE(alpha.bit(0xE9));
  EXPECT_TRUE(alpha.in(0x3B1));
  EXPECT_TRUE(alpha.ranges().empty());

  intrinsic_charset not_digit;
  not_digit.add_negated_class(ct_digit);
  not_digit.finish();
  EXPECT_FALSE(not_digit.simple());
  EXPECT_TRUE(not_digit.bit('a'));  // folded
  EXPECT_FALSE(not_digit.in('5'));
  EXPECT_TRUE(not_digit.in(0x100));

  // [5\D] holds everything: '5' by bitmap, the rest by the merged \D.
  intrinsic_charset all;
  all.add_char(u'5', false);
  all.merge(predefined_charset(u'D'));
  all.finish();
  ASSERT_EQ(all.merged_sets().size(), 1u);
  EXPECT_EQ(all.merged_sets()[0], &predefined_charset(u'D'));
  EXPECT_FALSE(all.simple());
  for (unsigned c : {0u, 0x35u, 0x61u, 0xE9u, 0x100u, 0x3B1u, 0xFFFFu}) {
    EXPECT_TRUE(all.in(static_cast<char16_t>(c))) << c;
    EXPECT_TRUE(all.in_nocase(static_cast<char16_t>(c))) << c;
  }

  // A plain set is copied in: bitmap, class mask and lists.
  intrinsic_charset inner;
  inner.add_char(0x500, false);
  inner.add_negated_class(ct_space);
  inner.finish();
  intrinsic_charset outer;
  outer.add_char(u'x', false);
  outer.merge(predefined_charset(u'd'));
  outer.merge(inner);
  outer.finish();
  EXPECT_EQ(outer.class_mask(), ct_digit);
  EXPECT_EQ(ranges_of(outer), (std::vector<std::pair<unsigned, unsigned>>{{0x500, 0x500}}));
  ASSERT_EQ(outer.negated_classes().size(), 1u);
  EXPECT_TRUE(outer.merged_sets().empty());
  EXPECT_TRUE(outer.in(u'7'));
  EXPECT_TRUE(outer.in(u'x'));
  EXPECT_FALSE(outer.in(u' '));
  EXPECT_TRUE(outer.in(u'y'));      // outside the space class
  EXPECT_FALSE(outer.in(0x2003));   // em space: a space, not a digit, not listed
}

// SET-7: a negated set answers the complement, ranges and classes included.
TEST(CharsetSet, NegatedSet) {
  intrinsic_charset s;
  s.set_negated(true);
  s.add_char(u'a', false);
  s.add_char(0x100, false);
  s.add_class(ct_digit);
  s.finish();
  EXPECT_FALSE(s.in(u'a'));
  EXPECT_FALSE(s.in(u'3'));
  EXPECT_TRUE(s.in(u'b'));
  EXPECT_FALSE(s.in(0x100));
  EXPECT_FALSE(s.in_nocase(0x101));
  EXPECT_TRUE(s.in(0x101));
  EXPECT_TRUE(s.in(0xE9));
}

// SET-8: every list goes through the given allocator (rebound, stateful) and
// is handed back to it by the destructor, also after growing many times.
TEST(CharsetSet, ListsUseTheGivenAllocator) {
  std::ptrdiff_t live = 0;
  {
    basic_charset<counting_allocator<char>> s{counting_allocator<char>(&live)};
    for (unsigned c = 0x1000; c < 0x1000 + 200; c += 2) s.add_char(static_cast<char16_t>(c), false);
    for (int i = 0; i < 20; ++i) s.add_negated_class(ct_digit);
    for (int i = 0; i < 20; ++i) s.merge(predefined_charset(u'W'));
    EXPECT_GT(live, 0);
    s.finish();
    EXPECT_EQ(s.ranges().size(), 100u);
    EXPECT_TRUE(s.in(0x1000 + 198));
    EXPECT_EQ(s.negated_classes().size(), 20u);
    EXPECT_EQ(s.merged_sets().size(), 20u);
  }
  EXPECT_EQ(live, 0);
}

// SET-9: the predefined sets, table-driven over narrow and wide characters.
TEST(CharsetSet, PredefinedSets) {
  const struct {
    char16_t c;
    bool d, s, w;  // membership of \d, \s, \w; \D \S \W are the complements
  } table[] = {
      {u'0', true, false, true},   {u'9', true, false, true},   {u'a', false, false, true},
      {u'Z', false, false, true},  {u'_', false, false, true},  {u'-', false, false, false},
      {u' ', false, true, false},  {u'\t', false, true, false}, {u'\n', false, true, false},
      {u'\r', false, true, false}, {0, false, false, false},    {0xE9, false, false, false},
      {0xA0, false, false, false}, {0x100, false, false, true}, {0x3B1, false, false, true},
      {0x2003, false, true, false}, {0xFF10, false, false, true},
  };
  for (const auto& t : table) {
    EXPECT_EQ(predefined_charset(u'd').in(t.c), t.d) << "\\d " << std::hex << int(t.c);
    EXPECT_EQ(predefined_charset(u'D').in(t.c), !t.d) << "\\D " << std::hex << int(t.c);
    EXPECT_EQ(predefined_charset(u's').in(t.c), t.s) << "\\s " << std::hex << int(t.c);
    EXPECT_EQ(predefined_charset(u'S').in(t.c), !t.s) << "\\S " << std::hex << int(t.c);
    EXPECT_EQ(predefined_charset(u'w').in(t.c), t.w) << "\\w " << std::hex << int(t.c);
    EXPECT_EQ(predefined_charset(u'W').in(t.c), !t.w) << "\\W " << std::hex << int(t.c);
    EXPECT_EQ(predefined_charset(u'w').in_nocase(t.c), t.w) << "\\w nocase " << std::hex << int(t.c);
  }
  EXPECT_TRUE(predefined_charset(u'W').negated());
  EXPECT_FALSE(predefined_charset(u'w').negated());
  EXPECT_EQ(&predefined_charset(u's'), &predefined_charset(u's'));
}

// SET-10: first use from several threads at once yields one set per letter,
// fully built. Each test runs in its own process, so this is the first use.
TEST(CharsetSet, PredefinedSetsCreatedOnceAcrossThreads) {
  constexpr int kThreads = 8;
  const char16_t letters[] = {u'd', u'D', u's', u'S', u'w', u'W'};
  std::vector<const charset*> seen(kThreads * 6);
  std::atomic<int> wrong{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < 6; ++i) {
        const int k = (i + t) % 6;  // threads start on different letters
        const charset& s = predefined_charset(letters[k]);
        seen[t * 6 + k] = &s;
        const bool digit_in = s.in(u'5');
        const bool expected = letters[k] == u'd' || letters[k] == u'w' || letters[k] == u'S';
        if (digit_in != expected || !s.finished()) ++wrong;
      }
    });
  }
  go = true;
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
  for (int t = 1; t < kThreads; ++t) {
    for (int k = 0; k < 6; ++k) EXPECT_EQ(seen[t * 6 + k], seen[k]);
  }
}

}  // namespace
}  // namespace regex::detail
