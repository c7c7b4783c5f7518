#include "app/dialog_in_words.h"

#include <cstdio>
#include <random>
#include <string_view>

#include "pages/link_commands.h"
#include "pages/page_contract.h"

namespace app {
namespace {

// The address of a link that carries a command word.
std::string CommandAddress(const std::string& word) {
  return std::string(pages::kResScheme) + "://" + pages::kPageLibraryName + "/" + word;
}

// Element names of the bodies the view serves.
constexpr char kHeadingField[] = "heading";
constexpr char kSlotField[] = "slot";
constexpr char kNotesField[] = "notes";
constexpr char kBackField[] = "back";
constexpr char kExitField[] = "exit";
constexpr char kSqlField[] = "sql";
constexpr char kOracleField[] = "oracle";
constexpr char kNextField[] = "next";
constexpr char kChoiceField[] = "choice";

// The database page's markers in the order that shows `database` chosen:
// the selected image follows the chosen option.
std::string MarkersFor(const std::string& database) {
  const bool sql = database == pages::kSqlDatabase;
  return std::string(pages::kSqlMarker) + " " + (sql ? pages::kSelectedImage : pages::kNotSelectedImage) +
         " " + pages::kOracleMarker + " " + (sql ? pages::kNotSelectedImage : pages::kSelectedImage);
}

}  // namespace

DialogInWords::View::View(std::deque<Event>& events, ShowFile show_file)
    : events_(events), show_file_(std::move(show_file)) {
  // The elements are told apart by a word no text of the medium can hold
  // by chance, since it is drawn anew for each run: whatever a text
  // carries, it stays inside its own element. Lower-case hexadecimal
  // digits hold no placeholder, which are written in capitals.
  std::random_device random;
  char word[40];
  std::snprintf(word, sizeof word, "<%08x%08x>", static_cast<unsigned>(random()),
                static_cast<unsigned>(random()));
  separator_ = word;
}

std::string DialogInWords::View::Field(const char* tag, const std::string& content) const {
  return separator_ + tag + ":" + content;
}

void DialogInWords::View::Navigate2(const std::string& url, bool new_window) {
  if (new_window) {
    if (show_file_) show_file_(url);
    return;
  }
  events_.push_back({Event::Kind::kNavigate, url});
}

void DialogInWords::View::Load(const std::string& url) {
  page_ = pages::PageOfDocument(url);
  std::string body;
  if (page_ == pages::Page::kHome) {
    body = Field(kHeadingField, pages::kSelectLangPlaceholder);
    for (int slot = 0; slot < pages::kLanguageSlots; ++slot) {
      body += Field(kSlotField, pages::LanguageSlotPlaceholder(slot));
    }
    body += Field(kNotesField, "IDRELNOTES");
    body += Field(kBackField, std::string(pages::kVisibilityMarker) + " " + pages::kBackPlaceholder);
    body += Field(kExitField, "IDEXIT");
    body_ = body;
  } else if (page_ == pages::Page::kDatabase) {
    body = Field(kHeadingField, "IDSELECTPRODUCT");
    body += Field(kSqlField, "IDSAPSELECTSQL");
    body += Field(kOracleField, "IDSAPSELECTORACLE");
    body += Field(kNextField, "IDNEXT");
    body += Field(kExitField, "IDEXIT");
    body += Field(kChoiceField, MarkersFor(pages::kSqlDatabase));
    body_ = body;
  } else {
    body_.reset();
  }
  events_.push_back({Event::Kind::kDocumentComplete, url});
}

void DialogInWords::View::MarkDatabase(const std::string& database) {
  // The body then holds the choice alone, so that no text of the page can
  // stand in the way of reading it back.
  body_ = Field(kChoiceField, MarkersFor(database));
}

PageInWords DialogInWords::View::Read() const {
  PageInWords page;
  page.page = page_;
  if (!body_) return page;
  const std::string_view body = *body_;
  std::size_t at = body.find(separator_);
  while (at != std::string_view::npos) {
    const std::size_t start = at + separator_.size();
    at = body.find(separator_, start);
    const std::string_view field = body.substr(start, at == std::string_view::npos ? at : at - start);
    const std::size_t colon = field.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view tag = field.substr(0, colon);
    std::string value(field.substr(colon + 1));
    if (tag == kHeadingField) {
      page.heading = value;
    } else if (tag == kSlotField || tag == kSqlField || tag == kOracleField) {
      page.choices.push_back(value);
    } else if (tag == kNotesField) {
      page.release_notes = value;
    } else if (tag == kBackField) {
      // The filling put the visibility in place of the marker.
      page.back_visible = value.starts_with(pages::kVisible);
      for (std::string_view shown : {pages::kVisible, pages::kHidden}) {
        if (value.starts_with(shown)) value.erase(0, shown.size());
      }
      if (value.starts_with(' ')) value.erase(0, 1);
      page.back = value;
    } else if (tag == kNextField) {
      page.next = value;
    } else if (tag == kExitField) {
      page.exit = value;
    }
  }
  return page;
}

DialogInWords::DialogInWords(ISystem& system, setupdata::LanguageTable& languages, Ask ask,
                             ShowFile show_file)
    : window_(events_, std::move(ask)),
      view_(events_, std::move(show_file)),
      dialog_(window_, view_, system, languages) {}

void DialogInWords::Start() {
  dialog_.OnInitDialog();
  Run();
}

void DialogInWords::Run() {
  while (!events_.empty() && !window_.ended) {
    const Event event = std::move(events_.front());
    events_.pop_front();
    switch (event.kind) {
      case Event::Kind::kNavigate: {
        bool cancel = false;
        dialog_.OnBeforeNavigate2(event.url, cancel);
        if (!cancel) view_.Load(event.url);
        break;
      }
      case Event::Kind::kDocumentComplete:
        dialog_.OnDocumentComplete(event.url);
        if (window_.ended) break;
        page_ = view_.Read();
        if (page_->page == pages::Page::kHome) {
          // The filling puts the languages into the slots from the first on
          // without gaps; the slots it left empty offer nothing.
          std::size_t placed = 0;
          for (const std::string& key : dialog_.SlotLanguageKeys()) placed += key.empty() ? 0 : 1;
          if (page_->choices.size() > placed) page_->choices.resize(placed);
        }
        ++pages_shown_;
        break;
      case Event::Kind::kClose:
        dialog_.OnClose();
        break;
    }
  }
}

void DialogInWords::FollowLink(const std::string& url) {
  events_.push_back({Event::Kind::kNavigate, url});
  Run();
}

void DialogInWords::ChooseLanguage(int slot) {
  FollowLink(CommandAddress(pages::kLanguageCommand + std::to_string(slot)));
}

void DialogInWords::ChooseDatabase(const std::string& database) {
  view_.MarkDatabase(database);
  FollowLink(pages::kHomePageAddress);
}

void DialogInWords::OpenReleaseNotes() { FollowLink(CommandAddress(pages::kReleaseNotesCommand)); }

void DialogInWords::GoBack() { FollowLink(pages::kDatabasePageAddress); }

void DialogInWords::Exit() { FollowLink(CommandAddress(pages::kExitCommand)); }

void DialogInWords::Close() {
  events_.push_back({Event::Kind::kClose, {}});
  Run();
}

std::string DialogInWords::LanguageFolder(int slot) const {
  if (slot < 0 || slot >= pages::kLanguageSlots) return {};
  return dialog_.GetLanguageDir(dialog_.SlotLanguageKeys()[slot]);
}

}  // namespace app
