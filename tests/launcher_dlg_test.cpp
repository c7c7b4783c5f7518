#include "app/launcher_dlg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/temp_medium.h"

namespace app {
namespace {

using ::testing::ElementsAre;
using ::testing::IsSupersetOf;
using testing_support::FakeBrowser;
using testing_support::FakeSystem;
using testing_support::FakeWindow;
using testing_support::TempMedium;

constexpr char kHome[] = "res://SetupHmRes.dll/HTML_HOMEPAGE";
constexpr char kDatabase[] = "res://SetupHmRes.dll/HTML_SAP";

class LauncherDlgTest : public ::testing::Test {
 protected:
  LauncherDlgTest() {
    system_.module_file = medium_.dir() + "setup-launcher";
    setupdata::LanguageTable::Instance().ResetForTesting();
  }

  void WriteMedium(const std::string& setup_inf, const std::string& setupres) {
    medium_.Write("setup.inf", setup_inf);
    medium_.Write("setupres.ini", setupres);
  }

  TempMedium medium_;
  FakeWindow window_;
  FakeBrowser browser_;
  FakeSystem system_;
  CLauncherDlg dialog_{window_, browser_, system_};
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
  EXPECT_TRUE(dialog_.OnInitDialog());
  EXPECT_THAT(window_.calls, ElementsAre("big icon 130", "small icon 130", "caption Aurora Ledger 7 Setup"));
  // The view is sized before the first navigation: it fills the client area
  // but for a strip two pixels high along the bottom.
  EXPECT_THAT(browser_.calls,
              ElementsAre("top 0", "left 0", "width 474", "height 416", std::string("navigate ") + kHome));
  EXPECT_EQ(dialog_.ModuleDir(), medium_.dir());
  EXPECT_EQ(dialog_.LangId(), "1033");
  EXPECT_EQ(dialog_.LanguageCount(), 2);
  EXPECT_TRUE(dialog_.IsHomePage());
  EXPECT_FALSE(dialog_.IsSapMode());
  EXPECT_FALSE(window_.ended.has_value());
}

TEST_F(LauncherDlgTest, TheSystemLanguagePicksTheSectionOfTheCaption) {
  WriteMedium(kPlainInf, kTwoLanguages);
  system_.lang_id = 1031;
  dialog_.OnInitDialog();
  EXPECT_EQ(dialog_.LangId(), "1031");
  EXPECT_EQ(window_.caption, "Aurora Ledger 7 – Installation");
}

TEST_F(LauncherDlgTest, ALanguageNotOnTheMediumFallsBackTo1033) {
  WriteMedium(kPlainInf, kTwoLanguages);
  system_.lang_id = 1041;
  dialog_.OnInitDialog();
  EXPECT_EQ(dialog_.LangId(), "1033");
  EXPECT_EQ(window_.caption, "Aurora Ledger 7 Setup");
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

TEST_F(LauncherDlgTest, AnEmptyMediumStillStartsOnTheHomePage) {
  dialog_.OnInitDialog();
  EXPECT_EQ(dialog_.LangId(), "1033");
  EXPECT_EQ(dialog_.LanguageCount(), 1);
  EXPECT_EQ(window_.caption, "");  // the caption text is "NULL": no "%s"
  EXPECT_EQ(browser_.calls.back(), std::string("navigate ") + kHome);
}

TEST(FormatCaption, TheCaptionTextTakesTheProductName) {
  EXPECT_EQ(CLauncherDlg::FormatCaption("%s Setup", "Ledger"), "Ledger Setup");
  EXPECT_EQ(CLauncherDlg::FormatCaption("Setup of %s", ""), "Setup of ");
}

TEST(FormatCaption, ATextWithoutPercentSGivesAnEmptyCaption) {
  EXPECT_EQ(CLauncherDlg::FormatCaption("Setup", "Ledger"), "");
  EXPECT_EQ(CLauncherDlg::FormatCaption("NULL", "Ledger"), "");
  EXPECT_EQ(CLauncherDlg::FormatCaption("", "Ledger"), "");
}

TEST(FormatCaption, ARemainingPercentSCutsTheCaption) {
  // From the product name ...
  EXPECT_EQ(CLauncherDlg::FormatCaption("%s Setup", "Ledger for %s"), "Ledger for ");
  // ... or from the caption text itself.
  EXPECT_EQ(CLauncherDlg::FormatCaption("%s Setup %s more", "Ledger"), "Ledger Setup ");
}

TEST(FormatCaption, FileTextsAreNotFormats) {
  EXPECT_EQ(CLauncherDlg::FormatCaption("%n%s %d %x %%", "Ledger %n"), "%nLedger %n %d %x %");
  EXPECT_EQ(CLauncherDlg::FormatCaption("%s", std::string(10000, 'x')), std::string(10000, 'x'));
}

TEST_F(LauncherDlgTest, DocumentCompleteRecordsThePageAndSizesTheView) {
  WriteMedium(kDatabaseInf, kTwoLanguages);
  dialog_.OnInitDialog();
  browser_.calls.clear();

  dialog_.OnDocumentComplete(kDatabase);
  EXPECT_TRUE(dialog_.IsSapPage());
  EXPECT_FALSE(dialog_.IsHomePage());
  EXPECT_THAT(browser_.calls, IsSupersetOf({"top 0", "left 0", "width 474", "height 416"}));

  dialog_.OnDocumentComplete(std::string(kHome) + "#top");
  EXPECT_TRUE(dialog_.IsHomePage());
  EXPECT_FALSE(dialog_.IsSapPage());

  browser_.calls.clear();
  dialog_.OnDocumentComplete("res://SetupHmRes.dll/OTHER");
  EXPECT_FALSE(dialog_.IsHomePage());
  EXPECT_FALSE(dialog_.IsSapPage());
  EXPECT_THAT(browser_.calls, ElementsAre("top 0", "left 0", "width 474", "height 416"));

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
  EXPECT_THAT(browser_.calls,
              ElementsAre("read body", "write body", "top 0", "left 0", "width 474", "height 416"));

  // A folder that goes away is noticed at the next filling; the table, built
  // once, keeps its keys, and the dialog knows which key each slot shows.
  medium_.Remove("DEU");
  browser_.written.clear();
  dialog_.OnDocumentComplete(kHome);
  ASSERT_EQ(browser_.written.size(), 1u);
  EXPECT_EQ(browser_.written[0], "<body>[English][Français][][] Ledger for %s Exit</body>");
  EXPECT_EQ(dialog_.SlotLanguageKeys()[0], "LANGUAGE0");
  EXPECT_EQ(dialog_.SlotLanguageKeys()[1], "LANGUAGE2");
  EXPECT_EQ(dialog_.SlotLanguageKeys()[2], "");
}

TEST_F(LauncherDlgTest, TheDatabasePageIsFilledWithItsOwnTexts) {
  WriteMedium(kDatabaseInf, kThreeLanguages);
  dialog_.OnInitDialog();
  browser_.body = "<body>IDSELECTPRODUCT IDNEXT IDEXIT IDPRODUCTNAME</body>";
  dialog_.OnDocumentComplete(kDatabase);
  ASSERT_EQ(browser_.written.size(), 1u);
  EXPECT_EQ(browser_.written[0], "<body>Pick a database NULL Exit IDPRODUCTNAME</body>");
  EXPECT_FALSE(setupdata::LanguageTable::Instance().built());
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
  EXPECT_THAT(browser_.calls, ElementsAre("read body", "top 0", "left 0", "width 474", "height 416"));
}

TEST_F(LauncherDlgTest, AnotherDocumentIsNotFilled) {
  WriteMedium(kPlainInf, kThreeLanguages);
  dialog_.OnInitDialog();
  browser_.calls.clear();
  browser_.body = "<body>IDEXIT</body>";
  dialog_.OnDocumentComplete("res://OtherLibrary.dll/PAGE");
  EXPECT_THAT(browser_.calls, ElementsAre("top 0", "left 0", "width 474", "height 416"));
}

}  // namespace
}  // namespace app
