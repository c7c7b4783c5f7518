// The launcher's ways to run besides its window: the dialog in words on a
// terminal, unattended answers, and the list of installable languages.
// Each runs the same dialog (CLauncherDlg) with the same guards and hands
// over exactly the result the window would.
#pragma once

#include <optional>
#include <string>

#include "app/system.h"
#include "setupdata/language_table.h"

namespace app {

// What the command line and the environment ask for.
struct LaunchOptions {
  bool text = false;  // --text: the terminal even when a window could show
  bool list = false;  // --list: print the installable languages, nothing else
  bool help = false;  // --help: print the usage, nothing else
  // --language=X / SETUP_LAUNCHER_LANGUAGE: answer the language question
  // without asking (a folder, a display name or a 1-based position).
  std::optional<std::string> language;
  // --database=SQL|Oracle / SETUP_LAUNCHER_DATABASE (with a language only),
  // in the dialog's spelling whatever the letters' case given.
  std::optional<std::string> database;
  std::string error;  // not empty: the command line is wrong; one line saying how
};

// Reads argv (the program's name first) and the environment's
// SETUP_LAUNCHER_LANGUAGE and SETUP_LAUNCHER_DATABASE; options win over
// the environment.
LaunchOptions ParseLaunchOptions(int argc, const char* const* argv);
// What --help prints.
const char* LaunchUsage();

// The environment variable `name`; none when it is unset or empty, as
// every variable the launcher reads counts as not given then.
std::optional<std::string> EnvironmentValue(const char* name);
// WAYLAND_DISPLAY or DISPLAY names a display.
bool DisplayNamed();

// The medium in `module_dir` (ending with "/"), the process's one table of
// languages, and the system the dialog reaches.
struct FrontEndContext {
  std::string module_dir;
  setupdata::LanguageTable& languages;
  ISystem& system;
};

// Runs the dialog on the terminal `tty_fd` (read and written; never
// standard output). Returns the process's exit status, as the window's run
// does.
int RunTextFrontEnd(const FrontEndContext& context, int tty_fd);

// Answers the dialog's questions with `options` (language, database),
// showing nothing. Returns the exit status: 3 when the language is not
// installable (one line on standard error naming the installable ones),
// else the dialog's (CLauncherDlg::ExitStatus).
int RunUnattended(const FrontEndContext& context, const LaunchOptions& options);

// Prints the installable languages in slot order to standard output, one
// "folder<TAB>display name" line each. Returns the exit status: 1, with
// nothing written, when the dialog refuses the medium (it says why on
// standard error).
int ListLanguages(const FrontEndContext& context);

}  // namespace app
