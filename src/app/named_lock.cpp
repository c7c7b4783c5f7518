#include "app/named_lock.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace app {
namespace {

int OpenNoFollow(const std::string& path, int flags, mode_t mode = 0600) {
  int fd;
  do {
    fd = open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int Flock(int fd, int operation) {
  int rc;
  do {
    rc = flock(fd, operation);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

}  // namespace

std::string NamedLockDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (runtime != nullptr && runtime[0] == '/' && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) {
    return runtime;
  }
  const std::string dir = "/tmp/setup-launcher-" + std::to_string(getuid());
  mkdir(dir.c_str(), 0700);
  if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
      (st.st_mode & 07777) != 0700) {
    return {};
  }
  return dir;
}

std::string NamedLockFileName(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // Escaped names up to this length are used whole; a longer one keeps its
  // beginning and takes a digest of the whole name, so that it fits a file
  // name (255 bytes) and stays unique. "~" is never part of an escaped name.
  constexpr std::size_t kWholeNameLimit = 200;
  constexpr std::size_t kKeptPrefix = 128;
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '-' || (c == '.' && i > 0);
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  if (out.size() > kWholeNameLimit) {
    std::size_t keep = kKeptPrefix;
    // Never cut an escape in half.
    if (out[keep - 1] == '%')
      keep -= 1;
    else if (out[keep - 2] == '%')
      keep -= 2;
    gchar* digest = g_compute_checksum_for_data(G_CHECKSUM_SHA256,
                                                reinterpret_cast<const guchar*>(name.data()), name.size());
    out = out.substr(0, keep) + "~" + digest;
    g_free(digest);
  }
  return out + ".lock";
}

NamedLock::~NamedLock() { close(fd_); }

std::unique_ptr<NamedLock> NamedLock::Create(const std::string& name, bool& already_existed) {
  already_existed = false;
  if (name.empty()) return nullptr;
  const std::string dir = NamedLockDirectory();
  if (dir.empty()) return nullptr;

  // Testers take turns on the directory's guard file, so that between one
  // tester's test and its shared hold no other tester can look.
  const int guard = OpenNoFollow(dir + "/.guard", O_RDWR | O_CREAT);
  if (guard < 0) return nullptr;
  Flock(guard, LOCK_EX);

  std::string path = dir + "/" + NamedLockFileName(name);
  std::unique_ptr<NamedLock> lock;
  const int fd = OpenNoFollow(path, O_RDWR | O_CREAT);
  if (fd >= 0) {
    // Nobody holds the lock when an exclusive hold is granted at once.
    if (Flock(fd, LOCK_EX | LOCK_NB) != 0) already_existed = true;
    if (Flock(fd, LOCK_SH | LOCK_NB) == 0) {
      lock.reset(new NamedLock(fd, std::move(path)));
    } else {
      close(fd);
    }
  }
  close(guard);  // releases the guard
  return lock;
}

}  // namespace app
