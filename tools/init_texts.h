// What setup-medium init writes for the author to replace, and check looks
// for to tell that it is still there: one copy for both.
#pragma once

namespace tools {

// The name the product goes by until the author writes their own. On a
// medium with a database choice its %s takes the database; it stands last,
// so that the window title, cut there, reads "My Product".
inline constexpr char kInitProductName[] = "My Product";
inline constexpr char kInitDatabaseProductName[] = "My Product %s";

// The comment that marks English texts standing in for a language's own:
// a whole section's right after its header, one entry's on the line above.
inline constexpr char kTranslateMarker[] = "; TODO translate";

}  // namespace tools
