// What the dialog needs of its embedded HTML view, and the events the view
// reports back. The WebKitGTK view implements IWebBrowser; tests use fakes.
#pragma once

#include <optional>
#include <string>

#include "pages/document_language.h"

namespace browser {

// The address with which the view's own error page completes, after a load
// that failed: the address of no page.
inline constexpr char kErrorPageAddress[] = "about:error";

// Receives the view's two events, one at a time, on the user-interface
// thread and never inside another handler.
class IBrowserEvents {
 public:
  virtual ~IBrowserEvents() = default;
  // Before the view goes to `url` (a link, a page's own navigation or
  // Navigate2). Setting `cancel` keeps the current page.
  virtual void OnBeforeNavigate2(const std::string& url, bool& cancel) = 0;
  // A document has finished loading; `url` is its address, and after a
  // failed load kErrorPageAddress (the view's error page).
  virtual void OnDocumentComplete(const std::string& url) = 0;
  // The view cannot show pages any more (its web process keeps failing, or
  // a page keeps it from answering); `why` says so in words.
  virtual void OnViewFailed(const std::string& why) { (void)why; }
};

class IWebBrowser {
 public:
  virtual ~IWebBrowser() = default;
  // Loads `url` in the view, or with `new_window` in a new window whose
  // view belongs to this one; the current page then stays.
  virtual void Navigate2(const std::string& url, bool new_window = false) = 0;
  // The language of the pages loaded from now on: each page's document
  // element declares it before the page is first drawn, where the page
  // declares none of its own.
  virtual void SetDocumentLanguage(const pages::DocumentLanguage& language) = 0;
  // The current page's body markup (the body element's own tags included),
  // or nothing when the page has no body.
  virtual std::optional<std::string> ReadBody() = 0;
  // Replaces the content of the current page's body with `markup`.
  virtual void WriteBody(const std::string& markup) = 0;
  // The view's place and size inside the window, in logical pixels.
  virtual void SetLeft(int left) = 0;
  virtual void SetTop(int top) = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;
};

}  // namespace browser
