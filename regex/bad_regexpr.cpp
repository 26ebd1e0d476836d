#include "regex/bad_regexpr.h"

namespace regex {

bad_regexpr::bad_regexpr(const std::string& message) : std::invalid_argument(message) {}
bad_regexpr::bad_regexpr(const char* message) : std::invalid_argument(message) {}

}  // namespace regex
