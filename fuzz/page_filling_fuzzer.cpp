// Fills a page body with texts the input provides. The input, split at its
// NUL bytes, is: the page body; a few control bytes (database mode, the
// declared language count, which folders exist); the database name; then
// the texts the lookups answer with. A page body alone (no NUL) is filled
// with plain lower-case texts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "pages/page_contract.h"
#include "pages/page_filling.h"

namespace {

std::uint32_t Hash(std::string_view kind, std::string_view key) {
  std::uint32_t h = 2166136261u;
  for (const char c : kind) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  for (const char c : key) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

// Placeholders are made of upper-case letters and digits.
bool IsWordChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// A text that cannot hold a placeholder, nor make one together with what
// stands before or after it.
bool IsSealed(std::string_view text) {
  return !text.empty() && !IsWordChar(text.front()) && !IsWordChar(text.back()) &&
         text.find(pages::kPlaceholderPrefix) == std::string_view::npos;
}

// Every "ID" in the page starts a word, so taking a placeholder out never
// joins what stood on its two sides into a new one.
bool PlaceholdersStartWords(std::string_view body) {
  for (std::size_t at = body.find(pages::kPlaceholderPrefix); at != std::string_view::npos;
       at = body.find(pages::kPlaceholderPrefix, at + 1)) {
    if (at > 0 && IsWordChar(body[at - 1])) return false;
  }
  return true;
}

// Answers from the input's texts, or with the lower-case key in brackets;
// remembers whether every answer was sealed.
class FuzzLookups : public pages::PageLookups {
 public:
  FuzzLookups(std::vector<std::string_view> texts, std::uint8_t folders) : texts_(texts), folders_(folders) {}

  std::string GetResText(const std::string& key) const override { return Answer("text", key); }
  std::string GetSetupValue(const std::string& key) const override { return Answer("setup", key); }
  std::string GetLanguageName(const std::string& key) const override {
    CheckSlotKey(key);
    return Answer("name", key);
  }
  std::string GetLanguageDir(const std::string& key) const override {
    CheckSlotKey(key);
    return Answer("dir", key);
  }
  bool IsSetupSubdir(const std::string& name) const override {
    return !name.empty() && ((folders_ >> (name.size() % 8)) & 1) != 0;
  }

  bool all_answers_sealed() const { return all_answers_sealed_; }

 private:
  static void CheckSlotKey(const std::string& key) {
    FUZZ_CHECK(key.size() == 9 && key.starts_with("LANGUAGE") && key[8] >= '0' && key[8] <= '8');
  }

  std::string Answer(std::string_view kind, const std::string& key) const {
    std::string answer = texts_.empty() ? "(" + fuzz::AsciiLower(key) + ")"
                                        : std::string(texts_[Hash(kind, key) % texts_.size()]);
    if (!IsSealed(answer)) all_answers_sealed_ = false;
    return answer;
  }

  std::vector<std::string_view> texts_;
  std::uint8_t folders_;
  mutable bool all_answers_sealed_ = true;
};

bool Contains(const std::string& text, std::string_view word) { return text.find(word) != std::string::npos; }

void CheckSlotKeys(const pages::SlotKeys& slots, std::uint16_t language_count) {
  int filled = 0;
  int previous_digit = -1;
  for (const std::string& key : slots) {
    if (key.empty()) break;
    FUZZ_CHECK(key.size() == 9 && key.starts_with("LANGUAGE"));
    const int digit = key[8] - '0';
    FUZZ_CHECK(digit > previous_digit && digit < pages::kLanguageSlots);
    FUZZ_CHECK(digit < language_count);
    previous_digit = digit;
    ++filled;
  }
  // No gaps: after the first empty slot, all are empty.
  for (std::size_t i = static_cast<std::size_t>(filled); i < slots.size(); ++i) FUZZ_CHECK(slots[i].empty());
}

void CheckReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string replaced(text);
  pages::ReplaceAll(replaced, from, to);
  if (from.empty()) {
    FUZZ_CHECK(replaced == text);
    return;
  }
  std::size_t count = 0;
  for (std::size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, at + from.size())) {
    ++count;
  }
  FUZZ_CHECK(replaced.size() == text.size() - count * from.size() + count * to.size());
  if (count == 0 || from == to) FUZZ_CHECK(replaced == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string_view> parts =
      fuzz::SplitAtNul(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string body(parts[0]);
  const std::string_view control = parts.size() > 1 ? parts[1] : std::string_view();
  auto control_byte = [&](std::size_t i, std::uint8_t fallback) {
    return i < control.size() ? static_cast<std::uint8_t>(control[i]) : fallback;
  };

  pages::HomePageState state;
  state.sap_mode = (control_byte(0, 0) & 1) != 0;
  state.language_count = static_cast<std::uint16_t>(control_byte(1, 9) | (control_byte(2, 0) << 8));
  if (parts.size() > 2) state.database = std::string(parts[2]);
  const std::uint8_t folders = control_byte(3, 0xFF);
  const std::vector<std::string_view> texts(parts.size() > 3 ? parts.begin() + 3 : parts.end(), parts.end());

  // Every placeholder goes, unless one comes out of the filling: from an
  // answer, from an answer and the page around it, or from two pieces of
  // the page meeting where a placeholder was taken out.
  const bool no_joins = IsSealed(state.database) && PlaceholdersStartWords(body);

  {
    FuzzLookups lookups(texts, folders);
    pages::SlotKeys slots;
    const std::string out = pages::FillHomePageText(body, state, lookups, &slots);
    CheckSlotKeys(slots, state.language_count);
    // Within the limit, but for the back element's marker growing into its
    // style after the last text.
    FUZZ_CHECK(out.size() <= std::max(body.size(), pages::kMaxFilledPageBytes) * 4);
    FUZZ_CHECK(!Contains(out, pages::kVisibilityMarker));
    if (!state.sap_mode && Contains(body, pages::kVisibilityMarker)) FUZZ_CHECK(Contains(out, pages::kHidden));
    if (no_joins && lookups.all_answers_sealed()) {
      for (int slot = 0; slot < pages::kLanguageSlots; ++slot) {
        FUZZ_CHECK(!Contains(out, pages::LanguageSlotPlaceholder(slot)));
      }
      FUZZ_CHECK(!Contains(out, pages::kSelectLangPlaceholder));
      FUZZ_CHECK(!Contains(out, pages::kProductNamePlaceholder));
      for (const char* placeholder : pages::kHomeTextPlaceholders) FUZZ_CHECK(!Contains(out, placeholder));
    }
  }
  {
    FuzzLookups lookups(texts, folders);
    const std::string out = pages::FillSapPageText(body, lookups);
    FUZZ_CHECK(out.size() <= std::max(body.size(), pages::kMaxFilledPageBytes));
    if (no_joins && lookups.all_answers_sealed()) {
      for (const char* placeholder : pages::kDatabasePlaceholders) FUZZ_CHECK(!Contains(out, placeholder));
    }
  }

  CheckReplaceAll(body, state.database, texts.empty() ? std::string_view() : texts[0]);
  for (int slot = 0; slot < pages::kLanguageSlots; ++slot) {
    CheckReplaceAll(body, pages::LanguageSlotPlaceholder(slot), state.database);
  }
  return 0;
}
