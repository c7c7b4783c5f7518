// Building a page library from a folder of pages, and taking one apart, for
// setup authors.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/page_library.h"

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

// A resource that is not written, and why (one line).
struct LeftOut {
  std::string name;
  std::string why;
};

// Builds a page library at `out` from the resources of the page library
// `library` (a DLL from Windows, or a bundle), each stored under the name
// its res: address uses ("HTML_SAP", "GIF/GIF_SELECTED", "#123"), so that
// the new library serves the same pages. The pages are required as above.
// A name that leaves the library's root ("../x", "/x", an empty or "."
// part) and a DLL's resource that no address reaches are left out, each
// in `left_out`, and the rest is built. False with `error` set on failure.
bool PackFromLibrary(const std::string& library, const std::string& out, std::string* error,
                     std::vector<std::string>* warnings, std::vector<LeftOut>* left_out);

// Writes every resource of `library` below the folder `out_dir`, each to
// its FileOfResource (through WriteBelow), and adds the files to
// `written`, in the order of the names. A resource that cannot be written
// there, whose file pack would not take back under its name, or that no
// address reaches goes to `left_out`, named as its address reads.
void UnpackPageLibrary(const pages::PageLibrary& library, const std::string& out_dir,
                       std::vector<std::string>* written, std::vector<LeftOut>* left_out);

// The file a resource is unpacked to, below the folder: the pages the
// launcher asks for by name get ".html" ("HTML_HOMEPAGE" is
// "HTML_HOMEPAGE.html", in the resource's own letter case), so that an
// editor knows them; every other resource keeps its name. ResourceOfFile
// is the way back, which pack takes for a folder without a
// *.gresource.xml: "HTML_SAP.html" is HTML_SAP, "info.html" and
// "GIF/GIF_SELECTED" stay.
std::string FileOfResource(const std::string& name);
std::string ResourceOfFile(const std::string& path);

// The parts of `name` ("GIF/GIF_SELECTED") when it names a file below a
// folder: none when it is absolute, holds "..", "." or an empty part, or a
// NUL.
std::optional<std::vector<std::string>> FileParts(std::string_view name);

// Writes `bytes` to the file `name` ("GIF/GIF_SELECTED") below the folder
// `out_dir`, making its folders. Never writes outside `out_dir`: a name
// that is absolute, holds "..", "." or an empty part, or a NUL, and a
// symbolic link met on the way below `out_dir` (a folder or the file
// itself) are refused. An existing file is replaced, not written through.
// False with `error` set (one line) on failure.
bool WriteBelow(const std::string& out_dir, const std::string& name, const std::string& bytes,
                std::string* error);

}  // namespace tools
