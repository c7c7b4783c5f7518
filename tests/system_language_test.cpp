#include "setupdata/system_language.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace setupdata {
namespace {

TEST(LangIdForLocale, PosixLocaleNamesMapToWindowsIdentifiers) {
  EXPECT_EQ(LangIdForLocale("en_US.UTF-8"), 1033);
  EXPECT_EQ(LangIdForLocale("de_DE.UTF-8"), 1031);
  EXPECT_EQ(LangIdForLocale("de_DE@euro"), 1031);
  EXPECT_EQ(LangIdForLocale("de_AT.UTF-8"), 3079);
  EXPECT_EQ(LangIdForLocale("fr_FR.UTF-8"), 1036);
  EXPECT_EQ(LangIdForLocale("ja_JP.UTF-8"), 1041);
  EXPECT_EQ(LangIdForLocale("es_ES.UTF-8"), 3082);
  EXPECT_EQ(LangIdForLocale("es_MX.UTF-8"), 2058);
}

TEST(LangIdForLocale, ALanguageWithoutCountryTakesItsUsualOne) {
  EXPECT_EQ(LangIdForLocale("de"), 1031);
  EXPECT_EQ(LangIdForLocale("ja"), 1041);
  EXPECT_EQ(LangIdForLocale("zh"), 2052);
}

TEST(LangIdForLocale, UnknownAndCLocalesCountAsUsEnglish) {
  EXPECT_EQ(LangIdForLocale("C"), 1033);
  EXPECT_EQ(LangIdForLocale("C.UTF-8"), 1033);
  EXPECT_EQ(LangIdForLocale("POSIX"), 1033);
  EXPECT_EQ(LangIdForLocale(""), 1033);
  EXPECT_EQ(LangIdForLocale("xx_YY"), 1033);
  EXPECT_EQ(LangIdForLocale("!!garbage!!"), 1033);
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
