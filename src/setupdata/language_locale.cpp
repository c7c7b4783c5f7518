#include "setupdata/language_locale.h"

#include "setupdata/icu_runtime.h"
#include "setupdata/setup_files.h"

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

}  // namespace setupdata
