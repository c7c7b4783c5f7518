// What ICU knows of a Windows language id: its locale, its BCP 47 tag and
// the direction its script is written in, and the names of locales.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace setupdata {

struct LanguageLocale {
  std::string locale;          // ICU's name: "he_IL", "zh_CN"
  std::string tag;             // BCP 47: "he-IL", "zh-CN"
  bool right_to_left = false;  // its script is written right to left
};

// The locale of `lang_id`; an id ICU does not know is read as its
// language's main one. None when neither is known or ICU is missing.
std::optional<LanguageLocale> LocaleOfLangId(std::uint16_t lang_id);

// The name of a language in itself, as a list of languages shows it to its
// speakers: "Italiano", "עברית", "日本語"; with its country when
// `with_country` ("Português (Brasil)"). Chinese is named by its script
// ("中文（简体）"), with the country only when asked. The first letter is a
// capital, as a list item begins. None when ICU does not know the id or
// is missing.
std::optional<std::string> OwnLanguageName(std::uint16_t lang_id, bool with_country);

// The language id a name stands for when it is the English name of a
// language other than English, as ICU names the language, with or without
// its country ("German", "Arabic (Saudi Arabia)"), in any case; none for
// another name, or without ICU.
std::optional<std::uint16_t> LanguageOfEnglishName(std::string_view name);

// The name of the locale `locale` ("pt_BR", "zh_Hans", "he") in the
// language of `in_locale`, as UTF-8, exactly as ICU gives it; none without
// ICU or a name.
std::optional<std::string> LocaleDisplayName(const std::string& locale, const std::string& in_locale);

}  // namespace setupdata
