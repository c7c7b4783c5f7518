#include "pages/page_reading.h"

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>
#include <libxml/tree.h>

#include <memory>

#include "pages/link_commands.h"
#include "pages/page_contract.h"
#include "pages/page_filling.h"
#include "setupdata/text.h"

namespace pages {
namespace {

struct FreeDoc {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using Doc = std::unique_ptr<xmlDoc, FreeDoc>;

struct FreeBuffer {
  void operator()(xmlBuffer* buffer) const { xmlBufferFree(buffer); }
};

struct FreeXmlChar {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlText = std::unique_ptr<xmlChar, FreeXmlChar>;

// Pages are UTF-8 (the sample pages and the pack tool say so); the parser
// forgives what a browser forgives and reaches for nothing outside.
Doc Parse(std::string_view html) {
  xmlInitParser();
  constexpr int kOptions = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;
  return Doc(htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, "UTF-8", kOptions));
}

std::string_view Name(const xmlNode* node) { return reinterpret_cast<const char*>(node->name); }

bool IsElement(const xmlNode* node, std::string_view name) {
  return node->type == XML_ELEMENT_NODE && setupdata::EqualsNoCase(Name(node), name);
}

const xmlNode* FindElement(const xmlNode* node, std::string_view name) {
  for (; node != nullptr; node = node->next) {
    if (IsElement(node, name)) return node;
    if (const xmlNode* found = FindElement(node->children, name)) return found;
  }
  return nullptr;
}

std::string Attribute(const xmlNode* node, const char* name) {
  const XmlText value(xmlGetProp(node, reinterpret_cast<const xmlChar*>(name)));
  return value ? reinterpret_cast<const char*>(value.get()) : std::string();
}

// An attribute value as a style reads it: without blanks, in lower case.
std::string Squeezed(std::string_view value) {
  std::string squeezed;
  for (const char c : value) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') squeezed += c;
  }
  for (char& c : squeezed) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return squeezed;
}

// The element's own markup hides it.
bool HiddenByItself(const xmlNode* node) {
  for (const xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
    const std::string_view name = reinterpret_cast<const char*>(attribute->name);
    if (setupdata::EqualsNoCase(name, "hidden")) return true;
    const XmlText value(xmlNodeListGetString(node->doc, attribute->children, 1));
    if (!value) continue;
    const std::string squeezed = Squeezed(reinterpret_cast<const char*>(value.get()));
    if (squeezed.find("visibility:hidden") != std::string::npos ||
        squeezed.find("display:none") != std::string::npos) {
      return true;
    }
  }
  return false;
}

// The text a reader sees in the element: its text nodes, scripts and
// styles left out, runs of white space folded into one blank.
void CollectText(const xmlNode* node, std::string& text) {
  for (; node != nullptr; node = node->next) {
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
      text += reinterpret_cast<const char*>(node->content);
    } else if (node->type == XML_ELEMENT_NODE && !IsElement(node, "script") && !IsElement(node, "style") &&
               !HiddenByItself(node)) {
      CollectText(node->children, text);
    }
  }
}

std::string VisibleText(const xmlNode* node) {
  std::string raw;
  CollectText(node->children, raw);
  // A link drawn by an image alone is read by its label.
  for (const char* label : {"aria-label", "title"}) {
    if (raw.find_first_not_of(" \t\n\r\f") != std::string::npos) break;
    raw = Attribute(node, label);
  }
  std::string folded;
  bool blank = false;
  for (const char c : raw) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
      blank = !folded.empty();
      continue;
    }
    if (blank) folded += ' ';
    blank = false;
    folded += c;
  }
  return folded;
}

bool IsHeading(const xmlNode* node) {
  const std::string_view name = Name(node);
  return name.size() == 2 && (name[0] == 'h' || name[0] == 'H') && name[1] >= '1' && name[1] <= '6';
}

// The database whose marker the element carries in an attribute value.
const char* DatabaseMarkedBy(const xmlNode* node) {
  for (const xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
    const XmlText value(xmlNodeListGetString(node->doc, attribute->children, 1));
    if (!value) continue;
    const std::string_view text = reinterpret_cast<const char*>(value.get());
    if (text == kSqlMarker) return kSqlDatabase;
    if (text == kOracleMarker) return kOracleDatabase;
  }
  return nullptr;
}

void Walk(const xmlNode* node, std::vector<PageItem>& items) {
  for (; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE || IsElement(node, "script") || IsElement(node, "style") ||
        HiddenByItself(node)) {
      continue;
    }
    if (IsHeading(node)) {
      std::string text = VisibleText(node);
      if (!text.empty()) items.push_back({PageItem::Kind::kHeading, std::move(text), {}, {}});
      continue;
    }
    if (const char* database = DatabaseMarkedBy(node)) {
      items.push_back({PageItem::Kind::kDatabase, VisibleText(node), {}, database});
      continue;
    }
    if (IsElement(node, "a")) {
      const std::string href = Attribute(node, "href");
      const LinkCommand command = ParseLinkAddress(href);
      std::string text = VisibleText(node);
      if (command.language) {
        if (!text.empty()) items.push_back({PageItem::Kind::kLanguage, std::move(text), href, {}});
      } else if (command.release_notes) {
        items.push_back({PageItem::Kind::kReleaseNotes, std::move(text), href, {}});
      } else if (command.exit) {
        items.push_back({PageItem::Kind::kExit, std::move(text), href, {}});
      } else if (PageOfDocument(href) == Page::kDatabase) {
        items.push_back({PageItem::Kind::kBack, std::move(text), href, {}});
      } else if (PageOfDocument(href) == Page::kHome) {
        items.push_back({PageItem::Kind::kNext, std::move(text), href, {}});
      }
      continue;
    }
    Walk(node->children, items);
  }
}

// A filled body as the engine would hold it: inside a document of its own.
Doc ParseBody(std::string_view body) {
  std::string html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>";
  html += body;
  html += "</body></html>";
  return Parse(html);
}

bool AnyLanguageLink(const xmlNode* node) {
  for (; node != nullptr; node = node->next) {
    if (IsElement(node, "a") && ParseLinkAddress(Attribute(node, "href")).language) return true;
    if (AnyLanguageLink(node->children)) return true;
  }
  return false;
}

}  // namespace

std::optional<LoadedPage> LoadPage(std::string_view html) {
  const Doc doc = Parse(html);
  if (!doc) return std::nullopt;
  const xmlNode* root = xmlDocGetRootElement(doc.get());
  const xmlNode* body = root == nullptr ? nullptr : FindElement(root, "body");
  if (body == nullptr) return std::nullopt;
  LoadedPage page;
  page.has_script = FindElement(root, "script") != nullptr;
  const std::unique_ptr<xmlBuffer, FreeBuffer> buffer(xmlBufferCreate());
  for (const xmlNode* child = body->children; child != nullptr; child = child->next) {
    htmlNodeDump(buffer.get(), doc.get(), const_cast<xmlNode*>(child));
  }
  page.body.assign(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                   static_cast<std::size_t>(xmlBufferLength(buffer.get())));
  return page;
}

std::vector<PageItem> ReadPageItems(std::string_view body) {
  std::vector<PageItem> items;
  const Doc doc = ParseBody(body);
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (const xmlNode* element = root == nullptr ? nullptr : FindElement(root, "body")) {
    Walk(element->children, items);
  }
  return items;
}

bool HasLanguageLinks(std::string_view body) {
  const Doc doc = ParseBody(body);
  return doc && AnyLanguageLink(xmlDocGetRootElement(doc.get()));
}

}  // namespace pages
