// Parses the input as a setup file and looks up every section and key it
// names, in other letter cases too, and keys that cannot be there (to get
// the defaults back). Checks what a lookup delivers: at most kMaxValueBytes
// bytes, a prefix of the value (of its decoded text when it is not UTF-8),
// never half a UTF-8 character of a valid value, a default without its
// trailing blanks, and a number that agrees with the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "setupdata/codepage.h"
#include "setupdata/ini_file.h"
#include "setupdata/text.h"

namespace {

using setupdata::IniFile;
using setupdata::kMaxValueBytes;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view WithoutTrailingBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// What a lookup may deliver of `source`: the whole of it when it fits, else
// a prefix of it within the limit that, for valid UTF-8, ends on a character
// boundary and leaves out no more than one character.
void CheckDelivered(const std::string& delivered, std::string_view source) {
  FUZZ_CHECK(delivered.size() <= kMaxValueBytes);
  FUZZ_CHECK(source.starts_with(delivered));
  if (source.size() <= kMaxValueBytes) {
    FUZZ_CHECK(delivered == source);
    return;
  }
  if (fuzz::IsValidUtf8(source)) {
    FUZZ_CHECK(fuzz::IsValidUtf8(delivered));
    FUZZ_CHECK(delivered.size() + 4 > kMaxValueBytes);
  }
}

// A key name holding "=" is never stored: the first "=" ends the name.
constexpr std::string_view kMissingKey = "no=key";

void CheckLookups(const IniFile& ini, std::string_view section, std::string_view key,
                  std::string_view fallback) {
  const std::string* value = ini.Find(section, key);
  const std::string delivered = ini.GetString(section, key, fallback);
  if (value != nullptr && !fuzz::IsValidUtf8(*value)) {
    // Read in a Windows codepage: what the whole value decodes to, cut,
    // though only its beginning is decoded.
    FUZZ_CHECK(value->find('\n') == std::string::npos);
    FUZZ_CHECK(fuzz::IsValidUtf8(delivered));
    const std::string whole = setupdata::DecodeCodepage(*value, setupdata::SectionCodepage(section, {}));
    CheckDelivered(delivered, whole);
  } else if (value != nullptr) {
    FUZZ_CHECK(value->find('\n') == std::string::npos);
    CheckDelivered(delivered, *value);
  } else {
    CheckDelivered(delivered, WithoutTrailingBlanks(fallback));
  }

  // Names match without regard to ASCII case, and blanks around them do not
  // count.
  FUZZ_CHECK(ini.Find(fuzz::AsciiUpper(section), fuzz::AsciiLower(key)) == value);
  FUZZ_CHECK(ini.Find(" " + std::string(section) + "\t", " " + std::string(key) + " ") == value);
  FUZZ_CHECK(ini.GetString(fuzz::AsciiLower(section), fuzz::AsciiUpper(key), fallback) == delivered);

  // The number: the default for a missing or empty value, else the leading
  // number of the delivered text in 32 bits.
  const std::int32_t default_number = static_cast<std::int32_t>(fallback.size()) - 7;
  const std::uint32_t number = ini.GetInt(section, key, default_number);
  const std::string text = ini.GetString(section, key, "");
  if (text.empty()) {
    FUZZ_CHECK(number == static_cast<std::uint32_t>(default_number));
  } else {
    const long long leading = setupdata::ParseLeadingInt(text);
    if (leading > -(1LL << 62) && leading < (1LL << 62)) {
      FUZZ_CHECK(number == static_cast<std::uint32_t>(static_cast<unsigned long long>(leading)));
    }
  }
}

std::string WithoutNul(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    if (c != '\0') out += c;
  }
  return out;
}

// The decoded text: UTF-8 as it is (without its byte-order mark), UTF-16
// either way round giving the same text, valid UTF-8; never a NUL.
void CheckDecoding(std::string_view bytes) {
  const std::string text = setupdata::DecodeIniBytes(bytes);
  FUZZ_CHECK(text.find('\0') == std::string::npos);
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    FUZZ_CHECK(text == WithoutNul(bytes.substr(3)));
  } else if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    FUZZ_CHECK(fuzz::IsValidUtf8(text));
    const std::size_t units = (bytes.size() - 2) / 2;
    FUZZ_CHECK(text.size() <= 3 * units);
    std::string swapped(bytes.substr(0, 2 + 2 * units));
    std::swap(swapped[0], swapped[1]);
    for (std::size_t i = 2; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    FUZZ_CHECK(setupdata::DecodeIniBytes(swapped) == text);
  } else {
    FUZZ_CHECK(text == WithoutNul(bytes));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckDecoding(bytes);
  const IniFile ini = IniFile::Parse(bytes);

  // The names the file itself holds, read line by line the simple way; the
  // raw lines serve as defaults.
  const std::string text = setupdata::DecodeIniBytes(bytes);
  std::string section;
  std::size_t lookups = 0;
  std::string_view rest(text);
  while (!rest.empty() && lookups < 512) {
    const std::size_t eol = rest.find('\n');
    const std::string_view line = rest.substr(0, eol);
    rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);

    std::size_t start = 0;
    while (start < line.size() && IsBlank(line[start])) ++start;
    const std::string_view content = line.substr(start);
    if (content.starts_with('[')) {
      const std::size_t close = content.find(']');
      section = std::string(content.substr(1, close == std::string_view::npos ? close : close - 1));
      while (!section.empty() && IsBlank(section.front())) section.erase(0, 1);
      while (!section.empty() && IsBlank(section.back())) section.pop_back();
      CheckLookups(ini, section, kMissingKey, line);
    } else {
      std::string_view key = content.substr(0, content.find('='));
      key = WithoutTrailingBlanks(key);
      CheckLookups(ini, section, key, line);
      CheckLookups(ini, section, kMissingKey, std::string(line) + std::string(300, ' '));
    }
    ++lookups;
  }

  // A long default of the whole text.
  CheckLookups(ini, section, kMissingKey, text);
  return 0;
}
