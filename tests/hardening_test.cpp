// Bad input the launcher meets on media nobody here controls: each case has
// a sound outcome, the default where there is one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <set>
#include <string>

#include "app/named_lock.h"
#include "app/result_channel.h"
#include "pages/page_filling.h"
#include "setupdata/ini_file.h"
#include "setupdata/language_table.h"
#include "setupdata/setup_files.h"
#include "support/temp_medium.h"

namespace {

using setupdata::IniFile;
using testing_support::TempMedium;

TEST(BadSetupFiles, BinaryGarbageParsesAndGivesDefaults) {
  std::mt19937 random(42);
  std::string garbage(1 << 16, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  const IniFile ini = IniFile::Parse(garbage);
  EXPECT_EQ(ini.GetString("1033", "9011", "NULL"), "NULL");
  EXPECT_EQ(ini.GetInt("LANGUAGE", "LANGUAGENUMBER", 1), 1u);
}

TEST(BadSetupFiles, NulCharactersAreNoPartOfAText) {
  constexpr char kText[] = "[1033]\nEXIT=Ex\0it\n9011=%s\0 Setup\n";
  const std::string text(kText, sizeof kText - 1);
  const IniFile ini = IniFile::Parse(text);
  EXPECT_EQ(ini.GetString("1033", "EXIT", ""), "Exit");
  EXPECT_EQ(ini.GetString("1033", "9011", ""), "%s Setup");
}

TEST(BadSetupFiles, InvalidUtf8IsKeptAsItsBytes) {
  const IniFile ini = IniFile::Parse("[s]\nk=ab\xC3\x28\xFF\n");
  EXPECT_EQ(ini.GetString("s", "k", ""), "ab\xC3\x28\xFF");
}

TEST(BadSetupFiles, AFileOver16MiBIsNotReadAndSaysSo) {
  TempMedium medium;
  const std::string path = medium.Write("setupres.ini", "[1033]\n9011=%s Setup\n");
  ASSERT_EQ(truncate(path.c_str(), 100 << 20), 0);  // a 100 MB file (sparse)
  testing::internal::CaptureStderr();
  EXPECT_EQ(setupdata::ReadIniString(path, "1033", "9011", "NULL"), "NULL");
  EXPECT_EQ(setupdata::ReadIniString(path, "1033", "9011", "NULL"), "NULL");
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("larger than 16 MiB"), std::string::npos);
  EXPECT_EQ(said.find('\n'), said.size() - 1) << "one line, once: " << said;
}

TEST(BadNames, LockFileNamesStayWithinTheLimitAndUnique) {
  EXPECT_EQ(app::NamedLockFileName("a/b"), "a%2Fb.lock");
  EXPECT_EQ(app::NamedLockFileName(".."), "%2E..lock");
  EXPECT_EQ(app::NamedLockFileName("   "), "%20%20%20.lock");
  const std::string long_a(300, 'a');
  const std::string long_b = std::string(299, 'a') + "b";
  const std::string name_a = app::NamedLockFileName(long_a);
  const std::string name_b = app::NamedLockFileName(long_b);
  EXPECT_LE(name_a.size(), 255u);
  EXPECT_NE(name_a, name_b);
  // Escapes are never cut in half.
  const std::string escaped = app::NamedLockFileName(std::string(300, '/'));
  EXPECT_LE(escaped.size(), 255u);
  EXPECT_EQ(escaped.substr(0, escaped.find('~')).size() % 3, 0u);
  EXPECT_EQ(escaped.find('/'), std::string::npos);
}

TEST(BadNames, LocksOfAwkwardNamesCanBeHeld) {
  TempMedium medium;
  setenv("XDG_RUNTIME_DIR", medium.dir().c_str(), 1);
  for (const std::string& name : {std::string("a/b/../c"), std::string(".."), std::string(300, 'x'),
                                  std::string("   "), std::string("Ü ñ 日本 %s %n")}) {
    bool existed = true;
    auto lock = app::NamedLock::Create(name, existed);
    ASSERT_TRUE(lock) << name;
    EXPECT_FALSE(existed) << name;
    EXPECT_EQ(lock->path().rfind(medium.dir(), 0), 0u) << lock->path();
    bool again = false;
    auto second = app::NamedLock::Create(name, again);
    EXPECT_TRUE(again) << name;
  }
  unsetenv("XDG_RUNTIME_DIR");
}

TEST(BadNames, LanguageFoldersNeverLeadOutOfTheMedium) {
  TempMedium medium;
  medium.MakeDir("ENU/x64");
  medium.MakeDir("ENU ");
  medium.Write("setupres.ini",
               "[1033]\nLANGUAGE0=Up,..\nLANGUAGE1=Nested,ENU/x64\nLANGUAGE2=\"Blank,ENU \"\n"
               "LANGUAGE3=Dots,ENU/../ENU\n");
  setupdata::LanguageTable table;
  const setupdata::LanguageSource source{medium.dir(), medium.dir() + "setupres.ini", "1033", 4};
  EXPECT_EQ(table.GetLanguageDir(source, "LANGUAGE0"), "ENU/x64");
  EXPECT_EQ(table.GetLanguageName(source, "LANGUAGE1"), "Blank");
  EXPECT_EQ(table.size(), 2u);
}

class NoLookups : public pages::PageLookups {
 public:
  std::string GetResText(const std::string& key) const override { return "<" + key + ">"; }
  std::string GetSetupValue(const std::string&) const override { return "Product"; }
  std::string GetLanguageName(const std::string&) const override { return ""; }
  std::string GetLanguageDir(const std::string&) const override { return ""; }
  bool IsSetupSubdir(const std::string&) const override { return false; }
};

TEST(BadPages, ATenMegabytePageIsFilledWhole) {
  NoLookups lookups;
  std::string body;
  while (body.size() < (10u << 20)) body += "<p>IDEXIT IDLANGUAGE3 id=AAAAA</p>";
  const std::string out = pages::FillHomePageText(body, {}, lookups);
  EXPECT_EQ(out.find("IDEXIT"), std::string::npos);
  EXPECT_EQ(out.find("IDLANGUAGE"), std::string::npos);
  EXPECT_NE(out.find("<p><EXIT>  style='visibility:hidden'</p>"), std::string::npos);
}

TEST(BadStandardHandles, ClosedDescriptorsAreFilledAndNoResultGoesThere) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(STDIN_FILENO);
    close(STDOUT_FILENO);
    app::SecureStandardDescriptors();
    // The next file opened must not become standard output.
    const int fd = open("/dev/null", O_RDONLY);
    const bool ok = !app::StandardHandlesWereOpen() && fd > STDERR_FILENO &&
                    app::IsDescriptorOpen(STDIN_FILENO) && app::IsDescriptorOpen(STDOUT_FILENO);
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(BadStandardHandles, AWriteToAPipeWithoutReaderFailsQuietly) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  signal(SIGPIPE, SIG_IGN);
  EXPECT_FALSE(app::WriteAll(fds[1], "ENU"));
  close(fds[1]);
  signal(SIGPIPE, SIG_DFL);
}

}  // namespace
