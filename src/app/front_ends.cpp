#include "app/front_ends.h"

#include <cstdio>

// The front ends besides the window are not built yet: each says so.
namespace app {
namespace {
int NotYet(const char* what) {
  std::fprintf(stderr, "setup-launcher: %s is not available in this build\n", what);
  return 1;
}
}  // namespace

LaunchOptions ParseLaunchOptions(int, const char* const*) { return {}; }
int RunTextFrontEnd(const FrontEndContext&, int) { return NotYet("the text front end"); }
int RunUnattended(const FrontEndContext&, const LaunchOptions&) { return NotYet("unattended answers"); }
int ListLanguages(const FrontEndContext&) { return NotYet("--list"); }

}  // namespace app
