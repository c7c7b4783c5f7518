#include "browser/webkit_browser.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <utility>

#include "setupdata/bounded_file.h"
#include "setupdata/text.h"

namespace browser {
namespace {

struct SchemeData {
  std::shared_ptr<IResourceSource> source;
  // The language the pages it serves declare (the browser's own setting).
  std::shared_ptr<const pages::DocumentLanguage> language;
};

void FinishWithError(WebKitURISchemeRequest* request, const std::string& message) {
  g_autoptr(GError) error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, message.c_str());
  webkit_uri_scheme_request_finish_error(request, error);
}

void ServeResRequest(WebKitURISchemeRequest* request, gpointer data) {
  const auto* scheme = static_cast<const SchemeData*>(data);
  const char* uri = webkit_uri_scheme_request_get_uri(request);
  std::string error;
  std::optional<Resource> resource = scheme->source->Fetch(uri != nullptr ? uri : "", error);
  if (!resource) {
    FinishWithError(request, error);
    return;
  }
  if (scheme->language && resource->content_type == "text/html") {
    resource->bytes = pages::DeclareDocumentLanguage(resource->bytes, *scheme->language);
  }
  const auto size = static_cast<gint64>(resource->bytes.size());
  auto* owned = new std::string(std::move(resource->bytes));
  g_autoptr(GBytes) bytes = g_bytes_new_with_free_func(
      owned->data(), owned->size(), [](gpointer p) { delete static_cast<std::string*>(p); }, owned);
  g_autoptr(GInputStream) stream = g_memory_input_stream_new_from_bytes(bytes);
  webkit_uri_scheme_request_finish(request, stream, size, resource->content_type.c_str());
}

// Text handed to JavaScript must be valid UTF-8 without NUL characters.
std::string ValidUtf8(const std::string& text) {
  std::string clean;
  clean.reserve(text.size());
  for (char c : text) {
    if (c != '\0') clean += c;
  }
  if (g_utf8_validate(clean.data(), static_cast<gssize>(clean.size()), nullptr)) return clean;
  g_autofree gchar* valid = g_utf8_make_valid(clean.data(), static_cast<gssize>(clean.size()));
  return valid;
}

#ifdef SETUP_LAUNCHER_BENCH_TRACE
// Benchmark trace (bench/startup_bench.sh, bench/reaction_bench.sh), only
// in a benchmark build (the CMake option SETUP_LAUNCHER_BENCH_TRACE; the
// shipped launcher has none). Only when SETUP_LAUNCHER_TRACE_FD names an
// open descriptor above standard error: once the first body write has run
// in the page, one line "filled <CLOCK_MONOTONIC nanoseconds>" goes to that
// descriptor. Nothing else changes, and nothing is written anywhere without
// the variable.
int BenchTraceFd() {
  static const int fd = [] {
    const char* value = std::getenv("SETUP_LAUNCHER_TRACE_FD");
    if (value == nullptr || *value == '\0') return -1;
    char* end = nullptr;
    const long number = std::strtol(value, &end, 10);
    if (*end != '\0' || number <= STDERR_FILENO || number > INT_MAX) return -1;
    const int trace_fd = static_cast<int>(number);
    // Started programs (the release notes viewer) do not inherit it.
    if (fcntl(trace_fd, F_SETFD, FD_CLOEXEC) != 0) return -1;
    return trace_fd;
  }();
  return fd;
}

void TraceBodyWritten(GObject* source, GAsyncResult* result, gpointer) {
  JSCValue* value =
      webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
  g_clear_object(&value);
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  char line[64];
  const int size = std::snprintf(line, sizeof line, "filled %lld\n",
                                 static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
  if (size > 0) (void)!write(BenchTraceFd(), line, static_cast<std::size_t>(size));
}
#endif

}  // namespace

void RegisterResScheme(WebKitWebContext* context, std::shared_ptr<IResourceSource> source,
                       std::shared_ptr<const pages::DocumentLanguage> language) {
  const std::string scheme = source->Scheme();
  auto* data = new SchemeData{std::move(source), std::move(language)};
  webkit_web_context_register_uri_scheme(context, scheme.c_str(), ServeResRequest, data,
                                         [](gpointer p) { delete static_cast<SchemeData*>(p); });
  WebKitSecurityManager* security = webkit_web_context_get_security_manager(context);
  webkit_security_manager_register_uri_scheme_as_local(security, scheme.c_str());
  webkit_security_manager_register_uri_scheme_as_secure(security, scheme.c_str());
}

CWebBrowser2::CWebBrowser2(GtkFixed* parent, std::shared_ptr<IResourceSource> resources,
                           HandlerQueue& handlers)
    : parent_(parent), handlers_(handlers) {
  // The pages are local and nothing of them is kept: no website data on
  // disk (nothing is written under the user's home), and no caches beyond
  // the page on show (bench/README.md has the figures).
  g_autoptr(WebKitWebContext) context = webkit_web_context_new_ephemeral();
  webkit_web_context_set_cache_model(context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
  RegisterResScheme(context, std::move(resources), language_);
  // The view is the browser's own until its destructor, which uses it:
  // the window it is put in may go first and take its widgets with it.
  view_ = WEBKIT_WEB_VIEW(g_object_ref_sink(webkit_web_view_new_with_context(context)));

  WebKitSettings* settings = webkit_web_view_get_settings(view_);
  webkit_settings_set_enable_developer_extras(settings, FALSE);
  webkit_settings_set_enable_back_forward_navigation_gestures(settings, FALSE);
  // A small static page draws at once without the GPU; a GL compositor in
  // the web process only costs start-up time and memory.
  webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);

  g_signal_connect(view_, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(OnLoadChanged), this);
  g_signal_connect(view_, "load-failed", G_CALLBACK(OnLoadFailed), this);
  g_signal_connect(view_, "create", G_CALLBACK(OnCreate), this);
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(OnWebProcessTerminated), this);
  // Pages have no context menu.
  g_signal_connect(view_, "context-menu",
                   G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                  gpointer) { return TRUE; }),
                   nullptr);
  gtk_fixed_put(parent_, GTK_WIDGET(view_), 0, 0);
  gtk_widget_show(GTK_WIDGET(view_));
}

CWebBrowser2::~CWebBrowser2() {
  StopWatchingLoad();
  handlers_.Forget(this);
  g_signal_handlers_disconnect_by_data(view_, this);
  for (Event& event : events_) {
    if (event.decision != nullptr) {
      webkit_policy_decision_ignore(event.decision);
      g_object_unref(event.decision);
    }
  }
  g_object_unref(view_);
}

gboolean CWebBrowser2::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                      WebKitPolicyDecisionType type, gpointer self) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
      type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    return FALSE;  // responses take WebKit's default
  }
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const char* uri = webkit_uri_request_get_uri(request);
  g_object_ref(decision);
  static_cast<CWebBrowser2*>(self)->Queue(
      Event{Event::Kind::kBeforeNavigate, uri != nullptr ? uri : "", decision});
  return TRUE;
}

void CWebBrowser2::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self) {
  auto* browser = static_cast<CWebBrowser2*>(self);
  if (event != WEBKIT_LOAD_FINISHED) {
    browser->WatchLoad();
    return;
  }
  browser->StopWatchingLoad();
  std::string url;
  switch (browser->failure_) {
    case Failure::kNone:
    case Failure::kErrorPage: {
      // The error page is shown under the address that failed, but it is
      // not that document: it completes as a document of its own address,
      // which no page of the library has. Should a real page have come
      // instead, it carries its own.
      const char* current = webkit_web_view_get_uri(view);
      url = current != nullptr ? current : "";
      if (browser->failure_ == Failure::kErrorPage && url == browser->failed_uri_) url = kErrorPageAddress;
      browser->failure_ = Failure::kNone;
      break;
    }
    case Failure::kCancelled:
      // A load that was stopped or replaced by another one completes no
      // document.
      browser->failure_ = Failure::kNone;
      return;
    case Failure::kErrorPageFollows:
      // The error page that WebKit shows next is the document of this
      // load; it completes with the address that failed, whereas the view
      // still names the previous page now.
      browser->failure_ = Failure::kErrorPage;
      return;
  }
  browser->Queue(Event{Event::Kind::kDocumentComplete, std::move(url), nullptr});
}

gboolean CWebBrowser2::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                                    gpointer self) {
  auto* browser = static_cast<CWebBrowser2*>(self);
  browser->failed_uri_ = uri != nullptr ? uri : "";
  const bool cancelled = g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
                         g_error_matches(error, WEBKIT_POLICY_ERROR,
                                         WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
  browser->failure_ = cancelled ? Failure::kCancelled : Failure::kErrorPageFollows;
  if (!cancelled) {
    // The error page tells the user; the author learns the address here,
    // one line per failed load.
    const std::string why = error != nullptr && error->message != nullptr ? error->message : "unknown error";
    std::fprintf(stderr, "setup-launcher: %s\n",
                 setupdata::PrintableText("cannot load " + browser->failed_uri_ + ": " + why).c_str());
  }
  return FALSE;  // WebKit shows its error page, except for a cancelled load
}

GtkWidget* CWebBrowser2::OnCreate(WebKitWebView*, WebKitNavigationAction*, gpointer) {
  return nullptr;  // pages do not open windows of their own
}

void CWebBrowser2::OnWebProcessTerminated(WebKitWebView* view, WebKitWebProcessTerminationReason reason,
                                          gpointer self) {
  auto* browser = static_cast<CWebBrowser2*>(self);
  const Hang hang = std::exchange(browser->hang_, Hang::kNone);
  if (reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API && hang == Hang::kNone) return;
  browser->StopWatchingLoad();
  const std::string wait = " within " + std::to_string(kBodyWaitMilliseconds) + " ms";
  std::string why;
  switch (hang) {
    case Hang::kLoad:
      why = "the page did not finish loading, and the web process did not answer" + wait;
      break;
    case Hang::kBodyRead:
      why = "the web process did not answer" + wait;
      break;
    case Hang::kNone:
      why = "the web process ended unexpectedly";
      break;
  }
  // The page comes back in a new web process, filled anew when it
  // completes; a process that keeps failing ends the view.
  if (++browser->restarts_ <= browser->max_restarts_) {
    std::fprintf(stderr, "setup-launcher: %s; reloading the page\n", why.c_str());
    webkit_web_view_reload(view);
    return;
  }
  if (browser->max_restarts_ > 0) why = "the web process keeps failing (" + why + ")";
  browser->handlers_.Post(
      browser,
      [browser, why] {
        if (browser->sink_ != nullptr) browser->sink_->OnViewFailed(why);
      },
      true);
}

void CWebBrowser2::EndHungWebProcess(Hang hang) {
  if (hang_ != Hang::kNone) return;  // its end is under way
  hang_ = hang;
  webkit_web_view_terminate_web_process(view_);
}

void CWebBrowser2::WatchLoad() {
  StopWatchingLoad();
  load_watch_ = g_timeout_add(kBodyWaitMilliseconds, OnLoadWatch, this);
}

void CWebBrowser2::StopWatchingLoad() {
  if (load_watch_ != 0) g_source_remove(load_watch_);
  load_watch_ = 0;
  load_probe_answered_.reset();
}

gboolean CWebBrowser2::OnLoadWatch(gpointer self) {
  auto* browser = static_cast<CWebBrowser2*>(self);
  // A page may take long to load, but its web process answers meanwhile; one
  // that has not answered the question of the last tick is held by the
  // page (a script that never ends) and is ended.
  if (browser->load_probe_answered_ && !*browser->load_probe_answered_) {
    browser->load_watch_ = 0;
    browser->load_probe_answered_.reset();
    browser->EndHungWebProcess(Hang::kLoad);
    return G_SOURCE_REMOVE;
  }
  // Any answer counts, an error as well: the process is there to give it.
  // The answer may come after the view has gone, so what it sets lives
  // until then.
  browser->load_probe_answered_ = std::make_shared<bool>(false);
  webkit_web_view_evaluate_javascript(
      browser->view_, "0", -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        const std::unique_ptr<std::shared_ptr<bool>> answered(static_cast<std::shared_ptr<bool>*>(data));
        g_autoptr(JSCValue) value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
        **answered = true;
      },
      new std::shared_ptr<bool>(browser->load_probe_answered_));
  return G_SOURCE_CONTINUE;
}

void CWebBrowser2::Queue(Event event) {
  events_.push_back(std::move(event));
  handlers_.Post(this, [this] { DeliverNext(); });
}

void CWebBrowser2::DeliverNext() {
  if (events_.empty()) return;
  Event event = std::move(events_.front());
  events_.pop_front();
  if (event.kind == Event::Kind::kBeforeNavigate) {
    bool cancel = false;
    if (sink_ != nullptr) sink_->OnBeforeNavigate2(event.url, cancel);
    if (cancel) {
      webkit_policy_decision_ignore(event.decision);
    } else {
      webkit_policy_decision_use(event.decision);
    }
    g_object_unref(event.decision);
  } else if (sink_ != nullptr) {
    sink_->OnDocumentComplete(event.url);
  }
}

void CWebBrowser2::Navigate2(const std::string& address, bool new_window) {
  // A file path is loaded as the file's address. WebKit's web process ends
  // on a file address whose path is not UTF-8 (a medium in such a folder),
  // taking the page with it: such a file is read here and shown without an
  // address of its own, so what it names relatively is not found.
  std::string url = address;
  g_autoptr(GBytes) contents = nullptr;
  std::string content_type;
  if (!address.empty() && address.front() == '/') {
    if (g_utf8_validate(address.data(), static_cast<gssize>(address.size()), nullptr)) {
      g_autofree gchar* uri = g_filename_to_uri(address.c_str(), nullptr, nullptr);
      if (uri != nullptr) url = uri;
    } else {
      constexpr std::size_t kMaxShownFileBytes = 16u << 20;
      setupdata::BoundedFile file(address, kMaxShownFileBytes);
      std::optional<std::string> bytes = file.ReadAll();
      if (!bytes) bytes = "<p>" + file.problem() + "</p>";
      g_autofree gchar* type = g_content_type_guess(
          address.c_str(), reinterpret_cast<const guchar*>(bytes->data()), bytes->size(), nullptr);
      g_autofree gchar* mime = g_content_type_get_mime_type(type);
      content_type = mime != nullptr ? mime : "application/octet-stream";
      // Without the MIME database the guess is plain text: the name tells.
      g_autofree gchar* name = g_ascii_strdown(address.c_str() + address.rfind('/') + 1, -1);
      if ((content_type == "text/plain" || content_type == "application/octet-stream") &&
          (g_str_has_suffix(name, ".html") || g_str_has_suffix(name, ".htm"))) {
        content_type = "text/html";
      }
      auto* owned = new std::string(std::move(*bytes));
      contents = g_bytes_new_with_free_func(
          owned->data(), owned->size(), [](gpointer p) { delete static_cast<std::string*>(p); }, owned);
    }
  }
  const auto load = [&](WebKitWebView* view) {
    if (contents != nullptr) {
      webkit_web_view_load_bytes(view, contents, content_type.c_str(), nullptr, nullptr);
    } else {
      webkit_web_view_load_uri(view, url.c_str());
    }
  };
  if (!new_window) {
    load(view_);
    return;
  }
  // A window of its own whose view shares this view's web process and
  // settings; it lives until the user closes it. It stays with the window
  // this view shows in (above it, on its desktop), and bears the title of
  // the document it shows, as the document names it.
  GtkWidget* related = webkit_web_view_new_with_related_view(view_);
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
  GtkWidget* shown_in = gtk_widget_get_toplevel(GTK_WIDGET(view_));
  if (GTK_IS_WINDOW(shown_in)) gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(shown_in));
  g_signal_connect(related, "notify::title",
                   G_CALLBACK(+[](WebKitWebView* view, GParamSpec*, gpointer window) {
                     const char* title = webkit_web_view_get_title(view);
                     if (title != nullptr && *title != '\0') gtk_window_set_title(GTK_WINDOW(window), title);
                   }),
                   window);
  gtk_container_add(GTK_CONTAINER(window), related);
  g_signal_connect_swapped(related, "close", G_CALLBACK(gtk_widget_destroy), window);
  load(WEBKIT_WEB_VIEW(related));
  gtk_widget_show_all(window);
}

std::optional<std::string> CWebBrowser2::ReadBody() {
  // The answer may come after the wait has given up, so what it fills lives
  // until the callback has run.
  struct Pending {
    bool done = false;
    std::optional<std::string> body;
  };
  auto pending = std::make_shared<Pending>();
  g_autoptr(GCancellable) cancellable = g_cancellable_new();
  webkit_web_view_evaluate_javascript(
      view_, "document.body ? document.body.outerHTML : null", -1, nullptr, nullptr, cancellable,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        const std::unique_ptr<std::shared_ptr<Pending>> hold(static_cast<std::shared_ptr<Pending>*>(data));
        Pending& p = **hold;
        g_autoptr(JSCValue) value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
        if (value != nullptr && jsc_value_is_string(value)) {
          g_autofree char* text = jsc_value_to_string(value);
          p.body = std::string(text != nullptr ? text : "");
        }
        p.done = true;
      },
      new std::shared_ptr<Pending>(pending));
  // Wait for the web process, but not for ever; other sources run
  // meanwhile, and the handlers they raise wait in the queue. The timer only
  // wakes the loop at the deadline.
  const gint64 deadline = g_get_monotonic_time() + gint64{kBodyWaitMilliseconds} * 1000;
  GSource* timer = g_timeout_source_new(kBodyWaitMilliseconds);
  g_source_set_callback(
      timer, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
  g_source_attach(timer, nullptr);
  while (!pending->done && g_get_monotonic_time() < deadline) g_main_context_iteration(nullptr, TRUE);
  g_source_destroy(timer);
  g_source_unref(timer);
  if (!pending->done) {
    g_cancellable_cancel(cancellable);
    EndHungWebProcess(Hang::kBodyRead);
    return std::nullopt;
  }
  return pending->body;
}

void CWebBrowser2::WriteBody(const std::string& markup) {
  GVariantDict args;
  g_variant_dict_init(&args, nullptr);
  g_variant_dict_insert(&args, "html", "s", ValidUtf8(markup).c_str());
  GAsyncReadyCallback written = nullptr;
#ifdef SETUP_LAUNCHER_BENCH_TRACE
  static bool traced = false;  // benchmark trace: the first write only
  if (!traced && BenchTraceFd() >= 0) written = TraceBodyWritten;
  traced = true;
#endif
  webkit_web_view_call_async_javascript_function(view_, "if (document.body) document.body.innerHTML = html;",
                                                 -1, g_variant_dict_end(&args), nullptr, nullptr, nullptr,
                                                 written, nullptr);
}

void CWebBrowser2::SetDocumentLanguage(const pages::DocumentLanguage& language) { *language_ = language; }

void CWebBrowser2::SetLeft(int left) {
  left_ = left;
  ApplyGeometry();
}
void CWebBrowser2::SetTop(int top) {
  top_ = top;
  ApplyGeometry();
}
void CWebBrowser2::SetWidth(int width) {
  width_ = width;
  ApplyGeometry();
}
void CWebBrowser2::SetHeight(int height) {
  height_ = height;
  ApplyGeometry();
}

void CWebBrowser2::ApplyGeometry() {
  gtk_fixed_move(parent_, GTK_WIDGET(view_), left_, top_);
  gtk_widget_set_size_request(GTK_WIDGET(view_), width_ > 0 ? width_ : 1, height_ > 0 ? height_ : 1);
}

}  // namespace browser
