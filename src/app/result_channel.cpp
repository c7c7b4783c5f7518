#include "app/result_channel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace app {

namespace {
bool g_standard_handles_open = true;
}  // namespace

bool IsDescriptorOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

void SecureStandardDescriptors() {
  g_standard_handles_open = IsDescriptorOpen(STDIN_FILENO) && IsDescriptorOpen(STDOUT_FILENO);
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (IsDescriptorOpen(fd)) continue;
    // open() takes the lowest free descriptor: this one.
    const int null_fd = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (null_fd >= 0 && null_fd != fd) close(null_fd);
  }
}

bool StandardHandlesWereOpen() { return g_standard_handles_open; }

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace app
