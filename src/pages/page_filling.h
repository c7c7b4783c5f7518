// Filling the pages: pure transformations of a page body's markup, given
// the lookups of the medium. The dialog reads the body, runs one of these,
// and writes the result back.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pages/page_contract.h"

namespace pages {

// The lookups a filling may make. Each is made only for a placeholder the
// page carries.
class PageLookups {
 public:
  virtual ~PageLookups() = default;
  virtual std::string GetResText(const std::string& key) const = 0;
  virtual std::string GetSetupValue(const std::string& key) const = 0;
  virtual std::string GetLanguageName(const std::string& key) const = 0;
  virtual std::string GetLanguageDir(const std::string& key) const = 0;
  virtual bool IsSetupSubdir(const std::string& name) const = 0;
};

// What the home page's filling depends on besides the lookups.
struct HomePageState {
  bool sap_mode = false;                // the medium offers a database choice
  std::uint16_t language_count = 0;     // declared language entries
  std::string database = kSqlDatabase;  // shown in the product name in database mode
};

// The page a completed document is, told by its address (with its case):
// the database page when the address holds the database page's address,
// else the home page when it holds the home page's; any other document is
// not filled.
enum class Page { kOther, kHome, kDatabase };
Page PageOfDocument(std::string_view url);

// For each language slot, the table key whose language the filling placed
// there ("LANGUAGE2"), or empty when the slot shows none.
using SlotKeys = std::array<std::string, kLanguageSlots>;

// A filled page grows no larger than this: a text from the medium that
// would take it further (one holding placeholders again) is left out.
inline constexpr std::size_t kMaxFilledPageBytes = 16u << 20;

// Replaces every non-overlapping occurrence of `from`, left to right, in
// one pass; an empty `to` removes them. The result is built in `scratch`
// and swapped in, so that the passes of one filling take turns between two
// buffers instead of copying a large page into fresh memory at each pass.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to, std::string& scratch);
void ReplaceAll(std::string& text, std::string_view from, std::string_view to);

// The placeholder of language slot `slot` ("IDLANGUAGE3").
std::string LanguageSlotPlaceholder(int slot);

// Fills the home page: the installable languages into the slots from the
// first one on without gaps, in table order, the texts, the product name
// (with the database in database mode), the spare slots removed, and the
// back element's visibility. `placed` receives which key fills each slot.
std::string FillHomePageText(std::string text, const HomePageState& state, const PageLookups& lookups,
                             SlotKeys* placed = nullptr);

// The page carries at least one of the language slot placeholders.
bool CarriesLanguageSlots(std::string_view body);

// The page carries the visibility marker in one of the forms the filling
// replaces.
bool HasVisibilityMarker(std::string_view body);

// Fills the database page's texts.
std::string FillSapPageText(std::string text, const PageLookups& lookups);

// Fills `text` as the launcher fills `page`: the home page or the database
// page; another document stays as it is.
std::string FillPageText(Page page, std::string text, const HomePageState& state, const PageLookups& lookups,
                         SlotKeys* placed = nullptr);

// The keys of the texts of the language section that filling `page` looks
// up for `text`: those of the text placeholders it carries. (The product
// name and the languages come by other roads.)
std::vector<std::string> TextKeysOn(Page page, std::string_view text);

// A word the launcher reads on its pages: a placeholder, a database marker
// or a link command word ("IDRLANGUAGE" with anything after it).
bool IsContractWord(std::string_view word);

}  // namespace pages
