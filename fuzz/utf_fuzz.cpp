// Fuzzes the UTF-8 <-> UTF-16 conversion with arbitrary bytes, read both as
// UTF-8 and as UTF-16 code units. Any input must convert without undefined
// behaviour; valid UTF-8 must round-trip exactly, and the output of a
// conversion is always valid and converts back to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const std::u16string wide = platform::Utf8ToUtf16(bytes);
  const std::string back = platform::Utf16ToUtf8(wide);
  if (!platform::IsValidUtf8(back)) std::abort();
  if (platform::IsValidUtf8(bytes) && back != bytes) std::abort();
  if (platform::Utf8ToUtf16(back) != wide) std::abort();

  std::u16string units(size / 2, u'\0');
  if (!units.empty()) std::memcpy(units.data(), data, units.size() * 2);
  const std::string utf8 = platform::Utf16ToUtf8(units);
  if (!platform::IsValidUtf8(utf8)) std::abort();
  if (platform::Utf16ToUtf8(platform::Utf8ToUtf16(utf8)) != utf8) std::abort();
  return 0;
}
