// setup-medium init: a minimal working medium in a new or empty folder,
// built from the demo medium's texts, the sample page library and the
// launcher that come with the tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

struct InitOptions {
  std::string dir;                       // the medium's folder: new or empty
  bool database = false;                 // offer the database choice (SQL, Oracle)
  std::vector<std::uint16_t> languages;  // language ids in entry order; empty: 1033
};

// Writes the medium: setup.inf and setupres.ini with every key the
// launcher reads (each language's texts in its own words where the demo
// medium has them, else in English under a "; TODO translate" comment;
// each language named in its own language), the page
// library, a setup folder per language with a placeholder setup program,
// release notes, copies of the launcher and its window module, and the
// entry point with the parent it runs. Refuses a folder that is not empty, an
// unknown language id, and missing parts of the kit, with one line on
// standard error; what it wrote is removed again when it fails. Returns the
// exit status: 0, or 1.
int RunInit(const InitOptions& options);

// setup-medium entry-point: puts the entry point (setup) and the reference
// parent it runs at the root of the medium in `dir`, replacing older ones.
// Returns the exit status: 0, or 1 with one line on standard error.
int RunEntryPoint(const std::string& dir);

}  // namespace tools
