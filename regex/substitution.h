// Substitution strings: escape processing and parsing into pieces.
//
// A substitution is parsed once into a list of pieces: literal text (offset
// and length in the processed string), capture references ($N, $&, $`, $')
// and case or quoting operations (\U \u \L \l \E). The system has no operation
// that applies pieces to a match; they are kept for inspection.
//
// Thread-safety: pure functions.
#pragma once

#include <string>
#include <vector>

#include "regex/rpattern.h"

namespace regex::detail {

// Under control_escapes: \a \e \f \n \r \t \v become their control characters
// and four backslashes in a row become two; other escapes stay as they are.
void process_substitution_escapes(std::u16string& text);

// Parses `text` against a pattern with `visible_groups` capturing groups
// (group 0 included). Throws bad_regexpr "invalid backreference in
// substitution" or "expecting escape sequence in substitution string";
// `pieces` and `uses_captures` are written only on success.
void parse_substitution(const std::u16string& text, unsigned visible_groups, std::vector<subst_piece>& pieces,
                        bool& uses_captures);

}  // namespace regex::detail
