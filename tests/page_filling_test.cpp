#include "pages/page_filling.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace pages {
namespace {

// Lookups from small maps, recording which were made.
class MapLookups : public PageLookups {
 public:
  std::string GetResText(const std::string& key) const override {
    calls.push_back("text " + key);
    const auto it = texts.find(key);
    return it == texts.end() ? "NULL" : it->second;
  }
  std::string GetSetupValue(const std::string& key) const override {
    calls.push_back("setup " + key);
    return key == "PRODUCTNAME" ? product : "";
  }
  std::string GetLanguageName(const std::string& key) const override {
    calls.push_back("name " + key);
    const auto it = table.find(key);
    return it == table.end() ? "" : it->second.first;
  }
  std::string GetLanguageDir(const std::string& key) const override {
    calls.push_back("dir " + key);
    const auto it = table.find(key);
    return it == table.end() ? "" : it->second.second;
  }
  bool IsSetupSubdir(const std::string& name) const override { return dirs.count(name) > 0; }

  std::map<std::string, std::string> texts{{"SELECTLANG", "Choose"},
                                           {"RELNOTES", "Notes"},
                                           {"EXIT", "Exit"},
                                           {"BACK", "Back"},
                                           {"SELECTPRODUCT", "Pick"},
                                           {"SAPSELECTSQL", "SQL Server"},
                                           {"SAPSELECTORACLE", "Oracle"}};
  std::string product = "Ledger";
  std::map<std::string, std::pair<std::string, std::string>> table;
  std::set<std::string> dirs;
  mutable std::vector<std::string> calls;
};

std::string AllSlots() {
  std::string body;
  for (int i = 0; i < kLanguageSlots; ++i) body += "[IDLANGUAGE" + std::to_string(i) + "]";
  return body;
}

constexpr char kHomeRest[] =
    "<h1>IDPRODUCTNAME</h1><h2>IDSELECTLANG</h2><a>IDRELNOTES</a><a>IDEXIT</a>"
    "<a data-v=\"id=AAAAA\">IDBACK</a>";

TEST(FillHomePage, TheWorkedExample) {
  MapLookups lookups;
  lookups.table = {{"LANGUAGE0", {"English", "ENU"}}, {"LANGUAGE1", {"Deutsch", "DEU"}}};
  lookups.dirs = {"ENU", "DEU"};
  SlotKeys placed;
  const std::string out = FillHomePageText(AllSlots() + kHomeRest, {false, 2, "SQL"}, lookups, &placed);
  EXPECT_EQ(out,
            "[English][Deutsch][][][][][][][]<h1>Ledger</h1><h2>Choose</h2><a>Notes</a><a>Exit</a>"
            "<a data-v=\"style='visibility:hidden'\">Back</a>");
  EXPECT_EQ(placed[0], "LANGUAGE0");
  EXPECT_EQ(placed[1], "LANGUAGE1");
  EXPECT_EQ(placed[2], "");
}

TEST(FillHomePage, SkippedEntriesLetTheNextLanguageMoveUp) {
  MapLookups lookups;
  // The second entry's folder went away after the table was built; the
  // fourth has the display text NULL.
  lookups.table = {{"LANGUAGE0", {"English", "ENU"}},
                   {"LANGUAGE1", {"Deutsch", "DEU"}},
                   {"LANGUAGE2", {"Français", "FRA"}},
                   {"LANGUAGE3", {"NULL", "XXX"}},
                   {"LANGUAGE4", {"日本語", "JPN"}}};
  lookups.dirs = {"ENU", "FRA", "XXX", "JPN"};
  SlotKeys placed;
  const std::string out = FillHomePageText(AllSlots(), {false, 5, "SQL"}, lookups, &placed);
  EXPECT_EQ(out, "[English][Français][日本語][][][][][][]");
  EXPECT_EQ(placed[0], "LANGUAGE0");
  EXPECT_EQ(placed[1], "LANGUAGE2");
  EXPECT_EQ(placed[2], "LANGUAGE4");
  EXPECT_EQ(placed[3], "");
}

TEST(FillHomePage, TheCountBoundsTheSlots) {
  MapLookups lookups;
  for (int i = 0; i < 11; ++i) {
    lookups.table["LANGUAGE" + std::to_string(i)] = {"L" + std::to_string(i), "D" + std::to_string(i)};
    lookups.dirs.insert("D" + std::to_string(i));
  }
  EXPECT_EQ(FillHomePageText(AllSlots(), {false, 11, "SQL"}, lookups),
            "[L0][L1][L2][L3][L4][L5][L6][L7][L8]");
  EXPECT_EQ(FillHomePageText(AllSlots(), {false, 1, "SQL"}, lookups), "[L0][][][][][][][][]");
  EXPECT_EQ(FillHomePageText(AllSlots(), {false, 0, "SQL"}, lookups), "[][][][][][][][][]");
}

TEST(FillHomePage, EveryOccurrenceIsReplacedAttributesAndScriptsIncluded) {
  MapLookups lookups;
  lookups.table = {{"LANGUAGE0", {"English", "ENU"}}};
  lookups.dirs = {"ENU"};
  const std::string body =
      "<a href=\"res://SetupHmRes.dll/IDRLANGUAGE0\" title=\"IDLANGUAGE0\">IDLANGUAGE0</a>"
      "<a title=\"IDRELNOTES\" href=\"res://SetupHmRes.dll/IDRRELNOTES\">IDRELNOTES</a>"
      "<script>var t = 'IDEXIT';</script>";
  EXPECT_EQ(FillHomePageText(body, {false, 1, "SQL"}, lookups),
            "<a href=\"res://SetupHmRes.dll/IDRLANGUAGE0\" title=\"English\">English</a>"
            "<a title=\"Notes\" href=\"res://SetupHmRes.dll/IDRRELNOTES\">Notes</a>"
            "<script>var t = 'Exit';</script>");
}

TEST(FillHomePage, LowerCaseWordsAndCommandWordsStay) {
  MapLookups lookups;
  const std::string body = "idexit IdExit IDREXIT IDRLANGUAGE3 id=aaaaa";
  EXPECT_EQ(FillHomePageText(body, {false, 1, "SQL"}, lookups), body);
}

TEST(FillHomePage, APageWithoutLanguageSlotsMakesNoLanguageLookup) {
  MapLookups lookups;
  FillHomePageText(kHomeRest, {false, 3, "SQL"}, lookups);
  for (const std::string& call : lookups.calls) {
    EXPECT_FALSE(call.starts_with("name ") || call.starts_with("dir ")) << call;
  }
  // Only the placeholders the page carries are looked up.
  lookups.calls.clear();
  FillHomePageText("<p>IDEXIT</p>", {false, 3, "SQL"}, lookups);
  EXPECT_EQ(lookups.calls, std::vector<std::string>{"text EXIT"});
}

TEST(FillHomePage, AMissingFirstSlotLeavesTheLaterOneToBeCleared) {
  MapLookups lookups;
  lookups.table = {{"LANGUAGE0", {"English", "ENU"}}, {"LANGUAGE1", {"Deutsch", "DEU"}}};
  lookups.dirs = {"ENU", "DEU"};
  // Slot 1's language goes to the missing slot 0, and slot 1 is cleared.
  EXPECT_EQ(FillHomePageText("[IDLANGUAGE1]", {false, 2, "SQL"}, lookups), "[]");
}

TEST(FillHomePage, MissingTextsShowNullButMissingLanguagesShowNothing) {
  MapLookups lookups;
  lookups.texts.clear();
  EXPECT_EQ(FillHomePageText("[IDLANGUAGE0]<p>IDEXIT</p>", {false, 1, "SQL"}, lookups), "[]<p>NULL</p>");
}

TEST(FillHomePage, TheBackElementShowsOnlyInDatabaseMode) {
  MapLookups lookups;
  // The marker as an author writes it, as the view reads it back (quoted),
  // and inside another attribute's value.
  const struct {
    const char *page, *hidden, *visible;
  } kCases[] = {
      {"<a id=AAAAA>", "<a style='visibility:hidden'>", "<a style='visibility:visible'>"},
      {"<a id=\"AAAAA\">", "<a style='visibility:hidden'>", "<a style='visibility:visible'>"},
      {"<a id='AAAAA' href=x>", "<a style='visibility:hidden' href=x>",
       "<a style='visibility:visible' href=x>"},
      {"<a data-v=\"id=AAAAA\">", "<a data-v=\"style='visibility:hidden'\">",
       "<a data-v=\"style='visibility:visible'\">"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(FillHomePageText(c.page, {false, 1, "SQL"}, lookups), c.hidden) << c.page;
    EXPECT_EQ(FillHomePageText(c.page, {true, 1, "SQL"}, lookups), c.visible) << c.page;
  }
}

TEST(FillHomePage, TheProductNameTakesTheDatabaseOnlyInDatabaseMode) {
  MapLookups lookups;
  lookups.product = "Ledger Server for %s";
  EXPECT_EQ(FillHomePageText("IDPRODUCTNAME", {true, 1, "Oracle"}, lookups), "Ledger Server for Oracle");
  EXPECT_EQ(FillHomePageText("IDPRODUCTNAME", {false, 1, "Oracle"}, lookups), "Ledger Server for %s");
  // A name from a file is never a format: only its first "%s" is filled.
  lookups.product = "%n 100%% %s %s";
  EXPECT_EQ(FillHomePageText("IDPRODUCTNAME", {true, 1, "SQL"}, lookups), "%n 100% SQL %s");
  lookups.product = "";
  EXPECT_EQ(FillHomePageText("<b>IDPRODUCTNAME</b>", {true, 1, "SQL"}, lookups), "<b></b>");
}

TEST(FillHomePage, FillingAgainPlacesTheLanguagesAsTheFirstTime) {
  MapLookups lookups;
  lookups.table = {{"LANGUAGE0", {"English", "ENU"}}, {"LANGUAGE1", {"Deutsch", "DEU"}}};
  lookups.dirs = {"ENU", "DEU"};
  const std::string first = FillHomePageText(AllSlots(), {true, 2, "SQL"}, lookups);
  EXPECT_EQ(FillHomePageText(AllSlots(), {true, 2, "Oracle"}, lookups), first);
}

// A medium whose texts hold later placeholders, twenty times each: every
// pass would multiply the page by twenty. The page stays within its limit,
// texts that fit still go in, and no placeholder is left.
TEST(FillHomePage, TextsHoldingPlaceholdersCannotMultiplyThePage) {
  MapLookups lookups;
  auto repeated = [](const std::string& word) {
    std::string text;
    for (int i = 0; i < 20; ++i) text += word + " ";
    return text;
  };
  for (int slot = 0; slot < kLanguageSlots; ++slot) {
    const std::string next = slot + 1 < kLanguageSlots ? LanguageSlotPlaceholder(slot + 1) : "IDSELECTLANG";
    lookups.table["LANGUAGE" + std::to_string(slot)] = {repeated(next), "DIR" + std::to_string(slot)};
    lookups.dirs.insert("DIR" + std::to_string(slot));
  }
  lookups.texts["SELECTLANG"] = repeated("IDEXIT");
  const std::string out = FillHomePageText("<p>IDLANGUAGE0</p>", {false, 9, "SQL"}, lookups);
  EXPECT_LE(out.size(), kMaxFilledPageBytes);
  EXPECT_GT(out.size(), 20u * 20 * 20 * 20);  // the four passes that fit went in
  EXPECT_EQ(out.find("IDLANGUAGE8"), std::string::npos);
  EXPECT_EQ(out.find("IDEXIT"), std::string::npos);

  // The database page the same way.
  lookups.texts = {{"SELECTPRODUCT", repeated("IDSAPSELECTSQL")},
                   {"SAPSELECTSQL", repeated("IDSAPSELECTORACLE")},
                   {"SAPSELECTORACLE", repeated("IDNEXT")},
                   {"NEXT", repeated("IDEXIT")},
                   {"EXIT", repeated("IDSELECTPRODUCT")}};
  std::string body;
  for (int i = 0; i < 2000; ++i) body += "<h1>IDSELECTPRODUCT</h1>";
  const std::string sap = FillSapPageText(body, lookups);
  EXPECT_LE(sap.size(), kMaxFilledPageBytes);
  EXPECT_GT(sap.size(), body.size());
}

TEST(FillSapPage, EveryTextComesFromTheLanguageSection) {
  MapLookups lookups;
  const std::string body =
      "<h1>IDSELECTPRODUCT</h1><a id=\"IDSELECTSQL\">IDSAPSELECTSQL</a>"
      "<a id=\"IDSELECTORACLE\">IDSAPSELECTORACLE</a><a>IDNEXT</a><a>IDEXIT</a>";
  // The markers of the database choice are no placeholders; a missing
  // "NEXT" shows NULL.
  EXPECT_EQ(FillSapPageText(body, lookups),
            "<h1>Pick</h1><a id=\"IDSELECTSQL\">SQL Server</a>"
            "<a id=\"IDSELECTORACLE\">Oracle</a><a>NULL</a><a>Exit</a>");
}

TEST(ReplaceAll, NonOverlappingLeftToRightInOnePass) {
  std::string text = "aaaa";
  ReplaceAll(text, "aa", "b");
  EXPECT_EQ(text, "bb");
  text = "IDEXIT IDEXIT";
  ReplaceAll(text, "IDEXIT", "IDEXIT IDEXIT");  // the new text is not scanned again
  EXPECT_EQ(text, "IDEXIT IDEXIT IDEXIT IDEXIT");
  text = "x-y-z";
  ReplaceAll(text, "-", "");
  EXPECT_EQ(text, "xyz");
  ReplaceAll(text, "", "q");
  EXPECT_EQ(text, "xyz");
}

}  // namespace
}  // namespace pages
