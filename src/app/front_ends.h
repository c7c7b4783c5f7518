// The launcher's ways to run besides its window: the dialog in words on a
// terminal, unattended answers, and the list of installable languages.
// Each runs the same dialog (CLauncherDlg) with the same guards and hands
// over exactly the result the window would.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/system.h"
#include "setupdata/language_table.h"

namespace app {

// The status of a run without a window whose pages cannot be read (no page
// library, a page missing from it, language links made by a script): the
// window's view that cannot show the pages ends with it too.
inline constexpr int kPageUnusableStatus = 1;
// What the runs without a window say of a home page whose language links
// a script makes.
inline constexpr char kLinksByScript[] =
    "the home page makes its language links with a script, which only the window can run";

// What the command line and the environment ask for.
struct LaunchOptions {
  bool text = false;  // --text: the terminal even when a window could show
  bool list = false;  // --list: print the installable languages, nothing else
  bool help = false;  // --help: print the usage, nothing else
  // --language=X / SETUP_LAUNCHER_LANGUAGE: answer the language question
  // without asking (a folder, a label or a 1-based position of the home
  // page's language links; MatchLanguageAnswer).
  std::optional<std::string> language;
  // --database[=SQL|Oracle] / SETUP_LAUNCHER_DATABASE (with a language
  // only), as given; empty: the database the page checks. Its spelling is
  // judged once the medium is known to offer the choice.
  std::optional<std::string> database;
  std::string error;  // not empty: the command line is wrong; one line saying how
};

// Reads argv (the program's name first) and the environment's
// SETUP_LAUNCHER_LANGUAGE and SETUP_LAUNCHER_DATABASE; each option wins
// over its own variable, and an option said twice is a mistake.
LaunchOptions ParseLaunchOptions(int argc, const char* const* argv);
// `text` for a comparison without regard to case, in any script; a text
// that is not UTF-8 (an answer from the command line need not be) in its
// ASCII letters alone.
std::string Folded(std::string_view text);

// The language links an unattended answer names, in the one order kept:
// the exact folder (as it will be handed over), then the exact label, then
// either without regard to case, then a position from 1 (digits only). The
// first step that matches decides; more than one index means the answer
// is ambiguous and must be refused, none that it names no link.
struct AnswerMatch {
  std::vector<std::size_t> indices;
};
AnswerMatch MatchLanguageAnswer(const std::string& answer, const std::vector<std::string>& labels,
                                const std::vector<std::optional<std::string>>& folders);

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
// showing nothing, on the medium's own pages. Returns the exit status: 5
// when the chosen folder of a sealed medium is damaged (kMediumDamagedStatus),
// 3 when the answer names no language link or one without its setup, 2 when
// it names several or the database is neither, 1 when the pages cannot be
// read (each with one line on standard error), else the dialog's
// (CLauncherDlg::ExitStatus).
int RunUnattended(const FrontEndContext& context, const LaunchOptions& options);

// Prints the home page's language links that hand over a folder, in the
// page's order, to standard output: one "folder<TAB>label" line each, the
// folder as the medium spells it. Returns the exit status: 1, with
// nothing written, when the dialog refuses the medium (it says why on
// standard error).
int ListLanguages(const FrontEndContext& context);

}  // namespace app
