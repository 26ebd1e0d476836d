#include "cli/arguments.h"

namespace cli {

namespace {

constexpr OptionSpec kHelp{"help", 'h', false};

}  // namespace

bool Arguments::Parse(const std::vector<std::string>& args, const std::vector<OptionSpec>& options) {
  std::vector<OptionSpec> known(options);
  known.push_back(kHelp);
  auto byLong = [&](const std::string& name) -> const OptionSpec* {
    for (const OptionSpec& o : known) {
      if (name == o.longName) return &o;
    }
    return nullptr;
  };
  auto byShort = [&](char name) -> const OptionSpec* {
    for (const OptionSpec& o : known) {
      if (o.shortName != 0 && name == o.shortName) return &o;
    }
    return nullptr;
  };

  bool afterDashes = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (afterDashes || arg.size() < 2 || arg[0] != '-') {
      operands_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      afterDashes = true;
      continue;
    }
    if (arg[1] == '-') {
      const std::size_t equals = arg.find('=');
      const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      const OptionSpec* option = byLong(name);
      if (option == nullptr) {
        error_ = "unknown option '" + arg + "'";
        return false;
      }
      if (!option->takesValue) {
        if (equals != std::string::npos) {
          error_ = "--" + name + " takes no value";
          return false;
        }
        given_[name] = "";
      } else if (equals != std::string::npos) {
        given_[name] = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        given_[name] = args[++i];
      } else {
        error_ = "--" + name + " needs a value";
        return false;
      }
      continue;
    }
    // One or more short flags in one word; one that takes a value must come
    // last and takes the next word.
    for (std::size_t k = 1; k < arg.size(); ++k) {
      const OptionSpec* option = byShort(arg[k]);
      if (option == nullptr) {
        error_ = "unknown option '-" + std::string(1, arg[k]) + "'";
        return false;
      }
      if (option->takesValue) {
        if (k + 1 != arg.size() || i + 1 >= args.size()) {
          error_ = "-" + std::string(1, arg[k]) + " needs a value";
          return false;
        }
        given_[option->longName] = args[++i];
      } else {
        given_[option->longName] = "";
      }
    }
  }
  return true;
}

std::string Arguments::Value(const std::string& longName, const std::string& fallback) const {
  const auto found = given_.find(longName);
  return found == given_.end() ? fallback : found->second;
}

}  // namespace cli
