// Reading a page without the engine: the front ends that show no window
// take the body out of a page of the library, let the dialog fill it as it
// fills the window's page, and read the filled body with an HTML parser
// (libxml2's) for what the page offers, in document order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pages {

// A page of the library as the view would hold it.
struct LoadedPage {
  std::string body;         // the markup inside <body>, as the dialog reads it
  bool has_script = false;  // the page carries a script, which only the engine runs
};

// The body of the page `html` (the bytes of a library resource); none when
// the bytes are no HTML document with a body.
std::optional<LoadedPage> LoadPage(std::string_view html);

// One thing a filled page shows to choose or to read, in document order.
struct PageItem {
  enum class Kind {
    kHeading,       // h1 to h6
    kLanguage,      // a link carrying the language command word
    kReleaseNotes,  // a link carrying the release-notes command word
    kExit,          // a link carrying the exit command word
    kBack,          // a shown link to the database page
    kNext,          // a link to the home page
    kDatabase,      // an option of the database page (the element its marker names)
  };
  Kind kind;
  std::string text;      // the visible text, white space folded
  std::string href;      // links: the address as the page writes it
  std::string database;  // kDatabase: "SQL" or "Oracle"
};

// What a filled body shows: headings, the links the launcher acts on with
// their visible text, and the database options. A language link without
// text, and any element hidden by its own markup or an ancestor's (the
// `hidden` attribute, or an attribute value holding "visibility:hidden" or
// "display:none", as the filled visibility marker does), are not shown.
std::vector<PageItem> ReadPageItems(std::string_view body);

// The body carries a language link at all, shown or not.
bool HasLanguageLinks(std::string_view body);

}  // namespace pages
