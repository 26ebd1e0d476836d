// bad_regexpr: the exception thrown for an ill-formed pattern or substitution.
//
// what() returns a fixed English message that names the fault, for example
// "mismatched parenthesis". Callers may compare it to the exact text.
//
// Thread-safety: an ordinary exception object; no shared state.
#pragma once

#include <stdexcept>
#include <string>

namespace regex {

class bad_regexpr : public std::invalid_argument {
 public:
  explicit bad_regexpr(const std::string& message);
  explicit bad_regexpr(const char* message);
};

}  // namespace regex
