// Building a page library from a folder of pages, for setup authors.
#pragma once

#include <string>

namespace tools {

// Builds a page library at `out` from the files under `pages_dir`: each
// file's path below the folder is its resource name ("GIF/GIF_SELECTED").
// Uses GLib's resource compiler; false with `error` set on failure.
bool PackPageLibrary(const std::string& pages_dir, const std::string& out, std::string* error);

}  // namespace tools
