#include "app/front_ends.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "app/terminal_text.h"
#include "support/fakes.h"
#include "support/temp_medium.h"

namespace app {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing_support::FakeSystem;
using testing_support::TempMedium;

// The command line and the environment; an option wins over its variable,
// and --text and --list take no answers from the environment.
TEST(ParseLaunchOptions, ReadsTheCommandLineAndTheEnvironment) {
  const struct {
    std::vector<const char*> args;
    const char *env_language, *env_database;
    bool text, list;
    const char *language, *database, *error;
  } kCases[] = {
      {{}, nullptr, nullptr, false, false, nullptr, nullptr, ""},
      {{"--text"}, nullptr, nullptr, true, false, nullptr, nullptr, ""},
      {{"--list"}, nullptr, nullptr, false, true, nullptr, nullptr, ""},
      {{"--language=DEU"}, nullptr, nullptr, false, false, "DEU", nullptr, ""},
      {{"--language", "Deutsch", "--database", "oracle"},
       nullptr,
       nullptr,
       false,
       false,
       "Deutsch",
       "Oracle",
       ""},
      {{"--database=sql", "--language=2"}, nullptr, nullptr, false, false, "2", "SQL", ""},
      {{}, "FRA", "ORACLE", false, false, "FRA", "Oracle", ""},
      {{"--language=DEU"}, "FRA", "Oracle", false, false, "DEU", "Oracle", ""},
      {{"--text"}, "FRA", "Oracle", true, false, nullptr, nullptr, ""},
      {{"--list"}, "FRA", nullptr, false, true, nullptr, nullptr, ""},
      {{}, nullptr, "Oracle", false, false, nullptr, nullptr, ""},
      {{}, "FRA", "DB2", false, false, nullptr, nullptr, "not \"DB2\""},
      {{"--language=DEU", "--database=DB2"}, nullptr, nullptr, false, false, nullptr, nullptr, "not \"DB2\""},
      {{"--database=Oracle"},
       nullptr,
       nullptr,
       false,
       false,
       nullptr,
       nullptr,
       "--database needs --language"},
      {{"--language", "--text"}, nullptr, nullptr, true, false, nullptr, nullptr, "--language needs a value"},
      {{"--language="}, nullptr, nullptr, false, false, nullptr, nullptr, "--language needs a value"},
      {{"--list", "--language=1"}, nullptr, nullptr, false, true, nullptr, nullptr, "--list takes no other"},
      {{"--text", "--language=1"}, nullptr, nullptr, true, false, nullptr, nullptr, "--text answers nothing"},
      {{"--bogus\x1b"}, nullptr, nullptr, false, false, nullptr, nullptr, "unknown option \"--bogus\\x1B\""},
      {{"DEU"}, nullptr, nullptr, false, false, nullptr, nullptr, "unknown option \"DEU\""},
  };
  for (const auto& c : kCases) {
    std::vector<const char*> argv{"setup-launcher"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto set = [](const char* name, const char* value) {
      value ? setenv(name, value, 1) : unsetenv(name);
    };
    set("SETUP_LAUNCHER_LANGUAGE", c.env_language);
    set("SETUP_LAUNCHER_DATABASE", c.env_database);
    const LaunchOptions options = ParseLaunchOptions(static_cast<int>(argv.size()), argv.data());
    const std::string line =
        (c.args.empty() ? "" : c.args[0]) + std::string(" ") + (c.env_language ? c.env_language : "");
    EXPECT_EQ(options.text, c.text) << line;
    EXPECT_EQ(options.list, c.list) << line;
    EXPECT_EQ(options.language, c.language ? std::optional<std::string>(c.language) : std::nullopt) << line;
    EXPECT_EQ(options.database, c.database ? std::optional<std::string>(c.database) : std::nullopt) << line;
    if (*c.error == '\0') {
      EXPECT_EQ(options.error, "") << line;
    } else {
      EXPECT_THAT(options.error, HasSubstr(c.error)) << line;
      EXPECT_EQ(options.error.find('\n'), std::string::npos);
    }
  }
  unsetenv("SETUP_LAUNCHER_LANGUAGE");
  unsetenv("SETUP_LAUNCHER_DATABASE");
}

constexpr char kLanguages[] =
    "[LANGUAGE]\nLANGUAGENUMBER=4\n"
    "[1033]\n32001=English\n9011=%s Setup\nProductName=Aurora Ledger 7\n"
    "LANGUAGE0=English,ENU\nLANGUAGE1=Deutsch,DEU\nLANGUAGE2=Missing,XXX\nLANGUAGE3=Fran\xC3\xA7"
    "ais\tFR,FRA\n";

class UnattendedTest : public ::testing::Test {
 protected:
  UnattendedTest() {
    system_.module_file = medium_.dir() + "setup-launcher";
    medium_.Write("setupres.ini", kLanguages);
    for (const char* folder : {"ENU", "DEU", "fra"}) medium_.MakeDir(folder);
  }
  void DatabaseChoice(bool offered) {
    medium_.Write("setup.inf", std::string("[Setup]\nProductName=%ProductName%\n") +
                                   (offered ? "[SAP]\nSQL=-db=mssql\nOracle=-db=oracle\n" : ""));
  }

  TempMedium medium_;
  FakeSystem system_;
  setupdata::LanguageTable languages_;
  FrontEndContext context_{medium_.dir(), languages_, system_};
};

// An answer names an installable language by its folder, its display name
// or its place in the list the home page shows (the languages without a
// folder left out); the result is the window's, the folder as the medium
// spells it. An answer that names none ends with 3 and one line naming the
// installable ones; a missing parent ends the run without a result and
// with the dialog's one line, as it ends the window.
TEST_F(UnattendedTest, AnswersTheDialogAsTheUserWould) {
  const struct {
    bool database_choice, parent;
    const char *language, *database;
    int status;
    const char *result, *error;
  } kCases[] = {
      {false, true, "deu", nullptr, 0, "DEU", ""},
      {false, true, "DEUTSCH", "Oracle", 0, "DEU", ""},
      {false, true, "3", nullptr, 0, "fra", ""},
      {false, true, "fra", nullptr, 0, "fra", ""},
      {false, true, "4", nullptr, 3, nullptr,
       "\"4\" is no installable language of this medium; installable: ENU (English), DEU (Deutsch), FRA "
       "(Fran\xC3\xA7"
       "ais\\x09FR)\n"},
      {false, true, "XXX", nullptr, 3, nullptr, "installable: ENU"},
      {false, true, "Missing", nullptr, 3, nullptr, "installable: ENU"},
      {false, false, "DEU", nullptr, 0, nullptr, "no parent holds the lock"},
      {true, true, "2", "Oracle", 0, "DEUO-db=oracle", ""},
      {true, true, "English", nullptr, 0, "ENUS-db=mssql", ""},
      {true, false, "English", nullptr, 0, nullptr, "no parent holds the lock"},
  };
  for (const auto& c : kCases) {
    DatabaseChoice(c.database_choice);
    system_.parent_present = c.parent;
    system_.results.clear();
    system_.errors.clear();
    LaunchOptions options;
    options.language = c.language;
    if (c.database) options.database = c.database;
    const int status = RunUnattended(context_, options);
    // Standard error as the launcher's system writes the lines said.
    std::string error;
    for (const std::string& line : system_.errors) error += PrintableText(line) + "\n";
    EXPECT_EQ(status, c.status) << c.language;
    if (c.result) {
      EXPECT_THAT(system_.results, ElementsAre(c.result)) << c.language;
    } else {
      EXPECT_THAT(system_.results, IsEmpty()) << c.language;
    }
    if (*c.error == '\0') {
      EXPECT_EQ(error, "") << c.language;
    } else {
      EXPECT_THAT(error, HasSubstr(c.error)) << c.language;
      EXPECT_EQ(error.find('\n'), error.size() - 1) << error;
    }
  }
}

// The list is the home page's: installable languages in slot order, with or
// without a database choice, and without taking a lock. A medium the dialog
// refuses lists nothing and ends with 1, the dialog saying why.
TEST_F(UnattendedTest, ListsTheInstallableLanguagesWithoutGuards) {
  constexpr char kListed[] =
      "ENU\tEnglish\nDEU\tDeutsch\nFRA\tFran\xC3\xA7"
      "ais\\x09FR\n";
  const struct {
    const char* setup_inf;  // nullptr: the medium's, with or without a database choice
    bool database_choice;
    int status;
    const char *result, *error;
  } kCases[] = {
      {nullptr, false, 0, kListed, nullptr},
      {nullptr, true, 0, kListed, nullptr},
      {"[Setup]\n", false, 1, nullptr, "no product name"},
  };
  for (const auto& c : kCases) {
    DatabaseChoice(c.database_choice);
    if (c.setup_inf) medium_.Write("setup.inf", c.setup_inf);
    system_.parent_present = false;
    system_.results.clear();
    system_.errors.clear();
    EXPECT_EQ(ListLanguages(context_), c.status) << c.status;
    if (c.result) {
      EXPECT_THAT(system_.results, ElementsAre(c.result));
      EXPECT_THAT(system_.errors, IsEmpty());
    } else {
      EXPECT_THAT(system_.results, IsEmpty());
      EXPECT_THAT(system_.errors, ElementsAre(HasSubstr(c.error)));
    }
    EXPECT_THAT(system_.locks, IsEmpty());
  }
}

// What a terminal shows of a text: escapes for what it cannot print, and
// lines wrapped at spaces within the width, counted in columns.
TEST(TerminalText, EscapesAndWrapsByColumns) {
  const struct {
    const char *text, *prefix;
    int width;
    const char* shown;
  } kCases[] = {
      {"a\tb\x1b[31m\xff\xc2\x85\xe2\x80\x8e ok", "", 80, "a\\x09b\\x1B[31m\\xFF\\u{0085}\\u{200E} ok\n"},
      {"aa bb  cc", "", 5, "aa bb\ncc\n"},
      {"one two three", "  1  ", 10, "  1  one\n     two\n     three\n"},
      {"SQL-Server-Datenbank", "", 15, "SQL-Server-\nDatenbank\n"},
      {"\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x83\x86\xe3\x82\xad", "", 5,
       "\xe6\x97\xa5\xe6\x9c\xac\n\xe8\xaa\x9e\xe3\x83\x86\n\xe3\x82\xad\n"},
      {"e\xcc\x81\xcc\x81te e\xcc\x81te", "", 4, "e\xcc\x81\xcc\x81te\ne\xcc\x81te\n"},
      {"xy", "  1  ", 3, "  1  x\n     y\n"},
      {"", "  q  ", 80, "  q  \n"},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(WrapText(PrintableText(c.text), c.width, c.prefix), c.shown) << c.text;
}

}  // namespace
}  // namespace app
