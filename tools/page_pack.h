// Building a page library from a folder of pages, and taking one apart, for
// setup authors.
#pragma once

#include <string>
#include <vector>

namespace tools {

// Builds a page library at `out` from the pages under `pages_dir`. A
// `*.gresource.xml` in the folder, when there is one, lists the files and
// their names (its prefixes and aliases honoured; a file outside the folder
// is refused). Without one, every file below the folder goes in under its
// path there, a page's ".html" left off ("HTML_HOMEPAGE.html" is
// "HTML_HOMEPAGE", "GIF/GIF_SELECTED" stays). A library without the home
// page is refused; one without the database page is built, with a line in
// `warnings`. Uses GLib's resource compiler; false with `error` set (one
// line) on failure, and then `out` is not written.
bool PackPageLibrary(const std::string& pages_dir, const std::string& out, std::string* error,
                     std::vector<std::string>* warnings);

// Builds a page library at `out` from the resources of the page library
// `library` (a DLL from Windows, or a bundle), each stored under the name
// its res: address uses ("HTML_SAP", "GIF/GIF_SELECTED", "#123"), so that
// the new library serves the same pages. The pages are required as above.
// False with `error` set on failure.
bool PackFromLibrary(const std::string& library, const std::string& out, std::string* error,
                     std::vector<std::string>* warnings);

// Writes `bytes` to the file `name` ("GIF/GIF_SELECTED") below the folder
// `out_dir`, making its folders. Never writes outside `out_dir`: a name
// that is absolute, holds "..", "." or an empty part, or a NUL, and a
// symbolic link met on the way below `out_dir` (a folder or the file
// itself) are refused. An existing file is replaced, not written through.
// False with `error` set (one line) on failure.
bool WriteBelow(const std::string& out_dir, const std::string& name, const std::string& bytes,
                std::string* error);

}  // namespace tools
