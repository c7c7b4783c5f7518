// Rendering what the launcher shows of a medium to PNG files, without a
// parent: its pages filled as the launcher fills them, its window's caption
// and its two message boxes, for every language section or for the one a
// user of a given language would see.
#pragma once

#include <optional>
#include <string>

namespace tools {

struct PreviewOptions {
  std::string medium_dir;
  // A language id: what a user of that system language sees, in the
  // section the launcher chooses for it. Unset: every section that carries
  // the presence marker.
  std::optional<std::uint16_t> language;
  bool database = false;  // render as on a medium with the database choice
  std::string out_dir;    // a folder, made when missing
};

// Writes into the out folder, for each language, the pictures named
// <stem>-home.png, in database mode <stem>-database.png, <stem>-caption.png
// (the window's title bar), <stem>-close.png (the close question) and
// <stem>-9081.png (the message of a language without its setup folder),
// each box under its title bar; prints each file's path. The stem is the
// section ("1031"), or, for an id shown in another section, the id and the
// section shown ("2064-as-1033"), which stderr also says.
// Returns the exit status: 0 when everything was written, 1 when the
// launcher would end on the medium or show only the engine's error page
// (the reason on stderr) or when some picture failed, 2 for a medium
// without language sections or no display to be had. An Xvfb it starts ends with it
// on every way out, signals included.
int RunPreview(const PreviewOptions& options);

}  // namespace tools
