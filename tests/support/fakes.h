// Fakes of the window, the view and the system that record what the dialog
// asks of them, so a test reads like the behaviour it checks.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/dialog_window.h"
#include "app/system.h"
#include "browser/web_browser.h"

namespace testing_support {

class FakeWindow : public app::IDialogWindow {
 public:
  void SetIcon(const std::string& icon, bool big) override { (big ? big_icon : small_icon) = icon; }
  void SetWindowText(const std::string& text) override {
    caption = text;
    calls.push_back("caption " + text);
  }
  app::ClientSize GetClientRect() const override { return client; }
  void EndDialog(int result) override {
    ended = result;
    calls.push_back("end " + std::to_string(result));
  }
  int MessageBox(const std::string& text, const std::string& caption, app::MessageBoxType type) override {
    calls.push_back((type == app::MessageBoxType::kYesNoWarning ? "ask " : "error ") + text +
                    (caption.empty() ? "" : " | " + caption));
    if (while_box_shows) while_box_shows();
    return type == app::MessageBoxType::kYesNoWarning ? answer : app::IDOK;
  }
  void PostClose() override { calls.push_back("post close"); }
  void Lower() override { calls.push_back("lower"); }
  void SetTextDirection(bool rtl) override { right_to_left = rtl; }
  void ShowProgress(const app::ProgressBoxText& text, std::function<void()> cancel) override {
    calls.push_back("progress " + text.text);
    on_cancel = std::move(cancel);
  }
  void UpdateProgress(const app::ProgressState& state) override { progress = state; }
  void CloseProgress() override {
    calls.push_back("progress closed");
    on_cancel = nullptr;
  }

  app::ClientSize client{474, 418};
  int answer = app::IDNO;
  // Runs while a message box shows, as the nested loop of a real one would
  // run what arrives meanwhile.
  std::function<void()> while_box_shows;
  std::optional<std::string> caption;
  std::optional<bool> right_to_left;
  std::string big_icon, small_icon;
  std::optional<int> ended;
  std::vector<std::string> calls;
  // The progress box's Cancel, while it shows, and what it shows last.
  std::function<void()> on_cancel;
  std::optional<app::ProgressState> progress;
};

class FakeBrowser : public browser::IWebBrowser {
 public:
  void Navigate2(const std::string& url, bool new_window) override {
    calls.push_back((new_window ? "new window " : "navigate ") + url);
  }
  std::optional<std::string> ReadBody() override {
    calls.push_back("read body");
    return body;
  }
  void WriteBody(const std::string& markup) override {
    calls.push_back("write body");
    written.push_back(markup);
  }
  void SetDocumentLanguage(const pages::DocumentLanguage& l) override { language = l; }
  // The view's place: each edge as last set. A layout sets all four and
  // counts once among the calls, as "sized".
  void SetLeft(int v) override { place.left = v; }
  void SetTop(int v) override { place.top = v; }
  void SetWidth(int v) override { place.width = v; }
  void SetHeight(int v) override {
    place.height = v;
    calls.push_back("sized");
  }

  struct Place {
    int left = -1, top = -1, width = -1, height = -1;
    bool operator==(const Place&) const = default;
  } place;
  std::optional<std::string> body;
  std::optional<pages::DocumentLanguage> language;
  std::vector<std::string> written;
  std::vector<std::string> calls;
};

// A held lock whose file lies in a made-up lock folder.
class FakeLockHandle : public app::ILockHandle {
 public:
  explicit FakeLockHandle(std::string name) : path_("/locks/" + std::move(name) + ".lock") {}
  std::string Path() const override { return path_; }

 private:
  std::string path_;
};

class FakeSystem : public app::ISystem {
 public:
  std::string ModuleFileName() override { return module_file; }
  std::uint16_t SystemDefaultLangId() override { return lang_id; }
  std::unique_ptr<app::ILockHandle> CreateNamedLock(const std::string& name, bool& already_existed) override {
    locks.push_back(name);
    already_existed = held_by_others.count(name) > 0 || (parent_present && name != "PreventSecondInstance");
    if (unavailable_locks.count(name) > 0) return nullptr;
    return std::make_unique<FakeLockHandle>(name);
  }
  app::ResultWrite WriteResult(std::string_view bytes) override {
    if (!stdio_open) return app::ResultWrite::kNoChannel;
    if (result_lost) return app::ResultWrite::kLost;
    results.emplace_back(bytes);
    return app::ResultWrite::kWritten;
  }
  bool OpenWithDefaultHtmlProgram(const std::string& path) override {
    if (!html_program) return false;
    opened.push_back(path);
    return true;
  }
  void SayError(const std::string& line) override { errors.push_back(line); }
  // A check that reports only when the test says so; `checking` is the
  // one running, null once it has been dropped (cancelled).
  struct Check : app::IMediumCheck {
    Check(FakeSystem& owner, medium::Preparation to_prepare, medium::VerificationOnLoop::OnProgress progress,
          medium::VerificationOnLoop::OnDone done)
        : system(owner),
          prepare(std::move(to_prepare)),
          on_progress(std::move(progress)),
          on_done(std::move(done)) {
      system.checking = this;
    }
    ~Check() override {
      if (system.checking == this) system.checking = nullptr;
    }
    FakeSystem& system;
    medium::Preparation prepare;  // what the workers would run first
    medium::VerificationOnLoop::OnProgress on_progress;
    medium::VerificationOnLoop::OnDone on_done;
  };
  std::unique_ptr<app::IMediumCheck> StartCheck(const std::string& root, medium::Preparation prepare,
                                                medium::VerificationOnLoop::OnProgress on_progress,
                                                medium::VerificationOnLoop::OnDone on_done) override {
    check_roots.push_back(root);
    return std::make_unique<Check>(*this, std::move(prepare), std::move(on_progress), std::move(on_done));
  }

  std::string module_file = "/nonexistent/setup-launcher";
  std::uint16_t lang_id = 1033;
  // Locks other processes hold: by default a parent holds the product's
  // lock, whatever the medium names the product.
  bool parent_present = true;
  std::set<std::string> held_by_others;
  // Locks that cannot be held (their file is a link, or another user's).
  std::set<std::string> unavailable_locks;
  std::vector<std::string> locks;
  bool stdio_open = true;
  bool result_lost = false;  // the write fails (a full disk, a parent gone)
  std::vector<std::string> results;
  bool html_program = true;
  std::vector<std::string> opened;
  std::vector<std::string> errors;  // lines said on standard error
  std::vector<std::string> check_roots;
  Check* checking = nullptr;
};

}  // namespace testing_support
