#include "setupdata/ini_file.h"

#include <glib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <set>
#include <utility>

#include "setupdata/bounded_file.h"
#include "setupdata/codepage.h"
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
  // Under the name of the program that reads it: the launcher, or a tool.
  std::fprintf(stderr, "%s: %s\n",
               g_get_prgname() != nullptr ? g_get_prgname() : program_invocation_short_name,
               PrintableText("cannot read " + path + ": " + reason).c_str());
}

// Opens a setup file for reading. A missing file is no error: lookups just
// give their defaults; anything else that keeps it from being read is said.
bool OpenSetupFile(const std::string& path, BoundedFile& file) {
  if (file.ok()) return true;
  if (!file.missing()) ReportUnreadable(path, file.problem().c_str());
  return false;
}

std::optional<std::string> ReadSetupFile(const std::string& path, BoundedFile& file) {
  std::optional<std::string> bytes = file.ReadAll();
  if (!bytes) ReportUnreadable(path, file.problem().c_str());
  return bytes;
}

std::uint64_t Mix(std::uint64_t hash) {
  hash ^= hash >> 33;
  hash *= 0xFF51AFD7ED558CCDULL;
  hash ^= hash >> 33;
  return hash;
}

// FNV-1a over the folded bytes, mixed so that its low bits spread.
std::uint32_t HashName(std::string_view name) {
  std::uint64_t hash = 1469598103934665603ULL;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    hash ^= (byte >= 'A' && byte <= 'Z') ? byte + ('a' - 'A') : byte;
    hash *= 1099511628211ULL;
  }
  return static_cast<std::uint32_t>(Mix(hash));
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

void IniFile::SortByHash(HashOrder& order) {
  // The whole value orders by hash and then by number, which is the order
  // wanted: a short list is simply sorted.
  if (order.size() < 256) {
    std::sort(order.begin(), order.end());
    return;
  }
  // A long one is sorted by its hash alone, in three stable passes of 11
  // bits each, which keeps the numbers of equal hashes in their order and
  // goes through memory in sequence rather than at random.
  constexpr int kBits = 11;
  constexpr int kPasses = 3;
  constexpr std::size_t kMask = (1u << kBits) - 1;
  std::vector<std::size_t> starts(kPasses << kBits, 0);
  for (const std::uint64_t v : order) {
    for (int pass = 0; pass < kPasses; ++pass)
      ++starts[(pass << kBits) + ((v >> (32 + pass * kBits)) & kMask)];
  }
  HashOrder sorted(order.size());
  for (int pass = 0; pass < kPasses; ++pass) {
    std::size_t* start = starts.data() + (pass << kBits);
    std::size_t sum = 0;
    for (std::size_t b = 0; b <= kMask; ++b) sum += std::exchange(start[b], sum);
    const int shift = 32 + pass * kBits;
    for (const std::uint64_t v : order) sorted[start[(v >> shift) & kMask]++] = v;
    order.swap(sorted);
  }
}

template <typename Same>
std::int64_t IniFile::FindIn(const HashOrder& order, std::uint32_t hash, const Same& same) {
  for (auto it = std::lower_bound(order.begin(), order.end(), static_cast<std::uint64_t>(hash) << 32);
       it != order.end() && (*it >> 32) == hash; ++it) {
    const auto number = static_cast<std::uint32_t>(*it);
    if (same(number)) return number;
  }
  return -1;
}

std::uint32_t IniFile::KeyHash(std::uint32_t section, std::uint32_t name_hash) {
  return static_cast<std::uint32_t>(Mix((static_cast<std::uint64_t>(section) << 32) | name_hash));
}

IniFile::Name IniFile::NameAt(std::string_view name) const {
  return Name{static_cast<std::uint32_t>(name.data() - text_.data()),
              static_cast<std::uint32_t>(name.size())};
}

std::int64_t IniFile::FindSection(std::string_view section) const {
  section = Trim(section);
  return FindIn(section_order_, HashName(section),
                [&](std::uint32_t n) { return EqualsNoCase(NameText(sections_[n].name), section); });
}

IniFile IniFile::Parse(std::string_view bytes) { return ParseOwned(std::string(bytes)); }

IniFile IniFile::ParseOwned(std::string bytes) {
  IniFile ini;
  // A UTF-8 file without NUL characters, the usual case, is read where it
  // lies; anything else is decoded first.
  const std::string_view view = bytes;
  if (!view.starts_with("\xFF\xFE") && !view.starts_with("\xFE\xFF") &&
      view.find('\0') == std::string_view::npos) {
    if (view.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    ini.text_ = std::move(bytes);
  } else {
    ini.text_ = DecodeIniBytes(bytes);
  }
  ini.ParseText();
  return ini;
}

void IniFile::ParseText() {
  // Entries are numbered in 32 bits; setup files are far smaller.
  constexpr std::size_t kMaxText = std::numeric_limits<std::uint32_t>::max() / 2;
  if (text_.size() > kMaxText) text_.resize(kMaxText);
  if (text_.empty()) return;
  const std::string_view text = text_;

  // One pass in the order of the file records every section and key, and
  // where each value lies in the text.
  struct Span {
    std::uint32_t offset = kNoValue;
    std::uint32_t size = 0;
  };
  std::vector<Span> value_spans;  // one per key
  const char* const base = text.data();
  // Room for as many entries as there are lines: memory that is reserved
  // but not used is never touched, and nothing is copied as the lists grow.
  std::size_t lines = 1;
  const char* const end = text.data() + text.size();
  for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(p, '\n', end - p)));) {
    ++lines;
    ++p;
  }
  sections_.reserve(lines);
  section_order_.reserve(lines);
  keys_.reserve(lines);
  key_order_.reserve(lines);
  value_spans.reserve(lines);
  constexpr std::int64_t kNone = -1;
  std::int64_t current = kNone;  // no section before the first
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t eol = rest.find('\n');
    const std::string_view line = Trim(rest.substr(0, eol));
    rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);

    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      // In Shift-JIS, GBK and Big5 the second byte of a character may be
      // "[", "]" or "\", so a section name in such letters may end early;
      // the names asked for are ASCII (language ids, "Setup", "SAP"), and
      // the keys stay in their section. "=", ";", quotes, blanks and line
      // ends are never second bytes, so keys and values are found whole.
      const std::size_t close = line.find(']');
      const std::string_view name =
          Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
      const auto number = static_cast<std::uint32_t>(sections_.size());
      const std::uint32_t hash = HashName(name);
      sections_.push_back(SectionEntry{NameAt(name), static_cast<std::uint32_t>(keys_.size())});
      section_order_.push_back(static_cast<std::uint64_t>(hash) << 32 | number);
      current = number;
      continue;
    }
    if (current == kNone) continue;
    const auto section = static_cast<std::uint32_t>(current);
    const std::size_t eq = line.find('=');
    const std::string_view key = eq == std::string_view::npos ? line : Trim(line.substr(0, eq));
    Span span;
    if (eq != std::string_view::npos) {
      const std::string_view value = Unquote(Trim(line.substr(eq + 1)));
      span = Span{static_cast<std::uint32_t>(value.data() - base), static_cast<std::uint32_t>(value.size())};
    }
    keys_.push_back(KeyEntry{NameAt(key), KeyHash(section, HashName(key)), section, kNoValue});
    value_spans.push_back(span);
    ++sections_[section].key_count;
  }

  // Then the first section of each name, and the first key of each name in
  // it, are found through the entries ordered by hash; the others are
  // marked and left out of the orders.
  const auto keep_first = [](HashOrder& order, const auto& same, const auto& mark) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < order.size();) {
      std::size_t end = i + 1;
      while (end < order.size() && (order[end] >> 32) == (order[i] >> 32)) ++end;
      const std::size_t run = kept;
      for (; i < end; ++i) {
        const auto number = static_cast<std::uint32_t>(order[i]);
        bool seen = false;
        for (std::size_t k = run; k < kept && !seen; ++k)
          seen = same(static_cast<std::uint32_t>(order[k]), number);
        if (seen) {
          mark(number);
        } else {
          order[kept++] = order[i];
        }
      }
    }
    order.resize(kept);
  };

  SortByHash(section_order_);
  keep_first(
      section_order_,
      [&](std::uint32_t a, std::uint32_t b) {
        return EqualsNoCase(NameText(sections_[a].name), NameText(sections_[b].name));
      },
      [&](std::uint32_t n) { sections_[n].repeated = true; });

  for (std::uint32_t n = 0; n < keys_.size(); ++n) {
    if (!sections_[keys_[n].section].repeated) {
      key_order_.push_back(static_cast<std::uint64_t>(keys_[n].hash) << 32 | n);
    }
  }
  SortByHash(key_order_);
  keep_first(
      key_order_,
      [&](std::uint32_t a, std::uint32_t b) {
        return keys_[a].section == keys_[b].section &&
               EqualsNoCase(NameText(keys_[a].name), NameText(keys_[b].name));
      },
      [&](std::uint32_t n) { keys_[n].repeated = true; });

  // Only the values that count are kept.
  for (std::uint32_t n = 0; n < keys_.size(); ++n) {
    KeyEntry& key = keys_[n];
    if (key.repeated || sections_[key.section].repeated || value_spans[n].offset == kNoValue) continue;
    key.value = static_cast<std::uint32_t>(values_.size());
    values_.emplace_back(base + value_spans[n].offset, value_spans[n].size);
  }
  // Room that went unused is given back.
  const auto fit = [](auto& list) {
    if (list.capacity() / 2 > list.size()) list.shrink_to_fit();
  };
  fit(sections_);
  fit(section_order_);
  fit(keys_);
  fit(key_order_);
}

std::optional<IniFile> IniFile::Load(const std::string& path, std::string* problem) {
  BoundedFile file(path, kMaxFileBytes);
  if (problem != nullptr) {
    std::optional<std::string> bytes = file.ReadAll();
    if (!bytes) {
      *problem = file.problem();
      return std::nullopt;
    }
    return ParseOwned(std::move(*bytes));
  }
  if (!OpenSetupFile(path, file)) return std::nullopt;
  std::optional<std::string> bytes = ReadSetupFile(path, file);
  if (!bytes) return std::nullopt;
  return ParseOwned(std::move(*bytes));
}

std::shared_ptr<const IniFile> IniFile::LoadShared(const std::string& path) {
  // A file is the same file while it keeps its device, inode, size and
  // both times: a rewrite within one tick of the modification time still
  // moves the change time, and so does setting the modification time back.
  struct Cached {
    std::string path;
    struct stat identity {};
    std::uint64_t last_use = 0;
    std::shared_ptr<const IniFile> ini;
  };
  // A launcher reads two files; tools read a few media at most.
  constexpr std::size_t kKeptFiles = 16;
  static std::mutex mutex;
  static std::vector<Cached> cache;
  static std::uint64_t clock = 0;
  const auto find = [&] {
    return std::find_if(cache.begin(), cache.end(), [&](const Cached& c) { return c.path == path; });
  };

  BoundedFile file(path, kMaxFileBytes);
  if (!OpenSetupFile(path, file)) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (const auto it = find(); it != cache.end()) cache.erase(it);
    return nullptr;
  }
  const struct stat& st = file.status();
  {
    const std::lock_guard<std::mutex> lock(mutex);
    const auto it = find();
    if (it != cache.end() && SameFileVersion(it->identity, st)) {
      it->last_use = ++clock;
      return it->ini;
    }
  }
  std::optional<std::string> bytes = ReadSetupFile(path, file);
  std::shared_ptr<const IniFile> ini =
      bytes ? std::make_shared<const IniFile>(ParseOwned(std::move(*bytes))) : nullptr;

  const std::lock_guard<std::mutex> lock(mutex);
  auto it = find();
  if (!ini) {
    if (it != cache.end()) cache.erase(it);
    return nullptr;
  }
  if (it == cache.end()) {
    if (cache.size() < kKeptFiles) {
      it = cache.emplace(cache.end());
    } else {
      it = std::min_element(cache.begin(), cache.end(),
                            [](const Cached& a, const Cached& b) { return a.last_use < b.last_use; });
    }
  }
  *it = Cached{path, st, ++clock, ini};
  return ini;
}

std::int64_t IniFile::FindKey(std::uint32_t section, std::string_view key) const {
  return FindIn(key_order_, KeyHash(section, HashName(key)), [&](std::uint32_t n) {
    return keys_[n].section == section && EqualsNoCase(NameText(keys_[n].name), key);
  });
}

const std::string* IniFile::FindValue(std::string_view section, std::string_view key,
                                      std::string_view lang_id) const {
  key = Trim(key);
  if (key.empty()) return nullptr;
  const std::int64_t s = FindSection(section);
  if (s < 0) return nullptr;
  const auto number = static_cast<std::uint32_t>(s);
  std::int64_t k = FindKey(number, key);
  // A key name saved in a codepage is found as that codepage writes the
  // name asked for. ASCII names read alike in every codepage.
  if (k < 0 &&
      std::any_of(key.begin(), key.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
    const std::uint16_t codepage = SectionCodepage(Trim(section), lang_id);
    if (const std::optional<std::string> written = EncodeCodepage(key, codepage))
      k = FindKey(number, *written);
  }
  if (k < 0 || keys_[static_cast<std::size_t>(k)].value == kNoValue) return nullptr;
  return &values_[keys_[static_cast<std::size_t>(k)].value];
}

const std::string* IniFile::Find(std::string_view section, std::string_view key) const {
  return FindValue(section, key, {});
}

std::vector<std::string> IniFile::SectionNames() const {
  std::vector<std::string> names;
  for (const SectionEntry& section : sections_) {
    if (!section.repeated) names.emplace_back(NameText(section.name));
  }
  return names;
}

std::vector<std::string> IniFile::KeysIn(std::string_view section) const {
  std::vector<std::string> keys;
  const std::int64_t s = FindSection(section);
  if (s < 0) return keys;
  const SectionEntry& entry = sections_[static_cast<std::size_t>(s)];
  for (std::uint32_t k = entry.first_key; k < entry.first_key + entry.key_count; ++k) {
    if (!keys_[k].repeated) keys.emplace_back(NameText(keys_[k].name));
  }
  return keys;
}

std::uint32_t IniFile::LineOf(std::string_view section, std::string_view key) const {
  const std::int64_t s = FindSection(section);
  if (s < 0) return 0;
  std::uint32_t offset = sections_[static_cast<std::size_t>(s)].name.offset;
  key = Trim(key);
  if (!key.empty()) {
    const std::int64_t k = FindKey(static_cast<std::uint32_t>(s), key);
    if (k < 0) return 0;
    offset = keys_[static_cast<std::size_t>(k)].name.offset;
  }
  const auto ends = std::count(text_.begin(), text_.begin() + offset, '\n');
  return static_cast<std::uint32_t>(ends) + 1;
}

std::string IniFile::GetString(std::string_view section, std::string_view key, std::string_view default_value,
                               std::string_view lang_id) const {
  const std::string* value = FindValue(section, key, lang_id);
  if (value == nullptr) return std::string(CutUtf8(TrimRight(default_value), kMaxValueBytes));
  if (g_utf8_validate(value->data(), static_cast<gssize>(value->size()), nullptr)) {
    return std::string(CutUtf8(*value, kMaxValueBytes));
  }
  const std::uint16_t codepage = SectionCodepage(Trim(section), lang_id);
  // Only what the cut can keep is decoded: each byte gives at least one
  // byte of UTF-8, and a character takes at most four, so a few bytes more
  // than the limit decode to more than it holds. A long value that decodes
  // to less after all is decoded whole.
  constexpr std::size_t kDecoded = kMaxValueBytes + 8;
  std::string text = DecodeCodepage(std::string_view(*value).substr(0, kDecoded), codepage);
  if (value->size() > kDecoded && text.size() < kMaxValueBytes + 4) text = DecodeCodepage(*value, codepage);
  text.resize(CutUtf8(text, kMaxValueBytes).size());
  return text;
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
                          std::string_view default_value, std::string_view lang_id) {
  // The shared copy is used where it lies: never copied for one lookup.
  const std::shared_ptr<const IniFile> ini = IniFile::LoadShared(path);
  const IniFile none;
  return (ini ? *ini : none).GetString(section, key, default_value, lang_id);
}

std::uint32_t ReadIniInt(const std::string& path, std::string_view section, std::string_view key,
                         std::int32_t default_value) {
  const std::shared_ptr<const IniFile> ini = IniFile::LoadShared(path);
  const IniFile none;
  return (ini ? *ini : none).GetInt(section, key, default_value);
}

}  // namespace setupdata
