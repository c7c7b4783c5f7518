// What the fuzz targets share: a check that stops the run with the failed
// condition, and small text helpers written independently of the code under
// test so that the targets compare against something of their own.
#pragma once

#include <glib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition)                                                                   \
  do {                                                                                          \
    if (!(condition)) {                                                                         \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);       \
      std::abort();                                                                             \
    }                                                                                           \
  } while (false)

namespace fuzz {

// Strict UTF-8 validity (no overlong forms, no surrogates); NUL bytes count
// as valid characters, unlike in g_utf8_validate.
inline bool IsValidUtf8(std::string_view text) {
  std::string copy(text);
  for (char& c : copy) {
    if (c == '\0') c = ' ';
  }
  return g_utf8_validate_len(copy.data(), copy.size(), nullptr);
}

inline std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

inline std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// Splits `bytes` at every NUL byte.
inline std::vector<std::string_view> SplitAtNul(std::string_view bytes) {
  std::vector<std::string_view> parts;
  while (true) {
    const std::size_t nul = bytes.find('\0');
    parts.push_back(bytes.substr(0, nul));
    if (nul == std::string_view::npos) return parts;
    bytes.remove_prefix(nul + 1);
  }
}

}  // namespace fuzz
