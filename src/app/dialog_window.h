// What the dialog needs of its top-level window. The GTK window implements
// it; tests use a fake that records what was asked.
#pragma once

#include <functional>
#include <string>

namespace app {

// Results with which the dialog ends, and answers of message boxes.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// The kinds of message box the launcher shows.
enum class MessageBoxType {
  kYesNoWarning,  // the close question: Yes and No, with a warning icon
  kOkError,       // an error: OK, with an error icon
};

struct ClientSize {
  int width = 0;
  int height = 0;
};

// The dialog's client area, in logical pixels: 316 by 257 dialog units at
// 6 by 13 base units.
inline constexpr ClientSize kDialogClientSize{474, 418};

// What the progress box of the medium's check shows.
struct ProgressBoxText {
  std::string caption;  // its title; empty: the window's own
  std::string text;     // what is being done
};
struct ProgressState {
  double fraction = 0;    // of the bytes to read, 0 to 1
  std::string file;       // the file being read, relative to the medium
  std::string time_left;  // empty until it can be estimated
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
  // Shows a message box modal to the window; returns IDYES, IDNO or IDOK.
  virtual int MessageBox(const std::string& text, const std::string& caption, MessageBoxType type) = 0;
  // Queues a close request (as from the title bar); it is handled after
  // the current handler has returned.
  virtual void PostClose() = 0;
  // The direction of the texts the window shows (its caption, the message
  // boxes' texts): the language section's, whatever the desktop's is.
  virtual void SetTextDirection(bool right_to_left) = 0;
  // Puts the window beneath the other windows, without moving or sizing it.
  virtual void Lower() = 0;
  // Shows the progress box modal to the window, and returns at once: the
  // window keeps running its loop. Its Cancel calls `on_cancel` (after the
  // handler running then has returned); the box stays until CloseProgress.
  virtual void ShowProgress(const ProgressBoxText& text, std::function<void()> on_cancel) = 0;
  virtual void UpdateProgress(const ProgressState& state) = 0;
  // Takes the progress box down, if it shows.
  virtual void CloseProgress() = 0;
};

// Input the window passes to the dialog before the page sees it.
struct InputMessage {
  enum class Kind { kRightButtonDown, kRightButtonUp, kKeyDown, kOther };
  enum class Key { kReturn, kTab, kOther };
  Kind kind = Kind::kOther;
  Key key = Key::kOther;
  bool system_key = false;  // a key with Alt held, or F10
};

// Receives the window's own messages.
class IDialogEvents {
 public:
  virtual ~IDialogEvents() = default;
  // The title bar's close button, the window menu, Alt+F4, or a posted
  // close request.
  virtual void OnClose() = 0;
  // Input before it reaches the page; true swallows it.
  virtual bool PreTranslateMessage(const InputMessage& message) = 0;
};

}  // namespace app
