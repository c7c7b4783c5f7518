// Fakes of the window, the view and the system that record what the dialog
// asks of them, so a test reads like the behaviour it checks.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/dialog_window.h"
#include "app/system.h"
#include "browser/web_browser.h"

namespace testing_support {

class FakeWindow : public app::IDialogWindow {
 public:
  void SetIcon(const std::string& icon, bool big) override {
    calls.push_back(std::string(big ? "big" : "small") + " icon " + icon);
  }
  void SetWindowText(const std::string& text) override {
    caption = text;
    calls.push_back("caption " + text);
  }
  app::ClientSize GetClientRect() const override { return client; }
  void EndDialog(int result) override {
    ended = result;
    calls.push_back("end " + std::to_string(result));
  }

  app::ClientSize client{474, 418};
  std::optional<std::string> caption;
  std::optional<int> ended;
  std::vector<std::string> calls;
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
  void SetLeft(int v) override { calls.push_back("left " + std::to_string(v)); }
  void SetTop(int v) override { calls.push_back("top " + std::to_string(v)); }
  void SetWidth(int v) override { calls.push_back("width " + std::to_string(v)); }
  void SetHeight(int v) override { calls.push_back("height " + std::to_string(v)); }

  std::optional<std::string> body;
  std::vector<std::string> written;
  std::vector<std::string> calls;
};

class FakeSystem : public app::ISystem {
 public:
  std::string ModuleFileName() override { return module_file; }
  std::uint16_t SystemDefaultLangId() override { return lang_id; }

  std::string module_file = "/nonexistent/setup-launcher";
  std::uint16_t lang_id = 1033;
};

}  // namespace testing_support
