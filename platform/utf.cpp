#include "platform/utf.h"

#include <utf8.h>

#include <algorithm>

namespace platform {

namespace {
constexpr char32_t kReplacement = 0xFFFD;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  // Paths of tile trees are nearly always ASCII: those are widened byte by
  // byte, without the copy that the general case makes.
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::u16string(utf8.begin(), utf8.end());
  }
  // Replace ill-formed sequences first, then convert the now valid text.
  std::string valid;
  valid.reserve(utf8.size());
  utf8::replace_invalid(utf8.begin(), utf8.end(), std::back_inserter(valid),
                        static_cast<utf8::uint32_t>(kReplacement));
  std::u16string out;
  out.reserve(valid.size());
  utf8::unchecked::utf8to16(valid.begin(), valid.end(), std::back_inserter(out));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size() * 3);
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t cp = utf16[i];
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
        ++i;
      } else {
        cp = kReplacement;
      }
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    utf8::unchecked::append(static_cast<utf8::uint32_t>(cp), std::back_inserter(out));
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) { return utf8::is_valid(bytes.begin(), bytes.end()); }

}  // namespace platform
