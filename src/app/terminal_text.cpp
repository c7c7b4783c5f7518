#include "app/terminal_text.h"

#include <glib.h>

#include "setupdata/text.h"

namespace app {
namespace {

// The character at `pos` and its length; none for a byte that starts no
// valid UTF-8 character.
struct Char {
  gunichar code = 0;
  std::size_t length = 1;
  bool valid = false;
};

Char CharAt(std::string_view text, std::size_t pos) {
  const gunichar code = g_utf8_get_char_validated(text.data() + pos, static_cast<gssize>(text.size() - pos));
  if (code == static_cast<gunichar>(-1) || code == static_cast<gunichar>(-2)) return {};
  return {code, static_cast<std::size_t>(g_utf8_skip[static_cast<unsigned char>(text[pos])]), true};
}

int ColumnsOf(const Char& c) {
  if (!c.valid) return 1;
  if (g_unichar_iszerowidth(c.code)) return 0;
  return g_unichar_iswide(c.code) ? 2 : 1;
}

}  // namespace

int DisplayWidth(std::string_view text) {
  int width = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const Char c = CharAt(text, pos);
    width += ColumnsOf(c);
    pos += c.valid ? c.length : 1;
  }
  return width;
}

std::string WrapText(std::string_view text, int width, std::string_view prefix) {
  const int indent = DisplayWidth(prefix);
  std::string out(prefix);
  int column = indent;
  bool words_on_line = false;
  const auto new_line = [&] {
    out += '\n';
    out.append(static_cast<std::size_t>(indent), ' ');
    column = indent;
    words_on_line = false;
  };
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == ' ') {
      ++pos;
      continue;
    }
    std::size_t end = text.find(' ', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(pos, end - pos);
    const int word_width = DisplayWidth(word);
    if (words_on_line) {
      if (column + 1 + word_width <= width) {
        out += ' ';
        out += word;
        column += 1 + word_width;
        pos = end;
        continue;
      }
      new_line();
    }
    // A word at the start of a line: as a whole when it fits, else cut
    // after its last hyphen that fits, or else after its last character
    // that fits; each line takes at least one character.
    std::string_view rest = word;
    while (column + DisplayWidth(rest) > width) {
      std::size_t fits = 0;
      std::size_t after_hyphen = 0;
      for (int used = column; fits < rest.size();) {
        const std::size_t length = setupdata::Utf8CharLength(rest, fits);
        used += DisplayWidth(rest.substr(fits, length));
        if (used > width && (fits > 0 || column > indent)) break;
        fits += length;
        if (rest[fits - 1] == '-' && fits < rest.size()) after_hyphen = fits;
      }
      const std::size_t cut = after_hyphen > 0 ? after_hyphen : fits;
      out += rest.substr(0, cut);
      rest.remove_prefix(cut);
      if (rest.empty()) break;
      new_line();
    }
    out += rest;
    column += DisplayWidth(rest);
    words_on_line = true;
    pos = end;
  }
  out += '\n';
  return out;
}

}  // namespace app
