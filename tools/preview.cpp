#include "preview.h"

#include <cairo.h>
#include <fcntl.h>
#include <gtk/gtk.h>
#include <libintl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/gtk_dialog_window.h"
#include "app/launcher_dlg.h"
#include "app/page_source.h"
#include "browser/webkit_browser.h"
#include "main_loop.h"
#include "medium/medium.h"
#include "setupdata/codepage.h"
#include "setupdata/icu_runtime.h"
#include "setupdata/text.h"

namespace tools {
namespace {

// One line on standard error; names from the medium may hold control
// characters.
void Say(const std::string& line) {
  std::fprintf(stderr, "setup-medium: %s\n", setupdata::PrintableText(line).c_str());
}

// How long one page may take to load and fill, and to be drawn and taken.
constexpr unsigned kLoadSeconds = 30;
constexpr unsigned kDrawSeconds = 10;
// How long Xvfb may take to name its display, and to end.
constexpr int kXvfbStartMilliseconds = 10000;
constexpr int kXvfbEndMilliseconds = 5000;

// What an asynchronous call of the view delivers. The waiter and the
// callback share it, so that a callback that comes after the waiter has
// given up still writes into live memory.
struct Delivery {
  bool done = false;
  cairo_surface_t* surface = nullptr;
  ~Delivery() {
    if (surface != nullptr) cairo_surface_destroy(surface);
  }
  // The callback's share, as its user data, and back.
  static gpointer Hand(const std::shared_ptr<Delivery>& delivery) {
    return new std::shared_ptr<Delivery>(delivery);
  }
  static std::shared_ptr<Delivery> Take(gpointer data) {
    const std::unique_ptr<std::shared_ptr<Delivery>> share(static_cast<std::shared_ptr<Delivery>*>(data));
    return *share;
  }
};

// Loads one page in a view of the launcher's size, fills it as the launcher
// does when it completes, waits until it is drawn, and keeps a picture.
class PageRenderer : public browser::IBrowserEvents {
 public:
  PageRenderer(const medium::Medium& medium, bool sap_mode) : medium_(medium), sap_mode_(sap_mode) {
    window_ = gtk_offscreen_window_new();
    fixed_ = GTK_FIXED(gtk_fixed_new());
    gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(fixed_));
    view_ = std::make_unique<browser::CWebBrowser2>(
        fixed_, std::make_shared<app::PageLibrarySource>(medium.ModuleDir()), handlers_);
    view_->SetEventSink(this);
    view_->SetDocumentLanguage(medium.PageLanguage());
    // A page that crashes or holds its web process does so again: the
    // preview says so at once rather than load it anew.
    view_->SetMaxRestarts(0);
    const app::ViewRect rect = app::CLauncherDlg::BrowserRect(app::kDialogClientSize);
    view_->SetLeft(rect.left);
    view_->SetTop(rect.top);
    view_->SetWidth(rect.width);
    view_->SetHeight(rect.height);
    gtk_widget_show_all(window_);
  }
  ~PageRenderer() override {
    view_.reset();
    gtk_widget_destroy(window_);
  }
  PageRenderer(const PageRenderer&) = delete;
  PageRenderer& operator=(const PageRenderer&) = delete;

  // Draws the page at `address` into `png`; false, with `why` set, when it
  // cannot.
  bool Render(const std::string& address, const std::string& png, std::string& why) {
    view_->Navigate2(address, false);
    if (!IterateUntil(done_, kLoadSeconds)) {
      why = "it did not finish loading within " + std::to_string(kLoadSeconds) + " s";
      return false;
    }
    if (!filled_) {
      why = why_;
      return false;
    }
    if (Snapshot(png)) return true;
    why = "it was not drawn within " + std::to_string(kDrawSeconds) + " s";
    return false;
  }

  void OnBeforeNavigate2(const std::string&, bool&) override {}
  void OnViewFailed(const std::string& why) override {
    if (done_) return;
    done_ = true;
    why_ = why;
  }
  void OnDocumentComplete(const std::string& url) override {
    if (done_) return;
    done_ = true;
    const pages::Page page = pages::PageOfDocument(url);
    if (page == pages::Page::kOther) {
      why_ = "it could not be loaded: the launcher shows the engine's error page";
      return;
    }
    const std::optional<std::string> body = view_->ReadBody();
    if (!body) {
      why_ = "its body could not be read";
      return;
    }
    const pages::HomePageState state{sap_mode_, medium_.LanguageCount()};
    view_->WriteBody(medium_.FillPage(page, *body, state));
    filled_ = true;
  }

 private:
  bool Snapshot(const std::string& png) {
    auto* view = WEBKIT_WEB_VIEW(view_->widget());
    // Two animation frames after the write, the filled page has been drawn.
    const auto drawn = std::make_shared<Delivery>();
    webkit_web_view_call_async_javascript_function(
        view, "await new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r))); return 1;", -1,
        nullptr, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          const std::shared_ptr<Delivery> delivery = Delivery::Take(data);
          g_autoptr(JSCValue) value =
              webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
          delivery->done = true;
        },
        Delivery::Hand(drawn));
    if (!IterateUntil(drawn->done, kDrawSeconds)) return false;

    const auto shot = std::make_shared<Delivery>();
    webkit_web_view_get_snapshot(
        view, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          const std::shared_ptr<Delivery> delivery = Delivery::Take(data);
          delivery->surface = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
          delivery->done = true;
        },
        Delivery::Hand(shot));
    if (!IterateUntil(shot->done, kDrawSeconds) || shot->surface == nullptr) return false;
    return cairo_surface_write_to_png(shot->surface, png.c_str()) == CAIRO_STATUS_SUCCESS;
  }

  const medium::Medium& medium_;
  bool sap_mode_;
  GtkWidget* window_;
  GtkFixed* fixed_;
  browser::HandlerQueue handlers_;
  std::unique_ptr<browser::CWebBrowser2> view_;
  bool done_ = false;
  bool filled_ = false;
  std::string why_;  // why it was not filled
};

// A display for GTK: the one there is, or an Xvfb server of our own. The
// server ends with the preview, however it ends: on return, on a signal
// that ends it (the handler ends the server, then the preview), and, when
// the preview is killed outright, by the death signal the server gets
// from the kernel.
volatile sig_atomic_t g_xvfb = 0;

// Ends the server with the means a signal handler may use: SIGTERM, at
// most kXvfbEndMilliseconds for it to go, then SIGKILL.
void EndServer() {
  const pid_t server = g_xvfb;
  if (server <= 0) return;
  kill(server, SIGTERM);
  const timespec step{0, 50 * 1000 * 1000};
  for (int waited = 0; waited < kXvfbEndMilliseconds; waited += 50) {
    if (waitpid(server, nullptr, WNOHANG) != 0) {
      g_xvfb = 0;
      return;
    }
    nanosleep(&step, nullptr);
  }
  kill(server, SIGKILL);
  waitpid(server, nullptr, 0);
  g_xvfb = 0;
}

void EndServerAndDie(int signal_number) {
  EndServer();
  std::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void EndServerOnSignals() {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
    std::signal(signal_number, EndServerAndDie);
}

// Reads the display number Xvfb writes on `fd`, waiting at most
// kXvfbStartMilliseconds; empty when none comes.
std::string ReadDisplayNumber(int fd) {
  std::string number;
  char buffer[32];
  pollfd ready{fd, POLLIN, 0};
  while (number.find('\n') == std::string::npos && poll(&ready, 1, kXvfbStartMilliseconds) > 0) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    number.append(buffer, static_cast<std::size_t>(n));
  }
  while (!number.empty() && g_ascii_isspace(number.back())) number.pop_back();
  return number;
}

bool OpenDisplay() {
  int argc = 0;
  char** argv = nullptr;
  if (gtk_init_check(&argc, &argv)) return true;
  g_autofree gchar* xvfb = g_find_program_in_path("Xvfb");
  if (xvfb == nullptr) return false;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  const pid_t preview = getpid();
  const pid_t server = fork();
  if (server == 0) {
    // The server ends when the preview does, even when it is killed.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != preview) _exit(127);
    const int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, STDOUT_FILENO);
    dup2(null_fd, STDERR_FILENO);
    // The display number goes to a descriptor the server keeps.
    const int display_fd = fcntl(fds[1], F_DUPFD, STDERR_FILENO + 1);
    const std::string fd = std::to_string(display_fd);
    execl(xvfb, "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (server < 0) {
    close(fds[0]);
    return false;
  }
  g_xvfb = server;
  const std::string number = ReadDisplayNumber(fds[0]);
  close(fds[0]);
  if (number.empty()) {
    EndServer();
    return false;
  }
  g_setenv("DISPLAY", (":" + number).c_str(), TRUE);
  g_unsetenv("WAYLAND_DISPLAY");
  return gtk_init_check(&argc, &argv);
}

// Runs the main context until `ready` holds, asking it every few
// milliseconds, or `seconds` have passed; true when it holds.
bool IterateUntilReady(const std::function<bool()>& ready, unsigned seconds) {
  struct Poll {
    const std::function<bool()>& ready;
    bool done = false;
  } poll{ready};
  const guint timer = g_timeout_add(
      20,
      [](gpointer data) -> gboolean {
        auto* poll = static_cast<Poll*>(data);
        poll->done = poll->ready();
        return G_SOURCE_CONTINUE;
      },
      &poll);
  const bool held = IterateUntil(poll.done, seconds);
  g_source_remove(timer);
  return held;
}

// Waits until the window `widget` has been drawn once, its size settled;
// true when it has.
bool Drawable(GtkWidget* widget) {
  bool drawn = false;
  const gulong handler =
      g_signal_connect_after(widget, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer flag) -> gboolean {
                               *static_cast<bool*>(flag) = true;
                               return FALSE;
                             }),
                             &drawn);
  const bool ready = IterateUntilReady(
      [widget, &drawn] {
        return drawn && gtk_widget_is_drawable(widget) && gtk_widget_get_allocated_height(widget) > 1;
      },
      kDrawSeconds);
  g_signal_handler_disconnect(widget, handler);
  return ready;
}

// A title bar as GTK draws one, `width` wide, with `title` and the buttons
// of `layout` (as ":minimize,close"): the caption as a desktop shows it.
// Null when it was not drawn in time.
cairo_surface_t* DrawTitleBar(const char* title, const char* layout, int width) {
  GtkWidget* window = gtk_offscreen_window_new();
  GtkWidget* bar = gtk_header_bar_new();
  gtk_style_context_add_class(gtk_widget_get_style_context(bar), "titlebar");
  gtk_header_bar_set_title(GTK_HEADER_BAR(bar), title);
  gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(bar), TRUE);
  gtk_header_bar_set_decoration_layout(GTK_HEADER_BAR(bar), layout);
  gtk_widget_set_size_request(bar, width, -1);
  gtk_container_add(GTK_CONTAINER(window), bar);
  gtk_widget_show_all(window);
  cairo_surface_t* surface = nullptr;
  if (Drawable(window)) {
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, gtk_widget_get_allocated_width(window),
                                         gtk_widget_get_allocated_height(window));
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(window, cr);
    cairo_destroy(cr);
  }
  gtk_widget_destroy(window);
  return surface;
}

// Writes `title` as a title bar over the picture of the message box
// `window` to `png`; without a box, the title bar of the dialog's window
// alone, `width` wide. The dialog's window (not resizable) has a minimise
// and a close button, a message box a close button.
bool WriteTitled(const char* title, GtkWidget* window, int width, const std::string& png) {
  int height = 0;
  if (window != nullptr) {
    width = gtk_widget_get_allocated_width(window);
    height = gtk_widget_get_allocated_height(window);
  }
  cairo_surface_t* bar =
      DrawTitleBar(title != nullptr ? title : "", window == nullptr ? ":minimize,close" : ":close", width);
  if (bar == nullptr) return false;
  const int bar_height = cairo_image_surface_get_height(bar);
  cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, bar_height + height);
  cairo_t* cr = cairo_create(picture);
  cairo_set_source_surface(cr, bar, 0, 0);
  cairo_paint(cr);
  if (window != nullptr) {
    cairo_translate(cr, 0, bar_height);
    gtk_widget_draw(window, cr);
  }
  cairo_destroy(cr);
  const bool written = cairo_surface_write_to_png(picture, png.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(picture);
  cairo_surface_destroy(bar);
  return written;
}

// The dialog's window with the caption the launcher gives it, never shown,
// and the message boxes it shows, built by the window's own code and drawn
// beside it where no one sees them.
class WindowRenderer {
 public:
  explicit WindowRenderer(const medium::Medium& medium) : window_(handlers_) {
    window_.SetTextDirection(medium.PageLanguage().right_to_left);
    window_.SetWindowText(app::CLauncherDlg::WindowCaption(medium));
  }

  bool RenderCaption(const std::string& png) {
    return WriteTitled(gtk_window_get_title(window_.window()), nullptr, app::kClientWidth, png);
  }

  bool RenderBox(const app::MessageBoxText& message, const std::string& png) {
    GtkWidget* box = app::NewMessageBox(window_.window(), message.text, message.caption, message.type);
    // Far off the screen: a server without a window manager puts it there.
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_NONE);
    gtk_window_move(GTK_WINDOW(box), -10000, -10000);
    gtk_widget_show(box);
    const bool written = Drawable(box) && WriteTitled(gtk_window_get_title(GTK_WINDOW(box)), box, 0, png);
    gtk_widget_destroy(box);
    return written;
  }

 private:
  browser::HandlerQueue handlers_;
  app::GtkDialogWindow window_;
};

// The toolkit speaks the language of a user of `lang_id` while it lives:
// the message boxes' buttons are the toolkit's own words, in the user's
// language on the user's desktop. Without ICU, or where the toolkit has no
// translation, they stay in the preview's own.
class ToolkitLanguage {
 public:
  explicit ToolkitLanguage(const std::string& lang_id) {
    const char* before = g_getenv("LANGUAGE");
    if (before != nullptr) before_ = before;
    const setupdata::IcuFunctions* icu = setupdata::Icu();
    const std::optional<std::uint16_t> id = setupdata::SectionLangId(lang_id);
    if (icu == nullptr || !id) return;
    char locale[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    icu->uloc_getLocaleForLCID(*id, locale, sizeof locale, &status);
    if (U_FAILURE(status) || locale[0] == '\0') return;
    char language[ULOC_LANG_CAPACITY] = {};
    icu->uloc_getLanguage(locale, language, sizeof language, &status);
    if (U_FAILURE(status)) return;
    Speak(std::string(locale) + ":" + language);
  }
  ~ToolkitLanguage() {
    if (before_) {
      Speak(*before_);
    } else {
      g_unsetenv("LANGUAGE");
      Speak({});
    }
  }
  ToolkitLanguage(const ToolkitLanguage&) = delete;
  ToolkitLanguage& operator=(const ToolkitLanguage&) = delete;

 private:
  // Naming the text domain again makes gettext forget the translations it
  // has looked up, and read LANGUAGE anew.
  static void Speak(const std::string& languages) {
    if (!languages.empty()) g_setenv("LANGUAGE", languages.c_str(), TRUE);
    const std::string domain = textdomain(nullptr);
    textdomain(domain.c_str());
  }
  std::optional<std::string> before_;
};

// One language to render: the id asked for and the section shown for it.
struct Shown {
  std::string asked;
  std::string section;
  // The stem of its pictures: "1031", or "2064-as-1033" when the id has no
  // section of its own and the launcher would show another.
  std::string Stem() const { return asked == section ? section : asked + "-as-" + section; }
};

// Why the preview cannot show what the launcher shows on `dir`; empty when
// it can. The launcher would end (no medium, no product name) or show the
// engine's error page alone (no page library, or not its first page).
std::string WhyNothingToShow(const std::string& dir, const std::vector<Shown>& shown, bool sap_mode) {
  for (const Shown& language : shown) {
    setupdata::LanguageTable table;
    const medium::Medium medium = medium::Medium::InDirectory(dir, language.section, table);
    const std::string no_product = app::CLauncherDlg::WhyNoProduct(medium);
    if (!no_product.empty())
      return "the launcher would end in section " + language.section + ": " + no_product;
  }
  setupdata::LanguageTable table;
  const medium::Medium medium = medium::Medium::InDirectory(dir, shown.front().section, table);
  app::PageLibrarySource library(medium.ModuleDir());
  const std::string first = sap_mode ? pages::kDatabasePageAddress : pages::kHomePageAddress;
  std::string error;
  if (!library.Fetch(first, error)) {
    return "the launcher would show only the engine's error page: " + error + " (" + first + ")";
  }
  return {};
}

}  // namespace

int RunPreview(const PreviewOptions& options) {
  const std::optional<std::uint16_t> asked = options.language;
  const std::string no_medium = setupdata::WhyNoMedium(options.medium_dir);
  if (!no_medium.empty()) {
    Say(no_medium);
    return 1;
  }
  setupdata::LanguageTable table;
  const medium::Medium medium =
      medium::Medium::InDirectory(options.medium_dir, setupdata::kFallbackLangId, table);
  std::vector<Shown> shown;
  if (asked) {
    // The section a user of that language sees, chosen as the launcher
    // chooses it.
    const std::string id = std::to_string(*asked);
    const std::string section = setupdata::ResolveLanguage(*asked, medium.files().res_ini_path);
    if (section != id) {
      Say("language " + id + " has no section: previewing section " + section + " as the launcher would");
    }
    shown.push_back({id, section});
  } else {
    for (const std::string& section : medium.LanguageSections()) shown.push_back({section, section});
  }
  if (shown.empty()) {
    Say(medium.files().res_ini_path + " has no language section to render");
    return 2;
  }
  const bool sap_mode = options.database || medium.HasDatabaseChoice();
  const std::string refused = WhyNothingToShow(options.medium_dir, shown, sap_mode);
  if (!refused.empty()) {
    Say(refused);
    return 1;
  }
  if (g_mkdir_with_parents(options.out_dir.c_str(), 0755) != 0) {
    Say("cannot make the folder " + options.out_dir + ": " + std::strerror(errno));
    return 1;
  }

  EndServerOnSignals();
  if (!OpenDisplay()) {
    std::fputs("setup-medium: no display, and no Xvfb to start one\n", stderr);
    EndServer();
    return 2;
  }
  int status = 0;
  // Draws one picture, STEM-SUFFIX.png, and names it on standard output.
  std::string stem;
  const auto render = [&status, &stem](const std::string& suffix, const std::string& what,
                                       const std::function<bool(const std::string&, std::string&)>& draw) {
    const std::string png = stem + "-" + suffix + ".png";
    std::string why;
    if (draw(png, why)) {
      std::printf("%s\n", setupdata::PrintableText(png).c_str());
    } else {
      Say(what + " could not be rendered to " + png + (why.empty() ? "" : ": " + why));
      status = 1;
    }
  };
  for (const Shown& language : shown) {
    // Each language builds its own table, as a launcher run in it would.
    setupdata::LanguageTable table;
    const medium::Medium in_language =
        medium::Medium::InDirectory(options.medium_dir, language.section, table);
    stem = options.out_dir + "/" + language.Stem();
    std::vector<std::pair<std::string, std::string>> shown_pages = {{pages::kHomePageAddress, "home"}};
    if (sap_mode) shown_pages.insert(shown_pages.begin(), {pages::kDatabasePageAddress, "database"});
    for (const auto& [address, name] : shown_pages) {
      render(name, "the " + name + " page of section " + language.section,
             [&](const std::string& png, std::string& why) {
               return PageRenderer(in_language, sap_mode).Render(address, png, why);
             });
    }
    const ToolkitLanguage speaking(language.asked);
    WindowRenderer window(in_language);
    render("caption", "the caption of section " + language.section,
           [&](const std::string& png, std::string&) { return window.RenderCaption(png); });
    render("close", "the close question of section " + language.section,
           [&](const std::string& png, std::string&) {
             return window.RenderBox(app::CLauncherDlg::CloseQuestion(in_language), png);
           });
    render("9081", "message 9081 of section " + language.section, [&](const std::string& png, std::string&) {
      return window.RenderBox(app::CLauncherDlg::NoLanguageSetup(in_language), png);
    });
  }
  std::fflush(stdout);
  EndServer();
  return status;
}

}  // namespace tools
