#include "setupdata/language_locale.h"

#include <glib.h>

#include <map>

#include "setupdata/icu_runtime.h"
#include "setupdata/setup_files.h"
#include "setupdata/text.h"

namespace setupdata {
namespace {

std::optional<LanguageLocale> KnownLocale(const IcuFunctions& icu, std::uint16_t lang_id) {
  LanguageLocale found;
  char locale[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  icu.uloc_getLocaleForLCID(lang_id, locale, sizeof locale, &status);
  if (U_FAILURE(status) || locale[0] == '\0') return std::nullopt;
  found.locale = locale;
  char tag[ULOC_FULLNAME_CAPACITY] = {};
  status = U_ZERO_ERROR;
  const std::int32_t length = icu.uloc_toLanguageTag(locale, tag, sizeof tag, /*strict=*/1, &status);
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING || length <= 0) return std::nullopt;
  found.tag.assign(tag, static_cast<std::size_t>(length));
  found.right_to_left = icu.uloc_isRightToLeft(locale) != 0;
  return found;
}

}  // namespace

std::optional<LanguageLocale> LocaleOfLangId(std::uint16_t lang_id) {
  const IcuFunctions* icu = Icu();
  if (icu == nullptr) return std::nullopt;
  if (auto found = KnownLocale(*icu, lang_id)) return found;
  return KnownLocale(*icu, MainLanguageOf(lang_id));
}

std::optional<std::string> LocaleDisplayName(const std::string& locale, const std::string& in_locale) {
  const IcuFunctions* icu = Icu();
  if (icu == nullptr) return std::nullopt;
  UChar wide[256] = {};
  UErrorCode status = U_ZERO_ERROR;
  const std::int32_t wide_length =
      icu->uloc_getDisplayName(locale.c_str(), in_locale.c_str(), wide, 256, &status);
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING || wide_length <= 0) return std::nullopt;
  char name[1024] = {};
  std::int32_t length = 0;
  status = U_ZERO_ERROR;
  icu->u_strToUTF8WithSub(name, sizeof name, &length, wide, wide_length, 0xFFFD, nullptr, &status);
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING) return std::nullopt;
  return std::string(name, static_cast<std::size_t>(length));
}

namespace {

// The locale's language, with its script where the locale names one or the
// language is Chinese (whose two scripts are two written languages).
std::string LanguageAndScriptOf(const IcuFunctions& icu, const std::string& locale) {
  char language[ULOC_LANG_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  icu.uloc_getLanguage(locale.c_str(), language, sizeof language, &status);
  if (U_FAILURE(status)) return {};
  std::string base = language;
  char script[ULOC_SCRIPT_CAPACITY] = {};
  status = U_ZERO_ERROR;
  if (base == "zh") {
    char likely[ULOC_FULLNAME_CAPACITY] = {};
    icu.uloc_addLikelySubtags(locale.c_str(), likely, sizeof likely, &status);
    if (U_SUCCESS(status)) icu.uloc_getScript(likely, script, sizeof script, &status);
  } else {
    icu.uloc_getScript(locale.c_str(), script, sizeof script, &status);
  }
  if (U_SUCCESS(status) && script[0] != '\0') base += std::string("_") + script;
  return base;
}

std::string CapitalFirst(const std::string& name) {
  if (name.empty() || !g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr)) return name;
  const gunichar first = g_utf8_get_char(name.c_str());
  char capital[8] = {};
  const gint length = g_unichar_to_utf8(g_unichar_totitle(first), capital);
  return std::string(capital, static_cast<std::size_t>(length)) +
         name.substr(g_utf8_next_char(name.c_str()) - name.c_str());
}

}  // namespace

std::optional<std::string> OwnLanguageName(std::uint16_t lang_id, bool with_country) {
  const IcuFunctions* icu = Icu();
  const std::optional<LanguageLocale> locale = LocaleOfLangId(lang_id);
  if (icu == nullptr || !locale) return std::nullopt;
  std::string shown = locale->locale;
  if (!with_country)
    shown = LanguageAndScriptOf(*icu, locale->locale);
  else if (shown.starts_with("zh_")) {
    char country[ULOC_COUNTRY_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    icu->uloc_getCountry(locale->locale.c_str(), country, sizeof country, &status);
    if (U_SUCCESS(status)) shown = LanguageAndScriptOf(*icu, locale->locale) + "_" + country;
  }
  if (shown.empty()) return std::nullopt;
  const std::optional<std::string> name = LocaleDisplayName(shown, locale->locale);
  if (!name) return std::nullopt;
  return CapitalFirst(*name);
}

std::optional<std::uint16_t> LanguageOfEnglishName(std::string_view name) {
  const IcuFunctions* icu = Icu();
  if (icu == nullptr || name.empty()) return std::nullopt;
  // ICU's names of its locales in English, once per process: those of
  // English itself are left out.
  static const std::map<std::string, std::uint16_t> kNames = [icu] {
    std::map<std::string, std::uint16_t> names;
    const std::int32_t count = icu->uloc_countAvailable();
    for (std::int32_t i = 0; i < count; ++i) {
      const char* available = icu->uloc_getAvailable(i);
      if (available == nullptr) continue;
      const std::string locale = available;
      const std::uint32_t id = icu->uloc_getLCID(available);
      if (id == 0 || id > 0xFFFF || locale == "en" || locale.starts_with("en_")) continue;
      for (const std::string& shown : {locale, LanguageAndScriptOf(*icu, locale)}) {
        const std::optional<std::string> english = LocaleDisplayName(shown, "en");
        if (english) names.emplace(AsciiUpper(*english), static_cast<std::uint16_t>(id));
      }
    }
    return names;
  }();
  const auto found = kNames.find(AsciiUpper(std::string(name)));
  if (found == kNames.end()) return std::nullopt;
  return found->second;
}

}  // namespace setupdata
