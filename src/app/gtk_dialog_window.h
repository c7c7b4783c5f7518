// The dialog's window over GTK: a fixed-size top-level window whose client
// area holds the view in a GtkFixed.
#pragma once

#include <gtk/gtk.h>

#include <functional>

#include "app/dialog_window.h"
#include "browser/handler_queue.h"

namespace app {

// The client area (kDialogClientSize).
inline constexpr int kClientWidth = kDialogClientSize.width;
inline constexpr int kClientHeight = kDialogClientSize.height;

// Builds, without showing it, the message box the window shows for `text`:
// modal to `parent`, a warning with Yes and No for the close question, else
// an error with OK; the first button is the default one. Its title is
// `caption`, or the parent's own when that is empty.
GtkWidget* NewMessageBox(GtkWindow* parent, const std::string& text, const std::string& caption,
                         MessageBoxType type);

class GtkDialogWindow final : public IDialogWindow {
 public:
  // The window's close requests run through `handlers`, which must outlive
  // the window.
  explicit GtkDialogWindow(browser::HandlerQueue& handlers);
  ~GtkDialogWindow() override;
  GtkDialogWindow(const GtkDialogWindow&) = delete;
  GtkDialogWindow& operator=(const GtkDialogWindow&) = delete;

  void SetEventSink(IDialogEvents* sink) { sink_ = sink; }
  // Called once when the dialog ends.
  void SetOnEnd(std::function<void()> on_end) { on_end_ = std::move(on_end); }
  GtkFixed* client() const { return client_; }
  GtkWindow* window() const { return GTK_WINDOW(window_); }
  // Passes the mouse buttons pressed on `view` through the dialog's filter.
  void FilterInputOf(GtkWidget* view);

  void SetIcon(const std::string& icon, bool big) override;
  void SetWindowText(const std::string& caption) override;
  ClientSize GetClientRect() const override;
  void EndDialog(int result) override;
  int MessageBox(const std::string& text, const std::string& caption, MessageBoxType type) override;
  void PostClose() override;
  void Lower() override;
  // Sets the toolkit's default direction: the window, and every box it
  // shows afterwards, are laid out in it.
  void SetTextDirection(bool right_to_left) override;
  void ShowProgress(const ProgressBoxText& text, std::function<void()> on_cancel) override;
  void UpdateProgress(const ProgressState& state) override;
  void CloseProgress() override;

  // Shows the window and runs the main loop until the dialog ends; returns
  // at once when it was ended during start-up.
  int RunModal();

 private:
  static gboolean OnDeleteEvent(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean OnKeyEvent(GtkWidget* widget, GdkEventKey* event, gpointer self);
  static gboolean OnButtonEvent(GtkWidget* widget, GdkEventButton* event, gpointer self);
  // Queues one close request for the dialog; a second one while the first
  // waits adds nothing.
  void QueueClose();
  // Any answer of the progress box (Cancel, Escape, its close button).
  static void OnProgressResponse(GtkDialog* box, gint response, gpointer self);

  GtkWidget* window_;
  GtkFixed* client_;
  IDialogEvents* sink_ = nullptr;
  GdkPixbuf* big_icon_ = nullptr;
  GdkPixbuf* small_icon_ = nullptr;
  browser::HandlerQueue& handlers_;
  std::function<void()> on_end_;
  GMainLoop* loop_;
  bool close_queued_ = false;
  int modal_boxes_ = 0;  // message boxes showing; the window is disabled meanwhile
  // The progress box, while it shows, and what it shows.
  GtkWidget* progress_ = nullptr;
  GtkProgressBar* progress_bar_ = nullptr;
  GtkLabel* progress_file_ = nullptr;
  GtkLabel* progress_time_ = nullptr;
  std::function<void()> on_progress_cancel_;
  bool ended_ = false;
  int result_ = 0;
};

}  // namespace app
