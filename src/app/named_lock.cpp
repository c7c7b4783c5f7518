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

// Opens (creating it) a file of the lock folder: never through a link, and
// only a regular file of this user. -1 with `why` set otherwise.
int OpenLockFile(const std::string& path, std::string& why) {
  const int fd = OpenNoFollow(path, O_RDWR | O_CREAT | O_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    struct stat st {};
    if (error == ELOOP) {
      why = path + ": it is a symbolic link";
    } else if (error == EACCES && lstat(path.c_str(), &st) == 0 && st.st_uid != getuid()) {
      why = path + ": it belongs to another user";
    } else {
      why = path + ": " + g_strerror(error);
    }
    return -1;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    why = path + ": it is not a file";
  } else if (st.st_uid != getuid()) {
    why = path + ": it belongs to another user";
  } else {
    return fd;
  }
  close(fd);
  return -1;
}

int Flock(int fd, int operation) {
  int rc;
  do {
    rc = flock(fd, operation);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

}  // namespace

std::string ChooseNamedLockDirectory(const char* runtime_dir, const std::string& fallback,
                                     std::string* problem) {
  const uid_t uid = getuid();
  struct stat st {};
  // The runtime folder counts only as the base-directory rules define it:
  // the user's own, closed to everyone else.
  if (runtime_dir != nullptr && runtime_dir[0] == '/' && stat(runtime_dir, &st) == 0 && S_ISDIR(st.st_mode) &&
      st.st_uid == uid && (st.st_mode & 0777) == 0700) {
    return runtime_dir;
  }
  std::string why;
  const bool created = mkdir(fallback.c_str(), 0700) == 0;
  const int fd = created || errno == EEXIST
                     ? open(fallback.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                     : -1;
  if (fd < 0) {
    why = errno == ENOTDIR || errno == ELOOP ? "it is not a directory" : g_strerror(errno);
  } else if (fstat(fd, &st) != 0) {
    why = g_strerror(errno);
  } else if (st.st_uid != uid) {
    why = "it belongs to another user";
  } else {
    // The umask may have taken bits from a folder made here, now or by an
    // earlier run (0277 leaves dr-x------): a folder of this user that
    // nobody else can enter gets its mode.
    if ((st.st_mode & 07777) != 0700 && (st.st_mode & 077) == 0 && fchmod(fd, 0700) == 0)
      st.st_mode = S_IFDIR | 0700;
    if ((st.st_mode & 07777) != 0700) why = "its mode is not 0700";
  }
  if (fd >= 0) close(fd);
  if (why.empty()) return fallback;
  if (problem != nullptr) *problem = "no folder for the locks: " + fallback + ": " + why;
  return {};
}

std::string NamedLockDirectory(std::string* problem) {
  return ChooseNamedLockDirectory(std::getenv("XDG_RUNTIME_DIR"),
                                  "/tmp/setup-launcher-" + std::to_string(getuid()), problem);
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

std::unique_ptr<NamedLock> NamedLock::Create(const std::string& name, bool& already_existed,
                                             std::string* problem) {
  already_existed = false;
  std::string ignored;
  std::string& why = problem != nullptr ? *problem : ignored;
  if (name.empty()) {
    why = "the lock has no name";
    return nullptr;
  }
  const std::string dir = NamedLockDirectory(&why);
  if (dir.empty()) return nullptr;

  // Testers take turns on the directory's guard file, so that between one
  // tester's test and its shared hold no other tester can look.
  const int guard = OpenLockFile(dir + "/.guard", why);
  if (guard < 0) return nullptr;
  Flock(guard, LOCK_EX);

  std::string path = dir + "/" + NamedLockFileName(name);
  std::unique_ptr<NamedLock> lock;
  const int fd = OpenLockFile(path, why);
  if (fd >= 0) {
    // Nobody holds the lock when an exclusive hold is granted at once.
    if (Flock(fd, LOCK_EX | LOCK_NB) != 0) already_existed = true;
    if (Flock(fd, LOCK_SH | LOCK_NB) == 0) {
      lock.reset(new NamedLock(fd, std::move(path)));
    } else if (errno == EWOULDBLOCK) {
      // Another process holds it exclusively (flock without --shared): the
      // lock exists as long as that process holds it, and this one keeps
      // it open without a share, as a mutex that exists is only opened.
      already_existed = true;
      lock.reset(new NamedLock(fd, std::move(path)));
    } else {
      why = path + ": " + g_strerror(errno);
      close(fd);
    }
  }
  close(guard);  // releases the guard
  return lock;
}

}  // namespace app
