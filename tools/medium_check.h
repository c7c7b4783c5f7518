// Checking a setup medium the way the launcher reads it, so that authors
// find a missing text, a missing folder or a misspelt placeholder before a
// user does.
#pragma once

#include <string>
#include <vector>

namespace tools {

enum class Severity { kError, kWarning };

struct Finding {
  Severity severity;
  std::string file;     // "setup.inf", "setupres.ini", "SetupHmRes.dll", or a folder
  std::string section;  // empty when none
  std::string key;      // empty when none
  std::string message;
};

struct CheckResult {
  bool readable = true;  // false: the medium's folder cannot be read at all
  std::vector<Finding> findings;
  bool HasErrors() const;
};

CheckResult CheckMedium(const std::string& dir);

// One finding a line: FILE [SECTION] KEY: error|warning: MESSAGE
std::string FormatText(const CheckResult& result);
// {"readable":..., "errors":N, "warnings":N, "findings":[{...}, ...]}
std::string FormatJson(const CheckResult& result);

}  // namespace tools
