#include "setupdata/text.h"

#include <glib.h>

#include <cstdio>
#include <limits>

namespace setupdata {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = g_ascii_toupper(c);
  return out;
}

std::size_t Utf8CharLength(std::string_view text, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  std::size_t len = 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    len = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    len = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    len = 4;
  }
  if (len == 1 || pos + len > text.size()) return 1;
  for (std::size_t i = 1; i < len; ++i) {
    const auto cont = static_cast<unsigned char>(text[pos + i]);
    if ((cont & 0xC0) != 0x80) return 1;
  }
  return len;
}

std::string_view CutUtf8(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t next = end + Utf8CharLength(text, end);
    if (next > max_bytes) break;
    end = next;
  }
  return text.substr(0, end);
}

std::string DropFirstAndLastChar(std::string_view text) {
  if (text.empty()) return {};
  const std::size_t first = Utf8CharLength(text, 0);
  // Find where the last character starts: walk forward so that invalid
  // bytes are treated the same way as in CutUtf8.
  std::size_t last_start = 0;
  for (std::size_t pos = 0; pos < text.size(); pos += Utf8CharLength(text, pos)) {
    last_start = pos;
  }
  if (last_start < first) return {};
  return std::string(text.substr(first, last_start - first));
}

std::string FormatWithOneString(std::string_view format, std::string_view arg) {
  std::string out;
  out.reserve(format.size() + arg.size());
  bool arg_used = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (format[i + 1] == 's' && !arg_used) {
        out += arg;
        arg_used = true;
        ++i;
        continue;
      }
    }
    out += format[i];
  }
  return out;
}

long long ParseLeadingInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr long long kMax = std::numeric_limits<long long>::max();
  constexpr long long kMin = std::numeric_limits<long long>::min();
  long long value = 0;
  for (; i < text.size() && g_ascii_isdigit(text[i]); ++i) {
    const int digit = text[i] - '0';
    if (negative) {
      if (value < (kMin + digit) / 10) return kMin;
      value = value * 10 - digit;
    } else {
      if (value > (kMax - digit) / 10) return kMax;
      value = value * 10 + digit;
    }
  }
  return value;
}

std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char escape[16];
  for (std::size_t pos = 0; pos < text.size();) {
    const gunichar code =
        g_utf8_get_char_validated(text.data() + pos, static_cast<gssize>(text.size() - pos));
    const bool valid = code != static_cast<gunichar>(-1) && code != static_cast<gunichar>(-2);
    if (!valid || code < 0x20 || code == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[pos]));
      out += escape;
      pos += 1;
      continue;
    }
    const std::size_t length = Utf8CharLength(text, pos);
    if (!g_unichar_isprint(code)) {
      std::snprintf(escape, sizeof escape, "\\u{%04X}", static_cast<unsigned>(code));
      out += escape;
    } else {
      out.append(text, pos, length);
    }
    pos += length;
  }
  return out;
}

}  // namespace setupdata
