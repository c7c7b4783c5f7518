#include "app/launcher_dlg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "medium/checksums.h"
#include "medium/sha256.h"
#include "support/fakes.h"
#include "support/temp_medium.h"
#include "tools/medium_check.h"

namespace app {
namespace {

using ::testing::ElementsAre;
using testing_support::FakeBrowser;
using testing_support::FakeSystem;
using testing_support::FakeWindow;
using testing_support::TempMedium;

constexpr char kHome[] = "res://SetupHmRes.dll/HTML_HOMEPAGE";
constexpr char kDatabase[] = "res://SetupHmRes.dll/HTML_SAP";

class LauncherDlgTest : public ::testing::Test {
 protected:
  LauncherDlgTest() { system_.module_file = medium_.dir() + "setup-launcher"; }

  void WriteMedium(const std::string& setup_inf, const std::string& setupres) {
    medium_.Write("setup.inf", setup_inf);
    medium_.Write("setupres.ini", setupres);
  }

  TempMedium medium_;
  FakeWindow window_;
  FakeBrowser browser_;
  FakeSystem system_;
  setupdata::LanguageTable languages_;
  CLauncherDlg dialog_{window_, browser_, system_, languages_};
};

constexpr char kPlainInf[] = "[Setup]\nProductName=%ProductName%\n";
constexpr char kDatabaseInf[] =
    "[Setup]\nProductName=%ProductName%\n[SAP]\nSQL=-db=mssql\nOracle=-db=oracle\n";
constexpr char kTwoLanguages[] =
    "[LANGUAGE]\nLANGUAGENUMBER=2\n"
    "[1033]\n32001=English\n9011=%s Setup\nProductName=Aurora Ledger 7\n"
    "[1031]\n32001=Deutsch\n9011=%s – Installation\nProductName=Aurora Ledger 7\n";

TEST_F(LauncherDlgTest, StartUpRunsInItsOrder) {
  WriteMedium(kPlainInf, kTwoLanguages);
  dialog_.OnInitDialog();
  EXPECT_EQ(window_.big_icon, "130");
  EXPECT_EQ(window_.small_icon, "130");
  EXPECT_THAT(window_.calls, ElementsAre("caption Aurora Ledger 7 Setup"));
  // The view is sized before the first navigation: it fills the client area
  // but for a strip two pixels high along the bottom.
  EXPECT_EQ(browser_.place, (FakeBrowser::Place{0, 0, 474, 416}));
  EXPECT_THAT(browser_.calls, ElementsAre("sized", std::string("navigate ") + kHome));
  EXPECT_EQ(dialog_.ModuleDir(), medium_.dir());
  EXPECT_EQ(dialog_.LangId(), "1033");
  EXPECT_EQ(dialog_.LanguageCount(), 2);
  EXPECT_TRUE(dialog_.IsHomePage());
  EXPECT_FALSE(dialog_.IsSapMode());
  EXPECT_FALSE(window_.ended.has_value());
}

// The system language picks the section of the caption, and the section
// the pages' language and the window's direction; a language not on the
// medium falls back to 1033, left to right on an Arabic desktop too.
TEST_F(LauncherDlgTest, TheSystemLanguagePicksTheSectionOfTheCaption) {
  WriteMedium(kPlainInf,
              std::string(kTwoLanguages) + "[1037]\n32001=עברית\n9011=%s התקנה\nProductName=Aurora\n");
  const struct {
    std::uint16_t system;
    const char *section, *caption, *tag;
    bool right_to_left;
  } kCases[] = {{1031, "1031", "Aurora Ledger 7 – Installation", "de-DE", false},
                {1041, "1033", "Aurora Ledger 7 Setup", "en-US", false},
                {1025, "1033", "Aurora Ledger 7 Setup", "en-US", false},
                {1037, "1037", "Aurora התקנה", "he-IL", true}};
  for (const auto& c : kCases) {
    system_.lang_id = c.system;
    setupdata::LanguageTable languages;
    CLauncherDlg dialog{window_, browser_, system_, languages};
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.LangId(), c.section);
    EXPECT_EQ(window_.caption, c.caption);
    EXPECT_EQ(window_.right_to_left, c.right_to_left) << c.section;
    ASSERT_TRUE(browser_.language);
    EXPECT_EQ(browser_.language->tag, c.tag);
    EXPECT_EQ(browser_.language->right_to_left, c.right_to_left);
  }
}

// A medium saved by Windows tools: each language section in its language's
// codepage, setup.inf read in that of the section in use. The product's lock
// is named by the decoded name, as `setup-medium lock` names it.
TEST_F(LauncherDlgTest, TextsSavedInACodepageAreReadInTheirLanguagesCodepage) {
  using testing_support::InCodepage;
  WriteMedium("[Setup]\r\nProductName=%Produit%\r\n[SAP]\r\nSQL=-db=mssql\r\nOracle=-tag=\xB1\r\n",
              InCodepage("[1036]\r\n32001=Français\r\n9011=%s – Installation\r\n"
                         "Produit=Société Générale\r\n",
                         "CP1252") +
                  InCodepage("[1041]\r\n32001=日本語\r\n9011=%s セットアップ\r\nProduit=会計ソフト表示\r\n",
                             "CP932"));
  const struct {
    std::uint16_t system;
    const char *product, *caption, *oracle_option;
  } kCases[] = {
      {1036, "Société Générale", "Société Générale – Installation", "-tag=±"},
      {1041, "会計ソフト表示", "会計ソフト表示 セットアップ", "-tag=ｱ"},
  };
  for (const auto& c : kCases) {
    FakeWindow window;
    FakeBrowser browser;
    FakeSystem system;
    system.module_file = system_.module_file;
    system.lang_id = c.system;
    setupdata::LanguageTable languages;
    CLauncherDlg dialog(window, browser, system, languages);
    dialog.OnInitDialog();
    EXPECT_THAT(system.locks, ElementsAre("PreventSecondInstance", c.product));
    EXPECT_EQ(window.caption, c.caption);
    browser.body = "IDSELECTSQL GIF/GIF_NOSELECTED IDSELECTORACLE GIF/GIF_SELECTED";
    dialog.OnDocumentComplete(kDatabase);
    bool cancel = false;
    dialog.OnBeforeNavigate2(kHome, cancel);
    EXPECT_EQ(dialog.SapOption(), c.oracle_option);
  }
}

TEST_F(LauncherDlgTest, BothDatabaseOptionsOpenTheDatabasePageFirst) {
  WriteMedium(kDatabaseInf, kTwoLanguages);
  dialog_.OnInitDialog();
  EXPECT_TRUE(dialog_.IsSapMode());
  EXPECT_EQ(browser_.calls.back(), std::string("navigate ") + kDatabase);
  // The page flags still say "home page" until a page has completed.
  EXPECT_TRUE(dialog_.IsHomePage());
  EXPECT_FALSE(dialog_.IsSapPage());
}

TEST_F(LauncherDlgTest, WithoutItsOwnFolderTheDialogEndsAndReadsNothing) {
  // A medium in the working folder, complete with its parent's lock: it
  // must not stand in for the launcher's own folder.
  WriteMedium(kPlainInf, kTwoLanguages);
  char* cwd = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(medium_.dir().c_str()), 0);
  system_.module_file = "";
  dialog_.OnInitDialog();
  EXPECT_EQ(chdir(cwd), 0);
  free(cwd);
  EXPECT_EQ(window_.ended, IDCANCEL);
  EXPECT_TRUE(system_.locks.empty());
  EXPECT_TRUE(browser_.calls.empty());
  EXPECT_FALSE(window_.caption.has_value());
}

TEST_F(LauncherDlgTest, AnEmptyMediumStillStartsOnTheHomePage) {
  dialog_.OnInitDialog();
  EXPECT_EQ(dialog_.LangId(), "1033");
  EXPECT_EQ(dialog_.LanguageCount(), 1);
  EXPECT_EQ(window_.caption, "");  // the caption text is "NULL": no "%s"
  EXPECT_EQ(browser_.calls.back(), std::string("navigate ") + kHome);
}

// The caption text takes the product name; a text without "%s" gives an
// empty caption, and a "%s" left over (from the product name or the text
// itself) cuts it. File texts are no formats.
TEST(WindowCaption, TheCaptionTextTakesTheProductName) {
  const std::string long_name(10000, 'x');
  const struct {
    std::string text, product, caption;
  } kCases[] = {{"%s Setup", "Ledger", "Ledger Setup"},
                {"Setup of %s", "", "Setup of "},
                {"Setup", "Ledger", ""},
                {"NULL", "Ledger", ""},
                {"", "Ledger", ""},
                {"%s Setup", "Ledger for %s", "Ledger for "},
                {"%s Setup %s more", "Ledger", "Ledger Setup "},
                {"%n%s %d %x %%", "Ledger %n", "%nLedger %n %d %x %"},
                {"%s", long_name, long_name}};
  for (const auto& c : kCases) {
    EXPECT_EQ(medium::WindowCaption(c.text, c.product), c.caption) << c.text << " / " << c.product;
  }
}

TEST_F(LauncherDlgTest, DocumentCompleteRecordsThePageAndSizesTheView) {
  WriteMedium(kDatabaseInf, kTwoLanguages);
  dialog_.OnInitDialog();
  browser_.calls.clear();

  dialog_.OnDocumentComplete(kDatabase);
  EXPECT_TRUE(dialog_.IsSapPage());
  EXPECT_FALSE(dialog_.IsHomePage());
  EXPECT_EQ(browser_.calls.back(), "sized");

  dialog_.OnDocumentComplete(std::string(kHome) + "#top");
  EXPECT_TRUE(dialog_.IsHomePage());
  EXPECT_FALSE(dialog_.IsSapPage());

  browser_.calls.clear();
  dialog_.OnDocumentComplete("res://SetupHmRes.dll/OTHER");
  EXPECT_FALSE(dialog_.IsHomePage());
  EXPECT_FALSE(dialog_.IsSapPage());
  EXPECT_THAT(browser_.calls, ElementsAre("sized"));

  // The addresses are matched with their case.
  dialog_.OnDocumentComplete("res://setuphmres.dll/html_homepage");
  EXPECT_FALSE(dialog_.IsHomePage());
}

constexpr char kThreeLanguages[] =
    "[LANGUAGE]\nLANGUAGENUMBER=3\n"
    "[1033]\n32001=English\n9011=%s Setup\nProductName=Ledger for %s\nEXIT=Exit\n"
    "SELECTPRODUCT=Pick a database\n"
    "LANGUAGE0=English,ENU\nLANGUAGE1=Deutsch,DEU\nLANGUAGE2=Français,FRA\n";

TEST_F(LauncherDlgTest, TheHomePageIsFilledAndWrittenBack) {
  WriteMedium(kPlainInf, kThreeLanguages);
  medium_.MakeDir("ENU");
  medium_.MakeDir("DEU");
  medium_.MakeDir("FRA");
  dialog_.OnInitDialog();
  browser_.calls.clear();
  browser_.body = "<body>[IDLANGUAGE0][IDLANGUAGE1][IDLANGUAGE2][IDLANGUAGE3] IDPRODUCTNAME IDEXIT</body>";
  dialog_.OnDocumentComplete(kHome);
  ASSERT_EQ(browser_.written.size(), 1u);
  EXPECT_EQ(browser_.written[0], "<body>[English][Deutsch][Français][] Ledger for %s Exit</body>");
  // Read, write, then the view is sized again.
  EXPECT_THAT(browser_.calls, ElementsAre("read body", "write body", "sized"));
}

TEST_F(LauncherDlgTest, TheDatabasePageIsFilledWithItsOwnTexts) {
  WriteMedium(kDatabaseInf, kThreeLanguages);
  dialog_.OnInitDialog();
  browser_.body = "<body>IDSELECTPRODUCT IDNEXT IDEXIT IDPRODUCTNAME</body>";
  dialog_.OnDocumentComplete(kDatabase);
  ASSERT_EQ(browser_.written.size(), 1u);
  EXPECT_EQ(browser_.written[0], "<body>Pick a database NULL Exit IDPRODUCTNAME</body>");
  EXPECT_FALSE(languages_.built());
}

TEST_F(LauncherDlgTest, APageIsWrittenBackEvenWhenNothingChanged) {
  WriteMedium(kPlainInf, kThreeLanguages);
  dialog_.OnInitDialog();
  browser_.body = "<body>nothing to fill</body>";
  dialog_.OnDocumentComplete(kHome);
  EXPECT_EQ(browser_.written, std::vector<std::string>{"<body>nothing to fill</body>"});
}

TEST_F(LauncherDlgTest, APageWithoutBodyIsLeftAsItIs) {
  WriteMedium(kPlainInf, kThreeLanguages);
  dialog_.OnInitDialog();
  browser_.calls.clear();
  browser_.body.reset();
  dialog_.OnDocumentComplete(kHome);
  EXPECT_TRUE(browser_.written.empty());
  EXPECT_TRUE(dialog_.IsHomePage());
  EXPECT_THAT(browser_.calls, ElementsAre("read body", "sized"));
}

TEST_F(LauncherDlgTest, AnotherDocumentIsNotFilled) {
  WriteMedium(kPlainInf, kThreeLanguages);
  dialog_.OnInitDialog();
  browser_.calls.clear();
  browser_.body = "<body>IDEXIT</body>";
  dialog_.OnDocumentComplete("res://OtherLibrary.dll/PAGE");
  EXPECT_THAT(browser_.calls, ElementsAre("sized"));
}

// The guards and the result.

TEST_F(LauncherDlgTest, WithItsParentTheLauncherRuns) {
  WriteMedium(kPlainInf, kTwoLanguages);
  dialog_.OnInitDialog();
  EXPECT_THAT(system_.locks, ElementsAre("PreventSecondInstance", "Aurora Ledger 7"));
  EXPECT_FALSE(window_.ended.has_value());
}

TEST_F(LauncherDlgTest, WithoutItsParentItEndsAfterStartingUp) {
  WriteMedium(kPlainInf, kTwoLanguages);
  system_.parent_present = false;
  dialog_.OnInitDialog();
  EXPECT_EQ(window_.ended, IDCANCEL);
  // The start-up still ran to its end, and nothing was written.
  EXPECT_EQ(window_.caption, "Aurora Ledger 7 Setup");
  EXPECT_EQ(browser_.calls.back(), std::string("navigate ") + kHome);
  EXPECT_TRUE(system_.results.empty());
}

TEST_F(LauncherDlgTest, ASecondLauncherEndsAndSoDoesOneWhoseGuardCannotBeHeld) {
  WriteMedium(kPlainInf, kTwoLanguages);
  // The second launcher's guard is held already, or it cannot be held at
  // all (a dangling link in place of its file): either way another
  // launcher may be running.
  for (const bool held_by_another : {true, false}) {
    FakeWindow window;
    FakeBrowser browser;
    FakeSystem system;
    system.module_file = system_.module_file;
    (held_by_another ? system.held_by_others : system.unavailable_locks).insert("PreventSecondInstance");
    setupdata::LanguageTable languages;
    CLauncherDlg dialog(window, browser, system, languages);
    dialog.OnInitDialog();
    EXPECT_EQ(window.ended, IDCANCEL) << held_by_another;
    // Both guards are taken.
    EXPECT_THAT(system.locks, ElementsAre("PreventSecondInstance", "Aurora Ledger 7"));
    EXPECT_TRUE(system.results.empty());
  }
}

TEST_F(LauncherDlgTest, WithoutAProductNameThereIsNoParentToWaitFor) {
  WriteMedium("[Setup]\n", kTwoLanguages);
  dialog_.OnInitDialog();
  EXPECT_EQ(window_.ended, IDCANCEL);
  EXPECT_THAT(system_.locks, ElementsAre("PreventSecondInstance"));
}

TEST_F(LauncherDlgTest, AGuardThatEndsTheDialogSaysWhyInOneLine) {
  struct Case {
    const char* what;
    const char* setup_inf;
    bool parent_present;
    const char* lock_held;          // by another process
    const char* lock_unavailable;   // the system says why itself
    std::vector<std::string> said;  // parts of the one line said, none when nothing is
  };
  const Case cases[] = {
      {"all is well", kPlainInf, true, "", "", {}},
      {"a second launcher",
       kPlainInf,
       true,
       "PreventSecondInstance",
       "",
       {"another launcher is running", "/locks/PreventSecondInstance.lock", "whatever its product"}},
      {"a second launcher without its parent: the first reason only",
       kPlainInf,
       false,
       "PreventSecondInstance",
       "",
       {"another launcher is running"}},
      {"a guard that cannot be held", kPlainInf, false, "", "PreventSecondInstance", {}},
      {"no parent",
       kPlainInf,
       false,
       "",
       "",
       {"no parent holds", "\"Aurora Ledger 7\"", "/locks/Aurora Ledger 7.lock"}},
      {"no product name", "[Setup]\n", true, "", "", {"no product name", "ProductName", "setup.inf"}},
  };
  for (const Case& c : cases) {
    medium_.Write("setup.inf", c.setup_inf);
    medium_.Write("setupres.ini", kTwoLanguages);
    FakeWindow window;
    FakeBrowser browser;
    FakeSystem system;
    system.module_file = system_.module_file;
    system.parent_present = c.parent_present;
    if (*c.lock_held) system.held_by_others.insert(c.lock_held);
    if (*c.lock_unavailable) system.unavailable_locks.insert(c.lock_unavailable);
    setupdata::LanguageTable languages;
    CLauncherDlg dialog(window, browser, system, languages);
    dialog.OnInitDialog();
    EXPECT_EQ(window.ended.has_value(), !std::string_view(c.what).starts_with("all")) << c.what;
    if (c.said.empty()) {
      EXPECT_THAT(system.errors, ::testing::IsEmpty()) << c.what;
      continue;
    }
    ASSERT_EQ(system.errors.size(), 1u) << c.what;
    for (const std::string& part : c.said)
      EXPECT_THAT(system.errors[0], ::testing::HasSubstr(part)) << c.what;
  }
}

class StartedDialogTest : public LauncherDlgTest {
 protected:
  void Start(const std::string& inf, const std::string& res) {
    WriteMedium(inf, res);
    dialog_.OnInitDialog();
    window_.calls.clear();
    browser_.calls.clear();
  }
  bool Navigate(const std::string& url) {
    bool cancel = false;
    dialog_.OnBeforeNavigate2(url, cancel);
    return cancel;
  }
  void FillHome(const std::string& body) {
    browser_.body = body;
    dialog_.OnDocumentComplete(kHome);
    browser_.calls.clear();
  }
};

constexpr char kMediumTexts[] =
    "[LANGUAGE]\nLANGUAGENUMBER=3\n"
    "[1033]\n32001=English\n9011=%s Setup\nProductName=Aurora Ledger 7\n1=Setup\n"
    "9085=Quit setup?\n9081=No setup for this language.\n9082=Notes missing: \n"
    "LANGUAGE0=English,ENU\nLANGUAGE1=Deutsch,DEU\nLANGUAGE2=Français,FRA\n"
    "[1031]\n32001=Deutsch\n9082=Fehlt: \n";
constexpr char kSlots[] = "[IDLANGUAGE0][IDLANGUAGE1][IDLANGUAGE2]";

TEST_F(StartedDialogTest, ChoosingALanguageHandsItsDirectoryOver) {
  Start(kPlainInf, kMediumTexts);
  medium_.MakeDir("ENU");
  medium_.MakeDir("DEU");
  medium_.MakeDir("FRA");
  FillHome(kSlots);
  EXPECT_TRUE(Navigate("res://SetupHmRes.dll/IDRLANGUAGE1"));
  EXPECT_EQ(dialog_.SetupDir(), "DEU");
  EXPECT_TRUE(dialog_.IsLaunchReady());
  EXPECT_THAT(system_.results, ElementsAre("DEU"));
  EXPECT_EQ(window_.ended, IDOK);
}

// Deutsch's folder goes after the table was built with all three
// languages, which the next filling notices, or before, so that the table
// renumbers Français. On a page with slots the second slot shows Français,
// and its link hands over FRA, not DEU. A page that names its languages
// itself has no slots: its links mean the entry their address names,
// however the table numbers the installable ones.
struct LanguageLink {
  const char* body;
  const char* link;
  const char* result;  // nullptr: no setup, the message shows
  bool gone_before_table = false;
};

class LanguageLinkTest : public StartedDialogTest, public ::testing::WithParamInterface<LanguageLink> {};

TEST_P(LanguageLinkTest, MeansTheLanguageItsSlotShowsElseTheOneItsAddressNames) {
  const LanguageLink& c = GetParam();
  Start(kPlainInf, kMediumTexts);
  for (const char* dir : {"ENU", "DEU", "FRA"}) medium_.MakeDir(dir);
  if (c.gone_before_table) medium_.Remove("DEU");
  EXPECT_EQ(dialog_.GetLanguageDir("LANGUAGE1"), c.gone_before_table ? "FRA" : "DEU");
  medium_.Remove("DEU");
  FillHome(c.body);
  EXPECT_TRUE(Navigate(std::string("res://SetupHmRes.dll/") + c.link));
  if (c.result != nullptr) {
    EXPECT_THAT(system_.results, ElementsAre(c.result));
  } else {
    EXPECT_THAT(window_.calls, ElementsAre("error No setup for this language."));
    EXPECT_TRUE(system_.results.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, LanguageLinkTest,
    ::testing::Values(LanguageLink{kSlots, "IDRLANGUAGE1", "FRA"},
                      LanguageLink{"<a href=IDRLANGUAGE0>English</a><a href=IDRLANGUAGE2>Français</a>",
                                   "IDRLANGUAGE2", "FRA"},
                      LanguageLink{"<a href=IDRLANGUAGE1>Deutsch</a>", "IDRLANGUAGE1", nullptr},
                      LanguageLink{"<a href=IDRLANGUAGE0>English</a>", "IDRLANGUAGE0", "ENU"},
                      LanguageLink{kSlots, "IDRLANGUAGE1", "FRA", true},
                      LanguageLink{"<a href=IDRLANGUAGE1>Deutsch</a><a href=IDRLANGUAGE2>Français</a>",
                                   "IDRLANGUAGE1", nullptr, true},
                      LanguageLink{"<a href=IDRLANGUAGE1>Deutsch</a><a href=IDRLANGUAGE2>Français</a>",
                                   "IDRLANGUAGE2", "FRA", true}));

TEST_F(StartedDialogTest, NumbersAtOrAboveTheCountAreSwallowed) {
  Start(kPlainInf, kMediumTexts);
  medium_.MakeDir("ENU");
  FillHome(kSlots);
  EXPECT_TRUE(Navigate("res://SetupHmRes.dll/IDRLANGUAGE3"));
  EXPECT_TRUE(Navigate("res://SetupHmRes.dll/IDRLANGUAGE99999999999999999999999"));
  EXPECT_TRUE(window_.calls.empty());
  EXPECT_TRUE(system_.results.empty());
  EXPECT_FALSE(dialog_.IsLaunchReady());
}

TEST_F(StartedDialogTest, ASlotWithoutSetupShowsTheMessage) {
  Start(kPlainInf, kMediumTexts);
  medium_.MakeDir("ENU");
  FillHome(kSlots);
  for (const char* url : {"res://SetupHmRes.dll/IDRLANGUAGE2", "res://SetupHmRes.dll/IDRLANGUAGE",
                          "res://SetupHmRes.dll/IDRLANGUAGE0/"}) {
    window_.calls.clear();
    EXPECT_TRUE(Navigate(url));
    EXPECT_THAT(window_.calls, ElementsAre("error No setup for this language.")) << url;
  }
  EXPECT_FALSE(dialog_.IsLaunchReady());
  EXPECT_TRUE(system_.results.empty());
}

TEST_F(StartedDialogTest, AFolderThatWentAwayAfterTheFillingIsNoSetup) {
  Start(kPlainInf, kMediumTexts);
  medium_.MakeDir("ENU");
  medium_.MakeDir("DEU");
  FillHome(kSlots);
  medium_.Remove("DEU");
  EXPECT_TRUE(Navigate("res://SetupHmRes.dll/IDRLANGUAGE1"));
  EXPECT_THAT(window_.calls, ElementsAre("error No setup for this language."));
  EXPECT_TRUE(system_.results.empty());
  EXPECT_FALSE(dialog_.IsLaunchReady());
}

// A medium made on Windows may spell folders and files in another case than
// its setup files name them: each part of a path is found by its one match
// in another case, and the parent gets the folder as the medium spells it.
// Two folders that differ only in case stand for none.
TEST_F(StartedDialogTest, NamesInAnotherCaseAreHandedOverAsTheMediumSpellsThem) {
  Start("[Setup]\nProductName=%ProductName%\nReleaseNotes=ReadMe.HTML\n[SAP]\nSQL=s\nOracle=-db=oracle\n",
        kMediumTexts);
  for (const char* folder : {"enu", "Deu", "deu", "FRA"}) medium_.MakeDir(folder);
  medium_.Write("oracle/1033/readme.html", "notes");
  browser_.body = "IDSELECTSQL GIF/GIF_NOSELECTED IDSELECTORACLE GIF/GIF_SELECTED";
  dialog_.OnDocumentComplete(kDatabase);
  Navigate(kHome);
  FillHome(kSlots);
  EXPECT_EQ(browser_.written.back(), "[English][Français][]");
  EXPECT_TRUE(Navigate("res://SetupHmRes.dll/IDRRELNOTES"));
  EXPECT_THAT(system_.opened, ElementsAre(medium_.dir() + "oracle/1033/readme.html"));
  EXPECT_TRUE(Navigate("res://SetupHmRes.dll/IDRLANGUAGE0"));
  EXPECT_EQ(dialog_.SetupDir(), "enu");
  EXPECT_THAT(system_.results, ElementsAre("enuO-db=oracle"));
}

TEST_F(StartedDialogTest, InDatabaseModeTheResultCarriesTheChoice) {
  Start(kDatabaseInf, kMediumTexts);
  medium_.MakeDir("ENU");
  browser_.body = "IDSELECTSQL GIF/GIF_NOSELECTED IDSELECTORACLE GIF/GIF_SELECTED";
  dialog_.OnDocumentComplete(kDatabase);
  EXPECT_FALSE(Navigate("RES://SETUPHMRES.DLL/HTML_HOMEPAGE"));
  EXPECT_EQ(dialog_.Database(), "Oracle");
  EXPECT_EQ(dialog_.SapOption(), "-db=oracle");
  FillHome(kSlots);
  EXPECT_TRUE(Navigate("res://SetupHmRes.dll/IDRLANGUAGE0"));
  EXPECT_THAT(system_.results, ElementsAre("ENUO-db=oracle"));
}

// What the launcher hands over reads back as the choice it stands for, on
// the medium that made it: the folder as the medium spells it, and the
// database whose letter and option end it. A folder that itself ends like a
// database's tail is read as the folder the medium has.
TEST(HandoverTest, AChoiceReadsBackFromWhatIsHandedOver) {
  struct Row {
    const char* sap;  // the [SAP] section, empty for none
    std::vector<const char*> folders;
    const char* folder;
    const char* database;
    const char* want;  // the folder read back, or "-" for none
  };
  const Row rows[] = {
      {"SQL=-db=mssql\nOracle=-db=oracle\n", {"ENU"}, "ENU", "Oracle", "ENU"},
      {"SQL=-db=mssql\nOracle=-db=oracle\n", {"enu"}, "ENU", "SQL", "enu"},
      {"SQL=-a\nOracle=-b\n", {"ENU", "ENUS-a"}, "ENUS-a", "SQL", "ENUS-a"},
      {"SQL=-a\nOracle=-b\n", {"ENU", "ENUS-a"}, "ENU", "SQL", "ENU"},
      {"", {"DEU"}, "DEU", "", "DEU"},
      {"", {"DEU"}, "XYZ", "", "-"},
      {"", {"DEU"}, "", "", "-"},
  };
  for (const Row& row : rows) {
    TempMedium disc;
    disc.Write("setup.inf", std::string("[Setup]\nProductName=%ProductName%\n") +
                                (*row.sap != 0 ? std::string("[SAP]\n") + row.sap : ""));
    disc.Write("setupres.ini", "[1033]\n32001=English\nProductName=Ledger\n");
    for (const char* folder : row.folders) disc.MakeDir(folder);
    setupdata::LanguageTable table;
    const medium::Medium medium = medium::Medium::InDirectory(disc.dir(), "1033", table);
    const std::string given = medium::Handover(row.folder, row.database,
                                               *row.database != 0 ? medium.DatabaseOption(row.database) : "");
    const std::optional<medium::Choice> read = medium.ReadHandover(given);
    SCOPED_TRACE(given);
    if (std::string(row.want) == "-") {
      EXPECT_FALSE(read);
      continue;
    }
    ASSERT_TRUE(read);
    EXPECT_EQ(read->folder, row.want);
    EXPECT_EQ(read->database, row.database);
    EXPECT_EQ(read->option, *row.database != 0 ? medium.DatabaseOption(row.database) : "");
  }
}

TEST_F(StartedDialogTest, TheDatabaseIsReadOnlyWhenMovingOnToTheHomePage) {
  Start(kDatabaseInf, kMediumTexts);
  browser_.body = "IDSELECTSQL GIF/GIF_NOSELECTED IDSELECTORACLE GIF/GIF_SELECTED";
  dialog_.OnDocumentComplete(kDatabase);
  browser_.calls.clear();
  // An address that merely contains the home page's is no move.
  EXPECT_FALSE(Navigate("res://SetupHmRes.dll/HTML_HOMEPAGE#top"));
  // Command words are no commands on the database page.
  EXPECT_FALSE(Navigate("res://SetupHmRes.dll/IDRLANGUAGE0"));
  EXPECT_FALSE(Navigate("res://SetupHmRes.dll/IDRRELNOTES"));
  EXPECT_TRUE(browser_.calls.empty());
  EXPECT_EQ(dialog_.Database(), "SQL");
  EXPECT_EQ(dialog_.SapOption(), "");
}

TEST_F(StartedDialogTest, TheExitWordAsksAfterTheHandlerOnEitherPage) {
  Start(kDatabaseInf, kMediumTexts);
  EXPECT_TRUE(Navigate("res://SetupHmRes.dll/idrexit"));
  EXPECT_THAT(window_.calls, ElementsAre("post close"));
  dialog_.OnDocumentComplete(kDatabase);
  window_.calls.clear();
  EXPECT_TRUE(Navigate("res://SetupHmRes.dll/IDREXIT"));
  EXPECT_THAT(window_.calls, ElementsAre("post close"));
}

TEST_F(StartedDialogTest, ClosingAsksAndAYesHandsOverNothing) {
  Start(kPlainInf, kMediumTexts);
  window_.answer = IDNO;
  dialog_.OnClose();
  EXPECT_THAT(window_.calls, ElementsAre("ask Quit setup? | Setup"));
  EXPECT_TRUE(system_.results.empty());
  EXPECT_FALSE(window_.ended.has_value());

  window_.answer = IDYES;
  dialog_.OnClose();
  EXPECT_THAT(system_.results, ElementsAre(""));
  EXPECT_EQ(window_.ended, IDCANCEL);
}

TEST_F(StartedDialogTest, TheCloseQuestionShowsOnceAndAYesEndsEverything) {
  Start(kPlainInf, kMediumTexts);
  medium_.MakeDir("ENU");
  FillHome(kSlots);
  // A second close request while the question shows asks nothing more.
  window_.answer = IDYES;
  window_.while_box_shows = [&] { dialog_.OnClose(); };
  dialog_.OnClose();
  EXPECT_THAT(window_.calls, ElementsAre("ask Quit setup? | Setup", "end 2"));
  // What the page asked for meanwhile is dropped after the Yes: no
  // language is handed over, no page is read, the result stays written once.
  EXPECT_TRUE(Navigate("res://SetupHmRes.dll/IDRLANGUAGE0"));
  EXPECT_TRUE(Navigate("res://SetupHmRes.dll/HTML_SAP"));
  dialog_.OnDocumentComplete(kHome);
  dialog_.OnClose();
  EXPECT_THAT(system_.results, ElementsAre(""));
  EXPECT_THAT(window_.calls, ElementsAre("ask Quit setup? | Setup", "end 2"));
  EXPECT_TRUE(browser_.calls.empty());
}

TEST_F(StartedDialogTest, OkBeforeALanguageIsChosenDoesNothing) {
  Start(kPlainInf, kMediumTexts);
  dialog_.OnOK();
  EXPECT_TRUE(system_.results.empty());
  EXPECT_FALSE(window_.ended.has_value());
}

TEST_F(StartedDialogTest, WithoutStandardHandlesOrWithTheResultLostTheDialogStillEnds) {
  Start(kPlainInf, kMediumTexts);
  medium_.MakeDir("ENU");
  FillHome(kSlots);
  system_.stdio_open = false;
  Navigate("res://SetupHmRes.dll/IDRLANGUAGE0");
  EXPECT_TRUE(system_.results.empty());
  EXPECT_EQ(window_.ended, IDOK);
  // Without standard handles there is no one to tell: nothing is lost.
  EXPECT_FALSE(dialog_.ResultLost());

  // A write that fails is remembered, for the exit status, whichever way
  // the result goes.
  for (const bool by_closing : {false, true}) {
    FakeWindow window;
    FakeBrowser browser;
    FakeSystem system;
    system.module_file = system_.module_file;
    system.result_lost = true;
    window.answer = IDYES;
    setupdata::LanguageTable languages;
    CLauncherDlg dialog(window, browser, system, languages);
    dialog.OnInitDialog();
    browser.body = kSlots;
    dialog.OnDocumentComplete(kHome);
    if (by_closing) {
      dialog.OnClose();
    } else {
      bool cancel = false;
      dialog.OnBeforeNavigate2("res://SetupHmRes.dll/IDRLANGUAGE0", cancel);
    }
    EXPECT_TRUE(dialog.ResultLost()) << by_closing;
    EXPECT_EQ(window.ended, by_closing ? IDCANCEL : IDOK);
  }
}

TEST_F(StartedDialogTest, ReleaseNotesOfTheLanguageOrOf1033) {
  system_.lang_id = 1031;
  Start("[Setup]\nProductName=%ProductName%\nReleaseNotes=null\n", kMediumTexts);
  FillHome("IDRELNOTES");
  // Neither folder has the file: the message names the 1033 place, right
  // behind the text (whose trailing blank the reader trims).
  EXPECT_TRUE(Navigate("res://SetupHmRes.dll/IDRRELNOTES"));
  EXPECT_THAT(window_.calls, ElementsAre("error Fehlt:" + medium_.dir() + "1033/readme.html"));
  EXPECT_TRUE(system_.opened.empty());

  window_.calls.clear();
  medium_.Write("1033/readme.html", "notes");
  Navigate("res://SetupHmRes.dll/IDRRELNOTES");
  EXPECT_THAT(system_.opened, ElementsAre(medium_.dir() + "1033/readme.html"));
  EXPECT_THAT(window_.calls, ElementsAre("lower"));

  medium_.Write("1031/readme.html", "Hinweise");
  Navigate("res://SetupHmRes.dll/IDRRELNOTES");
  EXPECT_EQ(system_.opened.back(), medium_.dir() + "1031/readme.html");
}

TEST_F(StartedDialogTest, WithoutAProgramForHtmlTheNotesOpenInANewWindow) {
  Start("[Setup]\nProductName=%ProductName%\nReleaseNotes=readme.html\n", kMediumTexts);
  medium_.Write("1033/readme.html", "notes");
  system_.html_program = false;
  Navigate("res://SetupHmRes.dll/IDRRELNOTES");
  EXPECT_THAT(browser_.calls, ElementsAre("new window " + medium_.dir() + "1033/readme.html"));
  EXPECT_THAT(window_.calls, ElementsAre("lower"));
}

TEST_F(StartedDialogTest, InDatabaseModeTheNotesLieInTheDatabasesFolder) {
  // German notes only for the other database: the chosen one's 1033 notes.
  system_.lang_id = 1031;
  Start("[Setup]\nProductName=%ProductName%\nReleaseNotes=notes.html\n[SAP]\nSQL=s\nOracle=o\n",
        kMediumTexts);
  medium_.Write("SQL/1031/notes.html", "sql");
  medium_.Write("Oracle/1033/notes.html", "oracle");
  browser_.body = "IDSELECTSQL GIF/GIF_NOSELECTED IDSELECTORACLE GIF/GIF_SELECTED";
  dialog_.OnDocumentComplete(kDatabase);
  Navigate(kHome);
  FillHome("IDRELNOTES");
  Navigate("res://SetupHmRes.dll/IDRRELNOTES");
  EXPECT_THAT(system_.opened, ElementsAre(medium_.dir() + "Oracle/1033/notes.html"));
}

TEST_F(StartedDialogTest, TheFilterKeepsTheUserOnThePages) {
  Start(kPlainInf, kMediumTexts);
  using Kind = InputMessage::Kind;
  using Key = InputMessage::Key;
  EXPECT_TRUE(dialog_.PreTranslateMessage({Kind::kRightButtonDown, Key::kOther, false}));
  EXPECT_TRUE(dialog_.PreTranslateMessage({Kind::kRightButtonUp, Key::kOther, false}));
  EXPECT_TRUE(dialog_.PreTranslateMessage({Kind::kKeyDown, Key::kOther, false}));  // Escape, arrows
  EXPECT_FALSE(dialog_.PreTranslateMessage({Kind::kKeyDown, Key::kReturn, false}));
  EXPECT_FALSE(dialog_.PreTranslateMessage({Kind::kKeyDown, Key::kTab, false}));
  EXPECT_FALSE(dialog_.PreTranslateMessage({Kind::kKeyDown, Key::kOther, true}));  // Alt+F4
  EXPECT_FALSE(dialog_.PreTranslateMessage({Kind::kOther, Key::kOther, false}));
  // Off the two pages keys pass; right clicks never do.
  dialog_.OnDocumentComplete("res://SetupHmRes.dll/OTHER");
  EXPECT_FALSE(dialog_.PreTranslateMessage({Kind::kKeyDown, Key::kOther, false}));
  EXPECT_TRUE(dialog_.PreTranslateMessage({Kind::kRightButtonDown, Key::kOther, false}));
}

// setup-medium check and the release-notes link read the same places: the
// notes the link opens are never reported, the ones it falls back from are
// noted, and those its message names are an error.
TEST(ReleaseNotesPlaces, CheckReportsThemAsTheLinkFindsThem) {
  const std::string plain = "[Setup]\nProductName=%ProductName%\nReleaseNotes=NULL\n";
  const std::string database = plain + "[SAP]\nSQL=s\nOracle=o\n";
  struct Case {
    std::string inf;
    std::vector<std::string> files;
    std::string link;                   // what the link opens, or "!" and the place its message names
    std::vector<std::string> reported;  // what check says of the notes (of Oracle's, with a database choice)
  };
  const Case cases[] = {
      {plain, {"1031/readme.html", "1033/readme.html"}, "1031/readme.html", {}},
      {plain, {"1033/readme.html"}, "1033/readme.html", {"1031/readme.html: note"}},
      {plain, {}, "!1033/readme.html", {"1031/readme.html: note", "1033/readme.html: error"}},
      {database,
       {"Oracle/1031/readme.html", "SQL/1033/readme.html"},
       "Oracle/1031/readme.html",
       {"Oracle/1033/readme.html: error"}},
      {database, {"Oracle/1033/readme.html"}, "Oracle/1033/readme.html", {"Oracle/1031/readme.html: note"}},
  };
  for (const Case& c : cases) {
    TempMedium medium;
    medium.Write("setup.inf", c.inf);
    medium.Write("setupres.ini", kMediumTexts);
    for (const std::string& file : c.files) medium.Write(file, "notes");
    FakeWindow window;
    FakeBrowser browser;
    FakeSystem system;
    system.module_file = medium.dir() + "setup-launcher";
    system.lang_id = 1031;
    setupdata::LanguageTable languages;
    CLauncherDlg dialog(window, browser, system, languages);
    dialog.OnInitDialog();
    bool cancel = false;
    if (dialog.IsSapMode()) {
      browser.body = "IDSELECTSQL GIF/GIF_NOSELECTED IDSELECTORACLE GIF/GIF_SELECTED";
      dialog.OnDocumentComplete(kDatabase);
      dialog.OnBeforeNavigate2(kHome, cancel);
    }
    browser.body = "IDRELNOTES";
    dialog.OnDocumentComplete(kHome);
    window.calls.clear();
    dialog.OnBeforeNavigate2("res://SetupHmRes.dll/IDRRELNOTES", cancel);
    const auto below = [&](const std::string& text) {
      return text.substr(text.find(medium.dir()) + medium.dir().size());
    };
    const std::string link =
        system.opened.empty() ? "!" + below(window.calls.at(0)) : below(system.opened.at(0));
    EXPECT_EQ(link, c.link) << c.inf;

    std::vector<std::string> reported;
    for (const tools::Finding& f : tools::CheckMedium(medium.dir()).findings) {
      if (!f.file.ends_with("readme.html") || (dialog.IsSapMode() && !f.file.starts_with("Oracle/")))
        continue;
      reported.push_back(f.file + (f.severity == tools::Severity::kError     ? ": error"
                                   : f.severity == tools::Severity::kWarning ? ": warning"
                                                                             : ": note"));
    }
    EXPECT_EQ(reported, c.reported) << c.link;
  }
}

}  // namespace
}  // namespace app

namespace app {
namespace {

// A sealed medium: the chosen folder's listed files are checked before the
// choice is handed over, and only they; damage, a malformed list and
// Cancel hand nothing over and leave the page to the user.
TEST_F(StartedDialogTest, ASealedMediumHandsOverOnlyOnceTheChosenFolderMatches) {
  const std::string good = medium::DigestHex(medium::Sha256Of("setup"));
  const std::string list =
      good + "  DEU/setup.sh\n" + good + "  DEU/data/a.cab\n" + good + "  ENU/setup.sh\n";
  enum class End { kMatch, kDamaged, kCancel };
  struct Case {
    const char* what;
    std::optional<std::string> checksums;  // none: not sealed
    End end;
    std::vector<std::string> listed;  // the files the workers are to read
    std::vector<std::string> calls;   // of the window
    std::vector<std::string> results;
  } cases[] = {
      {"not sealed", std::nullopt, End::kMatch, {}, {"end 1"}, {"DEU"}},
      {"matches",
       list,
       End::kMatch,
       {"DEU/setup.sh", "DEU/data/a.cab"},
       {"progress Checking", "progress closed", "end 1"},
       {"DEU"}},
      {"damaged",
       list,
       End::kDamaged,
       {"DEU/setup.sh", "DEU/data/a.cab"},
       {"progress Checking", "progress closed", "error Damaged: DEU/data/a.cab."},
       {}},
      {"cancelled",
       list,
       End::kCancel,
       {"DEU/setup.sh", "DEU/data/a.cab"},
       {"progress Checking", "progress closed"},
       {}},
      // The author meant the medium to be checked: it fails closed.
      {"a malformed line",
       list + "zz  DEU/x\n",
       End::kMatch,
       {},
       {"progress Checking", "progress closed", "error Damaged: SHA256SUMS."},
       {}},
      {"nothing listed in the folder",
       good + "  ENU/setup.sh\n",
       End::kMatch,
       {},
       {"progress Checking", "progress closed", "end 1"},
       {"DEU"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempMedium medium;
    medium.Write("setup.inf", kPlainInf);
    std::string texts = kMediumTexts;
    texts.insert(texts.find("[1031]"), "9090=Checking\n9092=Damaged: %s.\n");
    medium.Write("setupres.ini", texts);
    medium.MakeDir("DEU");
    medium.MakeDir("ENU");
    if (c.checksums) medium.Write("SHA256SUMS", *c.checksums);
    FakeWindow window;
    FakeBrowser browser;
    FakeSystem system;
    system.module_file = medium.dir() + "setup-launcher";
    setupdata::LanguageTable languages;
    CLauncherDlg dialog(window, browser, system, languages);
    dialog.OnInitDialog();
    window.calls.clear();
    browser.body = kSlots;
    dialog.OnDocumentComplete(kHome);
    bool cancel = false;
    dialog.OnBeforeNavigate2("res://SetupHmRes.dll/IDRLANGUAGE1", cancel);
    FakeSystem::Check* check = system.checking;
    EXPECT_EQ(check != nullptr, c.checksums.has_value());
    if (check != nullptr) {
      EXPECT_THAT(system.check_roots, ElementsAre(medium.dir()));
      // What the workers read: the chosen folder's files alone.
      medium::VerifyResult result;
      std::vector<std::string> listed;
      for (const medium::FileToCheck& file : check->prepare(result.faults)) listed.push_back(file.path);
      EXPECT_EQ(listed, c.listed);
      // While it runs, the page asks for nothing.
      bool cancelled = false;
      dialog.OnBeforeNavigate2("res://SetupHmRes.dll/IDRLANGUAGE0", cancelled);
      EXPECT_TRUE(cancelled);
      check->on_progress({5, 10, "DEU/data/a.cab"});
      ASSERT_TRUE(window.progress);
      EXPECT_EQ(window.progress->fraction, 0.5);
      EXPECT_EQ(window.progress->file, "DEU/data/a.cab");
      const medium::VerificationOnLoop::OnDone done = check->on_done;
      if (c.end == End::kDamaged)
        result.faults.push_back({"DEU/data/a.cab", medium::FileFault::kMismatch, ""});
      if (c.end == End::kCancel) {
        window.on_cancel();
        EXPECT_EQ(system.checking, nullptr);
        done(result);  // an end that was on its way changes nothing
      } else {
        check->on_done(result);
      }
    }
    EXPECT_EQ(window.calls, c.calls);
    EXPECT_EQ(system.results, c.results);
    EXPECT_EQ(window.ended.has_value(), !c.results.empty());
    EXPECT_FALSE(dialog.IsChecking());
    if (c.results.empty()) {
      // The page is the user's again: another choice is checked afresh.
      dialog.OnBeforeNavigate2("res://SetupHmRes.dll/IDRLANGUAGE1", cancel);
      EXPECT_NE(system.checking, nullptr);
    }
  }
}

TEST(CheckTextTest, TheLanguageSectionElse1033ElseTheLaunchersOwnWords) {
  TempMedium disc;
  disc.Write("setup.inf", "[Setup]\nProductName=%P%\n");
  disc.Write("setupres.ini",
             "[1033]\n32001=English\n9092=Damaged: %s\n[1031]\n32001=Deutsch\n9092=Beschädigt: %s\n"
             "[1036]\n32001=Français\n9091=Reste %s\n");
  setupdata::LanguageTable languages;
  const struct {
    const char* section;
    int id;
    const char* text;
  } cases[] = {
      {"1031", medium::kMediumDamagedId, "Beschädigt: DEU/x"},
      {"1036", medium::kMediumDamagedId, "Damaged: DEU/x"},
      {"1036", medium::kTimeLeftId, "Reste 1:05:00"},
      {"1031", medium::kTimeLeftId, "About 1:05:00 left"},
  };
  for (const auto& c : cases) {
    const medium::Medium medium = medium::Medium::InDirectory(disc.dir(), c.section, languages);
    EXPECT_EQ(c.id == medium::kMediumDamagedId ? medium.DamagedMessage("DEU/x")
                                               : medium.TimeLeft(std::chrono::minutes(65)),
              c.text)
        << c.section;
  }
  // The time left shows once a second has passed and something was read.
  const medium::Medium medium = medium::Medium::InDirectory(disc.dir(), "1033", languages);
  EXPECT_EQ(CLauncherDlg::ProgressOf(medium, {0, 100, "a"}, std::chrono::seconds(5)).time_left, "");
  EXPECT_EQ(CLauncherDlg::ProgressOf(medium, {25, 100, "a"}, std::chrono::milliseconds(900)).time_left, "");
  EXPECT_EQ(CLauncherDlg::ProgressOf(medium, {25, 100, "a"}, std::chrono::seconds(2)).time_left,
            "About 0:06 left");
}

}  // namespace
}  // namespace app
