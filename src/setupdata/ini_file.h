// The reader of setup.inf and setupres.ini.
//
// Its behaviour is part of the contract with setup authors, who write these
// files for a Windows-style profile reader:
//  - section and key names match without regard to (ASCII) case;
//  - names and values are trimmed of surrounding blanks, and so are the
//    names a lookup asks for;
//  - a value enclosed in a pair of matching single or double quotes loses
//    that pair;
//  - at most kMaxValueBytes bytes of a value (or a default) are delivered,
//    never half a UTF-8 character;
//  - lines starting with ";" are comments, blank lines and lines without
//    "=" carry no value, CRLF and LF line ends are both read;
//  - the first section of a name and the first key of a name count;
//  - files are UTF-8 with or without a byte-order mark, or UTF-16 with one;
//  - a value that is not valid UTF-8 was saved in a Windows ANSI codepage
//    and is read in its section's (see SectionCodepage); the file keeps its
//    bytes, so every section of one file is read in its own codepage.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace setupdata {

// A value buffer holds 260 bytes including its terminator.
inline constexpr std::size_t kMaxValueBytes = 259;
// Larger setup files are not read: a medium's files are a few kilobytes,
// and a runaway file must not hold up or exhaust the launcher.
inline constexpr std::size_t kMaxFileBytes = 16u << 20;

class IniFile {
 public:
  // Parses the bytes of a whole file; never fails.
  static IniFile Parse(std::string_view bytes);

  // Reads and parses a file; nullopt when it cannot be read as a file. A
  // file that is there but cannot be read (a directory, a FIFO, no
  // permission, too large) is reported once in one line on standard error;
  // with `problem`, why any file cannot be read (a missing one as well) is
  // handed back there instead, for the caller to say.
  // The file is opened without waiting and checked through its descriptor,
  // so nothing put in its place meanwhile can hold the reader up.
  static std::optional<IniFile> Load(const std::string& path, std::string* problem = nullptr);

  // The parsed file, shared: a file that is still the same file (device,
  // inode, size, modification and change time) is not read again. The last
  // few files used are kept. nullptr when it cannot be read as a file.
  static std::shared_ptr<const IniFile> LoadShared(const std::string& path);

  // The trimmed, unquoted value of the first `key` in the first section
  // named `section`, uncut, as its bytes stand; nullptr when there is none.
  // A key line without "=" has no value. A key name of the file that is not
  // valid UTF-8 is found as its section's codepage writes `key`.
  const std::string* Find(std::string_view section, std::string_view key) const;

  // The names of the sections, and of the keys of one section, as first
  // written, in no particular order (for checking a file, not for lookups).
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> KeysIn(std::string_view section) const;

  // The 1-based line of the file where the section `section` begins, or
  // with `key`, where that key of it stands (the one Find reads); 0 when
  // there is none. Lines are counted in the decoded text, which keeps the
  // line ends of the file.
  std::uint32_t LineOf(std::string_view section, std::string_view key = {}) const;

  // What a lookup delivers: the value, else the default with its trailing
  // blanks removed, cut to kMaxValueBytes after decoding. A value that is
  // not valid UTF-8 is decoded from the codepage of its section, or, in a
  // section not named by a language id, from that of `lang_id`, the
  // language section in use (see SectionCodepage).
  std::string GetString(std::string_view section, std::string_view key, std::string_view default_value,
                        std::string_view lang_id = {}) const;

  // The leading decimal number of the value, read like the Windows profile
  // reader reads it: the default when the key is missing or its value
  // empty, 0 when the value does not start with a number; a sign is
  // allowed and the number wraps around in 32 bits.
  std::uint32_t GetInt(std::string_view section, std::string_view key, std::int32_t default_value) const;

 private:
  // A name as written (trimmed): where it lies in text_.
  struct Name {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
  };
  struct SectionEntry {
    Name name;
    std::uint32_t first_key = 0;  // its keys are keys_[first_key, first_key + key_count)
    std::uint32_t key_count = 0;
    bool repeated = false;  // an earlier section has its name: its keys do not count
  };
  struct KeyEntry {
    Name name;
    std::uint32_t hash = 0;  // of the folded name and the section
    std::uint32_t section = 0;
    std::uint32_t value = 0;  // index in values_, or kNoValue for a line without "="
    bool repeated = false;    // an earlier key of its section has its name
  };
  static constexpr std::uint32_t kNoValue = 0xFFFFFFFF;

  // Entries of a kind, ordered by their hashes and, for equal hashes, in
  // the order of the file: the hash in the high 32 bits, the entry's number
  // in the low ones.
  using HashOrder = std::vector<std::uint64_t>;
  static void SortByHash(HashOrder& order);
  template <typename Same>
  static std::int64_t FindIn(const HashOrder& order, std::uint32_t hash, const Same& same);

  std::string_view NameText(const Name& name) const { return {text_.data() + name.offset, name.size}; }
  Name NameAt(std::string_view name) const;
  std::int64_t FindSection(std::string_view section) const;
  // Find, key names that are not valid UTF-8 read as GetString reads values.
  const std::string* FindValue(std::string_view section, std::string_view key,
                               std::string_view lang_id) const;
  std::int64_t FindKey(std::uint32_t section, std::string_view key) const;
  static std::uint32_t KeyHash(std::uint32_t section, std::uint32_t name_hash);
  // Parse, taking over the bytes read from a file.
  static IniFile ParseOwned(std::string bytes);
  // Parses text_.
  void ParseText();

  // The text of the file, UTF-8; every section and every key in the order
  // of the file, the repeated ones marked; only the first section of a name
  // and the first key of a name in it are in the orders, and only their
  // values are kept.
  std::string text_;
  std::vector<SectionEntry> sections_;
  std::vector<KeyEntry> keys_;
  std::vector<std::string> values_;
  HashOrder section_order_;
  HashOrder key_order_;
};

// Converts the raw bytes of a setup file to UTF-8 text: a UTF-8 byte-order
// mark is dropped, UTF-16 (LE or BE, with its mark) is converted.
std::string DecodeIniBytes(std::string_view bytes);

// Lookups straight from a file, as the launcher makes them. An unreadable
// file behaves as an empty one. `lang_id`: as for IniFile::GetString.
std::string ReadIniString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view default_value, std::string_view lang_id = {});
std::uint32_t ReadIniInt(const std::string& path, std::string_view section, std::string_view key,
                         std::int32_t default_value);

}  // namespace setupdata
