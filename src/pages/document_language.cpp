#include "pages/document_language.h"

#include <glib.h>

#include <optional>

#include "setupdata/text.h"

namespace pages {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// `text` at `at` starts with `word`, in any case.
bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view word) {
  return text.size() - at >= word.size() && setupdata::EqualsNoCase(text.substr(at, word.size()), word);
}

// The attributes of a start tag whose name ends before `at`, as the HTML
// tokenizer reads them: their names in lower case, and where the tag ends
// (after its '>'); none when the tag never ends.
struct StartTag {
  bool has_dir = false;
  bool has_lang = false;
  std::size_t end = 0;
};
std::optional<StartTag> ReadAttributes(std::string_view html, std::size_t at) {
  StartTag tag;
  while (at < html.size()) {
    while (at < html.size() && (IsSpace(html[at]) || html[at] == '/')) ++at;
    if (at >= html.size()) break;
    if (html[at] == '>') {
      tag.end = at + 1;
      return tag;
    }
    const std::size_t name_start = at++;
    while (at < html.size() && !IsSpace(html[at]) && html[at] != '/' && html[at] != '>' && html[at] != '=')
      ++at;
    const std::string_view name = html.substr(name_start, at - name_start);
    if (setupdata::EqualsNoCase(name, "dir")) tag.has_dir = true;
    if (setupdata::EqualsNoCase(name, "lang") || setupdata::EqualsNoCase(name, "xml:lang"))
      tag.has_lang = true;
    while (at < html.size() && IsSpace(html[at])) ++at;
    if (at >= html.size() || html[at] != '=') continue;
    ++at;
    while (at < html.size() && IsSpace(html[at])) ++at;
    if (at < html.size() && (html[at] == '"' || html[at] == '\'')) {
      const std::size_t close = html.find(html[at], at + 1);
      if (close == std::string_view::npos) break;
      at = close + 1;
    } else {
      while (at < html.size() && !IsSpace(html[at]) && html[at] != '>') ++at;
    }
  }
  return std::nullopt;
}

// A start tag named `name` begins at `at` ("<name" and then a delimiter).
bool StartTagAt(std::string_view html, std::size_t at, std::string_view name) {
  if (html.size() - at < name.size() + 2 || html[at] != '<' || !StartsWithNoCase(html, at + 1, name)) {
    return false;
  }
  const char next = html[at + 1 + name.size()];
  return IsSpace(next) || next == '/' || next == '>';
}

// Where the document's content starts: after a byte order mark, blanks,
// comments, the doctype and processing instructions. None when a comment
// or declaration never ends.
std::optional<std::size_t> ContentStart(std::string_view html) {
  std::size_t at = html.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  for (;;) {
    while (at < html.size() && IsSpace(html[at])) ++at;
    std::size_t end = std::string_view::npos;
    if (html.substr(at, 4) == "<!--") {
      end = html.find("-->", at + 4);
      if (end != std::string_view::npos) end += 3;
    } else if (html.substr(at, 2) == "<!" || html.substr(at, 2) == "<?") {
      end = html.find('>', at);
      if (end != std::string_view::npos) end += 1;
    } else {
      return at;
    }
    if (end == std::string_view::npos) return std::nullopt;
    at = end;
  }
}

// The first <body> start tag from `at`, as the parser meets it: comments
// and the content of elements whose text is not markup are passed over.
std::optional<StartTag> BodyTag(std::string_view html, std::size_t at) {
  static constexpr std::string_view kRawText[] = {"script", "style",    "title",   "textarea",
                                                  "xmp",    "noscript", "noembed", "noframes"};
  while ((at = html.find('<', at)) != std::string_view::npos) {
    if (html.substr(at, 4) == "<!--") {
      at = html.find("-->", at + 4);
      if (at == std::string_view::npos) return std::nullopt;
      continue;
    }
    if (StartTagAt(html, at, "body")) return ReadAttributes(html, at + 5);
    const std::size_t tag_at = at;
    std::size_t name_end = at + 1;
    while (name_end < html.size() && IsAsciiAlnum(html[name_end])) ++name_end;
    const std::string_view name = html.substr(at + 1, name_end - at - 1);
    at = name_end;
    for (const std::string_view raw : kRawText) {
      if (!setupdata::EqualsNoCase(name, raw) || !StartTagAt(html, tag_at, raw)) continue;
      const std::string closing = "</" + std::string(raw);
      for (at = html.find("</", at); at != std::string_view::npos; at = html.find("</", at + 2)) {
        if (StartsWithNoCase(html, at, closing)) break;
      }
      if (at == std::string_view::npos) return std::nullopt;
      break;
    }
  }
  return std::nullopt;
}

bool IsLanguageTag(std::string_view tag) {
  if (tag.empty()) return false;
  for (const char c : tag) {
    if (!IsAsciiAlnum(c) && c != '-') return false;
  }
  return true;
}

// A page in UTF-16, by its byte order mark, as UTF-8 with its mark.
std::optional<std::string> FromUtf16(std::string_view html) {
  const char* from = nullptr;
  if (html.substr(0, 2) == "\xFF\xFE") from = "UTF-16LE";
  if (html.substr(0, 2) == "\xFE\xFF") from = "UTF-16BE";
  if (from == nullptr) return std::nullopt;
  gsize written = 0;
  g_autofree gchar* utf8 = g_convert(html.data() + 2, static_cast<gssize>(html.size() - 2), "UTF-8", from,
                                     nullptr, &written, nullptr);
  if (utf8 == nullptr) return std::nullopt;
  return "\xEF\xBB\xBF" + std::string(utf8, written);
}

}  // namespace

std::string DeclareDocumentLanguage(std::string_view html, const DocumentLanguage& language) {
  const bool lang = IsLanguageTag(language.tag);
  if (!lang && !language.right_to_left) return std::string(html);
  std::optional<std::string> utf8 = FromUtf16(html);
  if (utf8) html = *utf8;
  const std::optional<std::size_t> start = ContentStart(html);
  if (!start) return std::string(html);

  StartTag html_tag;
  std::size_t insert_at = *start;
  const bool has_html_tag = StartTagAt(html, *start, "html");
  if (has_html_tag) {
    const std::optional<StartTag> read = ReadAttributes(html, *start + 5);
    if (!read) return std::string(html);
    html_tag = *read;
    insert_at = *start + 5;
  }
  std::string attributes;
  if (language.right_to_left && !html_tag.has_dir) {
    const std::optional<StartTag> body = BodyTag(html, has_html_tag ? html_tag.end : *start);
    if (!body || !body->has_dir) attributes += " dir=\"rtl\"";
  }
  if (lang && !html_tag.has_lang) attributes += " lang=\"" + language.tag + "\"";
  if (attributes.empty()) return std::string(html);
  if (!has_html_tag) attributes = "<html" + attributes + ">";
  std::string declared(html);
  declared.insert(insert_at, attributes);
  return declared;
}

}  // namespace pages
