// Reading a page without the engine: the input is taken whole as a page of
// the library, and as a filled body. Whatever the markup, the reader ends,
// offers only links that carry their command word and show a text, and
// names only the two databases.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "pages/link_commands.h"
#include "pages/page_reading.h"

namespace {

void CheckItems(std::string_view body) {
  using Kind = pages::PageItem::Kind;
  const std::vector<pages::PageItem> items = pages::ReadPageItems(body);
  bool any_language = false;
  for (const pages::PageItem& item : items) {
    const pages::LinkCommand command = pages::ParseLinkAddress(item.href);
    switch (item.kind) {
      case Kind::kLanguage:
        any_language = true;
        FUZZ_CHECK(command.language);
        FUZZ_CHECK(!item.text.empty());
        break;
      case Kind::kReleaseNotes:
        FUZZ_CHECK(command.release_notes && !command.language);
        break;
      case Kind::kExit:
        FUZZ_CHECK(command.exit && !command.language && !command.release_notes);
        break;
      case Kind::kDatabase:
        FUZZ_CHECK(item.database == "SQL" || item.database == "Oracle");
        break;
      case Kind::kHeading:
        FUZZ_CHECK(!item.text.empty());
        break;
      case Kind::kBack:
      case Kind::kNext:
        break;
    }
    // Shown texts are folded: no blank at either end, none doubled.
    FUZZ_CHECK(item.text.find("  ") == std::string::npos);
    FUZZ_CHECK(!item.text.starts_with(' ') && !item.text.ends_with(' '));
  }
  if (any_language) FUZZ_CHECK(pages::HasLanguageLinks(body));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (const auto page = pages::LoadPage(bytes)) CheckItems(page->body);
  CheckItems(bytes);
  return 0;
}
