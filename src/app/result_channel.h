// The result channel to the parent: standard output, written once.
#pragma once

#include <string_view>

namespace app {

// True when descriptor `fd` is open.
bool IsDescriptorOpen(int fd);

// Writes every byte of `bytes` to `fd`, going on after interruptions and
// partial writes; true when all were written (also for no bytes).
bool WriteAll(int fd, std::string_view bytes);

}  // namespace app
