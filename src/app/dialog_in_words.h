// The launcher's dialog without a display: CLauncherDlg runs on a window
// and a view that hold the medium's real pages as text. The view loads each
// page from the page library as the window's view does, hands its body to
// the dialog to fill, and reads the filled body with an HTML parser for
// what the page offers. The user's answers follow the page's own links, so
// every rule (the guards, the slots, the messages, the close question, the
// result) stays the dialog's own, and the answer is the window's.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/dialog_window.h"
#include "app/launcher_dlg.h"
#include "app/page_source.h"
#include "app/system.h"
#include "browser/web_browser.h"
#include "pages/page_filling.h"
#include "pages/page_reading.h"
#include "setupdata/language_table.h"

namespace app {

// What a filled page shows, in document order.
struct PageInWords {
  pages::Page page = pages::Page::kOther;
  std::vector<pages::PageItem> items;
  // Database page: the database its markup checks ("SQL" or "Oracle").
  std::string checked_database;
  // Home page: it carries no language link at all, but a script, which
  // may make them; only the engine can run it.
  bool links_made_by_script = false;

  // The items of one kind, in their order.
  std::vector<const pages::PageItem*> Of(pages::PageItem::Kind kind) const;
  // The first item of that kind; none when the page has none.
  const pages::PageItem* First(pages::PageItem::Kind kind) const;
};

// A window, a view and the dialog on them; the events the window and the
// view raise wait in a queue and reach the dialog one at a time, each after
// the handler that raised it has returned, as on the display.
class DialogInWords {
 public:
  // Answers a message box: IDYES or IDNO for the close question, IDOK for
  // an error.
  using Ask = std::function<int(const std::string& text, const std::string& caption, MessageBoxType type)>;
  // Shows a file the dialog opens in a view of its own (the release notes
  // when the desktop has no program for them).
  using ShowFile = std::function<void(const std::string& path)>;
  // Shows the check of a sealed medium: its text when it starts (`text`
  // set), its progress (`state` set), and its end (neither). True asks to
  // cancel it.
  using ShowCheck = std::function<bool(const ProgressBoxText* text, const ProgressState* state)>;

  // `module_dir`: the medium, whose page library the view loads.
  DialogInWords(const std::string& module_dir, ISystem& system, setupdata::LanguageTable& languages, Ask ask,
                ShowFile show_file = {}, ShowCheck show_check = {});
  DialogInWords(const DialogInWords&) = delete;
  DialogInWords& operator=(const DialogInWords&) = delete;

  // The dialog's start-up and the first page.
  void Start();
  bool Ended() const { return window_.ended; }
  const std::string& Caption() const { return window_.caption; }
  // The page shown, once the dialog has filled it.
  const std::optional<PageInWords>& Page() const { return page_; }
  // Counts the pages shown, so that a new one can be told from the last.
  int PagesShown() const { return pages_shown_; }
  // Why the last page could not be loaded ("cannot load ADDRESS: WHY");
  // empty when it was.
  const std::string& LoadFailure() const { return view_.failure(); }

  // The user's answers, each through the page's own link; each runs until
  // the dialog waits again.
  // The language link `index` of the home page's language links.
  void ChooseLanguage(std::size_t index);
  // Marks `database` ("SQL" or "Oracle"; empty: the one the page checks)
  // on the database page and follows its link to the home page. False
  // when the page has no such link.
  bool ChooseDatabase(const std::string& database);
  void OpenReleaseNotes();
  void GoBack();
  // The page's exit link, or a close request where the page has none.
  void Exit();
  // A close request, as from the window's title bar.
  void Close();

  // The file the last check of the medium found damaged, and what is
  // wrong with it; empty when none was.
  const std::string& DamagedFile() const { return dialog_.DamagedFile(); }
  const std::string& Damage() const { return dialog_.Damage(); }

  // What the language link `index` of the home page hands over, resolved
  // as the dialog resolves it.
  CLauncherDlg::LanguageLink LanguageLinkOf(std::size_t index) const;
  // The process's exit status once the dialog has ended, the window's rule
  // (CLauncherDlg::ExitStatus): 4 when another launcher runs, 1 when the
  // view failed, 3 when the result did not reach the parent, else 0.
  int ExitStatus() const { return dialog_.ExitStatus(); }

 private:
  struct Event {
    enum class Kind { kNavigate, kDocumentComplete, kClose } kind;
    std::string url;
  };

  class Window : public IDialogWindow {
   public:
    Window(std::deque<Event>& events, Ask ask, ShowCheck show_check)
        : events_(events), ask_(std::move(ask)), show_check_(std::move(show_check)) {}
    void SetIcon(const std::string&, bool) override {}
    void SetWindowText(const std::string& text) override { caption = text; }
    ClientSize GetClientRect() const override { return kDialogClientSize; }
    void EndDialog(int) override { ended = true; }
    int MessageBox(const std::string& text, const std::string& caption, MessageBoxType type) override {
      return ask_(text, caption, type);
    }
    void PostClose() override { events_.push_back({Event::Kind::kClose, {}}); }
    void Lower() override {}
    void SetTextDirection(bool) override {}
    void ShowProgress(const ProgressBoxText& text, std::function<void()> on_cancel) override;
    void UpdateProgress(const ProgressState& state) override;
    void CloseProgress() override;
    // The check shows: the main loop runs until it ends.
    bool Checking() const { return static_cast<bool>(on_cancel_); }

    std::string caption;
    bool ended = false;

   private:
    std::deque<Event>& events_;
    Ask ask_;
    ShowCheck show_check_;
    std::function<void()> on_cancel_;
  };

  class View : public browser::IWebBrowser {
   public:
    View(const std::string& module_dir, std::deque<Event>& events, ShowFile show_file);
    void Navigate2(const std::string& url, bool new_window) override;
    std::optional<std::string> ReadBody() override { return body_; }
    void WriteBody(const std::string& markup) override { body_ = markup; }
    // The words are read, not drawn: a page's language changes none of them.
    void SetDocumentLanguage(const pages::DocumentLanguage&) override {}
    void SetLeft(int) override {}
    void SetTop(int) override {}
    void SetWidth(int) override {}
    void SetHeight(int) override {}

    // Loads the page of `url` (a navigation the dialog let go on).
    void Load(const std::string& url);
    // The page loaded last as its body now reads.
    PageInWords Read() const;
    // The database page's own script marks the chosen option.
    void MarkDatabase(const std::string& database);
    const std::string& failure() const { return failure_; }

   private:
    PageLibrarySource library_;
    std::deque<Event>& events_;
    ShowFile show_file_;
    pages::Page page_ = pages::Page::kOther;
    std::optional<std::string> body_;
    bool has_script_ = false;
    std::string failure_;
  };

  void FollowLink(const std::string& url);
  // Follows the page's first link of `kind`; false when it has none.
  bool Follow(pages::PageItem::Kind kind);
  // Hands the waiting events to the dialog until none is left or it ends.
  void Run();

  std::deque<Event> events_;
  Window window_;
  View view_;
  CLauncherDlg dialog_;
  std::optional<PageInWords> page_;
  int pages_shown_ = 0;
};

}  // namespace app
