#include "pages/link_commands.h"

#include <gtest/gtest.h>

#include <limits>

namespace pages {
namespace {

TEST(ParseLinkAddress, LanguageWordNumberAndKey) {
  LinkCommand c = ParseLinkAddress("res://SetupHmRes.dll/IDRLANGUAGE2");
  EXPECT_TRUE(c.language);
  EXPECT_EQ(c.language_number, 2);
  EXPECT_EQ(c.language_key, "LANGUAGE2");
  EXPECT_EQ(c.language_slot, 2);
  EXPECT_FALSE(c.release_notes);
  EXPECT_FALSE(c.exit);

  // Any letter case; the key is read from the upper-case address.
  c = ParseLinkAddress("res://setuphmres.dll/idrLanguage0");
  EXPECT_EQ(c.language_key, "LANGUAGE0");
  EXPECT_EQ(c.language_slot, 0);
}

TEST(ParseLinkAddress, CharactersBehindTheNumberStayInTheKey) {
  LinkCommand c = ParseLinkAddress("res://SetupHmRes.dll/IDRLANGUAGE2/");
  EXPECT_EQ(c.language_number, 2);
  EXPECT_EQ(c.language_key, "LANGUAGE2/");
  EXPECT_EQ(c.language_slot, -1);

  c = ParseLinkAddress("res://SetupHmRes.dll/IDRLANGUAGE");
  EXPECT_EQ(c.language_number, 0);
  EXPECT_EQ(c.language_key, "LANGUAGE");
  EXPECT_EQ(c.language_slot, -1);

  c = ParseLinkAddress("res://SetupHmRes.dll/IDRLANGUAGE02");
  EXPECT_EQ(c.language_number, 2);
  EXPECT_EQ(c.language_slot, -1);

  c = ParseLinkAddress("res://SetupHmRes.dll/IDRLANGUAGE9");
  EXPECT_EQ(c.language_slot, -1);  // there are nine slots, 0 to 8
  c = ParseLinkAddress("res://SetupHmRes.dll/IDRLANGUAGE-1");
  EXPECT_EQ(c.language_number, -1);
}

TEST(ParseLinkAddress, AHugeNumberDoesNotOverflow) {
  const LinkCommand c = ParseLinkAddress("res://x/IDRLANGUAGE99999999999999999999999999");
  EXPECT_EQ(c.language_number, std::numeric_limits<long long>::max());
}

TEST(ParseLinkAddress, ReleaseNotesAndExitAnywhereInTheAddress) {
  EXPECT_TRUE(ParseLinkAddress("res://SetupHmRes.dll/IDRRELNOTES").release_notes);
  EXPECT_TRUE(ParseLinkAddress("res://SetupHmRes.dll/idrexit").exit);
  EXPECT_TRUE(ParseLinkAddress("res://SetupHmRes.dll/x?IDREXIT#y").exit);
  const LinkCommand both = ParseLinkAddress("res://x/IDRRELNOTES/IDRLANGUAGE1");
  EXPECT_TRUE(both.release_notes);
  EXPECT_TRUE(both.language);
  const LinkCommand none = ParseLinkAddress("res://SetupHmRes.dll/HTML_SAP");
  EXPECT_FALSE(none.language || none.release_notes || none.exit);
}

TEST(IsHomePageAddress, TheWholeAddressInAnyCase) {
  EXPECT_TRUE(IsHomePageAddress("res://SetupHmRes.dll/HTML_HOMEPAGE"));
  EXPECT_TRUE(IsHomePageAddress("RES://SETUPHMRES.DLL/HTML_HOMEPAGE"));
  EXPECT_FALSE(IsHomePageAddress("res://SetupHmRes.dll/HTML_HOMEPAGE#top"));
  EXPECT_FALSE(IsHomePageAddress("res://SetupHmRes.dll/HTML_HOMEPAGE?x"));
}

TEST(DetectDatabaseIn, TheOrderOfOptionsAndImages) {
  EXPECT_EQ(DetectDatabaseIn("IDSELECTSQL GIF/GIF_SELECTED IDSELECTORACLE GIF/GIF_NOSELECTED"), "SQL");
  EXPECT_EQ(DetectDatabaseIn("IDSELECTSQL GIF/GIF_NOSELECTED IDSELECTORACLE GIF/GIF_SELECTED"), "Oracle");
  EXPECT_EQ(DetectDatabaseIn("IDSELECTORACLE GIF/GIF_SELECTED IDSELECTSQL GIF/GIF_NOSELECTED"), "Oracle");
  EXPECT_EQ(DetectDatabaseIn("IDSELECTORACLE GIF/GIF_NOSELECTED IDSELECTSQL GIF/GIF_SELECTED"), "SQL");
  EXPECT_EQ(DetectDatabaseIn("nothing here"), "SQL");
  // Markers match with their case, and an absent one counts as lying
  // before every present one.
  EXPECT_EQ(DetectDatabaseIn("IDSELECTSQL gif/gif_noselected IDSELECTORACLE GIF/GIF_SELECTED"), "Oracle");
  EXPECT_EQ(DetectDatabaseIn("IDSELECTSQL GIF/GIF_SELECTED IDSELECTORACLE"), "Oracle");
}

}  // namespace
}  // namespace pages
