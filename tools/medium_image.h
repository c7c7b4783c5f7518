// setup-medium image: a disc image of a medium, to burn or to mount.
#pragma once

#include <string>
#include <string_view>

namespace tools {

// Writes an ISO 9660 image of the medium in `dir` to `out` through
// xorriso: Rock Ridge (execute bits kept, so the entry point and the
// programs run from the mounted disc) and Joliet (long names for systems
// that read only those). The volume is named after the product. Refuses a
// folder that is no medium, an `out` inside it, and a missing xorriso, with
// one line on standard error; `out` is written whole or not at all.
// Returns the exit status: 0, or 1.
int RunImage(const std::string& dir, const std::string& out);

// The volume name of a medium whose product is `product`: its letters and
// digits in capitals, other runs of characters as one "_", at most 32
// characters; "SETUP" when nothing is left.
std::string VolumeName(std::string_view product);

}  // namespace tools
