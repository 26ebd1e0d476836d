// Decoding of a preference value written in the escaped form that GeoKuk's
// preference store uses in a registry: a '/' before each capital letter,
// "//" for a backslash, and "/u" with four hexadecimal digits for a character
// outside printable ASCII.
//
// Thread-safety: pure function.
#pragma once

#include <string>
#include <string_view>

namespace app {

// Scans `escaped` once from left to right: "//" becomes '\', "/u" followed
// by four hexadecimal digits becomes that UTF-16 code unit, and every other
// '/' is dropped (the character after it is kept). Without any "/u" escape
// this is exactly: every "//" (left to right, no overlap) replaced by '\',
// then every remaining '/' deleted. Example: /C:///Mapy//cache -> C:\Mapy\cache.
std::u16string DecodeGeoKukRegistryText(std::u16string_view escaped);

}  // namespace app
