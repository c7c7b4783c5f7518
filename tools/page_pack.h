// Building a page library from a folder of pages, for setup authors.
#pragma once

#include <string>

namespace tools {

// Builds a page library at `out` from the files under `pages_dir`: each
// file's path below the folder is its resource name ("GIF/GIF_SELECTED").
// Uses GLib's resource compiler; false with `error` set on failure.
bool PackPageLibrary(const std::string& pages_dir, const std::string& out, std::string* error);

// Builds a page library at `out` from the resources of the page library
// `library` (a DLL from Windows, or a bundle), each stored under the name
// its res: address uses ("HTML_SAP", "GIF/GIF_SELECTED", "#123"), so that
// the new library serves the same pages. False with `error` set on failure.
bool PackFromLibrary(const std::string& library, const std::string& out, std::string* error);

}  // namespace tools
