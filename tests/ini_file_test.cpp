#include "setupdata/ini_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "setupdata/codepage.h"
#include "support/temp_medium.h"

namespace setupdata {
namespace {

std::string Get(std::string_view text, std::string_view section, std::string_view key,
                std::string_view def = "DEF") {
  return IniFile::Parse(text).GetString(section, key, def);
}

TEST(IniFileNames, SectionsAndKeysMatchWithoutRegardToCase) {
  const char* text = "[Setup]\nProductName=Ledger\n";
  EXPECT_EQ(Get(text, "setup", "productname"), "Ledger");
  EXPECT_EQ(Get(text, "SETUP", "PRODUCTNAME"), "Ledger");
  // Only ASCII letters fold: other bytes must match exactly.
  EXPECT_EQ(Get("[Ä]\nk=v\n", "ä", "k"), "DEF");
  EXPECT_EQ(Get("[Ä]\nk=v\n", "Ä", "K"), "v");
}

// Around the names in the file and around the names asked for alike.
TEST(IniFileNames, BlanksAroundNamesDoNotCount) {
  const char* text = "  [  1033  ]  \n   9011   =   %s Setup   \n";
  EXPECT_EQ(Get(text, "1033", "9011"), "%s Setup");
  EXPECT_EQ(Get(text, " 1033\t", "  9011 "), "%s Setup");
  EXPECT_EQ(IniFile::Parse(text).KeysIn(" 1033 ").size(), 1u);
  EXPECT_EQ(Get(text, "1033", "  "), "DEF");
}

TEST(IniFileDefaults, MissingSectionKeyOrFileGivesTheDefault) {
  const char* text = "[1033]\nEXIT=Exit\n";
  EXPECT_EQ(Get(text, "1031", "EXIT", "NULL"), "NULL");
  EXPECT_EQ(Get(text, "1033", "BACK", "NULL"), "NULL");
  EXPECT_EQ(Get("", "1033", "EXIT", ""), "");
  EXPECT_EQ(ReadIniString("/nonexistent/setupres.ini", "1033", "EXIT", "NULL"), "NULL");
}

TEST(IniFileDefaults, TrailingBlanksOfTheDefaultAreRemoved) {
  EXPECT_EQ(Get("", "s", "k", "  text  "), "  text");
}

TEST(IniFileDefaults, AnEmptyKeyNameFindsNothing) { EXPECT_EQ(Get("[s]\n=value\n", "s", ""), "DEF"); }

TEST(IniFileValues, AreTrimmedOfSurroundingBlanks) {
  EXPECT_EQ(Get("[s]\nk= \t value with  inner  blanks \t\r\n", "s", "k"), "value with  inner  blanks");
  EXPECT_EQ(Get("[s]\nk=\n", "s", "k"), "");
  EXPECT_EQ(Get("[s]\nk=   \n", "s", "k"), "");
}

TEST(IniFileValues, OnePairOfMatchingQuotesIsRemoved) {
  EXPECT_EQ(Get("[s]\nk=\"quoted value\"\n", "s", "k"), "quoted value");
  EXPECT_EQ(Get("[s]\nk='single'\n", "s", "k"), "single");
  // Inner blanks survive: quotes are the way to keep them.
  EXPECT_EQ(Get("[s]\nk=\"  padded  \"\n", "s", "k"), "  padded  ");
  EXPECT_EQ(Get("[s]\nk=\"\"nested\"\"\n", "s", "k"), "\"nested\"");
  EXPECT_EQ(Get("[s]\nk=\"\"\n", "s", "k"), "");
  // Unmatched or lone quotes stay.
  EXPECT_EQ(Get("[s]\nk=\"mixed'\n", "s", "k"), "\"mixed'");
  EXPECT_EQ(Get("[s]\nk=\"open\n", "s", "k"), "\"open");
  EXPECT_EQ(Get("[s]\nk=\"\n", "s", "k"), "\"");
  EXPECT_EQ(Get("[s]\nk=say \"hi\"\n", "s", "k"), "say \"hi\"");
}

TEST(IniFileValues, KeepEverythingAfterTheFirstEqualsSign) {
  EXPECT_EQ(Get("[SAP]\nSQL=-db=mssql,x\n", "SAP", "SQL"), "-db=mssql,x");
}

TEST(IniFileValues, AtMost259BytesAreDelivered) {
  const std::string long_value(300, 'x');
  const std::string got = Get("[s]\nk=" + long_value + "\n", "s", "k");
  EXPECT_EQ(got, std::string(259, 'x'));
  // A megabyte line too, and the next line is read as usual.
  const std::string huge = "[s]\nk=" + std::string(1 << 20, 'x') + "\nnext=ok\n";
  EXPECT_EQ(Get(huge, "s", "k"), std::string(259, 'x'));
  EXPECT_EQ(Get(huge, "s", "next"), "ok");
  EXPECT_EQ(Get("[s]\nk=" + std::string(259, 'y') + "\n", "s", "k"), std::string(259, 'y'));
  // Quotes come off before the cut.
  EXPECT_EQ(Get("[s]\nk=\"" + std::string(259, 'q') + "\"\n", "s", "k"), std::string(259, 'q'));
  EXPECT_EQ(Get("", "s", "k", long_value), std::string(259, 'x'));
}

TEST(IniFileValues, TheCutNeverSplitsAUtf8Character) {
  // 258 ASCII bytes and then a two-byte "ä": 260 bytes do not fit, and the
  // "ä" is dropped whole rather than halved.
  const std::string value = std::string(258, 'a') + "\xC3\xA4" + "tail";
  const std::string got = Get("[s]\nk=" + value + "\n", "s", "k");
  EXPECT_EQ(got, std::string(258, 'a'));
  // A three-byte character that ends exactly at byte 259 stays.
  const std::string cjk = std::string(256, 'a') + "\xE8\xAA\x9E" + "x";
  EXPECT_EQ(Get("[s]\nk=" + cjk + "\n", "s", "k"), std::string(256, 'a') + "\xE8\xAA\x9E");
}

TEST(IniFileLines, CommentsBlankLinesAndLinesWithoutEqualsCarryNoValue) {
  const char* text =
      "; a comment\n"
      "\n"
      "[s]\n"
      "; k=commented out\n"
      "   ;also a comment\n"
      "just words\n"
      "\n"
      "k=real\n";
  EXPECT_EQ(Get(text, "s", "k"), "real");
  EXPECT_EQ(Get(text, "s", "just words"), "DEF");
  EXPECT_EQ(Get(text, "s", "; k"), "DEF");
}

TEST(IniFileLines, CrLfAndLfLineEndsAndAMissingLastLineEnd) {
  EXPECT_EQ(Get("[s]\r\nk=v\r\nm=w", "s", "k"), "v");
  EXPECT_EQ(Get("[s]\r\nk=v\r\nm=w", "s", "m"), "w");
}

TEST(IniFileLines, KeysBeforeTheFirstSectionBelongToNone) {
  EXPECT_EQ(Get("k=orphan\n[s]\nm=v\n", "s", "k"), "DEF");
  EXPECT_EQ(Get("k=orphan\n[s]\nm=v\n", "", "k"), "DEF");
}

TEST(IniFileLines, TheFirstKeyAndTheFirstSectionOfANameCount) {
  EXPECT_EQ(Get("[s]\nk=first\nK=second\n", "s", "k"), "first");
  EXPECT_EQ(Get("[s]\nk=first\n[S]\nk=second\nm=only here\n", "s", "k"), "first");
  EXPECT_EQ(Get("[s]\nk=first\n[S]\nm=only here\n", "s", "m"), "DEF");
  // A key line without "=" is the first of its name and carries no value.
  EXPECT_EQ(Get("[s]\nk\nk=later\n", "s", "k"), "DEF");
}

TEST(IniFileLines, ASectionHeaderWithoutItsBracketStillOpensTheSection) {
  EXPECT_EQ(Get("[broken\nk=v\n", "broken", "k"), "v");
  EXPECT_EQ(Get("[s] trailing words\nk=v\n", "s", "k"), "v");
}

TEST(IniFileEncodings, Utf8ByteOrderMarkIsDropped) {
  EXPECT_EQ(Get("\xEF\xBB\xBF[1031]\nEXIT=Beenden\n", "1031", "EXIT"), "Beenden");
}

std::string Utf16Le(std::u16string_view text, bool bom = true) {
  std::string out = bom ? "\xFF\xFE" : "";
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

TEST(IniFileEncodings, Utf16LittleEndianWithItsMarkIsRead) {
  const std::string bytes = Utf16Le(u"[1041]\r\nEXIT=終了\r\nSMILE=\U0001F600\r\n");
  EXPECT_EQ(Get(bytes, "1041", "EXIT"), "\xE7\xB5\x82\xE4\xBA\x86");
  EXPECT_EQ(Get(bytes, "1041", "SMILE"), "\xF0\x9F\x98\x80");
}

TEST(IniFileEncodings, Utf16BigEndianWithItsMarkIsRead) {
  std::string bytes = "\xFE\xFF";
  for (char16_t c : std::u16string_view(u"[s]\nk=\u00E9\n")) {
    bytes += static_cast<char>(c >> 8);
    bytes += static_cast<char>(c & 0xFF);
  }
  EXPECT_EQ(Get(bytes, "s", "k"), "\xC3\xA9");
}

// The lines check points authors to: of the key Find reads (the first of
// its name, in the first section of its name), else of the section; lines
// of a UTF-16 file count as its text's.
TEST(IniFileLines, TheLineOfTheKeyReadOrOfItsSection) {
  const IniFile utf8 =
      IniFile::Parse("; c\r\n[1033]\r\nEXIT=a\r\n\r\nexit=b\r\nNOVALUE\r\n[1033]\r\nBACK=c\r\n");
  EXPECT_EQ(utf8.LineOf("1033"), 2u);
  EXPECT_EQ(utf8.LineOf("1033", " Exit "), 3u);
  EXPECT_EQ(utf8.LineOf("1033", "NOVALUE"), 6u);
  EXPECT_EQ(utf8.LineOf("1033", "BACK"), 0u);  // in a repeated section: never read
  EXPECT_EQ(utf8.LineOf("1031"), 0u);
  EXPECT_EQ(IniFile::Parse(Utf16Le(u"[1041]\r\n\r\nEXIT=終了\r\n")).LineOf("1041", "EXIT"), 3u);
}

TEST(IniFileEncodings, BrokenUtf16DoesNotStopTheReader) {
  EXPECT_EQ(Get("\xFF\xFE", "s", "k"), "DEF");  // only the mark
  // A lone surrogate becomes U+FFFD; an odd last byte is dropped.
  std::string bytes = Utf16Le(u"[s]\nk=a");
  bytes += std::string("\x00\xD8", 2);  // high surrogate without its low half
  bytes += Utf16Le(u"b\nm=v\n", false);
  bytes += "\x41";
  EXPECT_EQ(Get(bytes, "s", "k"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(Get(bytes, "s", "m"), "v");
}

// A file whose sections were saved by Windows tools of their languages:
// each section is read in its own language's codepage, names as well as
// values, and valid UTF-8 stays as it is. Shift-JIS, GBK and Big5 put "[",
// "\" and "]" in second bytes (ー, ソ, ゾ, 表, 乕, 乚, 久, 也).
TEST(IniFileEncodings, ValuesNotInUtf8AreReadInTheirSectionsCodepage) {
  const struct {
    const char *section, *charset, *text;
  } kSections[] = {
      {"1036", "CP1252", "Français"},     {"1041", "CP932", "ソースゾーン表示"},
      {"1045", "CP1250", "Zażółć gęślą"}, {"1049", "CP1251", "Выход"},
      {"3098", "CP1251", "Излаз"},        {"2074", "CP1250", "Čarobnjak"},
      {"1032", "CP1253", "Έξοδος"},       {"1055", "CP1254", "Çıkış"},
      {"1037", "CP1255", "יציאה"},        {"1025", "CP1256", "خروج"},
      {"1062", "CP1257", "Iziet, ē"},     {"1066", "CP1258", "Thoát"},
      {"1054", "CP874", "ออก"},           {"2052", "CP936", "退出乕乚"},
      {"1042", "CP949", "종료"},          {"1028", "CP950", "結束久也"},
      {"1031", "UTF-8", "Zurück"},
  };
  std::string file;
  for (const auto& s : kSections) {
    file += std::string("[") + s.section + "]\r\nk=" + testing_support::InCodepage(s.text, s.charset) +
            "\r\n" + testing_support::InCodepage(s.text, s.charset) + "=named\r\n";
  }
  // Outside a language section, the codepage of the section in use.
  file += "[Setup]\r\nk=ab\xC3(\xFF\r\n";
  // 230 bytes in the file, 260 as text.
  std::string accents;
  for (int i = 0; i < 30; ++i) accents += "é";
  file += "[1033]\r\nlong=" + testing_support::InCodepage(std::string(200, 'a') + accents, "CP1252") + "\r\n";
  const IniFile ini = IniFile::Parse(file);
  for (const auto& s : kSections) {
    EXPECT_EQ(ini.GetString(s.section, "k", ""), s.text) << s.section;
    EXPECT_EQ(ini.GetString(s.section, s.text, ""), "named") << s.section;
  }
  EXPECT_EQ(ini.GetString("Setup", "k", ""), "abÃ(ÿ");
  EXPECT_EQ(ini.GetString("Setup", "k", "", "1049"), "abГ(я");
  EXPECT_EQ(ini.GetString("Setup", "k", "", "1041"), "abﾃ(\uF8F3");  // 0xFF as Windows reads it
  // The cut comes after decoding and keeps characters whole.
  EXPECT_EQ(ini.GetString("1033", "long", ""), std::string(200, 'a') + accents.substr(0, 2 * 29));
}

// Shift-JIS as Windows reads it (codepage 932; the expected texts are those
// of Python's cp932 codec, which follows Windows): control characters stay
// themselves, 0x80 is U+0080, 0xA0 and 0xFD to 0xFF are U+F8F0 to U+F8F3,
// and the same bytes as second bytes belong to their pair.
TEST(IniFileEncodings, ShiftJisIsReadAsWindowsReadsIt) {
  const struct {
    const char *bytes, *text;
  } kCases[] = {
      {"\x1A", "\x1A"},
      {"\x1C", "\x1C"},
      {"\x7F", "\x7F"},
      {"\x80", "\xC2\x80"},
      {"\xA0", "\xEF\xA3\xB0"},
      {"\xFD\xFE\xFF", "\xEF\xA3\xB1\xEF\xA3\xB2\xEF\xA3\xB3"},
      {"\x41\x1A\x42\x1C\x43\x7F", "\x41\x1A\x42\x1C\x43\x7F"},
      {"\x81\x80\x81\xA0", "\xC3\xB7\xE2\x96\xA1"},              // ÷□
      {"\x83\x5C\x95\x5C", "\xE3\x82\xBD\xE8\xA1\xA8"},          // ソ表
      {"\x5C\x7E\xB1\xDF", "\x5C\x7E\xEF\xBD\xB1\xEF\xBE\x9F"},  // backslash, tilde, ｱﾟ
      {"\x81\x7F", "\xEF\xBF\xBD\x7F"},                          // no pair
      {"\x81\x1A", "\xEF\xBF\xBD\x1A"},
      {"\x9F\xFD", "\xEF\xBF\xBD\xEF\xA3\xB1"},
      {"\x61\x81", "\x61\xEF\xBF\xBD"},              // a first byte at the end
      {"\xE0\xA0\xA0", "\xE7\x87\xBF\xEF\xA3\xB0"},  // 燿, then U+F8F0
  };
  for (const auto& c : kCases)
    EXPECT_EQ(DecodeCodepage(c.bytes, 932), c.text) << testing::PrintToString(c.bytes);
}

// The leading number as ParseLeadingInt reads it (blanks, signs, what
// follows the digits: its own test), of the value without its quotes.
TEST(IniFileIntegers, TheLeadingDecimalNumberOfTheValue) {
  const IniFile ini = IniFile::Parse(
      "[LANGUAGE]\nspaced=  42 apples\nnone=abc\nempty=\nnegative=-1\nquoted=\"5\"\nhuge=99999999999\n");
  EXPECT_EQ(ini.GetInt("language", "spaced", 1), 42u);
  EXPECT_EQ(ini.GetInt("LANGUAGE", "none", 1), 0u);
  EXPECT_EQ(ini.GetInt("LANGUAGE", "quoted", 1), 5u);
  // A missing key and an empty value give the default.
  EXPECT_EQ(ini.GetInt("LANGUAGE", "missing", 1), 1u);
  EXPECT_EQ(ini.GetInt("LANGUAGE", "empty", 1), 1u);
  // Negative numbers and overflow wrap around in 32 bits, as the Windows
  // reader's unsigned result does.
  EXPECT_EQ(ini.GetInt("LANGUAGE", "negative", 1), 0xFFFFFFFFu);
  EXPECT_EQ(ini.GetInt("LANGUAGE", "huge", 1), static_cast<std::uint32_t>(99999999999ULL));
}

TEST(IniFileFromDisk, AChangedFileIsReadAgainAnUnchangedOneIsNot) {
  testing_support::TempMedium medium;
  const std::string path = medium.Write("setup.inf", "[Setup]\nProductName=%A%\n");
  EXPECT_EQ(ReadIniString(path, "Setup", "ProductName", ""), "%A%");
  const auto first = IniFile::LoadShared(path);
  EXPECT_EQ(IniFile::LoadShared(path), first);  // the same parsed copy

  // Another size.
  medium.Write("setup.inf", "[Setup]\nProductName=%BB%\n");
  EXPECT_EQ(ReadIniString(path, "Setup", "ProductName", ""), "%BB%");
  // The same size, another modification time.
  medium.Write("setup.inf", "[Setup]\nProductName=%CC%\n");
  const timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_EQ(ReadIniString(path, "Setup", "ProductName", ""), "%CC%");
  // Another file in its place, same size and time.
  const std::string other = medium.Write("other.inf", "[Setup]\nProductName=%DD%\n");
  ASSERT_EQ(utimensat(AT_FDCWD, other.c_str(), times, 0), 0);
  ASSERT_EQ(rename(other.c_str(), path.c_str()), 0);
  EXPECT_EQ(ReadIniString(path, "Setup", "ProductName", ""), "%DD%");
  // Rewritten with the same size within one tick of the modification time:
  // the change time tells.
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  const timespec same_time[2] = {{0, UTIME_OMIT}, before.st_mtim};
  struct stat after {};
  const auto same_change = [&] {
    return after.st_ctim.tv_sec == before.st_ctim.tv_sec && after.st_ctim.tv_nsec == before.st_ctim.tv_nsec;
  };
  for (int i = 0; i < 100000 && (i == 0 || same_change()); ++i) {
    medium.Write("setup.inf", "[Setup]\nProductName=%EE%\n");
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), same_time, 0), 0);
    ASSERT_EQ(stat(path.c_str(), &after), 0);
  }
  EXPECT_EQ(ReadIniString(path, "Setup", "ProductName", ""), "%EE%");
  // A file that went away reads as none.
  medium.Remove("setup.inf");
  EXPECT_EQ(ReadIniString(path, "Setup", "ProductName", "gone"), "gone");
  EXPECT_EQ(ReadIniInt(path, "Setup", "Missing", 9), 9u);
}

TEST(IniFileFromDisk, FewFilesAreKeptTheLeastUsedGoesFirst) {
  testing_support::TempMedium medium;
  std::vector<std::string> paths;
  for (int i = 0; i <= 16; ++i) paths.push_back(medium.Write("f" + std::to_string(i) + ".ini", "[s]\nk=v\n"));
  const auto first = IniFile::LoadShared(paths[0]);
  const auto second = IniFile::LoadShared(paths[1]);
  EXPECT_EQ(IniFile::LoadShared(paths[0]), first);  // used again: now the second is the oldest
  for (int i = 2; i <= 16; ++i) IniFile::LoadShared(paths[i]);
  EXPECT_EQ(IniFile::LoadShared(paths[0]), first);
  EXPECT_NE(IniFile::LoadShared(paths[1]), second);
}

TEST(IniFileFromDisk, ADirectoryInPlaceOfTheFileReadsAsNoFileAndSaysSo) {
  testing_support::TempMedium medium;
  const std::string path = medium.MakeDir("setupres.ini");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(IniFile::Load(path).has_value());
  EXPECT_EQ(ReadIniString(path, "1033", "9011", "NULL"), "NULL");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("is a directory"), std::string::npos);
}

}  // namespace
}  // namespace setupdata
