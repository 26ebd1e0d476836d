#include "app/geokuk_registry_text.h"

namespace app {

namespace {

// Value of one hexadecimal digit, or -1.
int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads the four hex digits at text[at..at+3]; -1 when they are not all there.
int FourHexDigits(std::u16string_view text, size_t at) {
  if (at + 4 > text.size()) return -1;
  int value = 0;
  for (size_t i = at; i < at + 4; ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace

std::u16string DecodeGeoKukRegistryText(std::u16string_view escaped) {
  std::u16string out;
  out.reserve(escaped.size());
  size_t i = 0;
  while (i < escaped.size()) {
    const char16_t c = escaped[i];
    if (c != u'/') {
      out.push_back(c);
      ++i;
      continue;
    }
    if (i + 1 < escaped.size() && escaped[i + 1] == u'/') {
      out.push_back(u'\\');
      i += 2;
      continue;
    }
    if (i + 1 < escaped.size() && escaped[i + 1] == u'u') {
      const int unit = FourHexDigits(escaped, i + 2);
      if (unit >= 0) {
        out.push_back(static_cast<char16_t>(unit));
        i += 6;
        continue;
      }
    }
    ++i;  // a lone '/' escapes the next character: drop the slash, keep the character
  }
  return out;
}

}  // namespace app
