#include "setupdata/ini_file.h"

#include <glib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <set>

#include "setupdata/text.h"

namespace setupdata {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view Unquote(std::string_view s) {
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) {
    return s.substr(1, s.size() - 2);
  }
  return s;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  char buf[6];
  const int n = g_unichar_to_utf8(static_cast<gunichar>(cp), buf);
  out.append(buf, static_cast<std::size_t>(n));
}

std::string DecodeUtf16(std::string_view bytes, bool little_endian) {
  std::string out;
  out.reserve(bytes.size());
  auto unit_at = [&](std::size_t i) -> std::uint32_t {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
    return little_endian ? (b0 | (b1 << 8)) : ((b0 << 8) | b1);
  };
  constexpr std::uint32_t kReplacement = 0xFFFD;
  // A trailing odd byte is not a whole code unit and is dropped.
  const std::size_t end = bytes.size() & ~static_cast<std::size_t>(1);
  for (std::size_t i = 0; i < end; i += 2) {
    const std::uint32_t unit = unit_at(i);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 3 < end) {
        const std::uint32_t low = unit_at(i + 2);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
          i += 2;
          continue;
        }
      }
      AppendUtf8(out, kReplacement);
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

// Says once per file, in one line on standard error, that a setup file that
// is there cannot be read; lookups then give their defaults.
void ReportUnreadable(const std::string& path, const char* reason) {
  static std::mutex mutex;
  static std::set<std::string> reported;
  const std::lock_guard<std::mutex> lock(mutex);
  if (!reported.insert(path).second) return;
  std::fprintf(stderr, "%s: cannot read %s: %s\n",
               g_get_prgname() != nullptr ? g_get_prgname() : "setup-launcher", path.c_str(), reason);
}

// Whether `path` is a file that may be read; `st` receives its status. A
// missing file is no error: lookups just give their defaults.
bool StatReadable(const std::string& path, struct stat& st) {
  if (stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) ReportUnreadable(path, g_strerror(errno));
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    ReportUnreadable(path, S_ISDIR(st.st_mode) ? "it is a directory" : "it is not a file");
    return false;
  }
  if (st.st_size > static_cast<off_t>(kMaxFileBytes)) {
    ReportUnreadable(path, "it is larger than 16 MiB");
    return false;
  }
  return true;
}

}  // namespace

std::string DecodeIniBytes(std::string_view bytes) {
  std::string text;
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    text = bytes.substr(3);
  } else if (bytes.starts_with("\xFF\xFE")) {
    text = DecodeUtf16(bytes.substr(2), true);
  } else if (bytes.starts_with("\xFE\xFF")) {
    text = DecodeUtf16(bytes.substr(2), false);
  } else {
    text = bytes;
  }
  // A NUL character would end a text wherever it goes; it is no part of one.
  std::erase(text, '\0');
  return text;
}

IniFile IniFile::Parse(std::string_view bytes) {
  const std::string text = DecodeIniBytes(bytes);
  IniFile ini;
  Section* current = nullptr;  // null before the first section and in a repeated one
  std::string_view rest(text);
  while (!rest.empty()) {
    const std::size_t eol = rest.find('\n');
    std::string_view line = Trim(rest.substr(0, eol));
    rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);

    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      const std::string_view name =
          Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
      const auto [it, inserted] = ini.sections_.try_emplace(std::string(name));
      current = inserted ? &it->second : nullptr;
      continue;
    }
    if (current == nullptr) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      current->try_emplace(std::string(line), std::nullopt);
    } else {
      current->try_emplace(std::string(Trim(line.substr(0, eq))),
                           std::string(Unquote(Trim(line.substr(eq + 1)))));
    }
  }
  return ini;
}

std::optional<IniFile> IniFile::Load(const std::string& path) {
  struct stat st {};
  if (!StatReadable(path, st)) return std::nullopt;
  gchar* contents = nullptr;
  gsize length = 0;
  GError* error = nullptr;
  if (!g_file_get_contents(path.c_str(), &contents, &length, &error)) {
    ReportUnreadable(path, error != nullptr ? error->message : "read error");
    g_clear_error(&error);
    return std::nullopt;
  }
  IniFile ini = Parse(std::string_view(contents, length));
  g_free(contents);
  return ini;
}

std::shared_ptr<const IniFile> IniFile::LoadShared(const std::string& path) {
  struct Cached {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    std::shared_ptr<const IniFile> ini;
  };
  static std::mutex mutex;
  static std::unordered_map<std::string, Cached> cache;

  struct stat st {};
  if (!StatReadable(path, st)) return nullptr;
  const std::lock_guard<std::mutex> lock(mutex);
  const auto it = cache.find(path);
  if (it != cache.end() && it->second.device == st.st_dev && it->second.inode == st.st_ino &&
      it->second.size == st.st_size && it->second.modified.tv_sec == st.st_mtim.tv_sec &&
      it->second.modified.tv_nsec == st.st_mtim.tv_nsec) {
    return it->second.ini;
  }
  std::optional<IniFile> loaded = Load(path);
  if (!loaded) {
    cache.erase(path);
    return nullptr;
  }
  auto ini = std::make_shared<const IniFile>(std::move(*loaded));
  cache[path] = Cached{st.st_dev, st.st_ino, st.st_size, st.st_mtim, ini};
  return ini;
}

std::size_t IniFile::NameHash::operator()(std::string_view name) const {
  std::size_t hash = 1469598103934665603ULL;  // FNV-1a over the folded bytes
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    hash ^= (byte >= 'A' && byte <= 'Z') ? byte + ('a' - 'A') : byte;
    hash *= 1099511628211ULL;
  }
  return hash;
}

bool IniFile::NameEqual::operator()(std::string_view a, std::string_view b) const {
  return EqualsNoCase(a, b);
}

const std::string* IniFile::Find(std::string_view section, std::string_view key) const {
  if (key.empty()) return nullptr;
  const auto s = sections_.find(section);
  if (s == sections_.end()) return nullptr;
  const auto e = s->second.find(key);
  if (e == s->second.end() || !e->second) return nullptr;
  return &*e->second;
}

std::vector<std::string> IniFile::SectionNames() const {
  std::vector<std::string> names;
  for (const auto& [name, section] : sections_) names.push_back(name);
  return names;
}

std::vector<std::string> IniFile::KeysIn(std::string_view section) const {
  std::vector<std::string> keys;
  const auto s = sections_.find(section);
  if (s == sections_.end()) return keys;
  for (const auto& [key, value] : s->second) keys.push_back(key);
  return keys;
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view default_value) const {
  const std::string* value = Find(section, key);
  const std::string_view delivered = value ? std::string_view(*value) : TrimRight(default_value);
  return std::string(CutUtf8(delivered, kMaxValueBytes));
}

std::uint32_t IniFile::GetInt(std::string_view section, std::string_view key,
                              std::int32_t default_value) const {
  const std::string text = GetString(section, key, "");
  if (text.empty()) return static_cast<std::uint32_t>(default_value);
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint32_t value = 0;
  for (; i < text.size() && g_ascii_isdigit(text[i]); ++i) {
    value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
  }
  return negative ? 0u - value : value;
}

std::string ReadIniString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view default_value) {
  const std::shared_ptr<const IniFile> ini = IniFile::LoadShared(path);
  return (ini ? *ini : IniFile()).GetString(section, key, default_value);
}

std::uint32_t ReadIniInt(const std::string& path, std::string_view section, std::string_view key,
                         std::int32_t default_value) {
  const std::shared_ptr<const IniFile> ini = IniFile::LoadShared(path);
  return (ini ? *ini : IniFile()).GetInt(section, key, default_value);
}

}  // namespace setupdata
