#include "app/gtk_dialog_window.h"

#include <algorithm>
#include <string>

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace app {
namespace {

constexpr char kIconResourcePrefix[] = "/org/setuplauncher/icons/";
constexpr int kBigIconSize = 64;
constexpr int kSmallIconSize = 16;

// GTK shows UTF-8 only; bytes of a setup file that are not become U+FFFD.
std::string ValidUtf8(const std::string& text) {
  g_autofree gchar* valid = g_utf8_make_valid(text.c_str(), -1);
  return valid;
}

GdkPixbuf* LoadIcon(const std::string& icon, int size) {
  const std::string path = kIconResourcePrefix + icon + ".png";
  return gdk_pixbuf_new_from_resource_at_scale(path.c_str(), size, size, TRUE, nullptr);
}

// Whether the window lives on an X11 display, where the window manager
// places and stacks windows as their clients ask. A Wayland compositor does
// both itself: it neither moves a top-level window nor lowers one on request.
bool OnX11(GdkWindow* window) {
#ifdef GDK_WINDOWING_X11
  return window != nullptr && GDK_IS_X11_WINDOW(window);
#else
  (void)window;
  return false;
#endif
}

// Makes `box` modal for `parent` and puts it over the middle of it. On X11
// the box's frame is centred on the parent's frame: a window manager puts a
// frame's corner where the window asks to be, and the box is taken to get
// the decorations the parent got (none without a window manager). A Wayland
// compositor places a dialog itself, by its parent.
void CentreOn(GtkWindow* box, GtkWidget* parent) {
  gtk_window_set_transient_for(box, GTK_WINDOW(parent));
  gtk_window_set_modal(box, TRUE);
  gtk_window_set_position(box, GTK_WIN_POS_CENTER_ON_PARENT);
  GdkWindow* parent_window = gtk_widget_get_window(parent);
  if (!OnX11(parent_window) || !gtk_widget_get_mapped(parent)) return;
  GdkRectangle frame;
  gdk_window_get_frame_extents(parent_window, &frame);
  GtkRequisition size;
  gtk_widget_get_preferred_size(GTK_WIDGET(box), nullptr, &size);
  const int decoration_width = frame.width - gtk_widget_get_allocated_width(parent);
  const int decoration_height = frame.height - gtk_widget_get_allocated_height(parent);
  gtk_window_set_position(box, GTK_WIN_POS_NONE);
  gtk_window_move(box, frame.x + (frame.width - size.width - decoration_width) / 2,
                  frame.y + (frame.height - size.height - decoration_height) / 2);
}

}  // namespace

GtkWidget* NewMessageBox(GtkWindow* parent, const std::string& text, const std::string& caption,
                         MessageBoxType type) {
  const bool question = type == MessageBoxType::kYesNoWarning;
  GtkWidget* box =
      gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, question ? GTK_MESSAGE_WARNING : GTK_MESSAGE_ERROR,
                             question ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK, "%s", ValidUtf8(text).c_str());
  const char* title = gtk_window_get_title(parent);
  gtk_window_set_title(GTK_WINDOW(box),
                       caption.empty() ? (title != nullptr ? title : "") : ValidUtf8(caption).c_str());
  // The first button is the default one: Return answers Yes, Escape No.
  gtk_dialog_set_default_response(GTK_DIALOG(box), question ? GTK_RESPONSE_YES : GTK_RESPONSE_OK);
  return box;
}

GtkDialogWindow::GtkDialogWindow(browser::HandlerQueue& handlers)
    : handlers_(handlers), loop_(g_main_loop_new(nullptr, FALSE)) {
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
  // Keys reach the window before the focused page.
  g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyEvent), this);
}

void GtkDialogWindow::FilterInputOf(GtkWidget* view) {
  g_signal_connect(view, "button-press-event", G_CALLBACK(OnButtonEvent), this);
  g_signal_connect(view, "button-release-event", G_CALLBACK(OnButtonEvent), this);
}

GtkDialogWindow::~GtkDialogWindow() {
  CloseProgress();
  handlers_.Forget(this);
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
  gtk_window_set_title(GTK_WINDOW(window_), ValidUtf8(caption).c_str());
}

ClientSize GtkDialogWindow::GetClientRect() const { return ClientSize{kClientWidth, kClientHeight}; }

void GtkDialogWindow::EndDialog(int result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
  gtk_widget_hide(window_);
  if (g_main_loop_is_running(loop_)) g_main_loop_quit(loop_);
  if (on_end_) on_end_();
}

int GtkDialogWindow::RunModal() {
  if (ended_) return result_;
  gtk_widget_show(window_);
  g_main_loop_run(loop_);
  return result_;
}

gboolean GtkDialogWindow::OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self) {
  auto* window = static_cast<GtkDialogWindow*>(self);
  // While a message box shows, the window takes no close request.
  if (window->modal_boxes_ == 0) window->QueueClose();
  return TRUE;  // the dialog decides whether it ends
}

gboolean GtkDialogWindow::OnKeyEvent(GtkWidget*, GdkEventKey* event, gpointer self) {
  auto* window = static_cast<GtkDialogWindow*>(self);
  if (window->sink_ == nullptr) return FALSE;
  InputMessage message;
  message.kind = InputMessage::Kind::kKeyDown;
  switch (event->keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
      message.key = InputMessage::Key::kReturn;
      break;
    case GDK_KEY_Tab:
    case GDK_KEY_KP_Tab:
    case GDK_KEY_ISO_Left_Tab:
      message.key = InputMessage::Key::kTab;
      break;
    default:
      message.key = InputMessage::Key::kOther;
  }
  // Alt combinations and F10 are the system's keys, not the page's.
  message.system_key = (event->state & GDK_MOD1_MASK) != 0 || event->keyval == GDK_KEY_F10;
  return window->sink_->PreTranslateMessage(message) ? TRUE : FALSE;
}

gboolean GtkDialogWindow::OnButtonEvent(GtkWidget*, GdkEventButton* event, gpointer self) {
  auto* window = static_cast<GtkDialogWindow*>(self);
  if (window->sink_ == nullptr || event->button != GDK_BUTTON_SECONDARY) return FALSE;
  InputMessage message;
  message.kind = event->type == GDK_BUTTON_RELEASE ? InputMessage::Kind::kRightButtonUp
                                                   : InputMessage::Kind::kRightButtonDown;
  return window->sink_->PreTranslateMessage(message) ? TRUE : FALSE;
}

int GtkDialogWindow::MessageBox(const std::string& text, const std::string& caption, MessageBoxType type) {
  const bool question = type == MessageBoxType::kYesNoWarning;
  GtkWidget* box = NewMessageBox(GTK_WINDOW(window_), text, caption, type);
  CentreOn(GTK_WINDOW(box), window_);
  ++modal_boxes_;
  const gint response = gtk_dialog_run(GTK_DIALOG(box));
  --modal_boxes_;
  gtk_widget_destroy(box);
  if (question) return response == GTK_RESPONSE_YES ? IDYES : IDNO;
  return IDOK;
}

void GtkDialogWindow::ShowProgress(const ProgressBoxText& text, std::function<void()> on_cancel) {
  CloseProgress();
  on_progress_cancel_ = std::move(on_cancel);
  progress_ = gtk_dialog_new();
  g_object_ref_sink(progress_);
  GtkWindow* box = GTK_WINDOW(progress_);
  const char* title = gtk_window_get_title(GTK_WINDOW(window_));
  gtk_window_set_title(
      box, text.caption.empty() ? (title != nullptr ? title : "") : ValidUtf8(text.caption).c_str());
  gtk_window_set_resizable(box, FALSE);
  // Cancel is GTK's own, in the desktop's language, as the message boxes'
  // buttons are.
  gtk_dialog_add_button(GTK_DIALOG(progress_), g_dgettext("gtk30", "_Cancel"), GTK_RESPONSE_CANCEL);
  GtkBox* content = GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(progress_)));
  gtk_box_set_spacing(content, 8);
  gtk_container_set_border_width(GTK_CONTAINER(content), 12);
  GtkWidget* what = gtk_label_new(ValidUtf8(text.text).c_str());
  gtk_label_set_xalign(GTK_LABEL(what), 0);
  progress_bar_ = GTK_PROGRESS_BAR(gtk_progress_bar_new());
  gtk_widget_set_size_request(GTK_WIDGET(progress_bar_), 360, -1);
  progress_file_ = GTK_LABEL(gtk_label_new(""));
  gtk_label_set_xalign(progress_file_, 0);
  gtk_label_set_ellipsize(progress_file_, PANGO_ELLIPSIZE_START);
  gtk_label_set_width_chars(progress_file_, 40);
  progress_time_ = GTK_LABEL(gtk_label_new(""));
  gtk_label_set_xalign(progress_time_, 0);
  for (GtkWidget* part :
       {what, GTK_WIDGET(progress_bar_), GTK_WIDGET(progress_file_), GTK_WIDGET(progress_time_)})
    gtk_box_pack_start(content, part, FALSE, FALSE, 0);
  g_signal_connect(progress_, "response", G_CALLBACK(OnProgressResponse), this);
  // Its close button answers as Cancel does, and the box stays until the
  // dialog takes it down.
  g_signal_connect(progress_, "delete-event", G_CALLBACK(gtk_true), nullptr);
  // Its parts show before it is placed, so that it is placed by its whole
  // size.
  gtk_widget_show_all(GTK_WIDGET(content));
  CentreOn(box, window_);
  ++modal_boxes_;
  gtk_widget_show(progress_);
}

void GtkDialogWindow::UpdateProgress(const ProgressState& state) {
  if (progress_ == nullptr) return;
  gtk_progress_bar_set_fraction(progress_bar_, std::clamp(state.fraction, 0.0, 1.0));
  gtk_label_set_text(progress_file_, ValidUtf8(state.file).c_str());
  gtk_label_set_text(progress_time_, ValidUtf8(state.time_left).c_str());
}

void GtkDialogWindow::CloseProgress() {
  if (progress_ == nullptr) return;
  g_signal_handlers_disconnect_by_data(progress_, this);
  --modal_boxes_;
  gtk_widget_destroy(progress_);
  g_object_unref(progress_);
  progress_ = nullptr;
  progress_bar_ = nullptr;
  progress_file_ = nullptr;
  progress_time_ = nullptr;
}

void GtkDialogWindow::OnProgressResponse(GtkDialog*, gint, gpointer self) {
  auto* window = static_cast<GtkDialogWindow*>(self);
  // The dialog hears of it as of a close request: once no handler runs,
  // before what the page has asked for meanwhile.
  window->handlers_.Post(
      window,
      [window] {
        const std::function<void()> cancel = window->on_progress_cancel_;
        if (cancel && window->progress_ != nullptr) cancel();
      },
      true);
}

void GtkDialogWindow::PostClose() { QueueClose(); }

void GtkDialogWindow::QueueClose() {
  if (close_queued_ || ended_) return;
  close_queued_ = true;
  handlers_.Post(
      this,
      [this] {
        close_queued_ = false;
        if (sink_ != nullptr && !ended_) sink_->OnClose();
      },
      true);
}

void GtkDialogWindow::SetTextDirection(bool right_to_left) {
  gtk_widget_set_default_direction(right_to_left ? GTK_TEXT_DIR_RTL : GTK_TEXT_DIR_LTR);
}

void GtkDialogWindow::Lower() {
  GdkWindow* gdk_window = gtk_widget_get_window(window_);
  if (gdk_window == nullptr) return;
  // Where no window can be put beneath the others, the window is minimised:
  // it gives way to the notes just the same.
  if (OnX11(gdk_window)) {
    gdk_window_lower(gdk_window);
  } else {
    gtk_window_iconify(GTK_WINDOW(window_));
  }
}

}  // namespace app
