#include "medium/checksums.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>

namespace medium {
namespace {

constexpr std::size_t kHexDigits = 64;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ReadDigest(std::string_view hex, Digest& digest) {
  if (hex.size() != kHexDigits) return false;
  for (std::size_t i = 0; i < digest.size(); ++i) {
    const int high = HexValue(hex[2 * i]);
    const int low = HexValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    digest[i] = static_cast<unsigned char>(high * 16 + low);
  }
  return true;
}

// A name as sha256sum escapes it: a backslash, a line end or a carriage
// return in it makes the line start with a backslash and each of them an
// escape.
bool NeedsEscape(std::string_view path) { return path.find_first_of("\\\n\r") != std::string_view::npos; }

std::string Escaped(std::string_view path) {
  std::string out;
  for (const char c : path) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

bool Unescape(std::string_view text, std::string& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return false;
    }
  }
  return true;
}

// The path as the list means it ("./" parts dropped); the reason it is no
// path below the root otherwise.
std::string Normalised(std::string_view path, std::string& why) {
  if (path.empty()) {
    why = "no path";
    return {};
  }
  if (path.front() == '/') {
    why = "an absolute path: the list names files below the medium's root";
    return {};
  }
  std::string out;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (part == "..") {
      why = "a \"..\" in the path: the list names files below the medium's root";
      return {};
    }
    if (!part.empty() && part != ".") {
      if (!out.empty()) out += '/';
      out += part;
    }
    start = end + 1;
  }
  if (out.empty()) why = "no file in the path";
  return out;
}

bool EqualsNoAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

}  // namespace

std::string DigestHex(const Digest& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(kHexDigits);
  for (const unsigned char byte : digest) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 15];
  }
  return hex;
}

ChecksumList ParseChecksums(std::string_view text) {
  ChecksumList list;
  std::set<std::string> seen;
  int number = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    const auto malformed = [&](std::string why) { list.malformed.push_back({number, std::move(why)}); };
    const bool escaped = !line.empty() && line.front() == '\\';
    if (escaped) line.remove_prefix(1);
    // "HEX  PATH" or "HEX *PATH": the digest, a space, and a space or the
    // binary mark before the path.
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos || space + 1 >= line.size() ||
        (line[space + 1] != ' ' && line[space + 1] != '*')) {
      malformed("not a line of sha256sum (\"HEX  PATH\")");
      continue;
    }
    ChecksumEntry entry;
    entry.line = number;
    if (!ReadDigest(line.substr(0, space), entry.digest)) {
      malformed("the checksum is not 64 hex digits");
      continue;
    }
    std::string raw;
    if (!escaped) {
      raw = line.substr(space + 2);
    } else if (!Unescape(line.substr(space + 2), raw)) {
      malformed("a backslash in the path stands for nothing sha256sum writes");
      continue;
    }
    std::string why;
    entry.path = Normalised(raw, why);
    if (!why.empty()) {
      malformed(why);
      continue;
    }
    if (!seen.insert(entry.path).second) {
      malformed("\"" + entry.path + "\" is listed before");
      continue;
    }
    list.entries.push_back(std::move(entry));
  }
  return list;
}

std::string FormatChecksums(std::vector<ChecksumEntry> entries) {
  std::sort(entries.begin(), entries.end(),
            [](const ChecksumEntry& a, const ChecksumEntry& b) { return a.path < b.path; });
  std::string text;
  for (const ChecksumEntry& entry : entries) {
    const bool escape = NeedsEscape(entry.path);
    text += (escape ? "\\" : "") + DigestHex(entry.digest) + "  " +
            (escape ? Escaped(entry.path) : entry.path) + "\n";
  }
  return text;
}

std::vector<ChecksumEntry> EntriesUnder(const ChecksumList& list, std::string_view folder) {
  std::vector<ChecksumEntry> under;
  for (const ChecksumEntry& entry : list.entries) {
    const std::size_t slash = entry.path.find('/');
    if (slash != std::string::npos &&
        EqualsNoAsciiCase(std::string_view(entry.path).substr(0, slash), folder))
      under.push_back(entry);
  }
  return under;
}

namespace {

// The real path of `path`; empty when it leads to nothing.
std::string RealPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return {};
  std::string out = real;
  std::free(real);
  return out;
}

bool Below(const std::string& path, const std::string& root) {
  return path == root || (path.starts_with(root) && path[root.size()] == '/');
}

class SealWalk {
 public:
  explicit SealWalk(const std::string& root) : root_(RealPath(root)) {}

  MediumFiles Run() {
    if (root_.empty() || !Walk(root_, "")) files_.readable = false;
    std::sort(files_.files.begin(), files_.files.end());
    return std::move(files_);
  }

 private:
  // The folder `real` (a real path) shown as `relative`; false when it
  // cannot be read.
  bool Walk(const std::string& real, const std::string& relative) {
    DIR* dir = opendir(real.c_str());
    if (dir == nullptr) return false;
    open_.push_back(real);
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string shown = relative.empty() ? name : relative + "/" + name;
      if (relative.empty() && name == kChecksumsName) continue;
      Entry(real + "/" + name, shown);
    }
    open_.pop_back();
    return true;
  }

  void Entry(const std::string& path, const std::string& shown) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
      Refuse(shown, std::strerror(errno));
      return;
    }
    std::string real = path;
    if (S_ISLNK(st.st_mode)) {
      real = RealPath(path);
      if (real.empty() || stat(real.c_str(), &st) != 0) {
        Refuse(shown, "a symbolic link to nothing");
        return;
      }
      if (!Below(real, root_)) {
        Refuse(shown, "a symbolic link that leaves the medium (to " + real + ")");
        return;
      }
    }
    if (S_ISREG(st.st_mode)) {
      files_.files.push_back(shown);
    } else if (S_ISDIR(st.st_mode)) {
      if (std::find(open_.begin(), open_.end(), real) != open_.end()) {
        Refuse(shown, "a symbolic link to a folder it lies in");
      } else if (!Walk(real, shown)) {
        Refuse(shown, "the folder cannot be read: " + std::string(std::strerror(errno)));
      }
    } else {
      Refuse(shown, "neither a file nor a folder");
    }
  }

  void Refuse(const std::string& shown, const std::string& why) { files_.refused.push_back({shown, why}); }

  std::string root_;
  std::vector<std::string> open_;  // the real paths of the folders being walked
  MediumFiles files_;
};

}  // namespace

MediumFiles FilesToSeal(const std::string& root) { return SealWalk(root).Run(); }

}  // namespace medium
