#include "platform/name_order.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cassert>
#include <array>
#include <cstring>
#include <memory>

#include "platform/utf.h"

namespace platform {

namespace {

// The mapping of every 16-bit code unit, made once from a fixed C.UTF-8
// locale object. Without that locale only 'a'-'z' map.
class UpperCaseTable {
 public:
  UpperCaseTable() {
    for (std::size_t c = 0; c < units_.size(); ++c) units_[c] = static_cast<char16_t>(c);
    for (char16_t c = u'a'; c <= u'z'; ++c) units_[c] = static_cast<char16_t>(c - u'a' + u'A');
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (utf8 == static_cast<locale_t>(0)) return;
    for (std::size_t c = 128; c < units_.size(); ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;  // surrogates are no characters
      const wint_t upper = towupper_l(static_cast<wint_t>(c), utf8);
      if (upper <= 0xFFFF && !(upper >= 0xD800 && upper <= 0xDFFF)) units_[c] = static_cast<char16_t>(upper);
    }
    freelocale(utf8);
  }
  char16_t operator[](char16_t c) const { return units_[c]; }

 private:
  std::array<char16_t, 0x10000> units_;  // units_[c]: upper-case form of code unit c
};

const UpperCaseTable& Table() {
  static const UpperCaseTable table;
  return table;
}

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

unsigned char AsciiUpper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }

int Sign(long long value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

// The raw byte order that breaks ties.
int CompareBytes(std::string_view a, std::string_view b) {
  const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c != 0) return Sign(c);
  return Sign(static_cast<long long>(a.size()) - static_cast<long long>(b.size()));
}

}  // namespace

char16_t UpperCaseUnit(char16_t unit) { return Table()[unit]; }

std::u16string NameOrderKey(std::string_view name) {
  std::u16string key = Utf8ToUtf16(name);
  const UpperCaseTable& table = Table();
  for (char16_t& unit : key) unit = table[unit];
  return key;
}

int CompareAsciiNames(std::string_view a, std::string_view b) {
  assert(IsAscii(a) && IsAscii(b));
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char ua = AsciiUpper(static_cast<unsigned char>(a[i]));
    const unsigned char ub = AsciiUpper(static_cast<unsigned char>(b[i]));
    if (ua != ub) return ua < ub ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return CompareBytes(a, b);
}

int CompareNames(std::string_view a, std::string_view b) {
  if (IsAscii(a) && IsAscii(b)) return CompareAsciiNames(a, b);
  const int byKey = NameOrderKey(a).compare(NameOrderKey(b));
  return byKey != 0 ? Sign(byKey) : CompareBytes(a, b);
}

}  // namespace platform
