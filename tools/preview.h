// Rendering a medium's pages to PNG files, filled as the launcher fills
// them, for every language section or one, without a parent.
#pragma once

#include <optional>
#include <string>

namespace tools {

struct PreviewOptions {
  std::string medium_dir;
  std::optional<std::string> language;  // one section; all present ones when unset
  bool database = false;                // render as on a medium with the database choice
  std::string out_dir;
};

// Writes <out>/<language>-home.png, and in database mode
// <out>/<language>-database.png; prints each file's path. Returns the exit
// status: 0 when every page was written, 1 when some failed, 2 when there
// is nothing to render or no display can be had.
int RunPreview(const PreviewOptions& options);

}  // namespace tools
