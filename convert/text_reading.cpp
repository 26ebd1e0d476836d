#include "convert/text_reading.h"

#include <cassert>
#include <climits>

namespace convert {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

std::u16string TrimBlanks(const std::u16string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::optional<int> ReadDecimal(const std::u16string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  const std::size_t firstDigit = i;
  long long value = 0;  // magnitude; stays below 2^32 before the range check ends the loop
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
  }
  if (i == firstDigit) return std::nullopt;
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) return std::nullopt;
  return static_cast<int>(value);
}

Tokenizer::Tokenizer(const std::u16string& text, std::u16string separators)
    : text_(text), separators_(std::move(separators)) {}

bool Tokenizer::IsSeparator(char16_t c) const {
  return separators_.find(c) != std::u16string::npos;
}

std::u16string Tokenizer::Next() {
  while (position_ < text_.size() && IsSeparator(text_[position_])) ++position_;
  const std::size_t begin = position_;
  while (position_ < text_.size() && !IsSeparator(text_[position_])) ++position_;
  return text_.substr(begin, position_ - begin);
}

std::vector<std::u16string> SplitParts(const std::u16string& text, const std::u16string& separators) {
  std::vector<std::u16string> parts;
  Tokenizer tokenizer(text, separators);
  for (std::u16string part = tokenizer.Next(); !part.empty(); part = tokenizer.Next()) {
    parts.push_back(std::move(part));
  }
  return parts;
}

std::u16string ReplaceAll(std::u16string text, const std::u16string& from, const std::u16string& to) {
  assert(!from.empty());
  std::size_t at = text.find(from);
  while (at != std::u16string::npos) {
    text.replace(at, from.size(), to);
    at = text.find(from, at + to.size());
  }
  return text;
}

}  // namespace convert
