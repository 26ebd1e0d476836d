// Arguments: reads the words after a subcommand into operands and options.
//
// Options are long ("--layout osm", "--layout=osm", "--quiet") or short
// ("-q", several in one word: "-qv"); "--" ends the options, so that an
// operand may begin with '-'; a lone "-" is an operand. "--help" and "-h" are
// understood by every command.
//
// Thread-safety: a value type.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace cli {

struct OptionSpec {
  const char* longName;   // without "--", e.g. "layout"
  char shortName;         // e.g. 'q'; 0 when there is none
  bool takesValue;        // the next word (or the text after '=') is its value
};

class Arguments {
 public:
  // Reads `args` against `options` (--help is added). Returns false on bad
  // usage, with the problem in Error().
  bool Parse(const std::vector<std::string>& args, const std::vector<OptionSpec>& options);

  bool HelpAsked() const { return Has("help"); }
  bool Has(const std::string& longName) const { return given_.count(longName) != 0; }
  // The value of an option that takes one, or `fallback` when it was not given.
  std::string Value(const std::string& longName, const std::string& fallback) const;
  const std::vector<std::string>& Operands() const { return operands_; }
  const std::string& Error() const { return error_; }

 private:
  std::map<std::string, std::string> given_;  // long name -> value ("" for a flag); the last one wins
  std::vector<std::string> operands_;         // in order
  std::string error_;                         // what was wrong, after Parse() returned false
};

}  // namespace cli
