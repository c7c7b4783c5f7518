// Checking a setup medium the way the launcher reads it, so that authors
// find a missing text, a missing folder or a misspelt placeholder before a
// user does.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

// error: the launcher will fail or show a wrong result; warning: it works,
// but probably not as meant; note: worth knowing.
enum class Severity { kError, kWarning, kNote };

struct Finding {
  Severity severity;
  std::string code;     // stable, one per kind of finding: "missing-text"
  std::string file;     // "setup.inf", "setupres.ini", "SetupHmRes.dll", or a path below the medium
  int line = 0;         // 1-based line in the file (in the page for a page's finding); 0 when none
  std::string section;  // empty when none; the page's name for a page's finding
  std::string key;      // empty when none
  std::string message;
};

struct CheckResult {
  bool readable = true;           // false: the medium's folder cannot be read at all
  std::vector<Finding> findings;  // sorted by file, section and key
  bool HasErrors() const;
};

// Every code check can report, with its severity and what it means.
struct FindingKind {
  const char* code;
  Severity severity;
  const char* meaning;
};
const std::vector<FindingKind>& FindingKinds();
bool IsFindingCode(std::string_view code);
// The fixed severity of a code of the table.
Severity SeverityOf(std::string_view code);

enum class CheckFormat { kText, kJson };

struct CheckOptions {
  std::string medium_dir;
  CheckFormat format = CheckFormat::kText;
  std::set<std::string> ignored;  // codes whose findings are left out
  bool strict = false;            // warnings fail the check as errors do
};

CheckResult CheckMedium(const std::string& dir);

// One finding a line: FILE[:LINE]: [SECTION] KEY: SEVERITY: MESSAGE [CODE]
std::string FormatText(const CheckResult& result);
// {"readable":..., "errors":N, "warnings":N, "notes":N, "findings":[{...}, ...]},
// valid JSON whatever the medium holds: a byte that is not UTF-8 is written
// as the six characters \\xNN.
std::string FormatJson(const CheckResult& result);

// Checks options.medium_dir, prints the findings not ignored to standard
// output in the format asked for, and gives the exit status: 0 without
// errors, 1 with errors (or, strict, with warnings), 2 when the medium
// cannot be read.
int RunCheck(const CheckOptions& options);

}  // namespace tools
