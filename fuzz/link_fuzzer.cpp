// The small readers of link addresses and setup texts. The input is taken
// whole as an address, a page body and a text; split at its first NUL byte it
// also gives a format and its argument.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "pages/link_commands.h"
#include "pages/page_contract.h"
#include "setupdata/ini_file.h"
#include "setupdata/text.h"

namespace {

void CheckLinkAddress(std::string_view url) {
  const pages::LinkCommand command = pages::ParseLinkAddress(url);
  const std::string upper = fuzz::AsciiUpper(url);
  FUZZ_CHECK(command.language == (upper.find(pages::kLanguageCommand) != std::string::npos));
  FUZZ_CHECK(command.release_notes == (upper.find(pages::kReleaseNotesCommand) != std::string::npos));
  FUZZ_CHECK(command.exit == (upper.find(pages::kExitCommand) != std::string::npos));
  FUZZ_CHECK(command.language_slot >= -1 && command.language_slot <= 8);
  if (!command.language) {
    FUZZ_CHECK(command.language_slot == -1);
    FUZZ_CHECK(command.language_key.empty());
    FUZZ_CHECK(command.language_number == 0);
    return;
  }
  FUZZ_CHECK(command.language_key.starts_with("LANGUAGE"));
  FUZZ_CHECK(upper.ends_with(command.language_key));
  if (command.language_slot >= 0) {
    FUZZ_CHECK(command.language_key == "LANGUAGE" + std::to_string(command.language_slot));
    FUZZ_CHECK(command.language_number == command.language_slot);
  }
}

// The C library's reading of a number, which saturates the same way.
void CheckLeadingInt(std::string_view text) {
  const long long value = setupdata::ParseLeadingInt(text);
  const std::string copy(text);  // strtoll stops at a NUL, as the digits do
  errno = 0;
  const long long expected = std::strtoll(copy.c_str(), nullptr, 10);
  FUZZ_CHECK(value == expected);
}

void CheckCut(std::string_view text, std::size_t max_bytes) {
  const std::string_view cut = setupdata::CutUtf8(text, max_bytes);
  FUZZ_CHECK(cut.data() == text.data());
  FUZZ_CHECK(cut.size() <= max_bytes || cut.size() == text.size());
  FUZZ_CHECK(cut.size() <= text.size());
  if (text.size() <= max_bytes) {
    FUZZ_CHECK(cut.size() == text.size());
  } else {
    FUZZ_CHECK(cut.size() <= max_bytes);
    // Nothing is left out that would have fitted: the next character is
    // whole and does not.
    const std::size_t next = setupdata::Utf8CharLength(text, cut.size());
    FUZZ_CHECK(next >= 1 && next <= 4);
    FUZZ_CHECK(cut.size() + next > max_bytes);
  }
  if (fuzz::IsValidUtf8(text)) FUZZ_CHECK(fuzz::IsValidUtf8(cut));
}

void CheckDropFirstAndLast(std::string_view text) {
  const std::string inner = setupdata::DropFirstAndLastChar(text);
  FUZZ_CHECK(inner.size() + 2 <= text.size() || inner.empty());
  if (!text.empty()) FUZZ_CHECK(text.substr(setupdata::Utf8CharLength(text, 0)).starts_with(inner));
  if (fuzz::IsValidUtf8(text)) {
    // Counted in characters, for a valid text.
    std::string copy(text);
    for (char& c : copy) {
      if (c == '\0') c = ' ';
    }
    const glong chars = g_utf8_strlen(copy.data(), static_cast<gssize>(copy.size()));
    if (chars <= 2) {
      FUZZ_CHECK(inner.empty());
    } else {
      const char* begin = g_utf8_next_char(copy.data());
      const char* end = g_utf8_find_prev_char(copy.data(), copy.data() + copy.size());
      FUZZ_CHECK(inner == text.substr(static_cast<std::size_t>(begin - copy.data()),
                                      static_cast<std::size_t>(end - begin)));
    }
  }
}

void CheckFormat(std::string_view format, std::string_view arg) {
  const std::string out = setupdata::FormatWithOneString(format, arg);
  FUZZ_CHECK(out.size() <= format.size() + arg.size());
  if (format.find('%') == std::string_view::npos) FUZZ_CHECK(out == format);
  // Without "%s" the argument never shows and nothing grows.
  if (format.find("%s") == std::string_view::npos) FUZZ_CHECK(out.size() <= format.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  CheckLinkAddress(bytes);
  FUZZ_CHECK(pages::IsHomePageAddress(bytes) ==
             (fuzz::AsciiUpper(bytes) == fuzz::AsciiUpper(pages::kHomePageAddress)));
  const std::string database = pages::DetectDatabaseIn(bytes);
  FUZZ_CHECK(database == pages::kSqlDatabase || database == pages::kOracleDatabase);

  CheckLeadingInt(bytes);
  CheckDropFirstAndLast(bytes);
  const std::size_t limit = size == 0 ? 0 : data[0] % 64;
  CheckCut(bytes, limit);
  CheckCut(bytes, setupdata::kMaxValueBytes);

  const std::size_t nul = bytes.find('\0');
  if (nul == std::string_view::npos) {
    CheckFormat(bytes, "arg");
  } else {
    CheckFormat(bytes.substr(0, nul), bytes.substr(nul + 1));
    CheckLinkAddress(bytes.substr(nul + 1));
  }
  return 0;
}
