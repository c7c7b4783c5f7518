// CLauncherApp: initialises the toolkit, runs the one dialog until it ends,
// and lets the process exit.
#pragma once

#include <string>

#include "setupdata/language_table.h"

namespace app {

class CLauncherApp {
 public:
  // Returns the process's exit status: 0 once the dialog has ended, 1 when
  // the launcher cannot run at all (its own folder unknown, no display) or
  // its view failed, 3 when the result did not reach the parent.
  int Run(int argc, char** argv);

 private:
  bool InitInstance();
  int exit_status_ = 0;
  std::string module_dir_;  // the medium: the launcher's own folder
  // The process's one table of installable languages.
  setupdata::LanguageTable languages_;
};

}  // namespace app
