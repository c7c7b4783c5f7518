// Texts saved by Windows tools in a Windows ANSI codepage. Setup authors
// keep one section of setupres.ini per language, and a section saved on a
// Windows of that language holds its texts in that language's codepage: a
// value that is not valid UTF-8 is read in the ANSI codepage of its
// section's language id, each section on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace setupdata {

// The codepage read when nothing better is known: Western European.
inline constexpr std::uint16_t kWesternCodepage = 1252;

// The Windows ANSI codepage of a language id: 1250 to 1258, 874, 932, 936,
// 949 or 950 as Windows assigns them (by the language and the script it is
// written in, so Serbian Cyrillic 3098 reads 1251 and Serbian Latin 2074
// 1250). Unknown ids, languages Windows writes in Unicode only, and every
// id on a system without ICU read 1252.
std::uint16_t AnsiCodepage(std::uint16_t lang_id);

// The language id that names a section ("1036"); none for other names.
std::optional<std::uint16_t> SectionLangId(std::string_view section);

// The codepage of the values of `section` that are not valid UTF-8: the
// section's own language's when it is named by a language id, else that of
// `lang_id`, the language section in use (so setup.inf and the [LANGUAGE]
// section read as the dialog's language does); 1252 when neither names one.
std::uint16_t SectionCodepage(std::string_view section, std::string_view lang_id);

// `bytes` saved in `codepage`, as UTF-8; every byte or sequence the
// codepage does not map gives U+FFFD. Each byte read gives at least one
// byte of UTF-8, so the first N bytes of the result come from at most the
// first N bytes of `bytes`. A codepage ICU cannot convert is read as 1252;
// on a system without ICU the C library's converter reads it.
std::string DecodeCodepage(std::string_view bytes, std::uint16_t codepage);

// UTF-8 `text` as `codepage` writes it; none when a character has no place
// in the codepage, and none on a system without ICU.
std::optional<std::string> EncodeCodepage(std::string_view text, std::uint16_t codepage);

// The Windows codepage `bytes` most look like, by ICU's charset detector;
// none when nothing fits or the detector cannot be had. A guess for the
// tools that tell authors what they wrote: short texts fool it.
std::optional<std::uint16_t> LikelyCodepage(std::string_view bytes);

// The name an author knows a codepage by: "Windows-1252", "Shift-JIS".
std::string CodepageName(std::uint16_t codepage);

}  // namespace setupdata
