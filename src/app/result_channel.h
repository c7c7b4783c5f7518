// The result channel to the parent: standard output, written once.
#pragma once

#include <string_view>

namespace app {

// What became of the result handed to the parent.
enum class ResultWrite {
  kWritten,    // all of it reached standard output
  kNoChannel,  // nothing was written: standard input or output was not open
               // at start, or the one result went already
  kLost,       // the write failed or never finished: the parent lacks it
};

// True when descriptor `fd` is open.
bool IsDescriptorOpen(int fd);

// Run first thing at start: marks every descriptor above the standard three
// that the parent left inheritable, notes whether standard input and output
// were open, puts /dev/null in place of any of the three standard
// descriptors that is closed, so that no file the launcher opens later (the
// display's connection, a lock) can take the place of standard output, and
// keeps the parent's standard output apart for the result.
void SecureStandardDescriptors();

// Marks every descriptor above 2 close-on-exec, so that none the parent
// left inheritable reaches a program the launcher starts (the web and
// network processes could keep a parent's lock alive after the parent
// ended); the launcher itself keeps them open. Through close_range where
// the system has it (unless `use_close_range` is false), else by the list
// in /proc/self/fd.
void MarkInheritedDescriptorsCloseOnExec(bool use_close_range = true);

// The launcher's exit status when its result did not reach the parent.
inline constexpr int kResultLostStatus = 3;
// The launcher's exit status when it ended at start because another
// launcher runs: the parent may try again once that one has ended.
inline constexpr int kAnotherLauncherStatus = 4;
// The launcher's exit status when an unattended choice lies on a damaged
// medium: a file of the chosen folder that the medium's SHA256SUMS lists
// does not match, is missing or cannot be read, or the list is malformed.
inline constexpr int kMediumDamagedStatus = 5;

// How long a result waits for a parent's pipe that is full and does not
// wait itself (non-blocking) to take it.
inline constexpr int kResultWriteTimeoutMs = 5000;

// Writes the result to the parent's standard output, in full, and closes
// it, so the parent reads the end of the pipe at once. Nothing is written
// when the handles were not open at start or the result went already. A
// result that cannot be written whole is said in one line on standard
// error.
ResultWrite WriteResultOnce(std::string_view bytes);

// Writes every byte of `bytes` to `fd`, going on after interruptions and
// partial writes; a descriptor that does not wait and is full is waited
// for, `timeout_ms` at most in all. True when all were written (also for no
// bytes); false with errno set (ETIMEDOUT when the time ran out) otherwise.
bool WriteAll(int fd, std::string_view bytes, int timeout_ms = kResultWriteTimeoutMs);

}  // namespace app
