#include "app/front_ends.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app/terminal_text.h"
#include "setupdata/text.h"
#include "support/fakes.h"
#include "support/temp_medium.h"

namespace app {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing_support::FakeSystem;
using testing_support::TempMedium;

// The command line and the environment: each variable answers as its
// option would, an option wins over its own variable, an option said twice
// is a mistake, and --text and --list take no answers from the environment.
// The database stays as given (empty: the page's choice) until the medium
// is known to offer one.
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
      {{"--language", "Deutsch", "--database", "oracle"},
       nullptr,
       nullptr,
       false,
       false,
       "Deutsch",
       "oracle",
       ""},
      {{"--database=sql", "--language=2"}, nullptr, nullptr, false, false, "2", "sql", ""},
      {{"--language=2", "--database"}, nullptr, nullptr, false, false, "2", "", ""},
      {{}, "FRA", "DB2", false, false, "FRA", "DB2", ""},
      {{"--language=DEU"}, "FRA", "Oracle", false, false, "DEU", "Oracle", ""},
      {{"--database=Oracle"}, "FRA", nullptr, false, false, "FRA", "Oracle", ""},
      {{"--text"}, "FRA", "Oracle", true, false, nullptr, nullptr, ""},
      {{"--list"}, "FRA", nullptr, false, true, nullptr, nullptr, ""},
      {{}, nullptr, "Oracle", false, false, nullptr, nullptr, "needs a language"},
      {{"--database=Oracle"}, nullptr, nullptr, false, false, nullptr, nullptr, "needs a language"},
      {{"--language=DEU", "--language=FRA"},
       nullptr,
       nullptr,
       false,
       false,
       nullptr,
       nullptr,
       "--language is given twice"},
      {{"--text", "--text"}, nullptr, nullptr, true, false, nullptr, nullptr, "--text is given twice"},
      {{"--language", "--text"}, nullptr, nullptr, true, false, nullptr, nullptr, "--language needs a value"},
      {{"--language="}, nullptr, nullptr, false, false, nullptr, nullptr, "--language needs a value"},
      {{"--list", "--language=1"}, nullptr, nullptr, false, true, nullptr, nullptr, "--list takes no other"},
      {{"--text", "--language=1"}, nullptr, nullptr, true, false, nullptr, nullptr, "--text answers nothing"},
      {{"--bogus\x1b"}, nullptr, nullptr, false, false, nullptr, nullptr, "unknown option \"--bogus\\x1B\""},
      {{"DEU"}, nullptr, nullptr, false, false, nullptr, nullptr, "unexpected argument \"DEU\""},
  };
  for (const auto& c : kCases) {
    std::vector<const char*> argv{"setup-launcher"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const testing_support::ScopedEnv language("SETUP_LAUNCHER_LANGUAGE", c.env_language);
    const testing_support::ScopedEnv database("SETUP_LAUNCHER_DATABASE", c.env_database);
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
}

constexpr char kLanguages[] =
    "[LANGUAGE]\nLANGUAGENUMBER=4\n"
    "[1033]\n32001=English\n9011=%s Setup\nProductName=Aurora Ledger 7\n"
    "LANGUAGE0=English,ENU\nLANGUAGE1=Deutsch,DEU\nLANGUAGE2=Missing,XXX\nLANGUAGE3=Fran\xC3\xA7"
    "ais  FR,FRA\n";

class UnattendedTest : public ::testing::Test {
 protected:
  UnattendedTest() {
    system_.module_file = medium_.dir() + "setup-launcher";
    medium_.Write("setupres.ini", kLanguages);
    for (const char* folder : {"ENU", "DEU", "fra"}) medium_.MakeDir(folder);
    std::filesystem::copy_file(SAMPLE_PAGE_LIBRARY, medium_.dir() + "SetupHmRes.dll");
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

// An answer names a language link of the medium's home page (the sample
// page, whose slots show the installable languages) by its folder, its
// label or its place; the result is the window's, the folder as the medium
// spells it. An answer that names none ends with 3 and one line naming the
// installable ones; a database that is neither ends with 2 where the
// medium offers the choice, and is ignored with a line where it does not;
// a missing parent ends the run without a result and with the dialog's one
// line, as it ends the window.
TEST_F(UnattendedTest, AnswersTheDialogAsTheUserWould) {
  const struct {
    bool database_choice, parent;
    const char *language, *database;
    int status;
    const char *result, *error;
  } kCases[] = {
      {false, true, "deu", nullptr, 0, "DEU", ""},
      {false, true, "DEUTSCH", "DB2", 0, "DEU", "offers no database choice: the database answer is ignored"},
      {false, true, "3", nullptr, 0, "fra", ""},
      {false, true, "FRA", nullptr, 0, "fra", ""},
      {false, true, "4", nullptr, 3, nullptr,
       "\"4\" is no installable language of this medium; installable: ENU (English), DEU (Deutsch), fra "
       "(Fran\xC3\xA7"
       "ais FR)\n"},
      {false, true, "Missing", nullptr, 3, nullptr, "installable: ENU"},
      {false, false, "DEU", nullptr, 0, nullptr, "no parent holds the lock"},
      {true, true, "2", "oracle", 0, "DEUO-db=oracle", ""},
      {true, true, "2", "DB2", 2, nullptr, "the database is SQL or Oracle, not \"DB2\""},
      {true, true, "English", "", 0, "ENUS-db=mssql", ""},
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
    for (const std::string& line : system_.errors) error += setupdata::PrintableText(line) + "\n";
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

// The list is the home page's: its language links that hand over a folder,
// in the page's order, with or without a database choice, and without
// taking a lock. No page library lists nothing and ends with 1, saying why. A medium the dialog
// refuses lists nothing and ends with 1, the dialog saying why.
TEST_F(UnattendedTest, ListsTheInstallableLanguagesWithoutGuards) {
  constexpr char kListed[] =
      "ENU\tEnglish\nDEU\tDeutsch\nfra\tFran\xC3\xA7"
      "ais FR\n";
  const struct {
    const char* setup_inf;  // nullptr: the medium's, with or without a database choice
    bool database_choice;
    int status;
    const char *result, *error;
  } kCases[] = {
      {nullptr, false, 0, kListed, nullptr},
      {nullptr, true, 0, kListed, nullptr},
      {"[Setup]\n", false, 1, nullptr, "no product name"},
      {nullptr, false, 1, nullptr, "cannot load res://SetupHmRes.dll/HTML_HOMEPAGE: The page library"},
  };
  for (const auto& c : kCases) {
    DatabaseChoice(c.database_choice);
    if (c.setup_inf) medium_.Write("setup.inf", c.setup_inf);
    if (c.status == 1 && !c.setup_inf) medium_.Remove("SetupHmRes.dll");
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

// The one order of an answer: the exact folder, the exact label, either
// without regard to case (in any script), then a position; the first step
// that matches decides, and a step that matches several is ambiguous.
TEST(MatchLanguageAnswer, KeepsOneOrderAndNeverPicksAmongSeveral) {
  using Folders = std::vector<std::optional<std::string>>;
  const struct {
    const char* answer;
    std::vector<std::string> labels;
    Folders folders;
    std::vector<std::size_t> matched;
  } kCases[] = {
      {"enu", {"English (US)", "English (other)"}, Folders{"ENU", "enu"}, {1}},
      {"ENU", {"English (US)", "English (other)"}, Folders{"ENU", "enu"}, {0}},
      {"Enu", {"English (US)", "English (other)"}, Folders{"ENU", "enu"}, {0, 1}},
      {"2", {"English", "Deutsch", "Zwei"}, Folders{"ENU", "DEU", "2"}, {2}},
      {"1", {"1", "English"}, Folders{"ONE", "ENU"}, {0}},
      {"2", {"1", "English"}, Folders{"ONE", "ENU"}, {1}},
      {"Deutsch", {"Deutsch", "Deutsch"}, Folders{"DEU", "DE2"}, {0, 1}},
      {"deutsch", {"Deutsch", "English"}, Folders{std::nullopt, "ENU"}, {0}},
      {"FRANÇAIS", {"Français"}, Folders{"FRA"}, {0}},
      {"\xC3", {"Français"}, Folders{"FRA"}, {}},
      {"3", {"English", "Deutsch"}, Folders{"ENU", "DEU"}, {}},
      {"+1", {"English"}, Folders{"ENU"}, {}},
      {"", {"English"}, Folders{"ENU"}, {}},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(MatchLanguageAnswer(c.answer, c.labels, c.folders).indices, c.matched) << c.answer;
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
    EXPECT_EQ(WrapText(setupdata::PrintableText(c.text), c.width, c.prefix), c.shown) << c.text;
}

}  // namespace
}  // namespace app
