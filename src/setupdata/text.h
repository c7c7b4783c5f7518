// Small text operations shared by the setup data, the pages and the dialog.
// Texts are UTF-8 byte strings; case folding touches ASCII letters only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace setupdata {

// ASCII-only case-insensitive equality: other bytes must match exactly.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Upper-cases ASCII letters; every other byte stays.
std::string AsciiUpper(std::string_view text);

// Leading characters of `text` that fit in `max_bytes` bytes without
// cutting a UTF-8 sequence in half. Bytes that do not form valid UTF-8
// count as characters of one byte each.
std::string_view CutUtf8(std::string_view text, std::size_t max_bytes);

// Length in bytes of the UTF-8 character that starts at `pos` (1 for a
// stray or invalid byte), so that a character is always taken whole.
std::size_t Utf8CharLength(std::string_view text, std::size_t pos);

// `text` without its first and its last character (characters, not bytes).
// A text of one or two characters gives an empty text.
std::string DropFirstAndLastChar(std::string_view text);

// Formatting of texts that come from setup files. The text is never used as
// a printf format: "%%" becomes "%", the first "%s" takes `arg`, and every
// other "%" sequence stays as it stands.
std::string FormatWithOneString(std::string_view format, std::string_view arg);

// `text` with every character a terminal would not print as it stands
// written as an escape: bytes that are no UTF-8 and control characters as
// "\xNN", other characters without a printable form as "\u{XXXX}". Every
// message that quotes a name or a text from outside (a medium, a page, a
// command line) quotes it so: the message stays one line, and nothing in it
// moves or retitles the terminal.
std::string PrintableText(std::string_view text);

// Reads a number as the C library's atoi does (leading blanks, an optional
// sign, decimal digits, 0 when there are none) but without overflow: the
// result saturates at the limits of long long.
long long ParseLeadingInt(std::string_view text);

}  // namespace setupdata
