// The pattern engine's public interface: Perl-syntax patterns over UTF-16 text.
//
//   regex::rpattern pattern(u"^\\\\[0-9]{2}\\.(png|jpg)");
//   regex::match_results results;
//   if (regex::match(path, pattern, results).matched) { ... results[1] ... }
//
// A compiled pattern (basic_rpattern) holds its node graph; match() runs one
// search (or, with the find_all flag, repeated searches) and fills the results.
// Errors in a pattern or a substitution are thrown as bad_regexpr, whose what()
// is a fixed English message.
//
// Thread-safety: a compiled pattern may serve several match calls at once; a
// results object belongs to one caller.
#pragma once

#include <string>

#include "regex/backref_tag.h"
#include "regex/bad_regexpr.h"
#include "regex/flags.h"
#include "regex/match_results.h"
#include "regex/rpattern.h"

namespace regex {

using rpattern = basic_rpattern<std::u16string::const_iterator>;
using rpattern_c = basic_rpattern<const char16_t*>;
using match_results = basic_match_results<std::u16string::const_iterator>;
using match_results_c = basic_match_results<const char16_t*>;

extern template class basic_rpattern<std::u16string::const_iterator>;
extern template class basic_rpattern<const char16_t*>;

// Searches the whole subject. Returns a copy of the whole-match capture, or a
// record with matched == false (and null positions) when nothing matched.
backref_tag<std::u16string::const_iterator> match(const std::u16string& subject, const rpattern& pattern,
                                                  match_results& results);
// Zero-terminated subject; the position of the terminating NUL is tried too.
backref_tag<const char16_t*> match(const char16_t* subject, const rpattern_c& pattern,
                                   match_results_c& results);
// Bounded subject [begin, end) through a pointer pattern.
backref_tag<const char16_t*> match(const char16_t* begin, const char16_t* end, const rpattern_c& pattern,
                                   match_results_c& results);

}  // namespace regex
