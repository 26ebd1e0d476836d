// Pattern flags: the bit set given to a pattern's constructor.
//
// Thread-safety: constants only.
#pragma once

namespace regex {

enum pattern_flags : int {
  noflags = 0x000,
  nocase = 0x001,           // case-insensitive characters, literals, sets, back-references
  find_all = 0x002,         // repeated matching over the whole subject
  multiline = 0x004,        // ^ and $ match at line feeds too
  singleline = 0x008,       // . matches a line feed too
  from_right = 0x010,       // the search starts at the end of the subject and moves left
  find_all_whole = 0x040,   // find_all keeps the whole match of every match
  find_all_groups = 0x080,  // find_all keeps every visible group of every match
  control_escapes = 0x100,  // \a \f \n \r \t \\ stand for control characters
  extended = 0x200,         // white space and # comments between tokens are ignored
};

}  // namespace regex
