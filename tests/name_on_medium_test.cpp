#include "setupdata/name_on_medium.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_medium.h"

namespace setupdata {
namespace {

using testing_support::TempMedium;

// A name is found by its own spelling, else by the one entry that differs
// only in case; several such entries and no exact one find nothing. Each
// part of a path follows the rule, and a plain name is found alike in one
// listing of its folder.
TEST(FindOnMedium, TheExactNameElseTheOneEntryThatDiffersOnlyInCase) {
  TempMedium medium;
  medium.MakeDir("ENU");
  medium.MakeDir("deu");
  medium.MakeDir("Fra");
  medium.MakeDir("FRA");
  medium.MakeDir("ITA");
  medium.MakeDir("ita");
  medium.Write("SQL/1033/ReadMe.html", "notes");
  medium.Write("readme.HTML", "notes");
  const struct {
    const char* asked;
    NameMatch match;
    std::string path;  // as on the medium when found, else the parts found before
    std::vector<std::string> candidates;
  } kCases[] = {
      {"ENU", NameMatch::kExact, "ENU", {}},
      {"DEU", NameMatch::kFolded, "deu", {}},
      {"Readme.html", NameMatch::kFolded, "readme.HTML", {}},
      {"fra", NameMatch::kAmbiguous, "", {"FRA", "Fra"}},
      {"ITA", NameMatch::kExact, "ITA", {}},  // the exact one of two
      {"ESN", NameMatch::kMissing, "", {}},
      {"sql/1033/README.HTML", NameMatch::kFolded, "SQL/1033/ReadMe.html", {}},
      {"SQL/1033/ReadMe.html", NameMatch::kExact, "SQL/1033/ReadMe.html", {}},
      {"Sql/1031/readme.html", NameMatch::kMissing, "SQL/", {}},
      {"fRA/1033", NameMatch::kAmbiguous, "", {"FRA", "Fra"}},
      {"ENU/", NameMatch::kExact, "ENU/", {}},
  };
  const FolderEntries folder(medium.dir());
  for (const auto& c : kCases) {
    const FoundPath found = FindOnMedium(medium.dir(), c.asked);
    EXPECT_EQ(found.match, c.match) << c.asked;
    EXPECT_EQ(found.path, c.path) << c.asked;
    EXPECT_EQ(found.candidates, c.candidates) << c.asked;
    if (std::string(c.asked).find('/') != std::string::npos) continue;
    const FoundPath listed = folder.Find(c.asked);
    EXPECT_EQ(listed.match, found.match) << c.asked;
    EXPECT_EQ(listed.path, found.path) << c.asked;
  }
  EXPECT_TRUE(folder.IsDirectory("deu"));
  EXPECT_FALSE(folder.IsDirectory("readme.HTML"));
  EXPECT_EQ(FindOnMedium(medium.dir() + "missing/", "ENU").match, NameMatch::kMissing);
}

}  // namespace
}  // namespace setupdata
