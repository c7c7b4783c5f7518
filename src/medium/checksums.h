// The checksums an author seals a medium with: SHA256SUMS at its root, in
// the format sha256sum writes and reads (lowercase hex, two spaces, the
// path relative to the root with "/" between its parts), so that
// `sha256sum -c SHA256SUMS` in the medium's folder checks it with standard
// tools. The launcher, `setup-medium seal` and `check` all read and write
// it through here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace medium {

// The list's name at the medium's root.
inline constexpr char kChecksumsName[] = "SHA256SUMS";
// The largest list read: one of a million files fits.
inline constexpr std::size_t kMaxChecksumsBytes = std::size_t{256} << 20;

using Digest = std::array<unsigned char, 32>;

// 64 lowercase hex digits.
std::string DigestHex(const Digest& digest);

struct ChecksumEntry {
  std::string path;  // relative to the medium's root, "/" between parts, no "." or ".." part
  Digest digest{};
  int line = 0;  // 1-based line in the list; 0 for an entry not read from one
};

// A line of the list that says nothing the checker can trust.
struct MalformedLine {
  int line = 0;
  std::string why;
};

struct ChecksumList {
  std::vector<ChecksumEntry> entries;  // in the list's order
  std::vector<MalformedLine> malformed;
};

// Reads a list as sha256sum writes it: "HEX  PATH" a line (the binary
// mark "HEX *PATH" too, and the escaped form of a name holding a line end
// or a backslash, "\HEX  a\nb"). A leading "./" of a path is dropped. A line
// with anything but 64 hex digits, an absolute path, a ".." part, an empty
// path or a path listed before is malformed, and left out of the entries.
ChecksumList ParseChecksums(std::string_view text);

// The list of `entries`, sorted by path (byte by byte), one line each.
std::string FormatChecksums(std::vector<ChecksumEntry> entries);

// The entries whose first part is `folder` (in any ASCII case, so that a
// folder found in another case is still read and found wanting).
std::vector<ChecksumEntry> EntriesUnder(const ChecksumList& list, std::string_view folder);

// The files a seal covers below `root`: every regular file but the list
// itself, also where a symbolic link that stays on the medium leads to it
// or to its folder. A link that leaves the medium or leads to nothing, a
// link that leads back to a folder it lies in, a FIFO, a socket or a
// device is refused.
struct MediumFiles {
  bool readable = true;            // false: the root cannot be read
  std::vector<std::string> files;  // relative to the root, sorted
  struct Refused {
    std::string path;  // relative to the root
    std::string why;
  };
  std::vector<Refused> refused;
};
MediumFiles FilesToSeal(const std::string& root);

}  // namespace medium
