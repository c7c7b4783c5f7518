// What ICU knows of a Windows language id: its locale, its BCP 47 tag and
// the direction its script is written in, and the names of locales.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace setupdata {

struct LanguageLocale {
  std::string locale;          // ICU's name: "he_IL", "zh_CN"
  std::string tag;             // BCP 47: "he-IL", "zh-CN"
  bool right_to_left = false;  // its script is written right to left
};

// The locale of `lang_id`; an id ICU does not know is read as its
// language's main one. None when neither is known or ICU is missing.
std::optional<LanguageLocale> LocaleOfLangId(std::uint16_t lang_id);

// The name of the locale `locale` ("pt_BR", "zh_Hans", "he") in the
// language of `in_locale`, as UTF-8, exactly as ICU gives it; none without
// ICU or a name.
std::optional<std::string> LocaleDisplayName(const std::string& locale, const std::string& in_locale);

}  // namespace setupdata
