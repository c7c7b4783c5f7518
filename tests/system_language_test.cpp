#include "setupdata/system_language.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <utility>

namespace setupdata {
namespace {

// POSIX locale names map to Windows language ids; a language without a
// country takes its usual one; unknown and C locales count as US English.
TEST(LangIdForLocale, PosixLocaleNamesMapToWindowsIdentifiers) {
  const std::pair<const char*, std::uint16_t> kCases[] = {
      {"en_US.UTF-8", 1033}, {"en_GB.UTF-8", 2057}, {"de_DE.UTF-8", 1031}, {"de_DE@euro", 1031},
      {"de_AT.UTF-8", 3079}, {"fr_FR.UTF-8", 1036}, {"ja_JP.UTF-8", 1041}, {"es_ES.UTF-8", 3082},
      {"es_MX.UTF-8", 2058}, {"de", 1031},          {"ja", 1041},          {"zh", 2052},
      {"C", 1033},           {"C.UTF-8", 1033},     {"POSIX", 1033},       {"", 1033},
      {"xx_YY", 1033},       {"!!garbage!!", 1033}};
  for (const auto& [locale, id] : kCases) EXPECT_EQ(LangIdForLocale(locale), id) << locale;
}

TEST(SystemDefaultLangId, TheMessagesLocaleGoverns) {
  setenv("LC_ALL", "", 1);
  setenv("LC_MESSAGES", "fr_FR.UTF-8", 1);
  setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_EQ(SystemDefaultLangId(), 1036);
  setenv("LC_ALL", "ja_JP.UTF-8", 1);
  EXPECT_EQ(SystemDefaultLangId(), 1041);
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  EXPECT_EQ(SystemDefaultLangId(), 1031);
  unsetenv("LANG");
  EXPECT_EQ(SystemDefaultLangId(), 1033);
}

}  // namespace
}  // namespace setupdata
