#include "app/result_channel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace app {

bool IsDescriptorOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

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
