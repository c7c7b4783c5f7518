// The WebKit view as the dialog sees it: events in order, one at a time,
// with the right addresses, and the body read and written as text. Runs in
// a display (Xvfb in the test suite).
#include "browser/webkit_browser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/page_source.h"
#include "support/temp_medium.h"

namespace browser {
namespace {

class RecordingSink : public IBrowserEvents {
 public:
  void OnBeforeNavigate2(const std::string& url, bool& cancel) override {
    Enter();
    events.push_back("before " + url);
    if (on_before) on_before(url, cancel);
    Leave();
  }
  void OnDocumentComplete(const std::string& url) override {
    Enter();
    events.push_back("complete " + url);
    if (on_complete) on_complete(url);
    Leave();
  }

  std::vector<std::string> events;
  std::function<void(const std::string&, bool&)> on_before;
  std::function<void(const std::string&)> on_complete;
  bool overlapped = false;

 private:
  void Enter() {
    if (inside_) overlapped = true;
    inside_ = true;
  }
  void Leave() { inside_ = false; }
  bool inside_ = false;
};

class WebKitBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(SAMPLE_PAGE_LIBRARY, medium_.dir() + "SetupHmRes.dll");
    window_ = gtk_offscreen_window_new();
    fixed_ = GTK_FIXED(gtk_fixed_new());
    gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(fixed_));
    browser_ = std::make_unique<CWebBrowser2>(fixed_, std::make_shared<app::PageLibrarySource>(medium_.dir()),
                                              handlers_);
    browser_->SetEventSink(&sink_);
    browser_->SetWidth(474);
    browser_->SetHeight(416);
    gtk_widget_show_all(window_);
  }
  void TearDown() override {
    browser_.reset();
    if (window_ != nullptr) gtk_widget_destroy(window_);
  }

  static gboolean Raise(gpointer flag) {
    *static_cast<bool*>(flag) = true;
    return G_SOURCE_REMOVE;
  }
  // Runs the main loop until `done` holds or ten seconds have passed. The
  // loop sleeps between events: a timeout source wakes it at the bound.
  static bool RunUntil(const std::function<bool()>& done) {
    bool timed_out = false;
    const guint bound = g_timeout_add_seconds(10, Raise, &timed_out);
    while (!done() && !timed_out) g_main_context_iteration(nullptr, TRUE);
    if (!timed_out) g_source_remove(bound);
    return done();
  }
  // Runs the main loop for `ms` milliseconds: time for what must not happen
  // to happen.
  static void RunFor(guint ms) {
    bool over = false;
    g_timeout_add(ms, Raise, &over);
    while (!over) g_main_context_iteration(nullptr, TRUE);
  }
  bool RunUntilComplete(std::size_t count) {
    return RunUntil([&] {
      std::size_t n = 0;
      for (const auto& e : sink_.events) n += e.starts_with("complete ");
      return n >= count;
    });
  }

  testing_support::TempMedium medium_;
  GtkWidget* window_ = nullptr;
  GtkFixed* fixed_ = nullptr;
  HandlerQueue handlers_;
  std::unique_ptr<CWebBrowser2> browser_;
  RecordingSink sink_;
};

constexpr char kHome[] = "res://SetupHmRes.dll/HTML_HOMEPAGE";

TEST_F(WebKitBrowserTest, ANavigationAsksFirstAndCompletesWithItsAddress) {
  browser_->Navigate2(kHome, false);
  ASSERT_TRUE(RunUntilComplete(1));
  ASSERT_EQ(sink_.events.size(), 2u);
  EXPECT_EQ(sink_.events[0], std::string("before ") + kHome);
  EXPECT_EQ(sink_.events[1], std::string("complete ") + kHome);
}

TEST_F(WebKitBrowserTest, LibraryNamesMatchWithoutRegardToCase) {
  browser_->Navigate2("res://setuphmres.DLL/html_homepage", false);
  ASSERT_TRUE(RunUntilComplete(1));
  const std::optional<std::string> body = browser_->ReadBody();
  ASSERT_TRUE(body);
  EXPECT_NE(body->find("IDLANGUAGE0"), std::string::npos);
}

TEST_F(WebKitBrowserTest, AFailedLoadCompletesAsTheErrorPageOfNoPage) {
  browser_->Navigate2(kHome, false);
  ASSERT_TRUE(RunUntilComplete(1));
  // The library goes: the database page cannot load, and the error page
  // that shows instead is none of the two pages.
  std::filesystem::remove(medium_.dir() + "SetupHmRes.dll");
  const std::string database = "res://SetupHmRes.dll/HTML_SAP";
  browser_->Navigate2(database, false);
  ASSERT_TRUE(RunUntilComplete(2));
  // Let anything else finish too, then look at everything reported.
  RunFor(500);
  EXPECT_EQ(sink_.events,
            (std::vector<std::string>{"before " + std::string(kHome), "complete " + std::string(kHome),
                                      "before " + database, std::string("complete ") + kErrorPageAddress}));
}

TEST_F(WebKitBrowserTest, ACancelledNavigationKeepsThePage) {
  browser_->Navigate2(kHome, false);
  ASSERT_TRUE(RunUntilComplete(1));
  sink_.on_before = [](const std::string&, bool& cancel) { cancel = true; };
  browser_->Navigate2("res://SetupHmRes.dll/HTML_SAP", false);
  ASSERT_TRUE(RunUntil([&] { return sink_.events.size() >= 3; }));
  // Give a load that should not happen the time to happen.
  RunFor(500);
  EXPECT_EQ(sink_.events.size(), 3u);
  const std::optional<std::string> body = browser_->ReadBody();
  ASSERT_TRUE(body);
  EXPECT_NE(body->find("IDLANGUAGE0"), std::string::npos);
}

TEST_F(WebKitBrowserTest, TheBodyIsReadAndWrittenAsText) {
  std::optional<std::string> first;
  sink_.on_complete = [&](const std::string&) {
    first = browser_->ReadBody();
    if (!first) return;
    std::string text = *first;
    const std::size_t at = text.find("IDEXIT");
    if (at != std::string::npos) text.replace(at, 6, "Beenden – 終了 \xF0\x9F\x98\x80");
    browser_->WriteBody(text);
  };
  browser_->Navigate2(kHome, false);
  ASSERT_TRUE(RunUntilComplete(1));
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->starts_with("<body"));
  EXPECT_TRUE(first->ends_with("</body>"));
  sink_.on_complete = nullptr;
  const std::optional<std::string> second = browser_->ReadBody();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->find("IDEXIT"), std::string::npos);
  EXPECT_NE(second->find("Beenden – 終了 \xF0\x9F\x98\x80"), std::string::npos);
  EXPECT_FALSE(sink_.overlapped);
}

TEST_F(WebKitBrowserTest, TextThatIsNotUtf8IsWrittenSafely) {
  browser_->Navigate2(kHome, false);
  ASSERT_TRUE(RunUntilComplete(1));
  constexpr char kMarkup[] = "<p>bad \xFF\xFE bytes and a NUL \0 here</p>";
  browser_->WriteBody(std::string(kMarkup, sizeof kMarkup - 1));
  const std::optional<std::string> body = browser_->ReadBody();
  ASSERT_TRUE(body);
  EXPECT_NE(body->find("bad "), std::string::npos);
  EXPECT_TRUE(g_utf8_validate(body->data(), static_cast<gssize>(body->size()), nullptr));
}

TEST_F(WebKitBrowserTest, EventsThatArriveDuringAHandlerWaitForIt) {
  // The page's own script navigates while the handler reads the body; the
  // navigation's event is delivered after the handler, never inside it.
  sink_.on_complete = [&](const std::string& url) {
    if (url != kHome) return;
    webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(browser_->widget()),
                                        "location.href = 'res://SetupHmRes.dll/HTML_SAP'", -1, nullptr,
                                        nullptr, nullptr, nullptr, nullptr);
    browser_->ReadBody();
    browser_->ReadBody();
  };
  browser_->Navigate2(kHome, false);
  ASSERT_TRUE(RunUntilComplete(2));
  EXPECT_FALSE(sink_.overlapped);
  EXPECT_EQ(sink_.events[2], "before res://SetupHmRes.dll/HTML_SAP");
}

// The pages served declare the language set last, before the engine reads
// them: the document's direction and language are the section's.
TEST_F(WebKitBrowserTest, PagesDeclareTheLanguageSetLast) {
  const auto declared = [&] {
    std::optional<std::string> answer;
    webkit_web_view_evaluate_javascript(
        WEBKIT_WEB_VIEW(browser_->widget()), "document.dir + ' ' + document.documentElement.lang", -1,
        nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          g_autoptr(JSCValue) value =
              webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
          g_autofree char* text = value != nullptr ? jsc_value_to_string(value) : nullptr;
          *static_cast<std::optional<std::string>*>(data) = text != nullptr ? text : "";
        },
        &answer);
    RunUntil([&] { return answer.has_value(); });
    return answer.value_or("no answer");
  };
  const struct {
    pages::DocumentLanguage language;
    const char* seen;
  } cases[] = {{{"he-IL", true}, "rtl he-IL"}, {{"ja-JP", false}, " ja-JP"}};
  std::size_t completed = 0;
  for (const auto& c : cases) {
    browser_->SetDocumentLanguage(c.language);
    browser_->Navigate2(kHome, false);
    ASSERT_TRUE(RunUntilComplete(++completed));
    EXPECT_EQ(declared(), c.seen);
  }
}

// The view is the browser's own for as long as the browser lives, even
// where the window it shows in goes first; it goes with the browser.
TEST_F(WebKitBrowserTest, TheViewLivesAsLongAsTheBrowser) {
  browser_->Navigate2(kHome, false);
  ASSERT_TRUE(RunUntilComplete(1));
  bool finalized = false;
  g_object_set_data_full(G_OBJECT(browser_->widget()), "finalized", &finalized,
                         [](gpointer flag) { *static_cast<bool*>(flag) = true; });
  gtk_widget_destroy(window_);
  window_ = nullptr;
  EXPECT_FALSE(finalized);
  browser_.reset();
  EXPECT_TRUE(finalized);
}

// A file whose path is not UTF-8, as on a medium in such a folder: a file
// address of it would end the web process, blanking its window and taking
// the page along. It shows in its window, and the page stays.
TEST_F(WebKitBrowserTest, AFileWhosePathIsNotUtf8ShowsInANewWindow) {
  browser_->Navigate2(kHome, false);
  ASSERT_TRUE(RunUntilComplete(1));
  const std::string notes = medium_.Write("1033\xFF/readme.html",
                                          "<html><head><title>Notes</title></head><body>Notes</body></html>");
  GList* before = gtk_window_list_toplevels();
  browser_->Navigate2(notes, true);
  GList* after = gtk_window_list_toplevels();
  WebKitWebView* shown = nullptr;
  for (GList* w = after; w != nullptr; w = w->next) {
    if (g_list_find(before, w->data) != nullptr || !GTK_IS_BIN(w->data)) continue;
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(w->data));
    if (child != nullptr && WEBKIT_IS_WEB_VIEW(child)) shown = WEBKIT_WEB_VIEW(child);
  }
  g_list_free(before);
  g_list_free(after);
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(RunUntil([&] {
    const char* title = webkit_web_view_get_title(shown);
    return title != nullptr && std::string(title) == "Notes";
  }));
  RunFor(500);
  EXPECT_EQ(sink_.events.size(), 2u) << "the page was loaded again";
  gtk_widget_destroy(gtk_widget_get_toplevel(GTK_WIDGET(shown)));
}

}  // namespace
}  // namespace browser

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!gtk_init_check(&argc, &argv)) {
    std::fputs("webkit_browser_test: no display\n", stderr);
    return 1;
  }
  return RUN_ALL_TESTS();
}
