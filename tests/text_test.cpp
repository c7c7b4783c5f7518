#include "setupdata/text.h"

#include <gtest/gtest.h>

#include <limits>

namespace setupdata {
namespace {

// The first "%s" takes the argument; file texts are never formats of their
// own: a second "%s" and any other conversion stay as written, "%%" is "%",
// and the argument is not formatted again.
TEST(FormatWithOneString, TheFirstPercentSTakesTheArgumentAndNothingElseIsAFormat) {
  const struct {
    const char *format, *arg, *out;
  } kCases[] = {{"%s Setup", "Ledger", "Ledger Setup"},
                {"Setup", "Ledger", "Setup"},
                {"", "Ledger", ""},
                {"%s and %s", "A", "A and %s"},
                {"%n%d%x %s %p", "A", "%n%d%x A %p"},
                {"100%% %s", "A", "100% A"},
                {"%%s %s", "A", "%s A"},
                {"trailing %", "A", "trailing %"},
                {"%s!", "%s%n", "%s%n!"}};
  for (const auto& c : kCases) EXPECT_EQ(FormatWithOneString(c.format, c.arg), c.out) << c.format;
}

TEST(DropFirstAndLastChar, RemovesCharactersNotBytes) {
  EXPECT_EQ(DropFirstAndLastChar("%ProductName%"), "ProductName");
  EXPECT_EQ(DropFirstAndLastChar("«Name»"), "Name");
  EXPECT_EQ(DropFirstAndLastChar("【名前】"), "名前");
  EXPECT_EQ(DropFirstAndLastChar("ab"), "");
  EXPECT_EQ(DropFirstAndLastChar("a"), "");
  EXPECT_EQ(DropFirstAndLastChar("ä"), "");
  EXPECT_EQ(DropFirstAndLastChar(""), "");
  // Invalid bytes count as characters of one byte.
  EXPECT_EQ(DropFirstAndLastChar("\xFF"
                                 "key"
                                 "\xC3"),
            "key");
}

TEST(CutUtf8, KeepsWholeCharactersOnly) {
  EXPECT_EQ(CutUtf8("abc", 5), "abc");
  EXPECT_EQ(CutUtf8("abc", 2), "ab");
  EXPECT_EQ(CutUtf8("a\xC3\xA4", 2), "a");
  EXPECT_EQ(CutUtf8("a\xC3\xA4", 3), "a\xC3\xA4");
  EXPECT_EQ(CutUtf8("\xF0\x9F\x98\x80", 3), "");
  EXPECT_EQ(CutUtf8("ab\x80\x80", 3), "ab\x80");
}

TEST(ParseLeadingInt, ReadsAsAtoiWithoutOverflow) {
  EXPECT_EQ(ParseLeadingInt("2"), 2);
  EXPECT_EQ(ParseLeadingInt("  -3/"), -3);
  EXPECT_EQ(ParseLeadingInt("+4x"), 4);
  EXPECT_EQ(ParseLeadingInt(""), 0);
  EXPECT_EQ(ParseLeadingInt("x1"), 0);
  EXPECT_EQ(ParseLeadingInt("- 1"), 0);
  EXPECT_EQ(ParseLeadingInt("99999999999999999999999"), std::numeric_limits<long long>::max());
  EXPECT_EQ(ParseLeadingInt("-99999999999999999999999"), std::numeric_limits<long long>::min());
}

TEST(AsciiCase, FoldsAsciiLettersOnly) {
  EXPECT_TRUE(EqualsNoCase("IdrExit", "IDREXIT"));
  EXPECT_FALSE(EqualsNoCase("IDREXIT", "IDREXIT "));
  EXPECT_FALSE(EqualsNoCase("\xC3\xA4", "\xC3\x84"));
  EXPECT_EQ(AsciiUpper("res://setup/idrlanguage2 ä"), "RES://SETUP/IDRLANGUAGE2 ä");
}

}  // namespace
}  // namespace setupdata
