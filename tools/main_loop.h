// Waiting on GLib's main loop with a time limit, for the tools' waits on
// the web process and on child programs.
#pragma once

namespace tools {

// Runs the default main context until `done` holds or `seconds` have
// passed; true when it holds. A timer wakes the loop, so the limit holds
// while nothing else happens.
bool IterateUntil(const bool& done, unsigned seconds);

}  // namespace tools
