// NameOrder: the one order in which folder entries are listed, the same on
// every file system and on every copy of a tree.
//
// Two names are compared as their UTF-16 forms (bytes that are not UTF-8
// decoded as U+FFFD), code unit by code unit after simple upper-case mapping,
// a shorter name before every longer name it begins. Names equal that way
// ("a.png", "A.PNG") are ordered by their raw bytes, so the order is total:
// no two different names are ever equal. This is the order a case-insensitive
// file system keeps its folders in, which is why tile caches made on one list
// their hex folders before "Thumbs.db" or "tiles.sqlite" there.
//
// The upper-case mapping is Unicode's simple mapping of one UTF-16 code unit
// to one (glibc's C.UTF-8 table); it never depends on the process's locale.
//
// Thread-safety: pure functions; the mapping table is built once, on first
// use, under the language's thread-safe static initialisation.
//
// Invariants:
//  1. CompareNames(a, b) == 0 exactly when a == b (byte for byte).
//  2. CompareNames(a, b) == -CompareNames(b, a) in sign, and the order is
//     transitive.
//  3. For names of ASCII bytes only the result equals that of comparing the
//     bytes after mapping 'a'-'z' to 'A'-'Z', then the raw bytes.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Simple upper-case mapping of one UTF-16 code unit; a unit without an
// upper-case form of its own (or whose form needs two units) is returned
// unchanged.
char16_t UpperCaseUnit(char16_t unit);

// The key the order compares first: the UTF-16 form of `name` with every code
// unit upper-cased.
std::u16string NameOrderKey(std::string_view name);

// Negative, zero or positive as `a` comes before, is, or comes after `b`.
int CompareNames(std::string_view a, std::string_view b);

// CompareNames for two names of ASCII bytes only, without looking beyond
// ASCII. REQUIRES: every byte of a and b is below 0x80.
int CompareAsciiNames(std::string_view a, std::string_view b);

}  // namespace platform
