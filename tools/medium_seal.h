// setup-medium seal: the checksums of every file of a medium, written to
// SHA256SUMS at its root as sha256sum writes them, as the last step of
// making it; and the bounded reading that `seal` and `check` share.
#pragma once

#include <string>
#include <vector>

#include "medium/verifier.h"

namespace tools {

// Reads `files` below `root` on worker threads and waits while the reading
// moves on. A read that stays where it is for kStallLimit ends the check:
// its file is unreadable ("no answer within 60 s"), and the files not read
// yet are left out.
medium::VerifyResult CheckFiles(const std::string& root, std::vector<medium::FileToCheck> files);

// Seals the medium in `dir`: says on standard error each file it refuses
// (a symbolic link that leaves the medium or leads to nothing, a FIFO, a
// device, a file it cannot read) and then writes nothing, else writes
// SHA256SUMS in one step and prints how many files and bytes it sealed.
// Returns the exit status: 0, or 1.
int RunSeal(const std::string& dir);

}  // namespace tools
