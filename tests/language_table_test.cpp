#include "setupdata/language_table.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "support/temp_medium.h"

namespace setupdata {
namespace {

using testing_support::TempMedium;

class LanguageTableTest : public ::testing::Test {
 protected:
  LanguageSource Source(std::uint16_t count) const {
    return LanguageSource{medium_.dir(), medium_.dir() + "setupres.ini", "1033", count};
  }
  void Entries(const std::string& lines) { medium_.Write("setupres.ini", "[1033]\n" + lines); }

  TempMedium medium_;
  LanguageTable table_;
};

TEST_F(LanguageTableTest, OnlyEntriesWithAnExistingSubdirectoryAreTakenAndRenumbered) {
  Entries("LANGUAGE0=English,ENU\nLANGUAGE1=Deutsch,DEU\nLANGUAGE2=Français,FRA\nLANGUAGE3=Italiano,ita\n");
  medium_.MakeDir("ENU");
  medium_.MakeDir("FRA");
  medium_.MakeDir("ITA");  // the one folder in another case stands for it
  const LanguageSource source = Source(4);
  EXPECT_EQ(table_.GetLanguageName(source, "LANGUAGE0"), "English");
  EXPECT_EQ(table_.GetLanguageDir(source, "LANGUAGE0"), "ENU");
  EXPECT_EQ(table_.GetLanguageName(source, "LANGUAGE1"), "Français");
  EXPECT_EQ(table_.GetLanguageDir(source, "LANGUAGE1"), "FRA");
  EXPECT_EQ(table_.GetLanguageDir(source, "LANGUAGE2"), "ita");  // as the entry writes it
  EXPECT_EQ(table_.GetLanguageName(source, "LANGUAGE3"), "");
  EXPECT_EQ(table_.GetLanguageDir(source, "LANGUAGE3"), "");
  EXPECT_EQ(table_.size(), 3u);
}

TEST_F(LanguageTableTest, EntriesThatNeverCount) {
  Entries(
      "LANGUAGE0=No comma\n"
      "LANGUAGE1=Empty directory,\n"
      "LANGUAGE2=A file,plain.txt\n"
      "LANGUAGE3=Trailing blank,ENU \n"  // trimmed by the reader: this one counts
      "LANGUAGE5=Beyond a gap,ENU\n"
      "LANGUAGE6=Two folders in other cases,Esn\n");
  medium_.MakeDir("ENU");
  medium_.MakeDir("ESN");
  medium_.MakeDir("esn");
  medium_.Write("plain.txt", "x");
  const LanguageSource source = Source(7);  // LANGUAGE4 is missing: "NULL"
  EXPECT_EQ(table_.GetLanguageName(source, "LANGUAGE0"), "Trailing blank");
  EXPECT_EQ(table_.GetLanguageName(source, "LANGUAGE1"), "Beyond a gap");
  EXPECT_EQ(table_.size(), 2u);
}

TEST_F(LanguageTableTest, TheValueSplitsAtItsFirstCommaOnly) {
  Entries("LANGUAGE0=Name,dir,with,commas\nLANGUAGE1=,NONAME\n");
  medium_.MakeDir("dir,with,commas");
  medium_.MakeDir("NONAME");
  const LanguageSource source = Source(2);
  EXPECT_EQ(table_.GetLanguageName(source, "LANGUAGE0"), "Name");
  EXPECT_EQ(table_.GetLanguageDir(source, "LANGUAGE0"), "dir,with,commas");
  // Nothing before the comma is still an entry: it has no display text.
  EXPECT_EQ(table_.GetLanguageName(source, "LANGUAGE1"), "");
  EXPECT_EQ(table_.GetLanguageDir(source, "LANGUAGE1"), "NONAME");
}

TEST_F(LanguageTableTest, TheCountBoundsWhatIsRead) {
  Entries("LANGUAGE0=English,ENU\nLANGUAGE1=Deutsch,DEU\n");
  medium_.MakeDir("ENU");
  medium_.MakeDir("DEU");
  EXPECT_EQ(table_.GetLanguageName(Source(1), "LANGUAGE1"), "");
  EXPECT_EQ(table_.size(), 1u);

  table_ = LanguageTable();
  EXPECT_EQ(table_.GetLanguageName(Source(0), "LANGUAGE0"), "");
  EXPECT_TRUE(table_.built());
  EXPECT_EQ(table_.size(), 0u);
}

TEST_F(LanguageTableTest, ItIsBuiltOnceAndKeysAreExact) {
  Entries("LANGUAGE0=English,ENU\n");
  medium_.MakeDir("ENU");
  const LanguageSource source = Source(1);
  EXPECT_FALSE(table_.built());
  EXPECT_EQ(table_.GetLanguageDir(source, "LANGUAGE0"), "ENU");
  EXPECT_TRUE(table_.built());
  // Later changes to the files or the folders do not reach the table.
  medium_.Remove("ENU");
  Entries("LANGUAGE0=Other,OTH\n");
  EXPECT_EQ(table_.GetLanguageDir(source, "LANGUAGE0"), "ENU");
  EXPECT_EQ(table_.GetLanguageName(source, "language0"), "");
  EXPECT_EQ(table_.GetLanguageName(source, "LANGUAGE"), "");
}

TEST_F(LanguageTableTest, WithoutSetupresTheTableStaysEmpty) {
  EXPECT_EQ(table_.GetLanguageName(Source(3), "LANGUAGE0"), "");
  EXPECT_TRUE(table_.built());
}

// Only existing directories of the medium count, by their exact name (a
// trailing blank is part of it) or their one match in another case, and
// never one that leads out of it. The folder is named as the medium spells it.
TEST(IsSetupSubdir, OnlyExistingDirectoriesInsideTheMediumCount) {
  TempMedium medium;
  medium.MakeDir("ENU/x64");
  medium.MakeDir("ENU ");
  medium.Write("file", "x");
  const std::optional<std::string> kNone;
  const std::pair<std::string, std::optional<std::string>> kNames[] = {{"ENU", "ENU"},
                                                                       {"ENU/x64", "ENU/x64"},
                                                                       {"ENU ", "ENU "},
                                                                       {"ENU  ", kNone},
                                                                       {"enu", "ENU"},
                                                                       {"enu/X64", "ENU/x64"},
                                                                       {"FILE", kNone},
                                                                       {"missing", kNone},
                                                                       {"", kNone},
                                                                       {"ENU/", kNone},
                                                                       {"..", kNone},
                                                                       {"ENU/..", kNone},
                                                                       {"../" + medium.dir(), kNone}};
  for (const auto& [name, on_medium] : kNames) {
    EXPECT_EQ(SetupSubdirOnMedium(medium.dir(), name), on_medium) << name;
    EXPECT_EQ(IsSetupSubdir(medium.dir(), name), on_medium.has_value()) << name;
  }
  // A module directory without its final "/" still looks inside it.
  std::string without_slash = medium.dir();
  without_slash.pop_back();
  EXPECT_TRUE(IsSetupSubdir(without_slash, "ENU"));
}

}  // namespace
}  // namespace setupdata
