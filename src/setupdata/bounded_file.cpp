#include "setupdata/bounded_file.h"

#include <fcntl.h>
#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace setupdata {
namespace {

std::string TooLarge(std::size_t max_bytes) {
  return "it is larger than " + std::to_string(max_bytes >> 20) + " MiB";
}

}  // namespace

std::string_view FileKind(mode_t mode) {
  switch (mode & S_IFMT) {
    case S_IFREG:
      return "a file";
    case S_IFDIR:
      return "a directory";
    case S_IFIFO:
      return "a FIFO";
    case S_IFSOCK:
      return "a socket";
    case S_IFCHR:
      return "a character device";
    case S_IFBLK:
      return "a block device";
    case S_IFLNK:
      return "a symbolic link";
    default:
      return "no file";
  }
}

BoundedFile::BoundedFile(const std::string& path, std::size_t max_bytes, bool no_follow)
    : max_bytes_(max_bytes) {
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (no_follow ? O_NOFOLLOW : 0);
  int fd;
  do {
    fd = open(path.c_str(), flags);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    missing_ = errno == ENOENT || errno == ENOTDIR;
    problem_ = errno == ELOOP && no_follow ? "it is a symbolic link" : g_strerror(errno);
    return;
  }
  if (fstat(fd, &status_) != 0) {
    problem_ = g_strerror(errno);
  } else if (S_ISDIR(status_.st_mode)) {
    problem_ = "it is a directory";
  } else if (!S_ISREG(status_.st_mode)) {
    problem_ = "it is " + std::string(FileKind(status_.st_mode)) + ", not a file";
  } else if (static_cast<std::size_t>(status_.st_size) > max_bytes_) {
    problem_ = TooLarge(max_bytes_);
  }
  if (problem_.empty()) {
    fd_ = fd;
  } else {
    close(fd);
  }
}

BoundedFile::~BoundedFile() {
  if (fd_ >= 0) close(fd_);
}

std::optional<std::string> BoundedFile::ReadAll() {
  if (fd_ < 0) return std::nullopt;
  // One byte more than the file had: a file that grew shows at once.
  std::string bytes(std::min(static_cast<std::size_t>(status_.st_size), max_bytes_) + 1, '\0');
  std::size_t got = 0;
  while (true) {
    if (got == bytes.size()) {
      if (got > max_bytes_) {
        problem_ = TooLarge(max_bytes_);
        return std::nullopt;
      }
      bytes.resize(std::min(bytes.size() * 2, max_bytes_ + 1));
    }
    const ssize_t n = read(fd_, bytes.data() + got, bytes.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      problem_ = g_strerror(errno);
      return std::nullopt;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

bool SameFileVersion(const struct stat& a, const struct stat& b) {
  const auto same_time = [](const timespec& x, const timespec& y) {
    return x.tv_sec == y.tv_sec && x.tv_nsec == y.tv_nsec;
  };
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         same_time(a.st_mtim, b.st_mtim) && same_time(a.st_ctim, b.st_ctim);
}

}  // namespace setupdata
