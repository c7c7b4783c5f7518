// The system's default language as a Windows language identifier.
#pragma once

#include <cstdint>
#include <string>

namespace setupdata {

// The identifier of a POSIX locale name such as "de_DE.UTF-8", "es_ES" or
// "C": canonicalised and mapped by ICU. Unknown names and the C/POSIX
// locale give 1033, and so does every name on a system without ICU; a
// language without a country takes its usual one ("de" gives 1031).
std::uint16_t LangIdForLocale(const std::string& posix_locale);

// The identifier of the locale that governs messages: LC_ALL, else
// LC_MESSAGES, else LANG.
std::uint16_t SystemDefaultLangId();

}  // namespace setupdata
