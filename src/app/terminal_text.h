// Text from the medium as a terminal shows it: lines wrapped at spaces to
// the terminal's width, counted in columns (a wide character takes two).
// Characters that are not printable are escaped first, with
// setupdata::PrintableText.
#pragma once

#include <string>
#include <string_view>

namespace app {

// The columns `text` takes on a terminal: two for a wide character, none
// for a combining or zero-width one, one for any other.
int DisplayWidth(std::string_view text);

// `text` wrapped to `width` columns after `prefix`, which begins the first
// line; later lines are indented by the prefix's width. Lines break at
// spaces; a word longer than a line breaks between two characters, never
// inside one. Every line ends with "\n".
std::string WrapText(std::string_view text, int width, std::string_view prefix = {});

}  // namespace app
