#include "pages/page_library.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "pages/document_language.h"
#include "support/temp_medium.h"

namespace pages {
namespace {

TEST(ParseResAddress, SplitsLibraryAndResourceName) {
  auto a = ParseResAddress("res://SetupHmRes.dll/HTML_HOMEPAGE");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->library, "SetupHmRes.dll");
  EXPECT_EQ(a->resource, "HTML_HOMEPAGE");

  a = ParseResAddress("res://SetupHmRes.dll/GIF/GIF_SELECTED");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->resource, "GIF/GIF_SELECTED");
}

TEST(ParseResAddress, QueryFragmentAndEscapesAreNotPartOfTheName) {
  auto a = ParseResAddress("res://SetupHmRes.dll/HTML_SAP?x=1#top");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->resource, "HTML_SAP");
  a = ParseResAddress("res://Setup%20Res.dll/HTML%5FSAP");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->library, "Setup Res.dll");
  EXPECT_EQ(a->resource, "HTML_SAP");
}

// "#" and digits at the start of a part is a numeric id, not a fragment.
TEST(ParseResAddress, NumericIdsAreNamesNotFragments) {
  const std::pair<const char*, const char*> cases[] = {
      {"res://SetupHmRes.dll/#123", "#123"},
      {"res://SetupHmRes.dll/#2/#5", "#2/#5"},
      {"res://SetupHmRes.dll/GIF/#5?x=1#top", "GIF/#5"},
      {"res://SetupHmRes.dll/HTML_SAP#123", "HTML_SAP"},
      {"res://SetupHmRes.dll/#top", ""},
      {"res://SetupHmRes.dll/%23123", "#123"},
  };
  for (const auto& [uri, resource] : cases) {
    const auto a = ParseResAddress(uri);
    ASSERT_TRUE(a) << uri;
    EXPECT_EQ(a->library, "SetupHmRes.dll") << uri;
    EXPECT_EQ(a->resource, resource) << uri;
  }
}

TEST(ParseResAddress, OnlyPlainFileNamesNameALibrary) {
  EXPECT_FALSE(ParseResAddress("file:///etc/passwd"));
  EXPECT_FALSE(ParseResAddress("res:///HTML_SAP"));
  EXPECT_FALSE(ParseResAddress("res://../HTML_SAP"));
  EXPECT_FALSE(ParseResAddress("res://%2E%2E/HTML_SAP"));
  EXPECT_FALSE(ParseResAddress("res://a%2Fb/HTML_SAP"));
  EXPECT_FALSE(ParseResAddress("not an address"));
}

class SampleLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    library_ = PageLibrary::Open(SAMPLE_PAGE_LIBRARY, &error);
    ASSERT_TRUE(library_) << error;
  }
  std::unique_ptr<PageLibrary> library_;
};

TEST_F(SampleLibraryTest, ServesBothPagesAndTheirImages) {
  const auto home = library_->Lookup("HTML_HOMEPAGE");
  ASSERT_TRUE(home);
  EXPECT_EQ(home->content_type, "text/html");
  EXPECT_NE(home->bytes.find("IDLANGUAGE8"), std::string::npos);

  const auto database = library_->Lookup("HTML_SAP");
  ASSERT_TRUE(database);
  EXPECT_EQ(database->content_type, "text/html");

  const auto selected = library_->Lookup("GIF/GIF_SELECTED");
  ASSERT_TRUE(selected);
  EXPECT_EQ(selected->content_type, "image/gif");
  EXPECT_TRUE(library_->Lookup("GIF/GIF_NOSELECTED"));
}

TEST_F(SampleLibraryTest, NamesMatchWithoutRegardToCase) {
  EXPECT_TRUE(library_->Lookup("html_homepage"));
  EXPECT_TRUE(library_->Lookup("Html_Sap"));
  EXPECT_TRUE(library_->Lookup("gif/Gif_Selected"));
}

TEST_F(SampleLibraryTest, NamesThatAreNotThereFail) {
  EXPECT_FALSE(library_->Lookup("HTML_MISSING"));
  EXPECT_FALSE(library_->Lookup(""));
  EXPECT_FALSE(library_->Lookup("GIF"));  // a folder, not a resource
  EXPECT_FALSE(library_->Lookup("HTML_SAP/"));
  EXPECT_FALSE(library_->Lookup("GIF//GIF_SELECTED"));
  EXPECT_FALSE(library_->Lookup("IDRLANGUAGE0"));
}

TEST(PageLibrary, AFileThatIsNotABundleDoesNotOpen) {
  testing_support::TempMedium medium;
  std::string error;
  EXPECT_FALSE(PageLibrary::Open(medium.Write("SetupHmRes.dll", ""), &error));
  EXPECT_FALSE(PageLibrary::Open(medium.Write("SetupHmRes.dll", "<html>not a bundle</html>"), &error));
  EXPECT_FALSE(PageLibrary::Open(medium.dir() + "missing.dll", &error));
  EXPECT_FALSE(error.empty());
}

// A damaged copy of the sample library: what a bad medium may carry. Its
// entries are (size, flags, bytes) values followed by their type string.
TEST(PageLibrary, ABundleWithDamagedEntriesDoesNotOpen) {
  gchar* contents = nullptr;
  gsize length = 0;
  ASSERT_TRUE(g_file_get_contents(SAMPLE_PAGE_LIBRARY, &contents, &length, nullptr));
  const std::string sample(contents, length);
  g_free(contents);
  testing_support::TempMedium medium;
  std::string error;

  // An entry whose value is no resource at all.
  std::string wrong_type = sample;
  const std::size_t type_at = wrong_type.find("(uuay)");
  ASSERT_NE(type_at, std::string::npos);
  wrong_type.replace(type_at, 6, "(uuuu)");
  EXPECT_FALSE(PageLibrary::Open(medium.Write("wrong-type.dll", wrong_type), &error));
  EXPECT_FALSE(error.empty());

  // A compressed entry that declares a size of 4 GB.
  std::unique_ptr<PageLibrary> library = PageLibrary::Open(SAMPLE_PAGE_LIBRARY, &error);
  ASSERT_TRUE(library);
  const std::optional<PageResource> page = library->Lookup("HTML_SAP");
  ASSERT_TRUE(page);
  std::string huge = sample;
  const std::size_t data_at = huge.find(page->bytes);
  ASSERT_NE(data_at, std::string::npos);
  ASSERT_GE(data_at, 8u);
  huge.replace(data_at - 8, 8, std::string("\xF0\xFF\xFF\xFF\x01\x00\x00\x00", 8));
  error.clear();
  EXPECT_FALSE(PageLibrary::Open(medium.Write("huge.dll", huge), &error));
  EXPECT_FALSE(error.empty());

  // The bundle itself is still read as before.
  EXPECT_TRUE(PageLibrary::Open(medium.Write("copy.dll", sample), &error));
}

std::string ReadWhole(const std::string& path) {
  gchar* contents = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(path.c_str(), &contents, &length, nullptr)) return {};
  std::string bytes(contents, length);
  g_free(contents);
  return bytes;
}

// A library as Windows tools build it (tests/dlls/pages.rc), 32- and 64-bit
// alike: one-part names are pages (type 23), two parts a type and a name,
// "#n" a number; case does not matter; the neutral language wins, else the
// first.
TEST(PageLibrary, ServesTheResourcesOfADll) {
  const std::string home = ReadWhole(SAMPLE_PAGES_DIR "/home.html");
  const std::string selected = ReadWhole(SAMPLE_PAGES_DIR "/gif_selected.gif");
  ASSERT_FALSE(home.empty());
  ASSERT_FALSE(selected.empty());
  struct Case {
    const char* name;
    std::string bytes;  // exactly, or (when `part`) within them
    bool part;
    const char* type;
  };
  const Case found[] = {
      {"HTML_HOMEPAGE", home, false, "text/html"},
      {"html_sap", "IDSELECTORACLE", true, "text/html"},
      {"#23/Html_Sap", "IDSELECTORACLE", true, "text/html"},
      {"GIF/GIF_SELECTED", selected, false, "image/gif"},
      {"gif/Gif_NoSelected", "GIF8", true, "image/gif"},
      {"#123", "numbered", true, "text/html"},
      {"#23/#0123", "numbered", true, "text/html"},
      {"#10/#7", "\x89PNG", true, "image/png"},
      {"CSS/LOOK", "body { color: black; }", false, "text/css"},
      {"HTML_GREETING", "Hello", true, "text/html"},  // neutral, beside German and French
      {"HTML_LOCAL", "Hallo", true, "text/html"},     // German, then French: the first
  };
  const char* const missing[] = {"HTML_MISSING",  "",
                                 "GIF",           "GIF/",
                                 "/HTML_SAP",     "GIF/GIF_SELECTED/X",
                                 "HTML/HTML_SAP", "#",
                                 "#124",          "#23/#99999999999",
                                 "#2/#5",         "#-123"};
  const std::vector<std::string> names = {
      "#10/#7",        "#123",       "CSS/LOOK", "GIF/GIF_NOSELECTED", "GIF/GIF_SELECTED", "HTML_GREETING",
      "HTML_HOMEPAGE", "HTML_LOCAL", "HTML_SAP"};
  for (const char* bits : {"32", "64"}) {
    SCOPED_TRACE(bits);
    std::string error;
    const auto library = PageLibrary::Open(std::string(TEST_DLL_DIR "/pages-") + bits + ".dll", &error);
    ASSERT_TRUE(library) << error;
    for (const Case& c : found) {
      const auto resource = library->Lookup(c.name);
      ASSERT_TRUE(resource) << c.name;
      if (c.part) {
        EXPECT_NE(resource->bytes.find(c.bytes), std::string::npos) << c.name;
      } else {
        EXPECT_EQ(resource->bytes, c.bytes) << c.name;
      }
      EXPECT_EQ(resource->content_type, c.type) << c.name;
    }
    for (const char* name : missing) EXPECT_FALSE(library->Lookup(name)) << name;
    EXPECT_EQ(library->Names(), names);
  }
}

TEST(FindFileNoCase, TheExactNameFirstThenTheOneInAnotherCase) {
  testing_support::TempMedium medium;
  medium.Write("SetupHmRes.dll", "x");
  EXPECT_EQ(FindFileNoCase(medium.dir(), "SetupHmRes.dll"), medium.dir() + "SetupHmRes.dll");
  EXPECT_EQ(FindFileNoCase(medium.dir(), "setuphmres.DLL"), medium.dir() + "SetupHmRes.dll");
  EXPECT_EQ(FindFileNoCase(medium.dir(), "other.dll"), "");
  medium.MakeDir("folder.dll");
  EXPECT_EQ(FindFileNoCase(medium.dir(), "folder.dll"), "");
  // Two that differ only in case, and none exact: neither is a guess worth taking.
  medium.Write("PAGES.DLL", "x");
  medium.Write("pages.dll", "x");
  EXPECT_EQ(FindFileNoCase(medium.dir(), "Pages.dll"), "");
  EXPECT_EQ(FindFileNoCase(medium.dir(), "pages.dll"), medium.dir() + "pages.dll");
}

// A page declares the section's language on its document element unless
// it declares its own; a right-to-left one reads right to left unless
// <html> or <body> sets a direction.
TEST(DeclareDocumentLanguage, AddsWhatThePageDoesNotDeclare) {
  const DocumentLanguage hebrew{"he-IL", true};
  const DocumentLanguage german{"de-DE", false};
  const struct {
    std::string page;
    DocumentLanguage language;
    std::string declared;
  } cases[] = {
      {"<!DOCTYPE html>\n<html>\n<body>x</body></html>", hebrew,
       "<!DOCTYPE html>\n<html dir=\"rtl\" lang=\"he-IL\">\n<body>x</body></html>"},
      {"\xEF\xBB\xBF<!-- <html dir=ltr> --> <HTML Class=a><body>", german,
       "\xEF\xBB\xBF<!-- <html dir=ltr> --> <HTML lang=\"de-DE\" Class=a><body>"},
      // The page's own language and direction stay.
      {"<html lang=\"en\"><body>", german, "<html lang=\"en\"><body>"},
      {"<html xml:lang=en DIR=ltr>", hebrew, "<html xml:lang=en DIR=ltr>"},
      {"<html data-x='a>b' dir=auto>", hebrew, "<html lang=\"he-IL\" data-x='a>b' dir=auto>"},
      {"<html><head><title><body dir=ltr></title><script>x='<body dir=ltr>'</script></head><BODY "
       "Dir=\"ltr\">",
       hebrew,
       "<html lang=\"he-IL\"><head><title><body dir=ltr></title><script>x='<body dir=ltr>'</script></head>"
       "<BODY Dir=\"ltr\">"},
      {"<html><head><script>if (a<body) b();</script></head><body class=x>", hebrew,
       "<html dir=\"rtl\" lang=\"he-IL\"><head><script>if (a<body) b();</script></head><body class=x>"},
      // A page without a leading <html> tag gets one.
      {"<p>x</p>", german, "<html lang=\"de-DE\"><p>x</p>"},
      {"<htmlx>", german, "<html lang=\"de-DE\"><htmlx>"},
      // Nothing to declare, a tag that never ends, a tag that is not one.
      {"<html>", DocumentLanguage{}, "<html>"},
      {"<html>", DocumentLanguage{"de\" onload=\"x", false}, "<html>"},
      {"<html lang='x", german, "<html lang='x"},
      {"<!-- <html>", german, "<!-- <html>"},
      // UTF-16 comes back as UTF-8 with its mark.
      {std::string("\xFF\xFE<\0h\0t\0m\0l\0>\0\xD7\x05", 16), hebrew,
       "\xEF\xBB\xBF<html dir=\"rtl\" lang=\"he-IL\">\xD7\x97"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DeclareDocumentLanguage(c.page, c.language), c.declared) << c.page;
  }
}

}  // namespace
}  // namespace pages
