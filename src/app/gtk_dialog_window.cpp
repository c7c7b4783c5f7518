#include "app/gtk_dialog_window.h"

#include <string>

namespace app {
namespace {

constexpr char kIconResourcePrefix[] = "/org/setuplauncher/icons/";
constexpr int kBigIconSize = 64;
constexpr int kSmallIconSize = 16;

GdkPixbuf* LoadIcon(const std::string& icon, int size) {
  const std::string path = kIconResourcePrefix + icon + ".png";
  return gdk_pixbuf_new_from_resource_at_scale(path.c_str(), size, size, TRUE, nullptr);
}

}  // namespace

GtkDialogWindow::GtkDialogWindow() : loop_(g_main_loop_new(nullptr, FALSE)) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window_);
  gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
  gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
  gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_NORMAL);
  client_ = GTK_FIXED(gtk_fixed_new());
  gtk_widget_set_size_request(GTK_WIDGET(client_), kClientWidth, kClientHeight);
  gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(client_));
  gtk_widget_show(GTK_WIDGET(client_));
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
}

GtkDialogWindow::~GtkDialogWindow() {
  g_signal_handlers_disconnect_by_data(window_, this);
  gtk_widget_destroy(window_);
  g_object_unref(window_);
  if (big_icon_ != nullptr) g_object_unref(big_icon_);
  if (small_icon_ != nullptr) g_object_unref(small_icon_);
  g_main_loop_unref(loop_);
}

void GtkDialogWindow::SetIcon(const std::string& icon, bool big) {
  GdkPixbuf*& slot = big ? big_icon_ : small_icon_;
  if (slot != nullptr) g_object_unref(slot);
  slot = LoadIcon(icon, big ? kBigIconSize : kSmallIconSize);
  GList* icons = nullptr;
  if (big_icon_ != nullptr) icons = g_list_append(icons, big_icon_);
  if (small_icon_ != nullptr) icons = g_list_append(icons, small_icon_);
  gtk_window_set_icon_list(GTK_WINDOW(window_), icons);
  g_list_free(icons);
}

void GtkDialogWindow::SetWindowText(const std::string& caption) {
  gtk_window_set_title(GTK_WINDOW(window_), caption.c_str());
}

ClientSize GtkDialogWindow::GetClientRect() const { return ClientSize{kClientWidth, kClientHeight}; }

void GtkDialogWindow::EndDialog(int result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
  gtk_widget_hide(window_);
  if (g_main_loop_is_running(loop_)) g_main_loop_quit(loop_);
}

int GtkDialogWindow::RunModal() {
  if (ended_) return result_;
  gtk_widget_show(window_);
  g_main_loop_run(loop_);
  return result_;
}

gboolean GtkDialogWindow::OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self) {
  auto* window = static_cast<GtkDialogWindow*>(self);
  if (window->sink_ != nullptr) window->sink_->OnClose();
  return TRUE;  // the dialog decides whether it ends
}

}  // namespace app
