#include "pages/page_filling.h"

#include <algorithm>

#include "setupdata/setup_files.h"
#include "setupdata/text.h"

namespace pages {
namespace {

// The lookup key of a placeholder: the placeholder without its "ID".
std::string KeyOf(std::string_view placeholder) {
  return std::string(placeholder.substr(sizeof(kPlaceholderPrefix) - 1));
}

// One filling of a page: its text, and the buffer the passes over it take
// turns with.
class Filling {
 public:
  explicit Filling(std::string text) : text_(std::move(text)) {}

  bool Has(std::string_view word) const { return text_.find(word) != std::string::npos; }
  void Replace(std::string_view from, std::string_view to) { ReplaceAll(text_, from, to, scratch_); }

  // Puts a text from the medium in place of a placeholder. A text that
  // holds placeholders again multiplies the page at every later pass; when
  // the page would grow beyond kMaxFilledPageBytes the placeholder is taken
  // out instead.
  void FillIn(std::string_view placeholder, std::string_view value) {
    if (value.size() > placeholder.size()) {
      std::size_t count = 0;
      for (std::size_t at = text_.find(placeholder); at != std::string::npos;
           at = text_.find(placeholder, at + placeholder.size())) {
        ++count;
      }
      const std::size_t room = kMaxFilledPageBytes - std::min(text_.size(), kMaxFilledPageBytes);
      if (count > room / (value.size() - placeholder.size())) value = {};
    }
    Replace(placeholder, value);
  }

  void FillInResText(std::string_view placeholder, const PageLookups& lookups) {
    if (Has(placeholder)) FillIn(placeholder, lookups.GetResText(KeyOf(placeholder)));
  }

  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
  std::string scratch_;
};

}  // namespace

void ReplaceAll(std::string& text, std::string_view from, std::string_view to, std::string& scratch) {
  if (from.empty()) return;
  std::size_t pos = text.find(from);
  if (pos == std::string::npos) return;
  std::string& out = scratch;
  out.clear();
  // With room to grow, so that the passes of a filling that lengthens the
  // page find the memory they need in the two buffers they share.
  if (out.capacity() < text.size()) out.reserve(text.size() + text.size() / 2);
  std::size_t start = 0;
  while (pos != std::string::npos) {
    out.append(text, start, pos - start);
    out.append(to);
    start = pos + from.size();
    pos = text.find(from, start);
  }
  out.append(text, start, std::string::npos);
  text.swap(out);
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::string scratch;
  ReplaceAll(text, from, to, scratch);
}

std::string LanguageSlotPlaceholder(int slot) { return kLanguageSlotPrefix + std::to_string(slot); }

Page PageOfDocument(std::string_view url) {
  if (url.find(kDatabasePageAddress) != std::string_view::npos) return Page::kDatabase;
  if (url.find(kHomePageAddress) != std::string_view::npos) return Page::kHome;
  return Page::kOther;
}

std::string FillHomePageText(std::string text, const HomePageState& state, const PageLookups& lookups,
                             SlotKeys* placed) {
  Filling page(std::move(text));
  SlotKeys slots;
  int placed_count = 0;

  // Each slot the page carries looks up the table entry of its own number;
  // the languages that can be shown go to the slots from the first one on.
  for (int row = 0; row < kLanguageSlots; ++row) {
    const std::string placeholder = LanguageSlotPlaceholder(row);
    if (!page.Has(placeholder)) continue;
    const std::string key = KeyOf(placeholder);
    std::string name = lookups.GetLanguageName(key);
    const std::string dir = lookups.GetLanguageDir(key);
    if (name == setupdata::kNullText) name.clear();
    if (state.language_count < row + 1) name.clear();
    // The subdirectory is tested at every filling, whatever the table held
    // when it was built.
    if (!lookups.IsSetupSubdir(dir)) name.clear();
    if (name.empty()) continue;
    page.FillIn(LanguageSlotPlaceholder(placed_count), name);
    slots[placed_count] = key;
    ++placed_count;
  }

  page.FillInResText(kSelectLangPlaceholder, lookups);
  if (page.Has(kProductNamePlaceholder)) {
    std::string product = lookups.GetSetupValue(KeyOf(kProductNamePlaceholder));
    if (state.sap_mode && product.find("%s") != std::string::npos) {
      product = setupdata::FormatWithOneString(product, state.database);
    }
    page.FillIn(kProductNamePlaceholder, product);
  }
  for (const char* placeholder : kHomeTextPlaceholders) page.FillInResText(placeholder, lookups);

  // The slots no language took are emptied.
  for (int slot = placed_count; slot < kLanguageSlots; ++slot)
    page.Replace(LanguageSlotPlaceholder(slot), "");
  const char* visibility = state.sap_mode ? kVisible : kHidden;
  for (const char* marker : kQuotedVisibilityMarkers) page.Replace(marker, visibility);
  page.Replace(kVisibilityMarker, visibility);

  if (placed != nullptr) *placed = slots;
  return page.Take();
}

bool CarriesLanguageSlots(std::string_view body) {
  for (int slot = 0; slot < kLanguageSlots; ++slot) {
    if (body.find(LanguageSlotPlaceholder(slot)) != std::string_view::npos) return true;
  }
  return false;
}

bool HasVisibilityMarker(std::string_view body) {
  // The quoted forms hold no plain marker, so each is looked for.
  if (body.find(kVisibilityMarker) != std::string_view::npos) return true;
  for (const char* marker : kQuotedVisibilityMarkers) {
    if (body.find(marker) != std::string_view::npos) return true;
  }
  return false;
}

std::string FillSapPageText(std::string text, const PageLookups& lookups) {
  Filling page(std::move(text));
  for (const char* placeholder : kDatabasePlaceholders) page.FillInResText(placeholder, lookups);
  return page.Take();
}

std::string FillPageText(Page page, std::string text, const HomePageState& state, const PageLookups& lookups,
                         SlotKeys* placed) {
  switch (page) {
    case Page::kHome:
      return FillHomePageText(std::move(text), state, lookups, placed);
    case Page::kDatabase:
      return FillSapPageText(std::move(text), lookups);
    case Page::kOther:
      break;
  }
  return text;
}

std::vector<std::string> TextKeysOn(Page page, std::string_view text) {
  std::vector<std::string_view> placeholders;
  if (page == Page::kHome) {
    placeholders.push_back(kSelectLangPlaceholder);
    placeholders.insert(placeholders.end(), std::begin(kHomeTextPlaceholders),
                        std::end(kHomeTextPlaceholders));
  } else if (page == Page::kDatabase) {
    placeholders.assign(std::begin(kDatabasePlaceholders), std::end(kDatabasePlaceholders));
  }
  std::vector<std::string> keys;
  for (std::string_view placeholder : placeholders) {
    if (text.find(placeholder) != std::string_view::npos) keys.push_back(KeyOf(placeholder));
  }
  return keys;
}

bool IsContractWord(std::string_view word) {
  if (word.starts_with(kLanguageCommand) || word == kExitCommand || word == kReleaseNotesCommand ||
      word == kSqlMarker || word == kOracleMarker || word == kSelectLangPlaceholder ||
      word == kProductNamePlaceholder) {
    return true;
  }
  for (int slot = 0; slot < kLanguageSlots; ++slot) {
    if (word == LanguageSlotPlaceholder(slot)) return true;
  }
  const auto listed = [&](const auto& list) {
    return std::find(std::begin(list), std::end(list), word) != std::end(list);
  };
  return listed(kHomeTextPlaceholders) || listed(kDatabasePlaceholders);
}

}  // namespace pages
