// Reading a file that lies on a medium nobody here controls: it is opened
// without waiting (a FIFO or a device put in its place never blocks the
// reader), checked through its descriptor rather than its name (so nothing
// swapped in between a check and the open is read), and read with a bound.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace setupdata {

// Two statuses show the same version of the same file: the same device,
// inode and size, modified and changed at the same moments (a file
// rewritten within one clock tick, or renamed over, differs in one of
// them). A cache of a file's contents keeps them only while this holds.
bool SameFileVersion(const struct stat& a, const struct stat& b);

// What a file system entry of `mode` is, in words: "a file", "a
// directory", "a FIFO", "a socket", "a character device"...
std::string_view FileKind(mode_t mode);

class BoundedFile {
 public:
  // Opens `path` for reading and checks that it is a regular file of at
  // most `max_bytes` bytes. With `no_follow`, a symbolic link in the
  // path's last place is refused.
  BoundedFile(const std::string& path, std::size_t max_bytes, bool no_follow = false);
  ~BoundedFile();
  BoundedFile(const BoundedFile&) = delete;
  BoundedFile& operator=(const BoundedFile&) = delete;

  // A regular file within the limit, open for reading.
  bool ok() const { return fd_ >= 0; }
  // Nothing of that name (or a folder on the way is missing).
  bool missing() const { return missing_; }
  // Why the file cannot be read, in words ("it is a directory", "it is a
  // FIFO, not a file", "it is larger than 16 MiB", the system's error
  // text); empty when it can.
  const std::string& problem() const { return problem_; }
  // The status of the open file.
  const struct stat& status() const { return status_; }
  // The open file's descriptor, while it is open; -1 when it is not ok().
  int fd() const { return fd_; }

  // The whole file, read up to its end but never beyond the limit: a file
  // that grew past it since it was opened is too large. nullopt, with
  // problem() set, when it cannot be read.
  std::optional<std::string> ReadAll();

 private:
  int fd_ = -1;
  std::size_t max_bytes_;
  bool missing_ = false;
  std::string problem_;
  struct stat status_ {};
};

}  // namespace setupdata
