#include "pages/pe_resources.h"

#include <algorithm>
#include <utility>

#include "setupdata/text.h"

namespace pages {
namespace {

// The layout of a PE image, as the PE/COFF format publishes it.
constexpr std::size_t kDosHeaderBytes = 64;
constexpr std::size_t kNewHeaderPointer = 0x3C;  // e_lfanew
constexpr std::size_t kCoffHeaderBytes = 20;     // after the "PE\0\0" signature
constexpr std::size_t kSectionHeaderBytes = 40;
// Windows loads no image with more sections; each resource is looked for
// among them.
constexpr std::uint16_t kMaxSections = 96;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::size_t kDirectoryBytes = 16;      // IMAGE_RESOURCE_DIRECTORY
constexpr std::size_t kDirectoryEntryBytes = 8;  // IMAGE_RESOURCE_DIRECTORY_ENTRY
constexpr std::size_t kDataEntryBytes = 16;      // IMAGE_RESOURCE_DATA_ENTRY
constexpr std::uint32_t kHighBit = 0x80000000u;  // a string name, or a subdirectory
// Type, name, language.
constexpr int kTreeLevels = 3;
// A name longer than a file name is never listed (unpack writes files).
constexpr std::size_t kMaxListedBytes = 255;

std::uint16_t Le16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1])
                                                                            << 8);
}

std::uint32_t Le32(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(Le16(b, at)) | static_cast<std::uint32_t>(Le16(b, at + 2)) << 16;
}

// `count` bytes at `at` lie within `size` bytes.
bool Fits(std::uint64_t at, std::uint64_t count, std::uint64_t size) {
  return at <= size && count <= size - at;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16LE to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view b, std::size_t at, std::size_t units) {
  std::string out;
  out.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    std::uint32_t c = Le16(b, at + 2 * i);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
      const std::uint32_t low = Le16(b, at + 2 * (i + 1));
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else {
        c = 0xFFFD;
      }
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

// "#" and decimal digits: a number. nullopt for anything else.
std::optional<std::uint32_t> ParseNumber(std::string_view part) {
  if (part.size() < 2 || part.front() != '#') return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : part.substr(1)) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value >= kHighBit) return std::nullopt;  // no number of a file is that large
  }
  return static_cast<std::uint32_t>(value);
}

std::uint64_t PairKey(PeResources::Id type, PeResources::Id name) {
  return static_cast<std::uint64_t>(type) << 32 | name;
}

struct Section {
  std::uint32_t address = 0;  // RVA
  std::uint32_t extent = 0;   // bytes backed by the file
  std::uint32_t raw = 0;      // file offset
};

}  // namespace

// Reads the headers and walks the resource tree into a PeResources.
class ResourceTreeReader {
 public:
  ResourceTreeReader(PeResources& out, std::string* error) : out_(out), error_(error) {}

  bool Read() {
    const std::string_view file = out_.file_;
    if (!Fits(0, kDosHeaderBytes, file.size()) || file.substr(0, 2) != "MZ") return Fail("no DOS header");
    const std::uint64_t pe = Le32(file, kNewHeaderPointer);
    if (!Fits(pe, 4 + kCoffHeaderBytes, file.size()) || file.substr(pe, 4) != std::string_view("PE\0\0", 4))
      return Fail("no PE signature");
    const std::uint64_t coff = pe + 4;
    const std::uint16_t section_count = Le16(file, coff + 2);
    const std::uint16_t optional_bytes = Le16(file, coff + 16);
    const std::uint64_t optional = coff + kCoffHeaderBytes;
    if (!Fits(optional, optional_bytes, file.size()) || optional_bytes < 2) return Fail("no optional header");
    const std::uint16_t magic = Le16(file, optional);
    std::uint64_t count_at = 0;
    if (magic == kMagicPe32) {
      count_at = 92;
    } else if (magic == kMagicPe32Plus) {
      count_at = 108;
    } else {
      return Fail("neither a PE32 nor a PE32+ image");
    }
    const std::uint64_t directory_at = count_at + 4 + kResourceDirectoryIndex * 8;
    if (optional_bytes < directory_at + 8 || Le32(file, optional + count_at) <= kResourceDirectoryIndex)
      return Fail("no resource table");
    const std::uint32_t table_rva = Le32(file, optional + directory_at);
    const std::uint32_t table_size = Le32(file, optional + directory_at + 4);
    if (table_rva == 0 || table_size == 0) return Fail("no resource table");

    if (section_count > kMaxSections) return Fail("more sections than Windows loads");
    const std::uint64_t sections_at = optional + optional_bytes;
    if (!Fits(sections_at, static_cast<std::uint64_t>(section_count) * kSectionHeaderBytes, file.size()))
      return Fail("the section table lies outside the file");
    for (std::uint64_t i = 0; i < section_count; ++i) {
      const std::uint64_t at = sections_at + i * kSectionHeaderBytes;
      const std::uint32_t virtual_size = Le32(file, at + 8);
      const std::uint32_t raw_size = Le32(file, at + 16);
      Section section;
      section.address = Le32(file, at + 12);
      section.raw = Le32(file, at + 20);
      // Bytes past the raw data are zeros in memory, not in the file: only
      // what the file holds is served.
      section.extent = virtual_size != 0 ? std::min(virtual_size, raw_size) : raw_size;
      sections_.push_back(section);
    }

    std::size_t available = 0;
    if (!Map(table_rva, &base_, &available)) return Fail("the resource table lies outside the file");
    table_bytes_ = available;
    // A sound tree holds each entry once, each in 8 bytes of the table, and
    // each string once: more than that means directories or strings shared
    // over and over.
    entry_budget_ = table_bytes_ / kDirectoryEntryBytes;
    string_budget_ = table_bytes_;
    if (!ReadDirectory(0, 0, 0, 0)) return false;

    for (std::uint32_t i = 0; i < out_.strings_.size(); ++i)
      out_.folded_[setupdata::AsciiUpper(out_.strings_[i])].push_back(i);
    for (std::uint32_t i = 0; i < out_.entries_.size(); ++i) {
      const PeResources::Entry& entry = out_.entries_[i];
      std::vector<std::uint32_t>& same = out_.pairs_[PairKey(entry.type, entry.name)];
      if (same.empty()) out_.pair_order_.push_back(PairKey(entry.type, entry.name));
      same.push_back(i);
    }
    return true;
  }

 private:
  bool Fail(const char* what) {
    if (error_ != nullptr) *error_ = what;
    return false;
  }

  // The file offset of `rva` and how many bytes of its section the file
  // holds from there.
  bool Map(std::uint32_t rva, std::size_t* offset, std::size_t* available) const {
    const std::uint64_t size = out_.file_.size();
    for (const Section& section : sections_) {
      if (rva < section.address || rva - section.address >= section.extent) continue;
      const std::uint64_t delta = rva - section.address;
      const std::uint64_t at = section.raw + delta;
      if (at >= size) return false;
      *offset = static_cast<std::size_t>(at);
      *available = static_cast<std::size_t>(std::min<std::uint64_t>(section.extent - delta, size - at));
      return true;
    }
    return false;
  }

  // A string of the table (a 16-bit count of UTF-16LE units), interned.
  bool ReadString(std::uint32_t offset, PeResources::Id* id) {
    if (const auto known = string_ids_.find(offset); known != string_ids_.end()) {
      *id = known->second;
      return true;
    }
    const std::string_view file = out_.file_;
    if (!Fits(offset, 2, table_bytes_)) return Fail("a resource name lies outside the resource table");
    const std::size_t units = Le16(file, base_ + offset);
    if (!Fits(offset + 2ull, units * 2ull, table_bytes_))
      return Fail("a resource name lies outside the resource table");
    if (units * 2 + 2 > string_budget_) return Fail("the resource names overlap");
    string_budget_ -= units * 2 + 2;
    std::string text = Utf16ToUtf8(file, base_ + offset + 2, units);
    const auto [it, added] =
        string_index_.try_emplace(text, static_cast<std::uint32_t>(out_.strings_.size()));
    if (added) out_.strings_.push_back(std::move(text));
    *id = PeResources::kStringBit | it->second;
    string_ids_.emplace(offset, *id);
    return true;
  }

  bool ReadDirectory(std::uint32_t offset, int level, PeResources::Id type, PeResources::Id name) {
    const std::string_view file = out_.file_;
    if (!Fits(offset, kDirectoryBytes, table_bytes_))
      return Fail("a resource directory lies outside the table");
    const std::size_t at = base_ + offset;
    const std::size_t count = static_cast<std::size_t>(Le16(file, at + 12)) + Le16(file, at + 14);
    if (!Fits(offset + kDirectoryBytes, count * kDirectoryEntryBytes, table_bytes_))
      return Fail("resource directory entries lie outside the table");
    if (count > entry_budget_) return Fail("the resource directories are shared or loop");
    entry_budget_ -= count;
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t entry = at + kDirectoryBytes + i * kDirectoryEntryBytes;
      const std::uint32_t id_field = Le32(file, entry);
      const std::uint32_t target = Le32(file, entry + 4);
      const bool is_directory = (target & kHighBit) != 0;
      const std::uint32_t target_offset = target & ~kHighBit;
      PeResources::Id id = id_field;
      if (level < kTreeLevels - 1 && (id_field & kHighBit) != 0 && !ReadString(id_field & ~kHighBit, &id))
        return false;
      if (level < kTreeLevels - 1) {
        if (!is_directory) return Fail("a resource lacks its name or language level");
        if (!ReadDirectory(target_offset, level + 1, level == 0 ? id : type, level == 0 ? 0 : id))
          return false;
        continue;
      }
      if (is_directory) return Fail("the resource directories nest deeper than type, name and language");
      if (!Fits(target_offset, kDataEntryBytes, table_bytes_))
        return Fail("a resource entry lies outside the table");
      const std::uint32_t data_rva = Le32(file, base_ + target_offset);
      const std::uint32_t data_size = Le32(file, base_ + target_offset + 4);
      PeResources::Entry leaf;
      leaf.type = type;
      leaf.name = name;
      // Languages are numbers; a named one (high bit set) is never the
      // neutral one.
      leaf.language = id_field;
      std::size_t available = 0;
      if (!Map(data_rva, &leaf.offset, &available)) {
        if (data_size != 0) return Fail("resource data lies outside the file");
        leaf.offset = 0;  // nothing to read
      } else if (data_size > available) {
        return Fail("resource data runs past the end of its section");
      }
      leaf.size = data_size;
      out_.entries_.push_back(leaf);
    }
    return true;
  }

  PeResources& out_;
  std::string* error_;
  std::vector<Section> sections_;
  std::size_t base_ = 0;         // file offset of the resource table
  std::size_t table_bytes_ = 0;  // bytes of it the file holds
  std::size_t entry_budget_ = 0;
  std::size_t string_budget_ = 0;
  std::unordered_map<std::uint32_t, PeResources::Id> string_ids_;  // by offset in the table
  std::unordered_map<std::string, std::uint32_t> string_index_;    // by text
};

bool PeResources::LooksLikeDll(std::string_view bytes) { return bytes.starts_with("MZ"); }

std::optional<PeResources> PeResources::Parse(std::string file, std::string* error) {
  PeResources resources;
  resources.file_ = std::move(file);
  if (!ResourceTreeReader(resources, error).Read()) return std::nullopt;
  return resources;
}

std::string PeResources::IdText(Id id) const {
  if ((id & kStringBit) != 0) return strings_[id & ~kStringBit];
  return "#" + std::to_string(id);
}

std::vector<PeResources::Id> PeResources::Candidates(std::string_view part) const {
  if (part.empty()) return {};
  if (const std::optional<std::uint32_t> number = ParseNumber(part)) return {*number};
  std::vector<Id> ids;
  const auto folded = folded_.find(setupdata::AsciiUpper(part));
  if (folded == folded_.end()) return ids;
  for (const std::uint32_t index : folded->second)
    if (strings_[index] == part) ids.push_back(kStringBit | index);
  for (const std::uint32_t index : folded->second)
    if (strings_[index] != part) ids.push_back(kStringBit | index);
  return ids;
}

const PeResources::Entry* PeResources::Find(std::string_view address) const {
  const std::size_t slash = address.find('/');
  std::vector<Id> types = {kHtmlResourceType};
  std::string_view name_part = address;
  if (slash != std::string_view::npos) {
    name_part = address.substr(slash + 1);
    if (name_part.find('/') != std::string_view::npos) return nullptr;
    types = Candidates(address.substr(0, slash));
  }
  const std::vector<Id> names = Candidates(name_part);
  for (const Id type : types) {
    for (const Id name : names) {
      const auto pair = pairs_.find(PairKey(type, name));
      if (pair == pairs_.end()) continue;
      for (const std::uint32_t index : pair->second)
        if (entries_[index].language == 0) return &entries_[index];
      return &entries_[pair->second.front()];
    }
  }
  return nullptr;
}

void PeResources::List(std::vector<std::string>* reached, std::vector<std::string>* unreached) const {
  auto listable = [this](Id id) {
    if ((id & kStringBit) == 0) return true;
    const std::string& text = strings_[id & ~kStringBit];
    return !text.empty() && text != "." && text != ".." && text.size() <= kMaxListedBytes &&
           text.find('\0') == std::string::npos;
  };
  for (const std::uint64_t key : pair_order_) {
    const Id type = static_cast<Id>(key >> 32);
    const Id name = static_cast<Id>(key);
    std::string address = type == kHtmlResourceType ? IdText(name) : IdText(type) + "/" + IdText(name);
    const Entry* found = listable(type) && listable(name) ? Find(address) : nullptr;
    const bool reaches = found != nullptr && found->type == type && found->name == name;
    std::vector<std::string>* list = reaches ? reached : unreached;
    if (list != nullptr) list->push_back(std::move(address));
  }
  for (std::vector<std::string>* list : {reached, unreached})
    if (list != nullptr) std::sort(list->begin(), list->end());
}

std::vector<std::string> PeResources::Names() const {
  std::vector<std::string> names;
  List(&names, nullptr);
  return names;
}

std::vector<std::string> PeResources::Unlisted() const {
  std::vector<std::string> names;
  List(nullptr, &names);
  return names;
}

}  // namespace pages
