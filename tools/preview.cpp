#include "preview.h"

#include <cairo.h>
#include <fcntl.h>
#include <gtk/gtk.h>
#include <sys/wait.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "browser/webkit_browser.h"
#include "pages/medium_lookups.h"
#include "pages/page_contract.h"
#include "pages/page_filling.h"
#include "setupdata/ini_file.h"
#include "setupdata/language_table.h"
#include "setupdata/setup_files.h"

namespace tools {
namespace {

constexpr int kViewWidth = 474;
constexpr int kViewHeight = 416;

// Loads one page, fills it, waits until it is drawn, and keeps a picture.
class PageRenderer : public browser::IBrowserEvents {
 public:
  PageRenderer(const std::string& medium_dir, const pages::MediumLookups& lookups, bool sap_mode)
      : lookups_(lookups), sap_mode_(sap_mode) {
    window_ = gtk_offscreen_window_new();
    fixed_ = GTK_FIXED(gtk_fixed_new());
    gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(fixed_));
    std::string dir = medium_dir;
    if (dir.back() != '/') dir += '/';
    view_ = std::make_unique<browser::CWebBrowser2>(fixed_, dir, handlers_);
    view_->SetEventSink(this);
    view_->SetWidth(kViewWidth);
    view_->SetHeight(kViewHeight);
    gtk_widget_show_all(window_);
  }
  ~PageRenderer() override {
    view_.reset();
    gtk_widget_destroy(window_);
  }

  bool Render(const std::string& address, const std::string& png) {
    address_ = address;
    view_->Navigate2(address, false);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done_ && std::chrono::steady_clock::now() < deadline) g_main_context_iteration(nullptr, TRUE);
    if (!done_ || !filled_) return false;
    return Snapshot(png);
  }

  void OnBeforeNavigate2(const std::string&, bool&) override {}
  void OnDocumentComplete(const std::string& url) override {
    if (done_) return;
    const std::optional<std::string> body = view_->ReadBody();
    if (body) {
      if (address_ == pages::kDatabasePageAddress) {
        view_->WriteBody(pages::FillSapPageText(*body, lookups_));
      } else {
        const pages::HomePageState state{sap_mode_, lookups_.count(), pages::kSqlDatabase};
        view_->WriteBody(pages::FillHomePageText(*body, state, lookups_));
      }
      filled_ = url.find(address_) != std::string::npos;
    }
    done_ = true;
  }

 private:
  bool Snapshot(const std::string& png) {
    auto* view = WEBKIT_WEB_VIEW(view_->widget());
    // Two animation frames after the write, the filled page has been drawn.
    bool drawn = false;
    webkit_web_view_call_async_javascript_function(
        view, "await new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r))); return 1;", -1,
        nullptr, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          JSCValue* value =
              webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
          if (value != nullptr) g_object_unref(value);
          *static_cast<bool*>(data) = true;
        },
        &drawn);
    while (!drawn) g_main_context_iteration(nullptr, TRUE);

    struct Shot {
      bool done = false;
      cairo_surface_t* surface = nullptr;
    } shot;
    webkit_web_view_get_snapshot(
        view, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          auto* s = static_cast<Shot*>(data);
          s->surface = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
          s->done = true;
        },
        &shot);
    while (!shot.done) g_main_context_iteration(nullptr, TRUE);
    if (shot.surface == nullptr) return false;
    const bool ok = cairo_surface_write_to_png(shot.surface, png.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(shot.surface);
    return ok;
  }

  const pages::MediumLookups& lookups_;
  bool sap_mode_;
  GtkWidget* window_;
  GtkFixed* fixed_;
  browser::HandlerQueue handlers_;
  std::unique_ptr<browser::CWebBrowser2> view_;
  std::string address_;
  bool done_ = false;
  bool filled_ = false;
};

// A display for GTK: the one there is, or an Xvfb server of our own.
pid_t g_xvfb = 0;

bool OpenDisplay() {
  int argc = 0;
  char** argv = nullptr;
  if (gtk_init_check(&argc, &argv)) return true;
  gchar* xvfb = g_find_program_in_path("Xvfb");
  if (xvfb == nullptr) return false;
  int fds[2];
  if (pipe(fds) != 0) return false;
  g_xvfb = fork();
  if (g_xvfb == 0) {
    const int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, STDOUT_FILENO);
    dup2(null_fd, STDERR_FILENO);
    const std::string fd = std::to_string(fds[1]);
    execl(xvfb, "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  g_free(xvfb);
  close(fds[1]);
  char number[32] = {};
  const ssize_t n = read(fds[0], number, sizeof number - 1);
  close(fds[0]);
  if (n <= 0) return false;
  const std::string display = ":" + std::string(number, static_cast<std::size_t>(n));
  g_setenv("DISPLAY", g_strstrip(const_cast<char*>(display.c_str())), TRUE);
  g_unsetenv("WAYLAND_DISPLAY");
  return gtk_init_check(&argc, &argv);
}

void CloseDisplay() {
  if (g_xvfb > 0) {
    kill(g_xvfb, SIGTERM);
    waitpid(g_xvfb, nullptr, 0);
  }
}

}  // namespace

int RunPreview(const PreviewOptions& options) {
  const setupdata::SetupFiles files = setupdata::SetupFiles::ForDirectory(options.medium_dir);
  std::vector<std::string> languages;
  if (options.language) {
    languages.push_back(*options.language);
  } else if (const auto res = setupdata::IniFile::Load(files.res_ini_path)) {
    for (const std::string& section : res->SectionNames()) {
      if (res->Find(section, std::to_string(setupdata::kLanguagePresentKey)) != nullptr)
        languages.push_back(section);
    }
    std::sort(languages.begin(), languages.end());
  }
  if (languages.empty()) {
    std::fprintf(stderr, "setup-medium: %s has no language section to render\n", files.res_ini_path.c_str());
    return 2;
  }
  if (!OpenDisplay()) {
    std::fputs("setup-medium: no display, and no Xvfb to start one\n", stderr);
    return 2;
  }
  g_mkdir_with_parents(options.out_dir.c_str(), 0755);
  const bool sap_mode = options.database || files.HasDatabaseChoice();
  int status = 0;
  for (const std::string& lang : languages) {
    const pages::MediumLookups lookups(options.medium_dir, lang);
    std::vector<std::pair<std::string, std::string>> pages = {{pages::kHomePageAddress, "home"}};
    if (sap_mode) pages.insert(pages.begin(), {pages::kDatabasePageAddress, "database"});
    for (const auto& [address, name] : pages) {
      const std::string png = options.out_dir + "/" + lang + "-" + name + ".png";
      PageRenderer renderer(options.medium_dir, lookups, sap_mode);
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
