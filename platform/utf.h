// Conversion between UTF-16 text and UTF-8 bytes.
//
// Both directions are exact for valid input. Invalid input never causes
// undefined behaviour: an ill-formed UTF-8 sequence or an unpaired surrogate
// becomes U+FFFD (the replacement character) in the output.
//
// Thread-safety: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// True when `bytes` is well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

}  // namespace platform
