// The result channel to the parent: standard output, written once.
#pragma once

#include <string_view>

namespace app {

// True when descriptor `fd` is open.
bool IsDescriptorOpen(int fd);

// Run first thing at start: notes whether standard input and output were
// open, puts /dev/null in place of any of the three standard descriptors
// that is closed, so that no file the launcher opens later (the display's
// connection, a lock) can take the place of standard output, and keeps the
// parent's standard output apart for the result.
void SecureStandardDescriptors();

// Standard input and output were both open at start, so a result can go to
// the parent.
bool StandardHandlesWereOpen();

// Writes the result to the parent's standard output, in full, and closes
// it, so the parent reads the end of the pipe at once. False without
// writing when the handles were not open at start or the result went
// already, false when the write failed.
bool WriteResultOnce(std::string_view bytes);

// Writes every byte of `bytes` to `fd`, going on after interruptions and
// partial writes; true when all were written (also for no bytes).
bool WriteAll(int fd, std::string_view bytes);

}  // namespace app
