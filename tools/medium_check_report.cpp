// The findings as check prints them: a line each, or one JSON object.
#include <glib.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "setupdata/text.h"
#include "tools/medium_check.h"

namespace tools {
namespace {

// `text` as a JSON string; a byte that is not part of valid UTF-8 is
// written as the six characters \\xNN.
std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const char* end = nullptr;
      const std::size_t length = setupdata::Utf8CharLength(text, i);
      if (length > 1 && g_utf8_validate(text.data() + i, static_cast<gssize>(length), &end)) {
        out.append(text, i, length);
      } else {
        char buffer[8];
        g_snprintf(buffer, sizeof buffer, "\\\\x%02X", c);
        out += buffer;
        i += 1;
        continue;
      }
      i += length;
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buffer[8];
          g_snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  return out + "\"";
}

const char* SeverityName(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return "error";
    case Severity::kWarning:
      return "warning";
    case Severity::kNote:
      break;
  }
  return "note";
}

}  // namespace

std::string FormatText(const CheckResult& result) {
  std::string out;
  for (const Finding& f : result.findings) {
    // Names and values of the medium may hold control characters: each
    // finding stays one line.
    std::string line = f.file;
    if (f.line > 0) line += ":" + std::to_string(f.line);
    line += ":";
    if (!f.section.empty()) line += " [" + f.section + "]";
    if (!f.key.empty()) line += " " + f.key;
    if (!f.section.empty() || !f.key.empty()) line += ":";
    line += std::string(" ") + SeverityName(f.severity) + ": " + f.message + " [" + f.code + "]";
    out += setupdata::PrintableText(line) + "\n";
  }
  return out;
}

std::string FormatJson(const CheckResult& result) {
  std::size_t counts[3] = {0, 0, 0};
  for (const Finding& f : result.findings) ++counts[static_cast<int>(f.severity)];
  std::string out = std::string("{\"readable\":") + (result.readable ? "true" : "false") +
                    ",\"errors\":" + std::to_string(counts[0]) +
                    ",\"warnings\":" + std::to_string(counts[1]) + ",\"notes\":" + std::to_string(counts[2]) +
                    ",\"findings\":[";
  for (std::size_t i = 0; i < result.findings.size(); ++i) {
    const Finding& f = result.findings[i];
    if (i > 0) out += ",";
    out += "{\"code\":" + JsonString(f.code) + ",\"severity\":\"" + SeverityName(f.severity) +
           "\",\"file\":" + JsonString(f.file) +
           ",\"line\":" + (f.line > 0 ? std::to_string(f.line) : "null") +
           ",\"section\":" + JsonString(f.section) + ",\"key\":" + JsonString(f.key) +
           ",\"message\":" + JsonString(f.message) + "}";
  }
  return out + "]}\n";
}

int RunCheck(const CheckOptions& options) {
  CheckResult result = CheckMedium(options.medium_dir);
  // An unreadable medium's finding stays whatever is ignored: it is the
  // only word on why the status is 2.
  std::erase_if(result.findings, [&](const Finding& f) {
    return f.code != std::string_view("medium-unreadable") && options.ignored.contains(f.code);
  });
  const std::string out = options.format == CheckFormat::kJson ? FormatJson(result) : FormatText(result);
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) return 2;
  if (!result.readable) return 2;
  const bool warned = std::any_of(result.findings.begin(), result.findings.end(),
                                  [](const Finding& f) { return f.severity == Severity::kWarning; });
  return result.HasErrors() || (options.strict && warned) ? 1 : 0;
}

}  // namespace tools
