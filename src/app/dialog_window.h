// What the dialog needs of its top-level window. The GTK window implements
// it; tests use a fake that records what was asked.
#pragma once

#include <string>

namespace app {

// Results with which the dialog ends.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

struct ClientSize {
  int width = 0;
  int height = 0;
};

class IDialogWindow {
 public:
  virtual ~IDialogWindow() = default;
  // Sets the window's big (title bar, task switcher) or small icon.
  virtual void SetIcon(const std::string& icon, bool big) = 0;
  virtual void SetWindowText(const std::string& caption) = 0;
  virtual ClientSize GetClientRect() const = 0;
  // Marks the dialog to end with `result`; it ends once the current
  // handler has returned (at once when it is not running yet).
  virtual void EndDialog(int result) = 0;
};

// Receives the window's own messages.
class IDialogEvents {
 public:
  virtual ~IDialogEvents() = default;
  // The title bar's close button, the window menu or Alt+F4.
  virtual void OnClose() = 0;
};

}  // namespace app
