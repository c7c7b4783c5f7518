// CWebBrowser2: the dialog's HTML view over WebKitGTK.
//
// WebKit's signals can arrive while a handler of the dialog is still
// running (reading the body waits for the web process), so every event goes
// through the dialog's handler queue and is delivered from the main loop one
// at a time, after the current handler has returned. A navigation waits for
// its decision meanwhile. Every wait on the web process has a bound: a web
// process that does not answer in time is ended and counts as a crash. That
// holds for a load as well: a page that has not finished loading within the
// wait is asked a question that takes no time to answer, and a web process
// that does not answer it within the wait is ended.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <deque>
#include <memory>
#include <string>

#include "browser/handler_queue.h"
#include "browser/resource_source.h"
#include "browser/web_browser.h"

namespace browser {

class CWebBrowser2 final : public IWebBrowser {
 public:
  // How long a body read waits for the web process, and a load before the
  // web process is asked whether it still answers.
  static constexpr int kBodyWaitMilliseconds = 3000;
  // How often a web process that crashed or hung is started again before
  // the view gives up, unless SetMaxRestarts says otherwise.
  static constexpr int kMaxRestarts = 3;

  // Creates the view inside `parent`. Addresses of the scheme of
  // `resources` are served by it. Its events run through `handlers`, which
  // must outlive the view.
  CWebBrowser2(GtkFixed* parent, std::shared_ptr<IResourceSource> resources, HandlerQueue& handlers);
  ~CWebBrowser2() override;
  CWebBrowser2(const CWebBrowser2&) = delete;
  CWebBrowser2& operator=(const CWebBrowser2&) = delete;

  // Where the events go; set before the first navigation.
  void SetEventSink(IBrowserEvents* sink) { sink_ = sink; }
  // How often the page is loaded again in a new web process before the view
  // gives up (0: at the first crash or hang).
  void SetMaxRestarts(int restarts) { max_restarts_ = restarts; }

  void Navigate2(const std::string& url, bool new_window) override;
  std::optional<std::string> ReadBody() override;
  void WriteBody(const std::string& markup) override;
  void SetDocumentLanguage(const pages::DocumentLanguage& language) override;
  void SetLeft(int left) override;
  void SetTop(int top) override;
  void SetWidth(int width) override;
  void SetHeight(int height) override;

  GtkWidget* widget() const { return GTK_WIDGET(view_); }

 private:
  struct Event {
    enum class Kind { kBeforeNavigate, kDocumentComplete } kind;
    std::string url;
    WebKitPolicyDecision* decision = nullptr;  // owned reference
  };

  static gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static gboolean OnLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* uri, GError* error,
                               gpointer self);
  static GtkWidget* OnCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer self);
  static void OnWebProcessTerminated(WebKitWebView* view, WebKitWebProcessTerminationReason reason,
                                     gpointer self);

  // What the web process did not answer in time.
  enum class Hang { kNone, kBodyRead, kLoad };

  void Queue(Event event);
  void DeliverNext();
  // The web process did not answer in time: it is ended, and treated as a
  // crash. Once only, until the process has ended.
  void EndHungWebProcess(Hang hang);
  // Watches the load under way: its bound starts anew with each step of it,
  // and ends when it finishes or the web process does.
  void WatchLoad();
  void StopWatchingLoad();
  static gboolean OnLoadWatch(gpointer self);
  void ApplyGeometry();

  GtkFixed* parent_;
  WebKitWebView* view_;  // an own reference; the parent holds another
  IBrowserEvents* sink_ = nullptr;
  HandlerQueue& handlers_;
  std::deque<Event> events_;
  Hang hang_ = Hang::kNone;  // the termination that follows is ours, and why
  guint load_watch_ = 0;     // the load's timer, while a load is under way
  // The question asked of the web process at the last tick of the load's
  // timer, answered or not; none before the first.
  std::shared_ptr<bool> load_probe_answered_;
  // How the current load failed; its document completes accordingly.
  enum class Failure { kNone, kCancelled, kErrorPageFollows, kErrorPage };
  Failure failure_ = Failure::kNone;
  std::string failed_uri_;  // the address of the load that failed last
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  // The language the served pages declare, shared with the scheme handler.
  std::shared_ptr<pages::DocumentLanguage> language_ = std::make_shared<pages::DocumentLanguage>();
  int restarts_ = 0;  // web processes started again after a crash or a hang
  int max_restarts_ = kMaxRestarts;
};

// Registers the scheme of `source` on `context`, as a local and secure one;
// the context keeps the source. An address the source has nothing for
// fails the load.
// The HTML pages it serves declare `language` as it stands when each is
// served (none when null).
void RegisterResScheme(WebKitWebContext* context, std::shared_ptr<IResourceSource> source,
                       std::shared_ptr<const pages::DocumentLanguage> language = nullptr);

}  // namespace browser
