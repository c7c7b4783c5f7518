#include "preview.h"

#include <cairo.h>
#include <fcntl.h>
#include <gtk/gtk.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "app/launcher_dlg.h"
#include "app/page_source.h"
#include "browser/webkit_browser.h"
#include "main_loop.h"
#include "medium/medium.h"

namespace tools {
namespace {

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

  bool Render(const std::string& address, const std::string& png) {
    view_->Navigate2(address, false);
    if (!IterateUntil(done_, kLoadSeconds) || !filled_) return false;
    return Snapshot(png);
  }

  void OnBeforeNavigate2(const std::string&, bool&) override {}
  void OnDocumentComplete(const std::string& url) override {
    if (done_) return;
    done_ = true;
    const pages::Page page = pages::PageOfDocument(url);
    if (page == pages::Page::kOther) return;  // the error page of a failed load
    const std::optional<std::string> body = view_->ReadBody();
    if (!body) return;
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
};

// A display for GTK: the one there is, or an Xvfb server of our own.
pid_t g_xvfb = 0;

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

void CloseDisplay() {
  if (g_xvfb <= 0) return;
  kill(g_xvfb, SIGTERM);
  for (int waited = 0; waited < kXvfbEndMilliseconds; waited += 50) {
    if (waitpid(g_xvfb, nullptr, WNOHANG) != 0) {
      g_xvfb = 0;
      return;
    }
    g_usleep(50 * 1000);
  }
  kill(g_xvfb, SIGKILL);
  waitpid(g_xvfb, nullptr, 0);
  g_xvfb = 0;
}

bool OpenDisplay() {
  int argc = 0;
  char** argv = nullptr;
  if (gtk_init_check(&argc, &argv)) return true;
  g_autofree gchar* xvfb = g_find_program_in_path("Xvfb");
  if (xvfb == nullptr) return false;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  g_xvfb = fork();
  if (g_xvfb == 0) {
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
  if (g_xvfb < 0) {
    close(fds[0]);
    g_xvfb = 0;
    return false;
  }
  const std::string number = ReadDisplayNumber(fds[0]);
  close(fds[0]);
  if (number.empty()) {
    CloseDisplay();
    return false;
  }
  g_setenv("DISPLAY", (":" + number).c_str(), TRUE);
  g_unsetenv("WAYLAND_DISPLAY");
  return gtk_init_check(&argc, &argv);
}

}  // namespace

int RunPreview(const PreviewOptions& options) {
  setupdata::LanguageTable table;
  const medium::Medium medium =
      medium::Medium::InDirectory(options.medium_dir, setupdata::kFallbackLangId, table);
  std::vector<std::string> languages;
  if (options.language) {
    languages.push_back(*options.language);
  } else {
    languages = medium.LanguageSections();
  }
  if (languages.empty()) {
    std::fprintf(stderr, "setup-medium: %s has no language section to render\n",
                 medium.files().res_ini_path.c_str());
    return 2;
  }
  if (!OpenDisplay()) {
    std::fputs("setup-medium: no display, and no Xvfb to start one\n", stderr);
    CloseDisplay();
    return 2;
  }
  g_mkdir_with_parents(options.out_dir.c_str(), 0755);
  const bool sap_mode = options.database || medium.HasDatabaseChoice();
  int status = 0;
  for (const std::string& lang : languages) {
    // Each language builds its own table, as a launcher run in it would.
    setupdata::LanguageTable table;
    const medium::Medium in_language = medium::Medium::InDirectory(options.medium_dir, lang, table);
    std::vector<std::pair<std::string, std::string>> shown = {{pages::kHomePageAddress, "home"}};
    if (sap_mode) shown.insert(shown.begin(), {pages::kDatabasePageAddress, "database"});
    for (const auto& [address, name] : shown) {
      const std::string png = options.out_dir + "/" + lang + "-" + name + ".png";
      PageRenderer renderer(in_language, sap_mode);
      if (renderer.Render(address, png)) {
        std::printf("%s\n", png.c_str());
      } else {
        std::fprintf(stderr, "setup-medium: the %s page of section %s could not be rendered\n", name.c_str(),
                     lang.c_str());
        status = 1;
      }
    }
  }
  std::fflush(stdout);
  CloseDisplay();
  return status;
}

}  // namespace tools
