#include "cli/command.h"

#include <cstdio>

namespace cli {

void PrintError(const std::string& text) {
  std::fprintf(stderr, "%s%s\n", kMessagePrefix, text.c_str());
  std::fflush(stderr);
}

bool TakeOneOperand(const std::vector<std::string>& args, const char* synopsis,
                    std::string* operand, int* exitCode) {
  std::vector<std::string> operands;
  bool afterDashes = false;
  for (const std::string& a : args) {
    if (!afterDashes && a == "--") {
      afterDashes = true;
    } else if (!afterDashes && (a == "--help" || a == "-h")) {
      std::printf("usage: cvmap %s\n", synopsis);
      *exitCode = kExitOk;
      return false;
    } else if (!afterDashes && a.size() > 1 && a[0] == '-') {
      PrintError("unknown option '" + a + "'; usage: cvmap " + synopsis);
      *exitCode = kExitBadInput;
      return false;
    } else {
      operands.push_back(a);
    }
  }
  if (operands.size() != 1 || operands[0].empty()) {
    PrintError(std::string("usage: cvmap ") + synopsis);
    *exitCode = kExitBadInput;
    return false;
  }
  *operand = operands[0];
  return true;
}

}  // namespace cli
