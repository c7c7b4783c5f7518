#include "setupdata/setup_files.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/temp_medium.h"

namespace setupdata {
namespace {

using testing_support::TempMedium;

class SetupFilesTest : public ::testing::Test {
 protected:
  SetupFiles Files(const std::string& lang = "1033") const {
    SetupFiles files = SetupFiles::ForDirectory(medium_.dir());
    files.lang_id = lang;
    return files;
  }
  TempMedium medium_;
};

TEST(SetupFilesPaths, FormedFromTheProgramsDirectory) {
  const SetupFiles files = SetupFiles::ForProgram("/media/cd/setup-launcher");
  EXPECT_EQ(files.module_dir, "/media/cd/");
  EXPECT_EQ(files.res_ini_path, "/media/cd/setupres.ini");
  EXPECT_EQ(files.setup_inf_path, "/media/cd/setup.inf");
  EXPECT_EQ(SetupFiles::ForDirectory("/media/cd").module_dir, "/media/cd/");
  EXPECT_EQ(SetupFiles::ForDirectory("/media/cd/").module_dir, "/media/cd/");
  // Without a full path of the program there is no medium, never the
  // working folder.
  for (const char* program : {"", "setup-launcher", "./setup-launcher"}) {
    const SetupFiles none = SetupFiles::ForProgram(program);
    EXPECT_EQ(none.module_dir + none.res_ini_path + none.setup_inf_path, "") << program;
  }
}

TEST_F(SetupFilesTest, ResStringGivesTheWholeValueAndResTextStopsAtTheFirstComma) {
  medium_.Write("setupres.ini", "[1033]\n9081=No setup, sorry\nSELECTLANG=Choose, please\nLEAD=,after\n");
  EXPECT_EQ(Files().GetResString(9081), "No setup, sorry");
  EXPECT_EQ(Files().GetResText("9081"), "No setup");
  EXPECT_EQ(Files().GetResText("SELECTLANG"), "Choose");
  EXPECT_EQ(Files().GetResText("LEAD"), "");
  EXPECT_EQ(Files().GetResText("MISSING"), "NULL");
  EXPECT_EQ(Files().GetResString(9085), "NULL");
  EXPECT_EQ(Files("1031").GetResString(9081), "NULL");
}

TEST_F(SetupFilesTest, WithoutSetupresEveryTextIsNull) {
  EXPECT_EQ(Files().GetResString(9011), "NULL");
  EXPECT_EQ(Files().GetResText("EXIT"), "NULL");
}

TEST_F(SetupFilesTest, ProductNameIsAReferenceIntoTheLanguageSection) {
  medium_.Write("setupres.ini", "[1033]\nPRODUCT=Aurora Ledger 7\nNAME=Wrong\n");
  medium_.Write("setup.inf", "[Setup]\nProductName=%PRODUCT%\nReleaseNotes=notes.html\n");
  EXPECT_EQ(Files().GetSetupValue("ProductName"), "Aurora Ledger 7");
  EXPECT_EQ(Files().GetSetupValue("PRODUCTNAME"), "Aurora Ledger 7");
  // Other keys are plain values.
  EXPECT_EQ(Files().GetSetupValue("ReleaseNotes"), "notes.html");
  EXPECT_EQ(Files().GetSetupValue("Missing"), "");
}

TEST_F(SetupFilesTest, FilesSpelledInAnotherCaseAreRead) {
  // As a Windows copy or a disc mounted in another case spells them.
  medium_.Write("SETUP.INF", "[Setup]\nProductName=%PRODUCT%\n");
  medium_.Write("SetupRes.ini", "[1033]\nPRODUCT=Aurora Ledger 7\n");
  EXPECT_EQ(Files().setup_inf_path, medium_.dir() + "SETUP.INF");
  EXPECT_EQ(Files().ProductName(), "Aurora Ledger 7");
  // The exact name wins over one in another case.
  medium_.Write("setup.inf", "[Setup]\nReleaseNotes=exact.html\n");
  EXPECT_EQ(Files().GetSetupValue("ReleaseNotes"), "exact.html");
}

TEST_F(SetupFilesTest, ProductNameReferencesOfEveryLength) {
  medium_.Write("setupres.ini", "[1033]\nK=Resolved\nNAME=Named\n");
  auto product = [&](const std::string& value) {
    medium_.Write("setup.inf", "[Setup]\nProductName=" + value + "\n");
    return Files().GetSetupValue("ProductName");
  };
  EXPECT_EQ(product("%K%"), "Resolved");
  EXPECT_EQ(product("xy"), "xy");  // nothing inside: the value itself
  EXPECT_EQ(product("x"), "x");
  EXPECT_EQ(product(""), "");
  EXPECT_EQ(product("%UNKNOWN%"), "NULL");
  // Marks are characters, however many bytes they take.
  EXPECT_EQ(product("«NAME»"), "Named");
  EXPECT_EQ(product("\"%NAME%\""), "Named");  // the quotes go first
}

TEST_F(SetupFilesTest, NoSetupInfMeansNoProductName) {
  medium_.Write("setupres.ini", "[1033]\nK=Resolved\n");
  EXPECT_EQ(Files().GetSetupValue("ProductName"), "");
  EXPECT_FALSE(Files().HasDatabaseChoice());
}

TEST_F(SetupFilesTest, DatabaseChoiceNeedsBothOptions) {
  auto choice = [&](const std::string& sap) {
    medium_.Write("setup.inf", "[Setup]\nProductName=%K%\n" + sap);
    return Files().HasDatabaseChoice();
  };
  EXPECT_TRUE(choice("[SAP]\nSQL=-db=mssql\nOracle=-db=oracle\n"));
  EXPECT_TRUE(choice("[sap]\nsql=s\nORACLE=o\n"));
  EXPECT_FALSE(choice("[SAP]\nSQL=-db=mssql\n"));
  EXPECT_FALSE(choice("[SAP]\nOracle=-db=oracle\n"));
  EXPECT_FALSE(choice("[SAP]\nSQL=\nOracle=o\n"));
  EXPECT_FALSE(choice("[SAP]\nSQL=\"\"\nOracle=o\n"));
  EXPECT_FALSE(choice(""));
}

TEST_F(SetupFilesTest, LanguageCountDefaultsToOneAndKeeps16Bits) {
  EXPECT_EQ(Files().LanguageCount(), 1);
  // As the Windows reader does: the number wraps in 32 bits, the dialog
  // keeps 16 of them.
  const std::pair<const char*, int> kCounts[] = {{"3", 3},     {"0", 0},      {"65535", 65535},
                                                 {"65536", 0}, {"-1", 65535}, {"99999999999", 59391}};
  for (const auto& [value, count] : kCounts) {
    medium_.Write("setupres.ini", std::string("[LANGUAGE]\nLANGUAGENUMBER=") + value + "\n");
    EXPECT_EQ(Files().LanguageCount(), count) << value;
  }
}

TEST_F(SetupFilesTest, ResolveLanguageUsesPresentSectionsAndFallsBackTo1033) {
  medium_.Write("setupres.ini",
                "[1033]\n32001=English\n[1031]\n32001=Deutsch\n[1034]\n32001=Español\n"
                "[2058]\n32001=Español (México)\n[1036]\n9011=%s – sans marqueur\n"
                "[1040]\n32001=Italiano\n[3079]\n32001=Deutsch (Österreich)\n[2055]\n9011=%s\n");
  const std::pair<std::uint16_t, const char*> kCases[] = {
      {1033, "1033"},
      {1031, "1031"},
      // Spanish with modern sort reads the traditional-sort section;
      // Mexican Spanish keeps its own.
      {3082, "1034"},
      {1034, "1034"},
      {2058, "2058"},
      // A section without the presence marker does not count.
      {1036, "1033"},
      {1041, "1033"},
      // A regional language without a section of its own reads 1033, never
      // its language's main section.
      {2064, "1033"},
      {2055, "1033"},
      {3084, "1033"},
      {3079, "3079"}};
  for (const auto& [system, section] : kCases) {
    EXPECT_EQ(ResolveLanguage(system, Files().res_ini_path), section) << system;
  }
}

TEST_F(SetupFilesTest, ResolveLanguageDoesNotCheck1033Itself) {
  medium_.Write("setupres.ini", "[1031]\n9011=x\n");
  EXPECT_EQ(ResolveLanguage(1031, Files().res_ini_path), "1033");
  EXPECT_EQ(ResolveLanguage(1031, "/nonexistent/setupres.ini"), "1033");
}

TEST_F(SetupFilesTest, TheMarkerTestIsExact) {
  // A marker whose value is the text NULL reads as a missing marker; in
  // other letters it is a real value.
  medium_.Write("setupres.ini", "[1031]\n32001=NULL\n[1036]\n32001=null\n");
  EXPECT_EQ(ResolveLanguage(1031, Files().res_ini_path), "1033");
  EXPECT_EQ(ResolveLanguage(1036, Files().res_ini_path), "1036");
}

}  // namespace
}  // namespace setupdata
