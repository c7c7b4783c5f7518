// setup-parent: the reference parent program. It does what a setup program
// does around the launcher: holds the lock named after the product, starts
// the launcher of the medium with its standard output on a pipe, reads the
// pipe to its end, and waits for it.
//
//   setup-parent [--run] [--text | --language=X [--database=SQL|Oracle]] MEDIUM_DIR
//
// --language and --database are handed on to the launcher, which then
// answers its questions with them and shows nothing; --text has it ask on
// the terminal.
//
// Exit status: 0 and the result on standard output (exactly the bytes the
// launcher handed over) when there was one; 1 when the launcher ended
// normally without a result (the user closed it, or a guard other than the
// one against a second launcher ended it); 2 when the launcher failed (a
// signal, another non-zero exit status) or could not be started; 3 when a
// result was lost on its way, the launcher's or this program's own write
// failed; 4 when another launcher was running, so this one ended at once;
// 5 when the answers chose a folder of a sealed medium that is damaged.
//
// With --run, as the medium's entry point runs it, the result is not
// written: the chosen language's setup program (setup.sh in its folder)
// runs in its place, in that folder, and its exit status is this
// program's. It learns the choice from its environment: SETUP_MEDIUM (the
// medium's folder), SETUP_FOLDER (the language's folder), and on a medium
// with a database choice SETUP_DATABASE (SQL or Oracle) and
// SETUP_DATABASE_OPTION (that database's option from setup.inf). When no
// setup runs, the status says why: 80 the user left without a choice, 81
// another launcher is running, 82 the choice (or the answers) name no
// language whose setup is on the medium, 83 the launcher or the medium is
// damaged (it failed, or the setup program cannot be run); 2 is a mistake
// on the command line.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/command_line.h"
#include "app/named_lock.h"
#include "app/result_channel.h"
#include "medium/medium.h"
#include "setupdata/name_on_medium.h"
#include "setupdata/setup_files.h"
#include "setupdata/system_language.h"
#include "setupdata/text.h"

namespace {

constexpr int kAnotherLauncher = 4;

// How long the launcher may take to end once its output has closed.
constexpr auto kEndGrace = std::chrono::seconds(10);

// One line on standard error; names from the medium may hold control
// characters.
void Say(const std::string& line) {
  std::fprintf(stderr, "setup-parent: %s\n", setupdata::PrintableText(line).c_str());
}

int Fail(const std::string& message) {
  Say(message);
  return 2;
}

constexpr char kUsage[] =
    "usage: setup-parent [--run] [--text | --language=X [--database=SQL|Oracle]] MEDIUM_DIR\n";

// What --run ends with when no setup runs.
constexpr int kUserLeft = 80;
constexpr int kBusy = 81;
constexpr int kNotInstallable = 82;
constexpr int kDamaged = 83;

// A mistake on the command line: one line that names it and points to the
// help, and status 2.
int Mistake(const std::string& why) {
  Say(why + "; see setup-parent --help");
  return 2;
}

// Runs the launcher of `medium` with `answers` (its options; `answered`
// when they answer its questions) under the product's lock and reads what
// it hands over into `result`; the exit status above.
int Launch(const std::string& medium, std::vector<std::string> answers, bool answered, std::string& result) {
  // Nothing is started for a folder that is no medium.
  if (const std::string why = setupdata::WhyNoMedium(medium); !why.empty()) return Fail(why);
  std::signal(SIGPIPE, SIG_IGN);

  // The product name as the launcher resolves it on this system.
  setupdata::SetupFiles files = setupdata::SetupFiles::ForDirectory(medium);
  files.ChooseLanguage(setupdata::SystemDefaultLangId());
  const std::string product = files.ProductName();
  bool existed = false;
  std::string problem;
  const std::unique_ptr<app::NamedLock> lock = app::NamedLock::Create(product, existed, &problem);
  if (!lock) {
    Say("cannot hold the lock of the product \"" + product + "\" (" + problem + "); the launcher will end");
  }

  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0)
    return Fail(std::string("cannot make a pipe: ") + std::strerror(errno));
  const std::string launcher = files.module_dir + setupdata::kLauncherName;
  std::vector<char*> launcher_argv{const_cast<char*>(launcher.c_str())};
  for (std::string& answer : answers) launcher_argv.push_back(answer.data());
  launcher_argv.push_back(nullptr);
  // While the launcher runs, Ctrl+C on the terminal is the launcher's to
  // answer (on a terminal it means leaving): this program waits for its
  // result, as a shell's system() waits for its command.
  std::signal(SIGINT, SIG_IGN);
  std::signal(SIGQUIT, SIG_IGN);
  const pid_t pid = fork();
  if (pid < 0) return Fail(std::string("cannot start the launcher: ") + std::strerror(errno));
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_RDONLY);
    if (null_fd < 0 || dup2(null_fd, STDIN_FILENO) < 0 || dup2(pipe_fds[1], STDOUT_FILENO) < 0) _exit(127);
    for (const int signal : {SIGPIPE, SIGINT, SIGQUIT}) std::signal(signal, SIG_DFL);
    execv(launcher.c_str(), launcher_argv.data());
    Say("cannot run " + launcher + ": " + std::strerror(errno));
    _exit(127);
  }
  close(pipe_fds[1]);

  char buffer[4096];
  while (true) {
    const ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
    if (n > 0) {
      result.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(pipe_fds[0]);

  // The launcher closes its output when it hands over the result, or when it
  // ends; once that is done it is gone within two seconds. It gets more
  // than that on a busy machine, but not for ever.
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + kEndGrace;
  while (true) {
    const pid_t ended = waitpid(pid, &status, WNOHANG);
    if (ended == pid) break;
    if (ended < 0 && errno != EINTR) {
      return Fail(std::string("cannot wait for the launcher: ") + std::strerror(errno));
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return Fail("the launcher did not end after closing its output; it was stopped");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (WIFSIGNALED(status)) {
    return Fail(std::string("the launcher was ended by signal ") + std::to_string(WTERMSIG(status)) + " (" +
                strsignal(WTERMSIG(status)) + ")");
  }
  if (WEXITSTATUS(status) == 127) return Fail("the launcher could not be run: " + launcher);
  if (WEXITSTATUS(status) == app::kResultLostStatus) {
    // With answers, the launcher also ends so when they name no language
    // of the medium (it said which on standard error).
    std::fputs(!answered ? "setup-parent: the launcher could not hand over its result\n"
                         : "setup-parent: the launcher handed over no result for the answers given\n",
               stderr);
    return app::kResultLostStatus;
  }
  if (WEXITSTATUS(status) == app::kAnotherLauncherStatus) {
    std::fputs("setup-parent: another launcher is running\n", stderr);
    return kAnotherLauncher;
  }
  if (WEXITSTATUS(status) == app::kMediumDamagedStatus) {
    // The launcher has named the damaged file.
    std::fputs("setup-parent: the medium is damaged\n", stderr);
    return app::kMediumDamagedStatus;
  }
  if (WEXITSTATUS(status) != 0) {
    return Fail("the launcher failed with exit status " + std::to_string(WEXITSTATUS(status)));
  }
  return result.empty() ? 1 : 0;
}

// Runs the setup program of the choice `result` names, in place of this
// program; returns only when it cannot, with the status above.
int RunChosenSetup(const std::string& medium_dir, const std::string& result) {
  setupdata::LanguageTable unused;
  const medium::Medium medium = medium::Medium::InDirectory(medium_dir, setupdata::kFallbackLangId, unused);
  const std::optional<medium::Choice> choice = medium.ReadHandover(result);
  if (!choice) {
    Say("the launcher handed over \"" + result + "\", which names no setup folder of " + medium_dir);
    return kNotInstallable;
  }
  const setupdata::FoundPath found =
      setupdata::FindOnMedium(medium.ModuleDir(), choice->folder + "/" + medium::kSetupProgramName);
  if (!found.found()) {
    Say("the setup of " + choice->folder + " is missing: no " + medium::kSetupProgramName + " in " +
        medium.ModuleDir() + choice->folder);
    return kNotInstallable;
  }
  const std::string program = medium.ModuleDir() + found.path;
  const std::string folder = program.substr(0, program.rfind('/'));
  // The medium as the setup sees it: the folder the language's folder lies
  // in, links followed (the entry point may run from a copy beside it).
  char* real_folder = realpath(folder.c_str(), nullptr);
  std::string medium_root = real_folder != nullptr ? real_folder : folder;
  std::free(real_folder);
  medium_root.erase(medium_root.rfind('/') == 0 ? 1 : medium_root.rfind('/'));
  if (chdir(folder.c_str()) != 0) {
    Say("cannot enter " + folder + ": " + std::strerror(errno));
    return kDamaged;
  }
  setenv("SETUP_MEDIUM", medium_root.c_str(), 1);
  setenv("SETUP_FOLDER", choice->folder.c_str(), 1);
  if (choice->database.empty()) {
    unsetenv("SETUP_DATABASE");
    unsetenv("SETUP_DATABASE_OPTION");
  } else {
    setenv("SETUP_DATABASE", choice->database.c_str(), 1);
    setenv("SETUP_DATABASE_OPTION", choice->option.c_str(), 1);
  }
  for (const int signal : {SIGPIPE, SIGINT, SIGQUIT}) std::signal(signal, SIG_DFL);
  // The program itself; a script that cannot be run as a program (a medium
  // mounted noexec, a copy that lost its execute bits) through sh.
  char* const own[] = {const_cast<char*>(program.c_str()), nullptr};
  execv(program.c_str(), own);
  const int own_error = errno;
  if (own_error == EACCES || own_error == ENOEXEC || own_error == EPERM) {
    char* const through_sh[] = {const_cast<char*>("sh"), const_cast<char*>(program.c_str()), nullptr};
    execv("/bin/sh", through_sh);
  }
  Say("cannot run " + program + ": " + std::strerror(own_error));
  return kDamaged;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  constexpr app::OptionSpec kOptions[] = {{"--language", true}, {"--database", true}, {"--text"}, {"--run"}};
  const app::CommandLine line = app::ReadCommandLine(args, kOptions);
  if (line.Has("--help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!line.error.empty()) return Mistake(line.error);
  if (line.operands.size() != 1)
    return Mistake(line.operands.empty() ? "MEDIUM_DIR is needed" : "one MEDIUM_DIR only");
  const std::string& medium = line.operands[0];
  // The launcher's own options are handed on to it as they came
  // ("--language=X", "--text"); it judges them itself.
  std::vector<std::string> answers;
  for (const char* name : {"--language", "--database"}) {
    if (const auto value = line.Value(name)) answers.push_back(std::string(name) + "=" + *value);
  }
  if (line.Has("--text")) answers.emplace_back("--text");
  const bool gave_answers = line.Has("--language") || line.Has("--database");

  std::string result;
  const int status = Launch(medium, answers, gave_answers, result);
  if (line.Has("--run")) {
    switch (status) {
      case 0:
        return RunChosenSetup(medium, result);
      case 1:
        return kUserLeft;
      case kAnotherLauncher:
        return kBusy;
      case app::kResultLostStatus:
        return gave_answers ? kNotInstallable : kDamaged;
      default:
        return kDamaged;
    }
  }
  if (status != 0) return status;
  if (!app::WriteAll(STDOUT_FILENO, result)) {
    std::fprintf(stderr, "setup-parent: cannot write the result: %s\n",
                 errno == ETIMEDOUT ? "standard output stayed full" : std::strerror(errno));
    return app::kResultLostStatus;
  }
  return 0;
}
