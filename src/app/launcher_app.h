// CLauncherApp: initialises the toolkit, runs the one dialog until it ends,
// and lets the process exit.
#pragma once

#include "setupdata/language_table.h"

namespace app {

class CLauncherApp {
 public:
  // Returns the process's exit status: 0 once the dialog has ended, non-zero
  // when the launcher cannot run at all (no display) or its view failed.
  int Run(int argc, char** argv);

 private:
  bool InitInstance();
  int exit_status_ = 0;
  // The process's one table of installable languages.
  setupdata::LanguageTable languages_;
};

}  // namespace app
