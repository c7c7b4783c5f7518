// Starts the launcher's front ends besides its window the way the launcher
// does, without the window: the same command line
//   PROGRAM [--text] [--language=X] [--database=Y] [--list]
// and the medium in the program's own folder (tests copy it into a medium).
#include <fcntl.h>

#include <clocale>
#include <cstdio>

#include "app/front_ends.h"
#include "app/result_channel.h"
#include "setupdata/setup_files.h"

int main(int argc, char** argv) {
  app::SecureStandardDescriptors();
  std::setlocale(LC_ALL, "");
  const app::LaunchOptions options = app::ParseLaunchOptions(argc, argv);
  if (!options.error.empty()) {
    std::fprintf(stderr, "setup-launcher: %s\n", options.error.c_str());
    return 2;
  }
  app::PosixSystem system;
  const std::string dir = setupdata::SetupFiles::ForProgram(system.ModuleFileName()).module_dir;
  if (dir.empty()) {
    std::fputs("setup-launcher: cannot find the launcher's own folder\n", stderr);
    return 1;
  }
  setupdata::LanguageTable languages;
  const app::FrontEndContext context{dir, languages, system};
  if (options.list) return app::ListLanguages(context);
  if (options.language) return app::RunUnattended(context, options);
  const int tty = open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (tty < 0) {
    std::fputs("setup-launcher: no display and no terminal\n", stderr);
    return 1;
  }
  return app::RunTextFrontEnd(context, tty);
}
