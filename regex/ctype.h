// Character classification and case mapping for the pattern engine.
//
// The engine classifies UTF-16 code units with its own class bits, which are
// ORed together into a ctype_mask and tested one by one. Results never depend
// on the process's global locale:
//   - characters 0-255 follow the narrow classification of the "C" locale, so
//     128-255 belong to no class at all;
//   - characters above 255 follow the wide classification of a fixed C.UTF-8
//     locale object;
//   - is_wide_ctype() applies that wide classification to every character
//     (the negated classes of a bracket expression test 0-255 that way).
// The locale objects are created once, on first use.
//
// Thread-safety: every function may be called from any thread at any time;
// the first call creates the shared locale objects under the language's
// thread-safe static initialisation, later calls only read them.
//
// Invariants:
//   1. The twelve class constants are distinct single bits.
//   2. is_ctype(c, a | b) == is_ctype(c, a) || is_ctype(c, b).
//   3. is_ctype(c, 0) is false for every c.
//   4. For c <= 255, is_ctype(c, m) is false whenever c >= 128.
#pragma once

#include <cstdint>

namespace regex::detail {

using ctype_mask = std::uint16_t;  // OR of the ct_* bits below; 0 = no class

inline constexpr ctype_mask ct_upper = 0x0001;   // upper-case letters
inline constexpr ctype_mask ct_lower = 0x0002;   // lower-case letters
inline constexpr ctype_mask ct_digit = 0x0004;   // decimal digits
inline constexpr ctype_mask ct_space = 0x0008;   // white space
inline constexpr ctype_mask ct_punct = 0x0010;   // punctuation
inline constexpr ctype_mask ct_cntrl = 0x0020;   // control characters
inline constexpr ctype_mask ct_blank = 0x0040;   // space and tab (iswblank above 255)
inline constexpr ctype_mask ct_xdigit = 0x0080;  // hexadecimal digits
inline constexpr ctype_mask ct_alpha = 0x0100;   // letters
inline constexpr ctype_mask ct_graph = 0x0200;   // visible characters
inline constexpr ctype_mask ct_print = 0x0400;   // visible characters and space
inline constexpr ctype_mask ct_alnum = 0x0800;   // letters and digits

// True when c belongs to at least one of the classes in m: the narrow "C"
// classification for c <= 255, the wide C.UTF-8 classification above.
bool is_ctype(char16_t c, ctype_mask m);

// True when c belongs to at least one of the classes in m by the wide C.UTF-8
// classification, for every c (so 128-255 may belong to classes here). Sets
// use it for their negated classes, which test every character this way.
bool is_wide_ctype(char16_t c, ctype_mask m);

// Wide case mapping in the fixed C.UTF-8 locale, for every c. A mapping that
// would leave the 16-bit range returns c unchanged.
char16_t to_upper(char16_t c);
char16_t to_lower(char16_t c);

// Narrow case mapping in the "C" locale: only 'a'-'z' / 'A'-'Z' change.
unsigned char narrow_to_upper(unsigned char c);
unsigned char narrow_to_lower(unsigned char c);

}  // namespace regex::detail
