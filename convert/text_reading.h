// Reading numbers and parts out of UTF-16 text, the way the tile layouts
// need it.
//
// Thread-safety: pure functions; a Tokenizer is used by one thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace convert {

// True for the blanks that trimming and number reading skip: space, tab,
// line feed, vertical tab, form feed, carriage return.
bool IsBlank(char16_t c);

// `text` without blanks at either end.
std::u16string TrimBlanks(const std::u16string& text);

// Reads a decimal number at the start of `text`: optional blanks, an optional
// sign, then decimal digits up to the first other character (leading zeros
// allowed). Returns nullopt when no digit follows, or when the value does not
// fit an int (a wrapped value would be a wrong key).
std::optional<int> ReadDecimal(const std::u16string& text);

// Splits text into parts at any of a set of separator characters: separators
// at the start are skipped, a run of separators counts as one, and Next()
// returns an empty string once no part is left. Parts are never empty.
class Tokenizer {
 public:
  Tokenizer(const std::u16string& text, std::u16string separators);
  std::u16string Next();  // the next part, or "" when none is left

 private:
  bool IsSeparator(char16_t c) const;
  const std::u16string& text_;  // not owned; outlives the tokenizer
  std::u16string separators_;   // the separator characters
  std::size_t position_ = 0;    // index of the first character not yet read
};

// Every part of `text`, in order (the Tokenizer loop up to its first "").
std::vector<std::u16string> SplitParts(const std::u16string& text, const std::u16string& separators);

// `text` with every occurrence of `from` replaced by `to` (left to right,
// replaced text is not searched again). REQUIRES: !from.empty().
std::u16string ReplaceAll(std::u16string text, const std::u16string& from, const std::u16string& to);

}  // namespace convert
