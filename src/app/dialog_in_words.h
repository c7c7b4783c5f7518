// The launcher's dialog without a display: CLauncherDlg runs on a window
// and a view that keep its pages as text. The view serves each page as a
// body of its own that carries the page's placeholders, one to an element;
// the dialog fills it as it fills the real page, and the filled body tells
// what the page shows. The user's answers become the links the page would
// have followed, so every rule (the guards, the slots, the messages, the
// close question, the result) stays the dialog's own.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/dialog_window.h"
#include "app/launcher_dlg.h"
#include "app/system.h"
#include "browser/web_browser.h"
#include "pages/page_filling.h"
#include "setupdata/language_table.h"

namespace app {

// What a filled page shows, in its order.
struct PageInWords {
  pages::Page page = pages::Page::kOther;
  std::string heading;  // SELECTLANG on the home page, SELECTPRODUCT on the database page
  // Home page: the languages the filling put into the slots, from slot 0 on.
  // Database page: the SQL option, then the Oracle option.
  std::vector<std::string> choices;
  std::string release_notes;  // home page
  std::string back;           // home page
  bool back_visible = false;  // home page: the back element is shown
  std::string next;           // database page
  std::string exit;
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

  DialogInWords(ISystem& system, setupdata::LanguageTable& languages, Ask ask, ShowFile show_file = {});
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

  // The user's answers. Each runs until the dialog waits again.
  void ChooseLanguage(int slot);
  // Marks `database` ("SQL" or "Oracle") on the database page and moves on.
  void ChooseDatabase(const std::string& database);
  void OpenReleaseNotes();
  void GoBack();
  void Exit();
  // A close request, as from the window's title bar.
  void Close();

  // The setup folder of the language in `slot` of the home page, as its
  // entry names it.
  std::string LanguageFolder(int slot) const;
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
    Window(std::deque<Event>& events, Ask ask) : events_(events), ask_(std::move(ask)) {}
    void SetIcon(const std::string&, bool) override {}
    void SetWindowText(const std::string& text) override { caption = text; }
    ClientSize GetClientRect() const override { return kDialogClientSize; }
    void EndDialog(int) override { ended = true; }
    int MessageBox(const std::string& text, const std::string& caption, MessageBoxType type) override {
      return ask_(text, caption, type);
    }
    void PostClose() override { events_.push_back({Event::Kind::kClose, {}}); }
    void Lower() override {}

    std::string caption;
    bool ended = false;

   private:
    std::deque<Event>& events_;
    Ask ask_;
  };

  class View : public browser::IWebBrowser {
   public:
    View(std::deque<Event>& events, ShowFile show_file);
    void Navigate2(const std::string& url, bool new_window) override;
    std::optional<std::string> ReadBody() override { return body_; }
    void WriteBody(const std::string& markup) override { body_ = markup; }
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

   private:
    std::string Field(const char* tag, const std::string& content) const;

    std::deque<Event>& events_;
    ShowFile show_file_;
    std::string separator_;
    pages::Page page_ = pages::Page::kOther;
    std::optional<std::string> body_;
  };

  void FollowLink(const std::string& url);
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
