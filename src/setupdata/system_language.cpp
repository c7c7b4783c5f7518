#include "setupdata/system_language.h"

#include <cstdlib>
#include <string>

#include "setupdata/icu_runtime.h"

namespace setupdata {
namespace {

constexpr std::uint16_t kEnglishUs = 1033;
constexpr std::uint16_t kInvariant = 127;  // what ICU gives for C/POSIX

std::uint32_t LcidOf(const IcuFunctions& icu, const char* locale) { return icu.uloc_getLCID(locale); }

std::uint16_t Finish(std::uint32_t lcid) {
  lcid &= 0xFFFF;
  if (lcid == 0 || lcid == kInvariant) return kEnglishUs;
  return static_cast<std::uint16_t>(lcid);
}

}  // namespace

std::uint16_t LangIdForLocale(const std::string& posix_locale) {
  if (posix_locale.empty() || posix_locale == "C" || posix_locale == "POSIX" ||
      posix_locale.starts_with("C.")) {
    return kEnglishUs;
  }
  const IcuFunctions* icu = Icu();
  if (icu == nullptr) return kEnglishUs;
  char canonical[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  icu->uloc_canonicalize(posix_locale.c_str(), canonical, sizeof canonical, &status);
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING) return kEnglishUs;

  // A language without a country takes its usual country first ("de" is
  // read as "de_DE", "zh" as "zh_CN").
  char country[ULOC_COUNTRY_CAPACITY] = {};
  status = U_ZERO_ERROR;
  icu->uloc_getCountry(canonical, country, sizeof country, &status);
  if (U_SUCCESS(status) && country[0] == '\0') {
    char likely[ULOC_FULLNAME_CAPACITY] = {};
    status = U_ZERO_ERROR;
    icu->uloc_addLikelySubtags(canonical, likely, sizeof likely, &status);
    char language[ULOC_LANG_CAPACITY] = {};
    UErrorCode lang_status = U_ZERO_ERROR;
    icu->uloc_getLanguage(likely, language, sizeof language, &lang_status);
    UErrorCode country_status = U_ZERO_ERROR;
    icu->uloc_getCountry(likely, country, sizeof country, &country_status);
    if (U_SUCCESS(status) && U_SUCCESS(lang_status) && U_SUCCESS(country_status) && language[0] != '\0' &&
        country[0] != '\0') {
      const std::string with_country = std::string(language) + "_" + country;
      const std::uint32_t likely_lcid = LcidOf(*icu, with_country.c_str());
      if (likely_lcid != 0) return Finish(likely_lcid);
    }
  }
  std::uint32_t lcid = LcidOf(*icu, canonical);
  // A language-only identifier takes its default sub-language.
  if (lcid != 0 && (lcid & 0xFC00) == 0) lcid |= 0x0400;
  return Finish(lcid);
}

std::uint16_t SystemDefaultLangId() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return LangIdForLocale(value);
  }
  return kEnglishUs;
}

}  // namespace setupdata
