#include "app/result_channel.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace app {

namespace {
bool g_standard_handles_open = true;
int g_result_fd = STDOUT_FILENO;  // where the result goes; -1 once it went
}  // namespace

bool IsDescriptorOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

namespace {

void MarkCloseOnExec(int fd) {
  const int flags = fcntl(fd, F_GETFD);
  if (flags >= 0 && (flags & FD_CLOEXEC) == 0) fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
}

}  // namespace

void MarkInheritedDescriptorsCloseOnExec(bool use_close_range) {
#ifdef SYS_close_range
  constexpr unsigned kCloseRangeCloseOnExec = 1u << 2;  // CLOSE_RANGE_CLOEXEC
  if (use_close_range && syscall(SYS_close_range, 3u, ~0u, kCloseRangeCloseOnExec) == 0) return;
#else
  (void)use_close_range;
#endif
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) {
    // No /proc either: every descriptor up to the limit, within reason.
    const long limit = sysconf(_SC_OPEN_MAX);
    const int last = limit > 0 && limit < 65536 ? static_cast<int>(limit) : 65536;
    for (int fd = STDERR_FILENO + 1; fd < last; ++fd) MarkCloseOnExec(fd);
    return;
  }
  const int own = dirfd(dir);
  while (const dirent* entry = readdir(dir)) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (*end != '\0' || end == entry->d_name || fd <= STDERR_FILENO || fd == own || fd > INT_MAX) continue;
    MarkCloseOnExec(static_cast<int>(fd));
  }
  closedir(dir);
}

void SecureStandardDescriptors() {
  MarkInheritedDescriptorsCloseOnExec();
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

ResultWrite WriteResultOnce(std::string_view bytes) {
  if (!g_standard_handles_open || g_result_fd < 0) return ResultWrite::kNoChannel;
  const bool written = WriteAll(g_result_fd, bytes);
  const int error = errno;
  close(g_result_fd);
  g_result_fd = -1;
  if (written) return ResultWrite::kWritten;
  std::fprintf(stderr, "setup-launcher: the result could not be handed to the parent: %s\n",
               error == ETIMEDOUT ? "its pipe stayed full" : std::strerror(error));
  return ResultWrite::kLost;
}

bool WriteAll(int fd, std::string_view bytes, int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    // A descriptor that takes nothing and says no error would be asked
    // again without end.
    if (n == 0) {
      errno = EIO;
      return false;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
    // Full, and the descriptor does not wait: wait until it takes more.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd ready{fd, POLLOUT, 0};
    const int polled = left > 0 ? poll(&ready, 1, static_cast<int>(left)) : 0;
    if (polled == 0) {
      errno = ETIMEDOUT;
      return false;
    }
    if (polled < 0 && errno != EINTR) return false;
  }
  return true;
}

}  // namespace app
