// Bad input the launcher meets on media nobody here controls: each case has
// a sound outcome, the default where there is one.
#include <fcntl.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "app/named_lock.h"
#include "app/result_channel.h"
#include "app/system.h"
#include "pages/page_filling.h"
#include "pages/page_library.h"
#include "setupdata/ini_file.h"
#include "setupdata/language_table.h"
#include "setupdata/setup_files.h"
#include "support/temp_medium.h"

namespace {

using setupdata::IniFile;
using testing_support::TempMedium;

// Runs `body` in a child process that the alarm ends after `seconds`, with
// its standard error on /dev/null: true when the body returned true in
// time. What would hang fails instead of holding up the tests.
bool EndsInTime(unsigned seconds, const std::function<bool()>& body) {
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    alarm(seconds);
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, STDERR_FILENO);
    _exit(body() ? 0 : 1);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

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

// A FIFO put in place of a setup file between a check and the open would
// block the reader for ever: the file is opened without waiting, and then
// its descriptor is checked.
TEST(BadSetupFiles, AFifoSwappedInNeverHoldsTheReaderUp) {
  TempMedium medium;
  const std::string path = medium.Write("setup.inf", "[Setup]\nProductName=%P%\n");
  const std::string fifo = medium.dir() + "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(EndsInTime(30, [&] {
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
      while (!stop) renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, fifo.c_str(), RENAME_EXCHANGE);
    });
    for (int i = 0; i < 20000; ++i) {
      IniFile::Load(path);
      setupdata::ReadIniString(path, "Setup", "ProductName", "");
    }
    stop = true;
    swapper.join();
    return true;
  }));
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
  const testing_support::ScopedEnv runtime_dir("XDG_RUNTIME_DIR", medium.dir().c_str());
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
}

// Lock folders and lock files of the wrong kind are never used, and the
// reason is told.
TEST(BadLocks, TheFallbackFolderGetsItsModeWhateverTheUmask) {
  TempMedium medium;
  const std::string fallback = medium.dir() + "locks";
  auto mode = [&] {
    struct stat st {};
    return lstat(fallback.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  };
  std::string problem;
  const mode_t old_mask = umask(0277);
  EXPECT_EQ(app::ChooseNamedLockDirectory(nullptr, fallback, &problem), fallback) << problem;
  umask(old_mask);
  EXPECT_EQ(mode(), 0700u);
  // One that an earlier run left without its write bit is mended; one that
  // others may enter is refused.
  ASSERT_EQ(chmod(fallback.c_str(), 0500), 0);
  EXPECT_EQ(app::ChooseNamedLockDirectory(nullptr, fallback, &problem), fallback);
  EXPECT_EQ(mode(), 0700u);
  ASSERT_EQ(chmod(fallback.c_str(), 0750), 0);
  EXPECT_EQ(app::ChooseNamedLockDirectory(nullptr, fallback, &problem), "");
  EXPECT_NE(problem.find("mode is not 0700"), std::string::npos) << problem;
  // A link in its place, even to a good folder, is refused.
  const std::string link = medium.dir() + "link";
  ASSERT_EQ(symlink(medium.MakeDir("good").c_str(), link.c_str()), 0);
  chmod((medium.dir() + "good").c_str(), 0700);
  EXPECT_EQ(app::ChooseNamedLockDirectory(nullptr, link, &problem), "");
  EXPECT_NE(problem.find("not a directory"), std::string::npos) << problem;
}

TEST(BadLocks, ARuntimeFolderCountsOnlyWhenItIsTheUsersAndClosed) {
  TempMedium medium;
  const std::string fallback = medium.dir() + "fallback";
  const std::string runtime = medium.MakeDir("run");
  ASSERT_EQ(chmod(runtime.c_str(), 0700), 0);
  EXPECT_EQ(app::ChooseNamedLockDirectory(runtime.c_str(), fallback), runtime);
  EXPECT_EQ(app::ChooseNamedLockDirectory("run", fallback), fallback);  // not absolute
  ASSERT_EQ(chmod(runtime.c_str(), 0755), 0);
  EXPECT_EQ(app::ChooseNamedLockDirectory(runtime.c_str(), fallback), fallback);
  if (geteuid() == 0) {  // another user's folder can only be made by root
    ASSERT_EQ(chmod(runtime.c_str(), 0700), 0);
    ASSERT_EQ(chown(runtime.c_str(), 65534, 65534), 0);
    EXPECT_EQ(app::ChooseNamedLockDirectory(runtime.c_str(), fallback), fallback);
  }
}

TEST(BadLocks, ALockFileThatIsALinkOrAnotherUsersIsNoLockAndSaysWhy) {
  TempMedium medium;
  const testing_support::ScopedEnv runtime_dir("XDG_RUNTIME_DIR", medium.dir().c_str());
  ASSERT_EQ(
      symlink((medium.dir() + "nowhere").c_str(), (medium.dir() + "PreventSecondInstance.lock").c_str()), 0);
  bool existed = true;
  std::string problem;
  EXPECT_FALSE(app::NamedLock::Create("PreventSecondInstance", existed, &problem));
  EXPECT_FALSE(existed);
  EXPECT_NE(problem.find("PreventSecondInstance.lock: it is a symbolic link"), std::string::npos) << problem;
  // The launcher says so in one line.
  app::PosixSystem system;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(system.CreateNamedLock("PreventSecondInstance", existed));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("symbolic link"), std::string::npos);
  EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
  if (geteuid() == 0) {  // left by a run as root, say
    const std::string other = medium.Write("Product.lock", "");
    ASSERT_EQ(chown(other.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(app::NamedLock::Create("Product", existed, &problem));
    EXPECT_NE(problem.find("Product.lock: it belongs to another user"), std::string::npos) << problem;
  }
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

TEST(BadPages, ALibraryThatIsAFifoOrAFolderDoesNotOpen) {
  TempMedium medium;
  const std::string fifo = medium.dir() + "SetupHmRes.dll";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(EndsInTime(10, [&] {
    std::string error;
    return pages::PageLibrary::Open(fifo, &error) == nullptr && error == "it is a FIFO, not a file";
  }));
  std::string error;
  EXPECT_FALSE(pages::PageLibrary::Open(medium.MakeDir("folder.dll"), &error));
  EXPECT_EQ(error, "it is a directory");
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
    const bool ok = app::WriteResultOnce("x") == app::ResultWrite::kNoChannel && fd > STDERR_FILENO &&
                    app::IsDescriptorOpen(STDIN_FILENO) && app::IsDescriptorOpen(STDOUT_FILENO);
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Standard output where a result cannot go: the result is lost, and the
// launcher says so in one line; a second result never follows the first.
TEST(BadStandardHandles, ALostResultIsSaidAndAResultGoesOnce) {
  TempMedium medium;
  const std::string said = medium.dir() + "stderr";
  struct Case {
    const char* what;
    std::function<int()> output;  // the descriptor standard output becomes
    app::ResultWrite first;
  };
  int pipe_fds[2] = {-1, -1};
  const Case cases[] = {
      {"a full disk", [] { return open("/dev/full", O_WRONLY); }, app::ResultWrite::kLost},
      {"a read-only descriptor", [] { return open("/dev/null", O_RDONLY); }, app::ResultWrite::kLost},
      {"a pipe without reader",
       [&] {
         if (pipe(pipe_fds) != 0) return -1;
         close(pipe_fds[0]);
         return pipe_fds[1];
       },
       app::ResultWrite::kLost},
      {"a pipe whose reader reads later", [&] { return pipe(pipe_fds) == 0 ? pipe_fds[1] : -1; },
       app::ResultWrite::kWritten},
  };
  for (const Case& c : cases) {
    const int out = c.output();
    ASSERT_GE(out, 0) << c.what;
    const bool ended = EndsInTime(10, [&] {
      signal(SIGPIPE, SIG_IGN);  // as the launcher does
      const int err = open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (err < 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0) return false;
      app::SecureStandardDescriptors();
      return app::WriteResultOnce("ENU") == c.first &&
             app::WriteResultOnce("DEU") == app::ResultWrite::kNoChannel;
    });
    EXPECT_TRUE(ended) << c.what;
    close(out);
    gchar* text = nullptr;
    g_file_get_contents(said.c_str(), &text, nullptr, nullptr);
    const std::string line = text != nullptr ? text : "";
    g_free(text);
    if (c.first == app::ResultWrite::kLost) {
      EXPECT_EQ(line.rfind("setup-launcher: the result could not be handed to the parent: ", 0), 0u) << line;
      EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    } else {
      EXPECT_EQ(line, "") << c.what;
      char buffer[16] = {};
      EXPECT_EQ(read(pipe_fds[0], buffer, sizeof buffer), 3);
      EXPECT_STREQ(buffer, "ENU");
      close(pipe_fds[0]);
    }
  }
}

// Descriptors a parent left inheritable never reach the programs the
// launcher starts, which could keep the parent's lock alive; the standard
// three still do.
TEST(BadStandardHandles, InheritedDescriptorsAreClosedOnExec) {
  for (const bool close_range : {true, false}) {
    EXPECT_TRUE(EndsInTime(10, [&] {
      const int low = open("/dev/null", O_RDONLY);
      const int high = fcntl(low, F_DUPFD, 500);
      if (close_range) {
        app::SecureStandardDescriptors();
      } else {
        app::MarkInheritedDescriptorsCloseOnExec(false);
      }
      const auto closed_on_exec = [](int fd) { return (fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0; };
      return low > STDERR_FILENO && closed_on_exec(low) && closed_on_exec(high) &&
             !closed_on_exec(STDIN_FILENO) && !closed_on_exec(STDOUT_FILENO) &&
             !closed_on_exec(STDERR_FILENO);
    })) << (close_range ? "close_range" : "/proc/self/fd");
  }
}

// A parent's pipe that does not wait (non-blocking) and is full is waited
// for, a bounded time; a pipe without reader fails at once.
TEST(BadStandardHandles, AFullPipeThatDoesNotWaitIsWaitedForAWhile) {
  signal(SIGPIPE, SIG_IGN);
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
  const std::string chunk(1 << 16, 'x');
  std::size_t filled = 0;
  for (ssize_t n; (n = write(fds[1], chunk.data(), chunk.size())) > 0;) filled += static_cast<std::size_t>(n);
  // Nobody reads: the write gives up.
  EXPECT_FALSE(app::WriteAll(fds[1], "ENU", 200));
  EXPECT_EQ(errno, ETIMEDOUT);
  // A reader that drains the pipe meanwhile gets all of a large result.
  const std::size_t result = 1 << 20;
  std::thread reader([&] {
    char buffer[1 << 16];
    for (std::size_t got = 0, tries = 0; got < filled + result && tries < 100000; ++tries) {
      const ssize_t n = read(fds[0], buffer, sizeof buffer);
      if (n > 0) {
        got += static_cast<std::size_t>(n);
      } else {
        usleep(100);
      }
    }
  });
  EXPECT_TRUE(app::WriteAll(fds[1], std::string(result, 'y'), 10000));
  reader.join();
  close(fds[0]);
  EXPECT_FALSE(app::WriteAll(fds[1], "ENU", 200));
  EXPECT_EQ(errno, EPIPE);
  close(fds[1]);
  signal(SIGPIPE, SIG_DFL);
}

}  // namespace
