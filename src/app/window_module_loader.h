// Finding the window's module beside the launcher.
#pragma once

#include <string>

#include "app/window_module.h"

namespace app {

// Loads the window's module from the medium's folder `dir` (ending with
// "/") and checks that it belongs to this launcher. Null when it cannot be
// used, with `why` saying so in one line.
const SetupLauncherWindowModule* LoadWindowModule(const std::string& dir, std::string& why);

}  // namespace app
