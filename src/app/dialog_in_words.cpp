#include "app/dialog_in_words.h"

#include <glib.h>

#include "pages/link_commands.h"
#include "pages/page_contract.h"

namespace app {
namespace {

using Kind = pages::PageItem::Kind;

// The database page's markers in the order that shows `database` chosen:
// the selected image follows the chosen option.
std::string MarkersFor(const std::string& database) {
  const bool sql = database == pages::kSqlDatabase;
  return std::string(pages::kSqlMarker) + " " + (sql ? pages::kSelectedImage : pages::kNotSelectedImage) +
         " " + pages::kOracleMarker + " " + (sql ? pages::kNotSelectedImage : pages::kSelectedImage);
}

}  // namespace

std::vector<const pages::PageItem*> PageInWords::Of(Kind kind) const {
  std::vector<const pages::PageItem*> found;
  for (const pages::PageItem& item : items) {
    if (item.kind == kind) found.push_back(&item);
  }
  return found;
}

const pages::PageItem* PageInWords::First(Kind kind) const {
  for (const pages::PageItem& item : items) {
    if (item.kind == kind) return &item;
  }
  return nullptr;
}

DialogInWords::View::View(const std::string& module_dir, std::deque<Event>& events, ShowFile show_file)
    : library_(module_dir), events_(events), show_file_(std::move(show_file)) {}

void DialogInWords::View::Navigate2(const std::string& url, bool new_window) {
  if (new_window) {
    if (show_file_) show_file_(url);
    return;
  }
  events_.push_back({Event::Kind::kNavigate, url});
}

void DialogInWords::View::Load(const std::string& url) {
  page_ = pages::PageOfDocument(url);
  body_.reset();
  has_script_ = false;
  failure_.clear();
  std::string completed = url;
  if (page_ != pages::Page::kOther) {
    // The page comes from the library as the window's view fetches it; a
    // page that cannot be had shows the view's error page instead, which
    // completes under an address of its own, and the reason is said as the
    // window says it.
    std::string error;
    const std::optional<browser::Resource> resource = library_.Fetch(url, error);
    std::optional<pages::LoadedPage> loaded;
    if (resource) {
      loaded = pages::LoadPage(resource->bytes);
      if (!loaded) error = "it is no HTML page with a body";
    }
    if (loaded) {
      body_ = std::move(loaded->body);
      has_script_ = loaded->has_script;
    } else {
      failure_ = "cannot load " + url + ": " + error;
      page_ = pages::Page::kOther;
      completed = browser::kErrorPageAddress;
    }
  }
  events_.push_back({Event::Kind::kDocumentComplete, completed});
}

void DialogInWords::View::MarkDatabase(const std::string& database) {
  // The body then holds the choice alone, so that no text of the page can
  // stand in the way of reading it back.
  body_ = MarkersFor(database);
}

PageInWords DialogInWords::View::Read() const {
  PageInWords page;
  page.page = page_;
  if (!body_) return page;
  page.items = pages::ReadPageItems(*body_);
  if (page_ == pages::Page::kDatabase) page.checked_database = pages::DetectDatabaseIn(*body_);
  if (page_ == pages::Page::kHome)
    page.links_made_by_script = has_script_ && !pages::HasLanguageLinks(*body_);
  return page;
}

void DialogInWords::Window::ShowProgress(const ProgressBoxText& text, std::function<void()> on_cancel) {
  on_cancel_ = std::move(on_cancel);
  if (show_check_) show_check_(&text, nullptr);
}

void DialogInWords::Window::UpdateProgress(const ProgressState& state) {
  if (!on_cancel_ || !show_check_ || !show_check_(nullptr, &state)) return;
  // Cancelled: the dialog takes the box down.
  const std::function<void()> cancel = on_cancel_;
  cancel();
}

void DialogInWords::Window::CloseProgress() {
  if (!on_cancel_) return;
  on_cancel_ = nullptr;
  if (show_check_) show_check_(nullptr, nullptr);
}

DialogInWords::DialogInWords(const std::string& module_dir, ISystem& system,
                             setupdata::LanguageTable& languages, Ask ask, ShowFile show_file,
                             ShowCheck show_check)
    : window_(events_, std::move(ask), std::move(show_check)),
      view_(module_dir, events_, std::move(show_file)),
      dialog_(window_, view_, system, languages) {}

void DialogInWords::Start() {
  dialog_.OnInitDialog();
  Run();
}

void DialogInWords::Run() {
  while (!window_.ended) {
    if (events_.empty()) {
      // The check of the medium reports on the main loop, at least every
      // tenth of a second while it runs.
      if (!window_.Checking()) break;
      g_main_context_iteration(nullptr, TRUE);
      continue;
    }
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

bool DialogInWords::Follow(Kind kind) {
  const pages::PageItem* link = page_ ? page_->First(kind) : nullptr;
  if (link == nullptr) return false;
  FollowLink(link->href);
  return true;
}

void DialogInWords::ChooseLanguage(std::size_t index) {
  if (!page_) return;
  const std::vector<const pages::PageItem*> links = page_->Of(Kind::kLanguage);
  if (index < links.size()) FollowLink(links[index]->href);
}

bool DialogInWords::ChooseDatabase(const std::string& database) {
  if (!page_ || page_->First(Kind::kNext) == nullptr) return false;
  if (!database.empty()) view_.MarkDatabase(database);
  return Follow(Kind::kNext);
}

void DialogInWords::OpenReleaseNotes() { Follow(Kind::kReleaseNotes); }

void DialogInWords::GoBack() { Follow(Kind::kBack); }

void DialogInWords::Exit() {
  if (!Follow(Kind::kExit)) Close();
}

void DialogInWords::Close() {
  events_.push_back({Event::Kind::kClose, {}});
  Run();
}

CLauncherDlg::LanguageLink DialogInWords::LanguageLinkOf(std::size_t index) const {
  if (!page_) return {};
  const std::vector<const pages::PageItem*> links = page_->Of(Kind::kLanguage);
  if (index >= links.size()) return {};
  return dialog_.ResolveLanguageLink(links[index]->href);
}

}  // namespace app
