// Named locks: what stands in for the named mutexes of the parent protocol.
// A named lock exists while any process holds it and vanishes when the last
// holder ends, also by a crash. It carries no data and is never waited on.
// A parent in any language can hold one, even a shell script:
//   flock --shared "$XDG_RUNTIME_DIR/<escaped name>.lock" ./setup-launcher
#pragma once

#include <memory>
#include <string>

namespace app {

// The directory of the lock files: $XDG_RUNTIME_DIR when it is an absolute
// path of a directory of this user with mode 0700, else
// /tmp/setup-launcher-<uid> (created with mode 0700 whatever the umask, and
// used only when it is a real directory of this user with that mode). Empty
// when there is none to use, with `problem` saying why.
std::string NamedLockDirectory(std::string* problem = nullptr);

// The same choice between a runtime folder (null when there is none) and a
// fallback folder.
std::string ChooseNamedLockDirectory(const char* runtime_dir, const std::string& fallback,
                                     std::string* problem = nullptr);

// The lock file's name: bytes A-Z a-z 0-9 . _ - stay, every other byte and
// a leading "." become "%" and two upper-case hex digits; ".lock" follows.
// An escaped name longer than 200 bytes keeps its first 128 bytes (never
// half an escape) and takes "~" and the SHA-256 of the name in hex.
std::string NamedLockFileName(const std::string& name);

// A held lock; it is released when the object goes (or the process ends).
// A lock another process holds exclusively is only kept open: it lasts as
// long as that process holds it.
class NamedLock {
 public:
  ~NamedLock();
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

  // Creates (holds) the lock `name`, or opens it when another process
  // holds it exclusively. `already_existed` tells whether another process
  // held it before. Returns nullptr, with `already_existed` set as far as
  // it could be told and `problem` saying why, when the lock cannot be held
  // (an empty name, no lock directory, a lock file that is a link, no
  // regular file or another user's).
  static std::unique_ptr<NamedLock> Create(const std::string& name, bool& already_existed,
                                           std::string* problem = nullptr);

  const std::string& path() const { return path_; }

 private:
  NamedLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_;
  std::string path_;
};

}  // namespace app
