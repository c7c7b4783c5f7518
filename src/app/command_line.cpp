#include "app/command_line.h"

#include <algorithm>

#include "setupdata/text.h"

namespace app {

std::optional<std::string> CommandLine::Value(std::string_view name) const {
  const auto found = options.find(name);
  if (found == options.end() || found->second.empty()) return std::nullopt;
  return found->second.back();
}

std::vector<std::string> CommandLine::List(std::string_view name) const {
  std::vector<std::string> items;
  const auto found = options.find(name);
  if (found == options.end()) return items;
  for (const std::string& value : found->second) {
    std::size_t start = 0;
    while (start <= value.size()) {
      const std::size_t comma = std::min(value.find(',', start), value.size());
      items.push_back(value.substr(start, comma - start));
      start = comma + 1;
    }
  }
  return items;
}

CommandLine ReadCommandLine(std::span<const std::string_view> args, std::span<const OptionSpec> specs) {
  CommandLine line;
  const auto fail = [&line](std::string why) {
    if (line.error.empty()) line.error = std::move(why);
  };
  bool operands_only = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (operands_only || !(arg.starts_with("--") || arg == "-h")) {
      line.operands.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      operands_only = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      line.options["--help"].emplace_back();
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& candidate : specs) {
      if (candidate.name == name) spec = &candidate;
    }
    if (spec == nullptr) {
      fail("unknown option \"" + setupdata::PrintableText(name) + "\"");
      continue;
    }
    std::vector<std::string>& values = line.options[std::string(name)];
    if (!values.empty() && !spec->repeats) fail(std::string(name) + " is given twice");
    if (!spec->takes_value) {
      if (equals != std::string_view::npos) fail(std::string(name) + " takes no value");
      values.emplace_back();
    } else {
      // A next word that is an option is not taken for the value: in
      // "--out --database", --out has none.
      std::string_view value;
      if (equals != std::string_view::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size() && !args[i + 1].starts_with("--")) {
        value = args[++i];
      }
      const bool left_out = equals == std::string_view::npos && value.empty();
      if (value.empty() && !(spec->value_optional && left_out)) fail(std::string(name) + " needs a value");
      values.emplace_back(value);
    }
  }
  return line;
}

}  // namespace app
