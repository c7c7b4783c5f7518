// The dialog's window over GTK: a fixed-size top-level window whose client
// area holds the view in a GtkFixed.
#pragma once

#include <gtk/gtk.h>

#include "app/dialog_window.h"

namespace app {

// The client area (kDialogClientSize).
inline constexpr int kClientWidth = kDialogClientSize.width;
inline constexpr int kClientHeight = kDialogClientSize.height;

class GtkDialogWindow final : public IDialogWindow {
 public:
  GtkDialogWindow();
  ~GtkDialogWindow() override;
  GtkDialogWindow(const GtkDialogWindow&) = delete;
  GtkDialogWindow& operator=(const GtkDialogWindow&) = delete;

  void SetEventSink(IDialogEvents* sink) { sink_ = sink; }
  GtkFixed* client() const { return client_; }
  // Passes the mouse buttons pressed on `view` through the dialog's filter.
  void FilterInputOf(GtkWidget* view);

  void SetIcon(const std::string& icon, bool big) override;
  void SetWindowText(const std::string& caption) override;
  ClientSize GetClientRect() const override;
  void EndDialog(int result) override;
  int MessageBox(const std::string& text, const std::string& caption, MessageBoxType type) override;
  void PostClose() override;
  void Lower() override;

  // Shows the window and runs the main loop until the dialog ends; returns
  // at once when it was ended during start-up.
  int RunModal();

 private:
  static gboolean OnDeleteEvent(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean OnKeyEvent(GtkWidget* widget, GdkEventKey* event, gpointer self);
  static gboolean OnButtonEvent(GtkWidget* widget, GdkEventButton* event, gpointer self);
  static gboolean OnPostedClose(gpointer self);

  GtkWidget* window_;
  GtkFixed* client_;
  IDialogEvents* sink_ = nullptr;
  GdkPixbuf* big_icon_ = nullptr;
  GdkPixbuf* small_icon_ = nullptr;
  GMainLoop* loop_;
  guint posted_close_ = 0;
  int modal_boxes_ = 0;  // message boxes showing; the window is disabled meanwhile
  bool ended_ = false;
  int result_ = 0;
};

}  // namespace app
