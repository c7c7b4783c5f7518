// CLauncherApp: reads the command line, chooses the front end (the window,
// the terminal, unattended answers or the language list), runs the one
// dialog until it ends, and lets the process exit.
#pragma once

#include <string>

#include "setupdata/language_table.h"

namespace app {

class CLauncherApp {
 public:
  // Returns the process's exit status: 0 once the dialog has ended, 1 when
  // the launcher cannot run at all (its own folder unknown, neither a
  // window nor a terminal) or its view failed, 2 for a wrong command line,
  // 3 when the result did not reach the parent (or an unattended language
  // is not installable).
  int Run(int argc, char** argv);

 private:
  std::string module_dir_;  // the medium: the launcher's own folder
  // The process's one table of installable languages.
  setupdata::LanguageTable languages_;
};

}  // namespace app
