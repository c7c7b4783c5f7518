// The language a page is shown in. The pages carry the words of one
// language section, which the page itself cannot know: before the view
// parses a page, its document element is given the section's language (so
// that the engine picks the script's fonts and a screen reader its voice)
// and, for a language written right to left, that direction. What a page
// declares itself stays.
#pragma once

#include <string>
#include <string_view>

namespace pages {

struct DocumentLanguage {
  std::string tag;             // BCP 47 ("he-IL"); empty: none is declared
  bool right_to_left = false;  // the language is written right to left
};

// The page `html` (the bytes of a library resource) with `language`
// declared on its <html> start tag: `lang` when the tag has no `lang` (or
// `xml:lang`) of its own, and dir="rtl" for a right-to-left language when
// neither <html> nor <body> sets `dir`. A page without a leading <html>
// tag gets one. A page in UTF-16 (by its byte order mark) comes back as
// UTF-8 with its mark. Anything else comes back as it was.
std::string DeclareDocumentLanguage(std::string_view html, const DocumentLanguage& language);

}  // namespace pages
