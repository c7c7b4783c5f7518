#include "pages/page_filling.h"

#include <algorithm>

#include "setupdata/text.h"

namespace pages {
namespace {

constexpr char kNullText[] = "NULL";

// The lookup key of a placeholder: the placeholder without its "ID".
std::string KeyOf(std::string_view placeholder) {
  return std::string(placeholder.substr(sizeof(kPlaceholderPrefix) - 1));
}

bool Contains(const std::string& text, std::string_view word) { return text.find(word) != std::string::npos; }

// Puts a text from the medium in place of a placeholder. A text that holds
// placeholders again multiplies the page at every later pass; when the
// page would grow beyond kMaxFilledPageBytes the placeholder is taken out
// instead.
void FillIn(std::string& text, std::string_view placeholder, std::string_view value) {
  if (value.size() > placeholder.size()) {
    std::size_t count = 0;
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + placeholder.size())) {
      ++count;
    }
    const std::size_t room = kMaxFilledPageBytes - std::min(text.size(), kMaxFilledPageBytes);
    if (count > room / (value.size() - placeholder.size())) value = {};
  }
  ReplaceAll(text, placeholder, value);
}

void ReplaceWithResText(std::string& text, std::string_view placeholder, const PageLookups& lookups) {
  if (Contains(text, placeholder)) FillIn(text, placeholder, lookups.GetResText(KeyOf(placeholder)));
}

}  // namespace

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  std::size_t pos = text.find(from);
  if (pos == std::string::npos) return;
  // The passes of one filling take turns between two buffers, so a large
  // page is not copied into fresh memory at every pass.
  static thread_local std::string out;
  out.clear();
  out.reserve(text.size());
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

std::string LanguageSlotPlaceholder(int slot) { return kLanguageSlotPrefix + std::to_string(slot); }

void ClearSpareLanguageSlots(int first, std::string& text) {
  for (int slot = first; slot < kLanguageSlots; ++slot) {
    const std::string placeholder = LanguageSlotPlaceholder(slot);
    if (Contains(text, placeholder)) ReplaceAll(text, placeholder, "");
  }
}

std::string FillHomePageText(std::string text, const HomePageState& state, const PageLookups& lookups,
                             SlotKeys* placed) {
  SlotKeys slots;
  int placed_count = 0;

  // Each slot the page carries looks up the table entry of its own number;
  // the languages that can be shown go to the slots from the first one on.
  for (int row = 0; row < kLanguageSlots; ++row) {
    const std::string placeholder = LanguageSlotPlaceholder(row);
    if (!Contains(text, placeholder)) continue;
    const std::string key = KeyOf(placeholder);
    std::string name = lookups.GetLanguageName(key);
    const std::string dir = lookups.GetLanguageDir(key);
    if (name == kNullText) name.clear();
    if (state.language_count < row + 1) name.clear();
    // The subdirectory is tested at every filling, whatever the table held
    // when it was built.
    if (!lookups.IsSetupSubdir(dir)) name.clear();
    if (name.empty()) continue;
    FillIn(text, LanguageSlotPlaceholder(placed_count), name);
    slots[placed_count] = key;
    ++placed_count;
  }

  if (Contains(text, kSelectLangPlaceholder)) {
    FillIn(text, kSelectLangPlaceholder, lookups.GetResText(KeyOf(kSelectLangPlaceholder)));
  }
  if (Contains(text, kProductNamePlaceholder)) {
    std::string product = lookups.GetSetupValue(KeyOf(kProductNamePlaceholder));
    if (state.sap_mode && Contains(product, "%s")) {
      product = setupdata::FormatWithOneString(product, state.database);
    }
    FillIn(text, kProductNamePlaceholder, product);
  }
  for (const char* placeholder : kHomeTextPlaceholders) ReplaceWithResText(text, placeholder, lookups);

  ClearSpareLanguageSlots(placed_count, text);
  ReplaceAll(text, kVisibilityMarker, state.sap_mode ? kVisible : kHidden);

  if (placed != nullptr) *placed = slots;
  return text;
}

std::string FillSapPageText(std::string text, const PageLookups& lookups) {
  for (const char* placeholder : kDatabasePlaceholders) ReplaceWithResText(text, placeholder, lookups);
  return text;
}

}  // namespace pages
