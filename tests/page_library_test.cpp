#include "pages/page_library.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pages
