// Reading a command line, the launcher's and the tools': options anywhere
// among the operands, as `--name=value` or `--name value`, and a mistake
// said in one line (the caller points to --help).
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace app {

struct OptionSpec {
  std::string_view name;  // with its dashes: "--out"
  bool takes_value = false;
  // Said more than once it adds to its values; otherwise that is a mistake,
  // since two answers to one question cannot both be meant.
  bool repeats = false;
  // Its value may be left out ("--database" alone): it then has an empty
  // one, and "--name=" is still a mistake.
  bool value_optional = false;
};

struct CommandLine {
  // Each option given, with its values in order (an empty one for a flag).
  std::map<std::string, std::vector<std::string>, std::less<>> options;
  std::vector<std::string> operands;
  std::string error;  // the mistake, empty when there is none

  bool Has(std::string_view name) const { return options.find(name) != options.end(); }
  // The last value given for `name`.
  std::optional<std::string> Value(std::string_view name) const;
  // Every value given for `name`, commas splitting each into several; an
  // empty item stays, for the caller to refuse ("1033,,1031").
  std::vector<std::string> List(std::string_view name) const;
};

// Arguments that begin with "--" are options, and so is "-h"; the rest are
// operands, a lone "-" and negative numbers among them. After "--" every
// argument is an operand. "--help" and "-h" are accepted by every command.
// An option's value is never empty, and a next word that begins with "--" is
// never taken as one: "--out --database" is a mistake, "--out=--x" is not.
// Names from the command line are quoted in the mistake as a terminal can
// print them.
CommandLine ReadCommandLine(std::span<const std::string_view> args, std::span<const OptionSpec> specs);

}  // namespace app
