#include "setupdata/system_language.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "setupdata/codepage.h"
#include "setupdata/icu_runtime.h"
#include "support/temp_medium.h"

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
  const testing_support::ScopedEnv all("LC_ALL", "");
  const testing_support::ScopedEnv messages("LC_MESSAGES", "fr_FR.UTF-8");
  const testing_support::ScopedEnv lang("LANG", "de_DE.UTF-8");
  EXPECT_EQ(SystemDefaultLangId(), 1036);
  all.Set("ja_JP.UTF-8");
  EXPECT_EQ(SystemDefaultLangId(), 1041);
  all.Set(nullptr);
  messages.Set(nullptr);
  EXPECT_EQ(SystemDefaultLangId(), 1031);
  lang.Set(nullptr);
  EXPECT_EQ(SystemDefaultLangId(), 1033);
}

// ICU is found at run time by its library names; one opened by its plain
// name shows its version through its functions. Without it the system
// language reads as US English and a Windows codepage as 1252 (a value in
// one is still read, by the C library's converter), and one line on
// standard error says so. Each case runs in
// a fresh process, since the library is looked for once per process.
TEST(Icu, FoundAtRunTimeOrSaidMissingOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    std::vector<std::string> names;
    std::uint16_t german;
    std::uint16_t japanese_codepage;
    const char* decoded;
    const char* standard_error;
  };
  const Case kCases[] = {
      {{"libicuuc.so.1-missing"}, 1033, 1252, "\xC3\xA9t\xC3\xA9", "^[^\n]*ICU[^\n]*not found[^\n]*\n$"},
      {{"libicuuc.so.1-missing", "libicuuc.so"}, 1031, 932, "\xC3\xA9t\xC3\xA9", "^$"},
  };
  for (const Case& c : kCases) {
    const auto run = [&c] {
      SetIcuLibraryNamesForTesting(c.names);
      const bool right = LangIdForLocale("de_DE.UTF-8") == c.german && LangIdForLocale("de") == c.german &&
                         AnsiCodepage(1041) == c.japanese_codepage &&
                         DecodeCodepage("\xE9t\xE9", 1252) == c.decoded;
      std::exit(right ? 0 : 1);
    };
    EXPECT_EXIT(run(), testing::ExitedWithCode(0), c.standard_error) << c.names.back();
  }
  const IcuFunctions* icu = Icu();
  ASSERT_NE(icu, nullptr);
  EXPECT_THAT(icu->library, testing::StartsWith("libicuuc.so."));
}

}  // namespace
}  // namespace setupdata
