#include "app/result_channel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace app {

namespace {
bool g_standard_handles_open = true;
int g_result_fd = STDOUT_FILENO;  // where the result goes; -1 once it went
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
  // The parent's pipe moves to a descriptor of the launcher's own, which no
  // started process inherits (the web processes, a release-notes viewer),
  // and standard output becomes /dev/null: nothing a library prints can mix
  // with the result, and the pipe ends as soon as the result is written.
  g_result_fd = g_standard_handles_open ? fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1) : -1;
  const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null_fd >= 0) {
    dup2(null_fd, STDOUT_FILENO);
    close(null_fd);
  }
}

bool StandardHandlesWereOpen() { return g_standard_handles_open; }

bool WriteResultOnce(std::string_view bytes) {
  if (!g_standard_handles_open || g_result_fd < 0) return false;
  const bool written = WriteAll(g_result_fd, bytes);
  close(g_result_fd);
  g_result_fd = -1;
  return written;
}

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
