// engine_floor: the least a program can do to show the launcher's home page,
// as the floor the launcher's start-up is measured against.
//
//   engine_floor LIBRARY_DIR/
//
// A GTK window of the launcher's client size with a WebKit view of the
// launcher's view size, the same WebKit settings as CWebBrowser2, the page
// res://SetupHmRes.dll/HTML_HOMEPAGE served by the launcher's own res: scheme
// handler from the page library in LIBRARY_DIR. When the load has finished
// it does the engine work the launcher does, and nothing else: it reads the
// body (one JavaScript round trip) and writes the same markup back (a second
// one). With SETUP_LAUNCHER_TRACE_FD set it reports on that descriptor, as
// the launcher does:
//
//   loaded <ns>   the load has finished
//   read <ns>     the body has been read
//   filled <ns>   the body write has run in the page (the launcher's line)
//
// (CLOCK_MONOTONIC nanoseconds), then it waits to be killed. Without the
// variable it quits after "filled".
#include <gtk/gtk.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "app/launcher_dlg.h"
#include "app/page_source.h"
#include "browser/webkit_browser.h"
#include "pages/page_contract.h"

namespace {

constexpr app::ClientSize kClient = app::kDialogClientSize;
constexpr app::ViewRect kView = app::CLauncherDlg::BrowserRect(kClient);

int trace_fd = -1;
bool done = false;

void Trace(const char* what) {
  if (trace_fd < 0) return;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  char line[64];
  const int size = std::snprintf(line, sizeof line, "%s %lld\n", what,
                                 static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
  if (size > 0) (void)!write(trace_fd, line, static_cast<std::size_t>(size));
}

// The same settings as the CWebBrowser2 constructor; keep the two in step.
WebKitWebView* NewView(const std::string& library_dir) {
  g_autoptr(WebKitWebContext) context = webkit_web_context_new_ephemeral();
  webkit_web_context_set_cache_model(context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
  browser::RegisterResScheme(context, std::make_shared<app::PageLibrarySource>(library_dir));
  auto* view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(context));

  WebKitSettings* settings = webkit_web_view_get_settings(view);
  webkit_settings_set_enable_developer_extras(settings, FALSE);
  webkit_settings_set_enable_back_forward_navigation_gestures(settings, FALSE);
  webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  return view;
}

void OnWritten(GObject* source, GAsyncResult* result, gpointer) {
  g_autoptr(JSCValue) value =
      webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
  Trace("filled");
  done = true;
  if (trace_fd < 0) gtk_main_quit();
}

void OnRead(GObject* source, GAsyncResult* result, gpointer) {
  auto* view = WEBKIT_WEB_VIEW(source);
  g_autoptr(JSCValue) value = webkit_web_view_evaluate_javascript_finish(view, result, nullptr);
  std::string body;
  if (value != nullptr && jsc_value_is_string(value)) {
    g_autofree char* text = jsc_value_to_string(value);
    body = text != nullptr ? text : "";
  }
  Trace("read");
  // What was read goes back unchanged, as the launcher writes its filled
  // copy of it.
  GVariantDict args;
  g_variant_dict_init(&args, nullptr);
  g_variant_dict_insert(&args, "html", "s", body.c_str());
  webkit_web_view_call_async_javascript_function(view, "if (document.body) document.body.innerHTML = html;",
                                                 -1, g_variant_dict_end(&args), nullptr, nullptr, nullptr,
                                                 OnWritten, nullptr);
}

void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
  if (event != WEBKIT_LOAD_FINISHED || done) return;
  Trace("loaded");
  webkit_web_view_evaluate_javascript(view, "document.body ? document.body.outerHTML : null", -1, nullptr,
                                      nullptr, nullptr, OnRead, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: engine_floor LIBRARY_DIR/\n", stderr);
    return 2;
  }
  if (const char* fd = std::getenv("SETUP_LAUNCHER_TRACE_FD"); fd != nullptr && *fd != '\0') {
    trace_fd = std::atoi(fd);
    if (trace_fd <= 2) trace_fd = -1;
  }
  std::string library_dir = argv[1];
  if (library_dir.empty() || library_dir.back() != '/') library_dir += '/';
  if (!gtk_init_check(&argc, &argv)) {
    std::fputs("engine_floor: cannot open the display\n", stderr);
    return 1;
  }

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  gtk_window_set_title(GTK_WINDOW(window), "engine floor");
  GtkWidget* client = gtk_fixed_new();
  gtk_widget_set_size_request(client, kClient.width, kClient.height);
  gtk_container_add(GTK_CONTAINER(window), client);
  g_signal_connect(window, "delete-event", G_CALLBACK(gtk_main_quit), nullptr);

  WebKitWebView* view = NewView(library_dir);
  g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), nullptr);
  gtk_fixed_put(GTK_FIXED(client), GTK_WIDGET(view), 0, 0);
  gtk_widget_set_size_request(GTK_WIDGET(view), kView.width, kView.height);
  webkit_web_view_load_uri(view, pages::kHomePageAddress);
  gtk_widget_show_all(window);
  gtk_widget_grab_focus(GTK_WIDGET(view));
  gtk_main();
  return 0;
}
