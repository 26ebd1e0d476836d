// Match agreement: runs one pattern over one subject through the public
// matching paths of the pattern engine and reduces every run to an outcome
// (the compile error text, or the matched flag and the capture offsets) so
// that runs can be compared. Shared by the fuzz target, the corpus replay
// test, the differential test and the acceptance tables.
//
// Thread-safety: free functions without shared state; safe to call from any
// thread.
//
// Invariants of an outcome produced by run():
//  1. `error` is non-empty exactly when the pattern did not compile or the
//     match threw; `matched` is then false and `groups` empty. A search
//     stopped for nesting too deep gives "too deep: ...", any other
//     exception but bad_regexpr "unexpected exception: ...".
//  2. When `matched`, `groups` holds one entry per capture entry of the
//     results, in order; an unmatched entry is std::nullopt.
//  3. Broken results (a capture outside the subject, first after second, the
//     returned record unequal to entry 0, a wrong subject begin) are never
//     thrown: they are written to `broken`, so that every comparison of two
//     outcomes, and every acceptance check, reports them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "regex/regex.h"

namespace corvane_check {

// One capture as offsets from the subject's begin.
struct capture_span {
  std::size_t first;   // offset of the first character of the capture
  std::size_t second;  // offset one past its last character
  bool operator==(const capture_span&) const = default;
};

// What one compile-and-match run produced.
struct outcome {
  std::string error;  // bad_regexpr text (or "unexpected exception: ..."); empty when compiled
  bool matched = false;                            // the match call reported a match
  std::vector<std::optional<capture_span>> groups; // capture entries after a match
  std::string broken;  // result invariant violations found (invariant 3), empty when sound
  bool operator==(const outcome&) const = default;
};

// How the subject is handed to the engine.
enum class subject_form {
  bounded,     // std::u16string with its end
  terminated,  // zero-terminated const char16_t*; stops at the first NUL
};

inline const char* form_name(subject_form form) {
  return form == subject_form::bounded ? "bounded" : "terminated";
}

// Readable form of an outcome: "error: <text>", "no match", or the captures
// as "0-3 1-2 -" (a dash for an unmatched entry), with broken results appended.
inline std::string describe(const outcome& out) {
  std::string text;
  if (!out.error.empty()) {
    text = "error: " + out.error;
  } else if (!out.matched) {
    text = "no match";
  } else {
    for (const auto& group : out.groups) {
      if (!text.empty()) text += ' ';
      text += group ? std::to_string(group->first) + "-" + std::to_string(group->second) : "-";
    }
  }
  if (!out.broken.empty()) text += " [broken: " + out.broken + "]";
  return text;
}

namespace internal {

template <class Iter>
void collect(outcome& out, const regex::backref_tag<Iter>& tag,
             const regex::basic_match_results<Iter>& results, Iter begin, std::size_t length) {
  out.matched = tag.matched;
  if (!tag.matched) return;
  if (results.size() == 0) {
    out.broken += "matched with no capture entries; ";
    return;
  }
  if (!(results.subject_begin() == begin)) out.broken += "subject_begin is not the subject; ";
  const auto& whole = results[0];
  if (!whole.matched || !(whole.first == tag.first) || !(whole.second == tag.second)) {
    out.broken += "returned record differs from entry 0; ";
  }
  for (std::size_t i = 0; i < results.size(); ++i) {
    const auto& group = results[i];
    if (!group.matched) {
      out.groups.emplace_back();
      continue;
    }
    const auto first = group.first - begin;
    const auto second = group.second - begin;
    if (first < 0 || second < first || static_cast<std::size_t>(second) > length) {
      out.broken += "entry " + std::to_string(i) + " lies outside the subject; ";
      out.groups.emplace_back();
      continue;
    }
    out.groups.push_back(
        capture_span{static_cast<std::size_t>(first), static_cast<std::size_t>(second)});
  }
}

}  // namespace internal

// Compiles `pattern` with `flags` and `mode` and matches it once against
// `subject` in the given form. Never throws; compile errors and unexpected
// exceptions become `error`. In the terminated form the subject ends at its
// first NUL.
inline outcome run(const std::u16string& pattern, int flags, int mode,
                   const std::u16string& subject, subject_form form) {
  outcome out;
  try {
    if (form == subject_form::bounded) {
      regex::rpattern compiled(pattern, flags, mode);
      regex::match_results results;
      const auto tag = regex::match(subject, compiled, results);
      internal::collect(out, tag, results, subject.cbegin(), subject.size());
    } else {
      regex::rpattern_c compiled(pattern, flags, mode);
      regex::match_results_c results;
      const char16_t* text = subject.c_str();
      const auto tag = regex::match(text, compiled, results);
      internal::collect(out, tag, results, text, std::char_traits<char16_t>::length(text));
    }
  } catch (const regex::bad_regexpr& e) {
    out = outcome{};
    out.error = e.what();
  } catch (const regex::match_depth_error& e) {
    // A search that would nest without bound (a recursion that re-enters
    // itself through a look-behind) stops with this error; every strategy
    // must report it alike.
    out = outcome{};
    out.error = std::string("too deep: ") + e.what();
  } catch (const std::exception& e) {
    out = outcome{};
    out.error = std::string("unexpected exception: ") + e.what();
  }
  return out;
}

// Compiles `pattern` with a substitution through both pattern types and
// returns the error text ("" when both accept it). A difference between the
// two types is returned as a text starting with "types differ".
inline std::string substitution_error(const std::u16string& pattern,
                                      const std::u16string& substitution, int flags) {
  auto attempt = [&](auto* tag) -> std::string {
    using pattern_type = std::remove_pointer_t<decltype(tag)>;
    try {
      pattern_type compiled(pattern, substitution, flags, 0);
      return "";
    } catch (const regex::bad_regexpr& e) {
      return e.what();
    } catch (const std::exception& e) {
      return std::string("unexpected exception: ") + e.what();
    }
  };
  const std::string bounded = attempt(static_cast<regex::rpattern*>(nullptr));
  const std::string terminated = attempt(static_cast<regex::rpattern_c*>(nullptr));
  if (bounded != terminated) return "types differ: '" + bounded + "' vs '" + terminated + "'";
  return bounded;
}

// Runs every strategy and subject form that must agree and returns a
// description of the first disagreement or broken result, or std::nullopt.
// Modes 0 and 1 always run; `extra_mode` runs too when it is neither. The
// terminated form is compared only when the subject has no NUL and
// `from_right` is clear (a terminated search always runs left to right).
inline std::optional<std::string> check_agreement(const std::u16string& pattern, int flags,
                                                  const std::u16string& subject,
                                                  int extra_mode = 1) {
  const outcome reference = run(pattern, flags, 0, subject, subject_form::bounded);
  if (!reference.broken.empty()) return "mode 0 bounded: " + describe(reference);
  if (reference.error.rfind("unexpected exception", 0) == 0) {
    return "mode 0 bounded: " + reference.error;
  }
  std::vector<int> modes{0, 1};
  if (extra_mode != 0 && extra_mode != 1) modes.push_back(extra_mode);
  const bool terminated_comparable =
      subject.find(u'\0') == std::u16string::npos && (flags & regex::from_right) == 0;
  for (int mode : modes) {
    for (subject_form form : {subject_form::bounded, subject_form::terminated}) {
      if (mode == 0 && form == subject_form::bounded) continue;
      if (form == subject_form::terminated && !terminated_comparable) continue;
      const outcome other = run(pattern, flags, mode, subject, form);
      if (other != reference) {
        return "mode 0 bounded gave '" + describe(reference) + "', mode " +
               std::to_string(mode) + " " + form_name(form) + " gave '" + describe(other) + "'";
      }
    }
  }
  return std::nullopt;
}

// A fuzz input: byte 0 the flags, byte 1 the mode, then little-endian UTF-16
// code units: the pattern, one U+FFFF, the subject (no U+FFFF: all pattern).
//   flags byte: bit 0 nocase, 1 find_all, 2 multiline, 3 singleline,
//               4 from_right, 5 control_escapes, 6 extended, 7 find_all_whole
//   mode byte:  bit 7 find_all_groups; bits 0-6 a third mode value to compare
//               with modes 0 and 1 (2 and above select by the mode rules)
// The pattern is cut to 64 and the subject to 32 code units, so that one
// input stays fast even when the pattern backtracks exponentially.
struct fuzz_input {
  int flags = 0;
  int mode = 0;
  std::u16string pattern;
  std::u16string subject;
};

inline constexpr std::size_t kFuzzPatternLimit = 64;
inline constexpr std::size_t kFuzzSubjectLimit = 32;

inline fuzz_input decode_fuzz_input(const std::uint8_t* data, std::size_t size) {
  fuzz_input input;
  if (size < 2) return input;
  static constexpr int kFlagBits[8] = {
      regex::nocase,     regex::find_all,        regex::multiline, regex::singleline,
      regex::from_right, regex::control_escapes, regex::extended,  regex::find_all_whole};
  for (int bit = 0; bit < 8; ++bit) {
    if (data[0] & (1u << bit)) input.flags |= kFlagBits[bit];
  }
  if (data[1] & 0x80u) input.flags |= regex::find_all_groups;
  input.mode = data[1] & 0x7f;
  bool in_subject = false;
  for (std::size_t i = 2; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (!in_subject && unit == 0xFFFF) {
      in_subject = true;
      continue;
    }
    std::u16string& target = in_subject ? input.subject : input.pattern;
    const std::size_t limit = in_subject ? kFuzzSubjectLimit : kFuzzPatternLimit;
    if (target.size() < limit) target.push_back(unit);
  }
  return input;
}

// The body shared by the fuzz target and the corpus replay: decodes the
// input, checks that every strategy and form agree, and that the substitution
// parser treats the subject text alike in both pattern types. Returns a
// description of the first fault, or std::nullopt.
inline std::optional<std::string> check_fuzz_input(const std::uint8_t* data, std::size_t size) {
  const fuzz_input input = decode_fuzz_input(data, size);
  if (auto fault = check_agreement(input.pattern, input.flags, input.subject, input.mode)) {
    return fault;
  }
  const std::string substitution = substitution_error(input.pattern, input.subject, input.flags);
  if (substitution.rfind("types differ", 0) == 0 ||
      substitution.rfind("unexpected exception", 0) == 0) {
    return "substitution: " + substitution;
  }
  return std::nullopt;
}

}  // namespace corvane_check
