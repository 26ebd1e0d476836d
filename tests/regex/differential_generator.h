// Random patterns and subjects over a small alphabet for differential tests
// of the pattern engine. Two grammars: the full one (every construct the
// engine knows, for comparing its own strategies and subject forms) and a
// restricted one (only constructs whose meaning a Perl-compatible reference
// engine shares, for comparing against that engine).
//
// Thread-safety: a generator object is used by one thread; runs are fully
// determined by the seed.
//
// Invariants of generated patterns:
//  1. Groups are never empty: "()" and "(?:)" are not generated.
//  2. Restricted patterns only refer back to groups already closed, put
//     quantifiers only on atoms and on groups that consume, use look-behind
//     only over short fixed-width pieces, and contain no conditional or
//     recursion.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <initializer_list>
#include <string>
#include <string_view>

namespace differential {

// Joins pieces into one string by appending them. (GCC 12 reports a false
// -Wrestrict overlap for `literal + std::u16string&&`, so the generator never
// uses that form.)
inline std::u16string join(std::initializer_list<std::u16string_view> parts) {
  std::u16string text;
  for (std::u16string_view part : parts) text += part;
  return text;
}

class pattern_generator {
 public:
  // `restricted` selects the grammar shared with the reference engine.
  pattern_generator(std::uint32_t seed, bool restricted) : random_(seed), restricted_(restricted) {}

  // A new pattern of at most `depth` nesting levels.
  std::u16string pattern(int depth) {
    groups_opened_ = 0;
    groups_closed_ = 0;
    top_depth_ = depth;
    return alternation(depth);
  }

  // A subject of 0..max_length characters from the subject alphabet.
  std::u16string subject(int max_length) {
    static constexpr char16_t kAlphabet[] = u"aabbcA\n1_ ";
    std::u16string text;
    const int length = pick(max_length + 1);
    for (int i = 0; i < length; ++i) text += kAlphabet[pick(sizeof(kAlphabet) / 2 - 1)];
    return text;
  }

  // Uniform in [0, n).
  int pick(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }
  bool chance(int percent) { return pick(100) < percent; }

 private:
  std::u16string alternation(int depth) {
    std::u16string text = sequence(depth);
    while (chance(25)) text += join({u"|", sequence(depth)});
    return text;
  }

  std::u16string sequence(int depth) {
    std::u16string text;
    const int length = 1 + pick(3);
    for (int i = 0; i < length; ++i) text += piece(depth);
    return text;
  }

  // One atom with an optional quantifier.
  std::u16string piece(int depth) {
    bool quantifiable = true;
    const bool quantify = chance(30);
    // A repeated group that can match empty differs between the engines:
    // this engine stops after two empty passes, the reference after one, so
    // captures made in the second pass differ. Restricted repeated groups
    // therefore always consume.
    consuming_group_ = restricted_ && quantify;
    std::u16string text = atom(depth, quantifiable);
    if (quantifiable && quantify) text += quantifier();
    return text;
  }

  // The body of a group; a consuming body starts with a literal.
  std::u16string group_body(int depth) {
    if (!consuming_group_) return alternation(depth - 1);
    consuming_group_ = false;
    return join({std::u16string(1, u"abc"[pick(3)]), u"(?:", alternation(depth - 1), u")"});
  }

  std::u16string quantifier() {
    static const char16_t* const kForms[] = {u"*", u"+", u"?", u"{2}", u"{0,2}", u"{1,}", u"{0}",
                                             u"{1,3}"};
    std::u16string text = kForms[pick(8)];
    if (chance(35)) text += u"?";
    return text;
  }

  std::u16string atom(int depth, bool& quantifiable) {
    const int choice = pick(depth > 0 ? 100 : 60);
    if (choice < 30) return std::u16string(1, u"abcA"[pick(4)]);
    if (choice < 36) return u".";
    if (choice < 44) {
      static const char16_t* const kSets[] = {u"[ab]", u"[^a]", u"[a-c]", uR"(\d)", uR"(\w)",
                                              uR"(\s)", uR"(\W)", u"[^\n]"};
      return kSets[pick(8)];
    }
    if (choice < 52) {
      quantifiable = false;
      static const char16_t* const kAnchors[] = {u"^", u"$", uR"(\b)", uR"(\B)",
                                                 uR"(\A)", uR"(\z)", uR"(\Z)"};
      return kAnchors[pick(7)];
    }
    if (choice < 60) return back_reference(quantifiable);
    // Nested constructs.
    const int kind = pick(restricted_ ? 6 : 9);
    switch (kind) {
      case 0:
      case 1:
        return capturing_group(depth);
      case 2:
        return join({u"(?:", group_body(depth), u")"});
      case 3:
        return join({u"(?>", group_body(depth), u")"});
      case 4:
        quantifiable = false;
        return (chance(50) ? u"(?=" : u"(?!") + alternation(depth - 1) + u")";
      case 5:
        quantifiable = false;
        if (chance(50)) return join({u"(?<=", look_behind_body(depth, false), u")"});
        return join({u"(?<!", look_behind_body(depth, true), u")"});
      case 6:
        return conditional(depth);
      case 7:
        // Recursion only outside groups: inside a repeated group every pass
        // may recurse, and the backtracking grows exponentially with the
        // subject (a recursion is a complete nested search).
        if (depth == top_depth_ && chance(40)) {
          quantifiable = false;
          return u"(?R)";
        }
        return capturing_group(depth);
      default:
        return (chance(50) ? u"(?i:" : u"(?s-i:") + alternation(depth - 1) + u")";
    }
  }

  std::u16string capturing_group(int depth) {
    ++groups_opened_;
    std::u16string text = join({u"(", group_body(depth), u")"});
    ++groups_closed_;
    return text;
  }

  // The reference engine needs a fixed width per alternative. A negative
  // look-behind whose alternatives differ in width is decided by its first
  // start offset alone in this engine, so it gets fixed-width bodies only.
  std::u16string look_behind_body(int depth, bool negative) {
    if (restricted_) {
      static const char16_t* const kBodies[] = {u"a", u"b", u"ab", u"[ab]", u"\n", u"a|bc"};
      return kBodies[pick(negative ? 5 : 6)];
    }
    return alternation(depth - 1);
  }

  std::u16string back_reference(bool& quantifiable) {
    const int available = std::min(9, restricted_ ? groups_closed_ : groups_opened_);
    if (available == 0) return std::u16string(1, u"abc"[pick(3)]);
    if (restricted_) quantifiable = false;
    return join({u"\\", std::u16string(1, static_cast<char16_t>(u'1' + pick(available)))});
  }

  std::u16string conditional(int depth) {
    std::u16string condition;
    if (groups_opened_ > 0 && chance(60)) {
      const int group = 1 + pick(std::min(9, groups_opened_));
      condition = join({u"(", std::u16string(1, static_cast<char16_t>(u'0' + group)), u")"});
    } else {
      condition = (chance(50) ? u"(?=" : u"(?<!") + std::u16string(1, u"ab"[pick(2)]) + u")";
    }
    std::u16string text = join({u"(?", condition, sequence(depth - 1)});
    if (chance(70)) text += join({u"|", sequence(depth - 1)});
    return text + u")";
  }

  std::mt19937 random_;
  bool restricted_;
  int groups_opened_ = 0;  // capturing groups whose "(" has been generated
  int groups_closed_ = 0;  // capturing groups whose ")" has been generated
  bool consuming_group_ = false;  // the next group's body must consume (restricted)
  int top_depth_ = 0;             // nesting depth of the pattern's top level
};

// Printable form of UTF-16 text for failure messages.
inline std::string printable(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    if (c == u'\n') {
      out += "\\n";
    } else if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      static const char kHex[] = "0123456789abcdef";
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xf];
    }
  }
  return out;
}

}  // namespace differential
