#include "tools/medium_check.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "medium/checksums.h"
#include "medium/medium.h"
#include "pages/link_commands.h"
#include "pages/page_library.h"
#include "setupdata/bounded_file.h"
#include "setupdata/codepage.h"
#include "setupdata/ini_file.h"
#include "setupdata/language_locale.h"
#include "setupdata/language_table.h"
#include "setupdata/name_on_medium.h"
#include "setupdata/setup_files.h"
#include "setupdata/system_language.h"
#include "setupdata/text.h"
#include "tools/init_texts.h"
#include "tools/medium_seal.h"

namespace tools {

namespace {

std::string BodyOf(const std::string& page) {
  const std::size_t start = page.find("<body");
  const std::size_t end = page.rfind("</body>");
  if (start == std::string::npos) return page;
  return page.substr(start, end == std::string::npos ? std::string::npos : end + 7 - start);
}

bool IsWordChar(char c) { return g_ascii_isalnum(c) || c == '_'; }
bool IsCapitalOrDigit(char c) { return g_ascii_isupper(c) || g_ascii_isdigit(c) || c == '_'; }

// The words of `body` that look like placeholders: "ID", a capital letter,
// then one or more capitals, digits or underscores, as a word of its own.
std::vector<std::pair<std::size_t, std::string>> PlaceholderLikeWords(std::string_view body) {
  std::vector<std::pair<std::size_t, std::string>> words;
  for (std::size_t at = body.find("ID"); at != std::string_view::npos; at = body.find("ID", at + 1)) {
    if (at > 0 && IsWordChar(body[at - 1])) continue;
    std::size_t end = at + 2;
    if (end >= body.size() || !g_ascii_isupper(body[end])) continue;
    ++end;
    const std::size_t rest = end;
    while (end < body.size() && IsCapitalOrDigit(body[end])) ++end;
    if (end == rest || (end < body.size() && IsWordChar(body[end]))) continue;
    words.emplace_back(at, body.substr(at, end - at));
  }
  return words;
}

// What check says of a name that the launcher finds only by its
// case-folded name, or that several names in another case keep it from
// finding: empty otherwise.
std::string FoundByCase(const std::string& asked, const setupdata::FoundPath& found) {
  if (found.match != setupdata::NameMatch::kFolded) return {};
  return "\"" + asked + "\" is \"" + found.path + "\" on the medium: found by its case-folded name";
}
std::string NoneOfTheCases(const setupdata::FoundPath& found) {
  if (found.match != setupdata::NameMatch::kAmbiguous) return {};
  std::string names;
  for (const std::string& candidate : found.candidates) {
    names += (names.empty() ? "\"" : "\" and \"") + found.path + candidate;
  }
  return names + "\" differ from it only in case: none is used";
}

// The 1-based line of the byte `at` of `text`.
int LineAt(std::string_view text, std::size_t at) {
  at = std::min(at, text.size());
  return static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n')) + 1;
}
// The 1-based line of the first `word` in `text`; 0 when it is not there.
int LineIn(std::string_view text, std::string_view word) {
  const std::size_t at = text.find(word);
  return at == std::string_view::npos ? 0 : LineAt(text, at);
}

// The first piece of markup in `text`: a tag ("<b>", "</i>", "<!--") or a
// character reference ("&amp;"); empty when there is none.
std::string MarkupIn(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '<' && i + 1 < text.size() &&
        (g_ascii_isalpha(text[i + 1]) || text[i + 1] == '/' || text[i + 1] == '!')) {
      const std::size_t end = text.find('>', i);
      const std::size_t length = end == std::string_view::npos ? 12 : std::min<std::size_t>(end + 1 - i, 40);
      return std::string(setupdata::CutUtf8(text.substr(i), length));
    }
    if (text[i] == '&') {
      std::size_t end = i + 1;
      if (end < text.size() && text[end] == '#') ++end;
      while (end < text.size() && g_ascii_isalnum(text[end])) ++end;
      if (end > i + 1 && end < text.size() && text[end] == ';')
        return std::string(text.substr(i, end + 1 - i));
    }
  }
  return {};
}

// An address a page refers to, where it stands in the page.
struct Reference {
  std::size_t at;
  std::string written;  // as it stands
  enum Use { kLoaded, kFollowed, kUnknown } use;
};

// The res: addresses written anywhere in a page, as they stand.
void ResAddressesIn(std::string_view page, std::map<std::size_t, Reference>& found) {
  const std::string upper = setupdata::AsciiUpper(page);
  const std::string scheme = setupdata::AsciiUpper(pages::kResScheme) + "://";
  for (std::size_t at = upper.find(scheme); at != std::string::npos; at = upper.find(scheme, at + 1)) {
    if (at > 0 && g_ascii_isalnum(page[at - 1])) continue;
    std::size_t end = at;
    while (end < page.size() && !g_ascii_isspace(page[end]) && page[end] != '"' && page[end] != '\'' &&
           page[end] != '>' && page[end] != '<' && page[end] != ')') {
      ++end;
    }
    found.emplace(at, Reference{at, std::string(page.substr(at, end - at)), Reference::kUnknown});
  }
}

// Whether `address` begins with a scheme ("https:", "data:", "res:").
bool HasScheme(std::string_view address) {
  std::size_t i = 0;
  if (address.empty() || !g_ascii_isalpha(address[0])) return false;
  while (i < address.size() &&
         (g_ascii_isalnum(address[i]) || address[i] == '+' || address[i] == '-' || address[i] == '.'))
    ++i;
  return i < address.size() && address[i] == ':';
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = g_ascii_tolower(c);
  return lower;
}

std::size_t FindNoCase(std::string_view text, std::string_view word, std::size_t from) {
  for (std::size_t at = from; at + word.size() <= text.size(); ++at) {
    if (setupdata::EqualsNoCase(text.substr(at, word.size()), word)) return at;
  }
  return std::string_view::npos;
}

// The addresses of CSS url(...) in `css`, which stands at `offset` in the page.
void UrlsIn(std::string_view css, std::size_t offset, std::vector<Reference>& found) {
  for (std::size_t at = FindNoCase(css, "url(", 0); at != std::string_view::npos;
       at = FindNoCase(css, "url(", at + 4)) {
    std::size_t start = at + 4;
    while (start < css.size() && g_ascii_isspace(css[start])) ++start;
    std::size_t end;
    if (start < css.size() && (css[start] == '"' || css[start] == '\'')) {
      end = css.find(css[start], start + 1);
      ++start;
    } else {
      end = css.find(')', start);
      while (end != std::string_view::npos && end > start && g_ascii_isspace(css[end - 1])) --end;
    }
    if (end == std::string_view::npos) break;
    found.push_back(
        Reference{offset + start, std::string(css.substr(start, end - start)), Reference::kLoaded});
  }
}

// The addresses a page's markup refers to: each src and href attribute
// (href of <a> and <area> is followed, every other address loaded with the
// page) and url(...) in its styles, outside comments and the code of its
// scripts, values as written; `base` takes the href of a <base> element.
std::vector<Reference> MarkupReferencesIn(std::string_view page, std::string* base) {
  std::vector<Reference> found;
  std::size_t i = 0;
  while (i < page.size()) {
    if (page.substr(i, 4) == "<!--") {
      const std::size_t end = page.find("-->", i + 4);
      i = end == std::string_view::npos ? page.size() : end + 3;
      continue;
    }
    if (page[i] != '<' || i + 1 >= page.size() || !g_ascii_isalpha(page[i + 1])) {
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    while (j < page.size() && (g_ascii_isalnum(page[j]) || page[j] == '-')) ++j;
    const std::string tag = AsciiLower(page.substr(i + 1, j - i - 1));
    while (j < page.size() && page[j] != '>') {
      if (g_ascii_isspace(page[j]) || page[j] == '/') {
        ++j;
        continue;
      }
      const std::size_t name_start = j;
      while (j < page.size() && !g_ascii_isspace(page[j]) && page[j] != '=' && page[j] != '>' &&
             page[j] != '/')
        ++j;
      const std::string name = AsciiLower(page.substr(name_start, j - name_start));
      while (j < page.size() && g_ascii_isspace(page[j])) ++j;
      if (j >= page.size() || page[j] != '=') continue;
      ++j;
      while (j < page.size() && g_ascii_isspace(page[j])) ++j;
      std::size_t value_start = j, value_end;
      if (j < page.size() && (page[j] == '"' || page[j] == '\'')) {
        value_start = j + 1;
        value_end = page.find(page[j], value_start);
        if (value_end == std::string_view::npos) value_end = page.size();
        j = std::min(value_end + 1, page.size());
      } else {
        while (j < page.size() && !g_ascii_isspace(page[j]) && page[j] != '>') ++j;
        value_end = j;
      }
      const std::string_view value = page.substr(value_start, value_end - value_start);
      if (name == "style") {
        UrlsIn(value, value_start, found);
      } else if (name == "href" && tag == "base") {
        *base = std::string(value);
      } else if (name == "src" || name == "href") {
        const bool followed = name == "href" && (tag == "a" || tag == "area");
        found.push_back(
            Reference{value_start, std::string(value), followed ? Reference::kFollowed : Reference::kLoaded});
      }
    }
    i = j + 1;
    // The text of a script or a style is no markup.
    if (tag == "script" || tag == "style") {
      const std::size_t close = FindNoCase(page, "</" + tag, i);
      const std::size_t end = close == std::string_view::npos ? page.size() : close;
      if (tag == "style") UrlsIn(page.substr(i, end - i), i, found);
      i = end;
    }
  }
  return found;
}

// A character a title cannot end on, since it leads into what follows: an
// opening bracket or quote, a dash, a joining mark (":", "/", "&"); a full
// stop, "!", "?" and "%" end a title well enough.
bool LeadsOn(gunichar c) {
  switch (g_unichar_type(c)) {
    case G_UNICODE_OPEN_PUNCTUATION:
    case G_UNICODE_INITIAL_PUNCTUATION:
    case G_UNICODE_DASH_PUNCTUATION:
    case G_UNICODE_CONNECT_PUNCTUATION:
      return true;
    case G_UNICODE_OTHER_PUNCTUATION:
      return std::u32string_view(U".!?%\u2026\u3002\uFF01\uFF1F\uFF0E").find(c) == std::u32string_view::npos;
    default:
      return false;
  }
}

// The length of `text` without the blanks at its end; `text` is valid UTF-8.
std::size_t WithoutBlankEnd(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0) {
    const char* last = g_utf8_find_prev_char(text.data(), text.data() + end);
    if (!g_unichar_isspace(g_utf8_get_char(last))) break;
    end = static_cast<std::size_t>(last - text.data());
  }
  return end;
}

// What leads `text` on at its end, after any blanks: a character of
// LeadsOn, or a word in lower-case letters only ("for", "für", "de"),
// which a product's own words hardly are. Gives the length of `text`
// without it, or text.size() when nothing leads on (all blanks lead on);
// `text` is valid UTF-8.
std::size_t WithoutLead(std::string_view text) {
  const std::size_t end = WithoutBlankEnd(text);
  if (end == 0) return 0;
  const char* last = g_utf8_find_prev_char(text.data(), text.data() + end);
  if (LeadsOn(g_utf8_get_char(last))) return static_cast<std::size_t>(last - text.data());
  std::size_t start = end;
  bool lower = true;
  while (start > 0) {
    const char* previous = g_utf8_find_prev_char(text.data(), text.data() + start);
    const gunichar c = g_utf8_get_char(previous);
    if (g_unichar_isspace(c)) break;
    lower = lower && g_unichar_islower(c);
    start = static_cast<std::size_t>(previous - text.data());
  }
  return lower ? start : text.size();
}

// Whether a window title cut at a product name's "%s" reads as a title of
// its own: something is left, and nothing at its end leads on.
bool CutReadsWell(std::string_view title) {
  if (!g_utf8_validate(title.data(), static_cast<gssize>(title.size()), nullptr)) return true;
  return !title.empty() && WithoutLead(title) == title.size();
}

// The product name rewritten so that the cut at its "%s" reads well: the
// name's own words before the "%s", without what leads on from them, then
// " %s". Empty when no word of the name's own is left.
std::string CutWellName(std::string_view product) {
  std::string_view head = product.substr(0, product.find("%s"));
  if (!g_utf8_validate(head.data(), static_cast<gssize>(head.size()), nullptr)) return {};
  for (std::size_t kept = WithoutLead(head); kept < head.size(); kept = WithoutLead(head))
    head = head.substr(0, kept);
  head = head.substr(0, WithoutBlankEnd(head));
  if (head.empty()) return {};
  return std::string(head) + " %s";
}

class Checker {
 public:
  explicit Checker(const std::string& dir)
      : medium_(medium::Medium::InDirectory(dir, setupdata::kFallbackLangId, languages_)) {}

  CheckResult Run() {
    const setupdata::SetupFiles& files = medium_.files();
    struct stat st {};
    if (stat(files.module_dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      result_.readable = false;
      Add("medium-unreadable", files.module_dir, "", "", 0, "the medium's folder cannot be read");
      return result_;
    }
    inf_ = setupdata::IniFile::Load(files.setup_inf_path);
    res_ = setupdata::IniFile::Load(files.res_ini_path);
    const std::string inf_blocked = SetupFileCase(setupdata::kSetupInfName);
    const std::string res_blocked = SetupFileCase(setupdata::kSetupResName);
    if (!inf_)
      Add("setup-inf-missing", setupdata::kSetupInfName, "", "", 0,
          "missing or unreadable" + inf_blocked + ": the launcher ends at once");
    if (!res_)
      Add("setupres-missing", setupdata::kSetupResName, "", "", 0,
          "missing or unreadable" + res_blocked + ": every text reads NULL");
    CheckEncoding(setupdata::kSetupInfName, files.setup_inf_path, inf_);
    CheckEncoding(setupdata::kSetupResName, files.res_ini_path, res_);
    CheckRawText(setupdata::kSetupInfName, inf_);
    CheckRawText(setupdata::kSetupResName, res_);
    if (inf_) CheckSetupInf();
    CheckLauncherFiles();
    CheckLibrary();
    if (res_) CheckSetupRes();
    CheckSeal();
    std::stable_sort(result_.findings.begin(), result_.findings.end(),
                     [](const Finding& a, const Finding& b) {
                       return std::tie(a.file, a.section, a.key) < std::tie(b.file, b.section, b.key);
                     });
    return result_;
  }

 private:
  void Add(const char* code, std::string file, std::string section, std::string key, int line,
           std::string message) {
    result_.findings.push_back(Finding{SeverityOf(code), code, std::move(file), line, std::move(section),
                                       std::move(key), std::move(message)});
  }
  // A finding on a key of setup.inf or setupres.ini, at its line (the
  // section's when the key is not there).
  void AddIni(const char* code, const std::string& file, const std::string& section, const std::string& key,
              std::string message) {
    const std::optional<setupdata::IniFile>& ini = file == setupdata::kSetupInfName ? inf_ : res_;
    int line = 0;
    if (ini) {
      line = static_cast<int>(ini->LineOf(section, key));
      if (line == 0) line = static_cast<int>(ini->LineOf(section));
    }
    Add(code, file, section, key, line, std::move(message));
  }

  // A setup file found only by its case-folded name ("SETUP.INF") is
  // warned of; the names that keep the launcher from finding one are given
  // back, to be said with its absence.
  std::string SetupFileCase(const char* name) {
    const setupdata::FoundPath found = setupdata::FindOnMedium(medium_.ModuleDir(), name);
    if (found.match == setupdata::NameMatch::kFolded)
      Add("name-case", name, "", "", 0, FoundByCase(name, found));
    return found.match == setupdata::NameMatch::kAmbiguous ? " (" + NoneOfTheCases(found) + ")" : "";
  }

  // The medium read in the language section `section`.
  medium::Medium In(const std::string& section) {
    return medium::Medium::InDirectory(medium_.ModuleDir(), section, languages_);
  }

  // A file in UTF-16 without its byte-order mark is read as 8-bit text
  // with its zero bytes dropped: ASCII reads, anything else is garbled.
  void CheckEncoding(const std::string& name, const std::string& path,
                     const std::optional<setupdata::IniFile>& ini) {
    if (!ini) return;
    setupdata::BoundedFile file(path, setupdata::kMaxFileBytes);
    const std::optional<std::string> bytes = file.ReadAll();
    if (!bytes || bytes->size() < 2) return;
    const std::string_view view = *bytes;
    if (view.starts_with("\xFF\xFE") || view.starts_with("\xFE\xFF")) return;
    std::size_t even_zeros = 0, odd_zeros = 0;
    for (std::size_t i = 0; i < view.size(); ++i) {
      if (view[i] != '\0') continue;
      ++(i % 2 == 0 ? even_zeros : odd_zeros);
    }
    const std::size_t units = view.size() / 2;
    if (units == 0 || (even_zeros + odd_zeros) * 4 < units) return;
    const bool little = odd_zeros >= even_zeros;
    // Characters beyond ASCII: a code unit whose other byte is not zero, or
    // whose byte is 0x80 or above.
    bool beyond_ascii = false;
    for (std::size_t u = 0; u + 1 < view.size(); u += 2) {
      const auto low = static_cast<unsigned char>(view[little ? u : u + 1]);
      const auto high = static_cast<unsigned char>(view[little ? u + 1 : u]);
      if (high != 0 || low >= 0x80) beyond_ascii = true;
    }
    const std::string looks = little ? "UTF-16LE (a zero byte after each ASCII character)"
                                     : "UTF-16BE (a zero byte before each ASCII character)";
    if (beyond_ascii) {
      Add("utf16-without-bom", name, "", "", 0,
          "looks like " + looks +
              " without a byte-order mark: it is read as 8-bit text with the zero "
              "bytes dropped, and every character beyond ASCII is garbled; save it with a byte-order mark");
    } else {
      Add("utf16-without-bom-ascii", name, "", "", 0,
          "looks like " + looks +
              " without a byte-order mark: it is read as 8-bit text with the zero "
              "bytes dropped, which works only while it holds ASCII alone; save it with a byte-order mark");
    }
  }

  // Values as written: invalid UTF-8 and values the launcher cuts.
  void CheckRawText(const std::string& name, const std::optional<setupdata::IniFile>& ini) {
    if (!ini) return;
    std::vector<std::string> sections = ini->SectionNames();
    std::sort(sections.begin(), sections.end());
    for (const std::string& section : sections) {
      std::vector<std::string> keys = ini->KeysIn(section);
      std::sort(keys.begin(), keys.end());
      const std::set<std::uint16_t> codepages = CodepagesOf(section);
      std::vector<NotUtf8> not_utf8;
      for (const std::string& key : keys) {
        const std::string* value = ini->Find(section, key);
        if (value == nullptr) {
          AddIni("line-without-value", name, section, key, "a line without \"=\": it holds no value");
          continue;
        }
        const std::string text =
            ReadAsText(ini->LineOf(section, key), key, *value, codepages,
                       setupdata::SectionCodepage(section, setupdata::kFallbackLangId), not_utf8);
        if (text.size() > setupdata::kMaxValueBytes) {
          AddIni("value-too-long", name, section, key,
                 "the value has " + std::to_string(text.size()) + " bytes; only the first " +
                     std::to_string(setupdata::kMaxValueBytes) + " are read");
        }
      }
      if (!not_utf8.empty()) AddNotUtf8(name, section, codepages, not_utf8);
    }
  }

  // The codepages a value of `section` that is not UTF-8 is read in: its
  // language's, or outside a language section that of each section the
  // launcher may run in.
  std::set<std::uint16_t> CodepagesOf(const std::string& section) const {
    std::set<std::uint16_t> codepages;
    if (setupdata::SectionLangId(section)) {
      codepages.insert(setupdata::SectionCodepage(section, {}));
    } else {
      for (const std::string& id : medium_.LanguageSections())
        codepages.insert(setupdata::SectionCodepage(section, id));
      codepages.insert(setupdata::SectionCodepage(section, setupdata::kFallbackLangId));
    }
    return codepages;
  }

  // A value that is not UTF-8, as check tells of it.
  struct NotUtf8 {
    std::uint32_t line;
    std::string key;
    std::size_t at;      // the first byte that is not UTF-8
    unsigned char byte;  // its value
    bool unmapped;       // bytes that one of the codepages does not map
  };

  // Gives the text as the launcher reads it (outside a language section, in
  // 1033); a value that is not UTF-8 is added to `not_utf8`.
  static std::string ReadAsText(std::uint32_t line, const std::string& key, const std::string& value,
                                const std::set<std::uint16_t>& codepages, std::uint16_t read_in,
                                std::vector<NotUtf8>& not_utf8) {
    const char* end = nullptr;
    if (g_utf8_validate(value.data(), static_cast<gssize>(value.size()), &end)) return value;
    bool unmapped = false;
    for (const std::uint16_t codepage : codepages) {
      unmapped =
          unmapped || setupdata::DecodeCodepage(value, codepage).find("\xEF\xBF\xBD") != std::string::npos;
    }
    not_utf8.push_back(NotUtf8{line, key, static_cast<std::size_t>(end - value.data()),
                               static_cast<unsigned char>(*end), unmapped});
    return setupdata::DecodeCodepage(value, read_in);
  }

  // One finding for the values of a section that are not UTF-8, at the
  // first of them: a file saved in a Windows codepage has them all, and the
  // author saves it once as UTF-8.
  void AddNotUtf8(const std::string& file, const std::string& section,
                  const std::set<std::uint16_t>& codepages, std::vector<NotUtf8>& values) {
    std::sort(values.begin(), values.end(), [](const NotUtf8& a, const NotUtf8& b) {
      return std::tie(a.line, a.key) < std::tie(b.line, b.key);
    });
    const NotUtf8& first = values.front();
    const auto named = [](std::uint16_t codepage) {
      return setupdata::CodepageName(codepage) + " (codepage " + std::to_string(codepage) + ")";
    };
    std::string names;
    for (const std::uint16_t codepage : codepages) names += (names.empty() ? "" : ", ") + named(codepage);
    // What the section's texts that are not UTF-8 look like, all of them
    // together: one value alone is too short a sample to tell.
    std::string sample;
    bool unmapped = false;
    for (const NotUtf8& value : values) {
      sample += *(file == setupdata::kSetupInfName ? inf_ : res_)->Find(section, value.key) + "\n";
      unmapped = unmapped || value.unmapped;
    }
    const std::optional<std::uint16_t> looks = setupdata::LikelyCodepage(sample);
    char byte[8];
    g_snprintf(byte, sizeof byte, "0x%02X", first.byte);
    std::string where = "not UTF-8 (byte " + std::to_string(first.at) + " of the value is " + byte + ")";
    const bool one = values.size() == 1;
    if (!one) {
      constexpr std::size_t kNamed = 5;
      std::string others;
      for (std::size_t i = 1; i < values.size() && i <= kNamed; ++i)
        others += (i == 1 ? "" : ", ") + values[i].key;
      if (values.size() > kNamed + 1)
        others += " and " + std::to_string(values.size() - kNamed - 1) + " more";
      where +=
          ", nor are " + std::to_string(values.size() - 1) + " more values of this section (" + others + ")";
    }
    std::string likeness;
    if (looks && codepages.size() == 1 && *codepages.begin() == *looks) {
      likeness = one ? ", which it looks like" : ", which they look like";
    } else if (looks) {
      likeness =
          (one ? "; it looks like " : "; they look like ") + named(*looks) + ": save the file as UTF-8";
    }
    AddIni("not-utf8", file, section, first.key,
           (codepages.size() == 1 ? where + ": read as " + names
                                  : where + ": read in the codepage of the language in use: " + names) +
               likeness + (unmapped ? "; bytes the codepage does not map show as \xEF\xBF\xBD" : ""));
  }

  // The section the launcher reads on a system of the language `section`
  // names, when that section lacks its marker.
  std::string ReadInstead(const std::string& section) const {
    const std::optional<std::uint16_t> id = setupdata::SectionLangId(section);
    return id ? setupdata::ResolveLanguage(*id, medium_.files().res_ini_path) : setupdata::kFallbackLangId;
  }

  // A sealed medium: every listed file as it was sealed, every file
  // listed, every line of the list one sha256sum reads. A medium without
  // SHA256SUMS is not sealed, and nothing is said.
  void CheckSeal() {
    const std::string& root = medium_.files().module_dir;
    const std::string name = medium::kChecksumsName;
    setupdata::BoundedFile file(root + name, medium::kMaxChecksumsBytes);
    if (file.missing()) return;
    std::optional<std::string> text = file.ok() ? file.ReadAll() : std::nullopt;
    if (!text) {
      Add("checksums-unreadable", name, "", "", 0,
          "cannot be read (" + file.problem() + "): the launcher takes the medium for damaged");
      return;
    }
    const medium::ChecksumList list = medium::ParseChecksums(*text);
    for (const medium::MalformedLine& line : list.malformed)
      Add("checksum-line-malformed", name, "", "", line.line,
          line.why + ": the launcher takes the medium for damaged");
    std::vector<medium::FileToCheck> files;
    std::set<std::string> listed;
    for (const medium::ChecksumEntry& entry : list.entries) {
      files.push_back({entry.path, entry.digest});
      listed.insert(entry.path);
    }
    static const std::map<medium::FileFault, const char*> kCodes{
        {medium::FileFault::kMismatch, "checksum-mismatch"},
        {medium::FileFault::kMissing, "checksum-file-missing"},
        {medium::FileFault::kUnreadable, "checksum-file-unreadable"}};
    for (const medium::Fault& fault : CheckFiles(root, std::move(files)).faults)
      Add(kCodes.at(fault.kind), fault.path, "", "", 0,
          medium::FaultInWords(fault) + " (" + name + "): the medium is damaged");
    const medium::MediumFiles found = medium::FilesToSeal(root);
    for (const std::string& path : found.files) {
      if (listed.count(path) == 0)
        Add("checksum-file-unlisted", path, "", "", 0, "not in " + name + ": never checked");
    }
    for (const medium::MediumFiles::Refused& refused : found.refused) {
      if (listed.count(refused.path) == 0)
        Add("checksum-file-unlisted", refused.path, "", "", 0, refused.why + ": never checked");
    }
  }

  void CheckSetupInf() {
    const char* const file = setupdata::kSetupInfName;
    const std::string product = inf_->GetString(setupdata::kSetupSection, setupdata::kProductNameKey, "");
    product_key_ = medium_.files().ProductNameKey();
    sap_mode_ = medium_.HasDatabaseChoice();
    if (product.empty()) {
      AddIni("no-product", file, setupdata::kSetupSection, setupdata::kProductNameKey,
             "no product name: the launcher has no parent lock to find and ends at once");
    } else if (product_key_.empty()) {
      AddIni("product-not-reference", file, setupdata::kSetupSection, setupdata::kProductNameKey,
             "not a reference (two characters or fewer): the value itself is the product name");
      CheckProductText(file, setupdata::kSetupSection, setupdata::kProductNameKey, product);
    }
    const bool sql = !medium_.DatabaseOption(pages::kSqlDatabase).empty();
    const bool oracle = !medium_.DatabaseOption(pages::kOracleDatabase).empty();
    if (sql != oracle) {
      AddIni("half-database-choice", file, setupdata::kDatabaseSection,
             sql ? pages::kOracleDatabase : pages::kSqlDatabase,
             "only one database option is given: the database page is never shown");
    }
  }

  // The product name as the home page shows it: with the database in
  // place of its "%s" on a medium with a database choice.
  void CheckProductText(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    if (sap_mode_ && value.find("%s") == std::string::npos) {
      AddIni("product-without-database", file, section, key,
             "no %s: the home page's product name does not show the database chosen");
    }
    CheckPageText(file, section, key, value);
  }

  // The product name as a language section reads it: still the one init
  // wrote, or cut in the window title by its "%s" where the title does not
  // read as one. A name written in setup.inf itself is told of there (the
  // title once for each section, whose captions differ).
  void CheckProductName(const medium::Medium& language, const std::string& section) {
    const std::string product = language.ProductName();
    const bool own = !product_key_.empty();
    const std::string file = own ? setupdata::kSetupResName : setupdata::kSetupInfName;
    const std::string in = own ? section : setupdata::kSetupSection;
    const std::string key = own ? product_key_ : setupdata::kProductNameKey;
    if (own && res_->Find(section, product_key_) == nullptr) return;  // told as product-unresolved
    const std::string_view init_name = kInitProductName;
    if (own && product.starts_with(init_name) &&
        (product.size() == init_name.size() || product[init_name.size()] == ' ' ||
         product[init_name.size()] == '(')) {
      AddIni("product-not-named", file, in, key,
             "the product is still called \"" + product +
                 "\", as setup-medium init wrote it: write your product's name");
    }
    const std::string caption = language.GetResString(medium::kCaptionTextId);
    // A caption without "%s" has no title at all: caption-without-product.
    if (product.find("%s") == std::string::npos || caption.find("%s") == std::string::npos) return;
    const std::string title = medium::WindowCaption(caption, product);
    if (CutReadsWell(title)) return;
    std::string message = "the product name's %s cuts the window title there, and it reads \"" + title + "\"";
    if (!own) message += " in section " + section;
    message += ": write the %s last, right after the name's own words";
    const std::string better = CutWellName(product);
    if (!better.empty())
      message += " (\"" + better + "\" gives \"" + medium::WindowCaption(caption, better) + "\")";
    AddIni("cut-title", file, in, key, message);
  }

  // A text a page takes in: HTML inside it is inserted as markup.
  void CheckPageText(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) {
    const std::string markup = MarkupIn(value);
    if (!markup.empty()) {
      AddIni("markup-in-text", file, section, key,
             "holds HTML markup (\"" + markup + "\"): the page inserts it as markup, not as text");
    }
  }

  void CheckSetupRes() {
    const char* const file = setupdata::kSetupResName;
    if (res_->Find(setupdata::kLanguageSection, setupdata::kLanguageNumberKey) == nullptr) {
      AddIni("language-number-missing", file, setupdata::kLanguageSection, setupdata::kLanguageNumberKey,
             "missing: one language entry is read");
    } else if (medium_.LanguageCount() == 0) {
      AddIni("no-language", file, setupdata::kLanguageSection, setupdata::kLanguageNumberKey,
             "reads as 0 (the count keeps 16 bits): no language can be chosen");
    }
    std::vector<std::string> sections = res_->SectionNames();
    std::sort(sections.begin(), sections.end());
    // 1033 first: an entry every section lists is told of there.
    const bool has_1033 =
        std::find(sections.begin(), sections.end(), setupdata::kFallbackLangId) != sections.end();
    if (has_1033) CheckLanguageSection(setupdata::kFallbackLangId);
    for (const std::string& section : sections) {
      if (setupdata::SectionLangId(section) && section != setupdata::kFallbackLangId)
        CheckLanguageSection(section);
    }
    if (!has_1033) {
      Add("no-1033-section", file, setupdata::kFallbackLangId, "", 0,
          "no section 1033: systems of other languages read no texts at all");
    }
    CheckSystemLanguage();
    CheckTranslateMarkers();
    if (inf_) CheckReleaseNotes();
  }

  // English texts init wrote for a language the demo has no words of,
  // still under its marker: a whole section's right after the section's
  // header, a language's name on the line above its entry. Once for each
  // marker left; whatever follows a marker is left to the author.
  void CheckTranslateMarkers() {
    setupdata::BoundedFile source(medium_.files().res_ini_path, setupdata::kMaxFileBytes);
    const std::optional<std::string> bytes = source.ReadAll();
    if (!bytes) return;
    std::string_view text = *bytes;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    const auto trimmed = [](std::string_view line) {
      const std::size_t first = line.find_first_not_of(" \t\r");
      if (first == std::string_view::npos) return std::string_view();
      return line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
    };
    std::string section;
    bool section_start = false;
    std::uint32_t marker_line = 0;
    bool whole_section = false;
    std::uint32_t number = 0;
    for (std::size_t at = 0; at <= text.size();) {
      const std::size_t end = std::min(text.find('\n', at), text.size());
      const std::string_view line = trimmed(text.substr(at, end - at));
      at = end + 1;
      ++number;
      if (line.empty()) continue;
      if (line.front() == '[') {
        section = std::string(trimmed(line.substr(1, line.find(']') - 1)));
        section_start = true;
        marker_line = 0;
        continue;
      }
      if (line.starts_with(kTranslateMarker)) {
        marker_line = number;
        whole_section = section_start;
        continue;
      }
      if (line.front() == ';') continue;
      section_start = false;
      if (marker_line == 0) continue;
      const std::string key(trimmed(line.substr(0, line.find('='))));
      if (whole_section) {
        Add("untranslated-text", setupdata::kSetupResName, section, "", static_cast<int>(marker_line),
            "the section's texts are still the English ones setup-medium init wrote under \"" +
                std::string(kTranslateMarker) + "\": write them in this language, then remove the comment");
      } else {
        AddIni("untranslated-text", setupdata::kSetupResName, section, key,
               "the language's name as setup-medium init wrote it, in English, under \"" +
                   std::string(kTranslateMarker) + "\": write it in its own words, then remove the comment");
      }
      marker_line = 0;
    }
  }

  // The author's own system stands for the users': a language without a
  // section of its own (Austrian German, with German there) reads 1033, and
  // only a section of its own id would serve it. A section of its own that
  // lacks its marker has a finding of its own (no-presence-marker).
  void CheckSystemLanguage() {
    const std::uint16_t system = setupdata::SystemDefaultLangId();
    const std::string own = std::to_string(setupdata::OwnSectionId(system));
    const std::string read = setupdata::ResolveLanguage(system, medium_.files().res_ini_path);
    if (read == own || res_->LineOf(own) != 0) return;
    Add("regional-section", setupdata::kSetupResName, own, "", 0,
        "no section for this system's language " + std::to_string(system) + ": the launcher reads " + read +
            "; a section " + own + " would serve it");
  }

  void CheckLanguageSection(const std::string& section) {
    const char* const file = setupdata::kSetupResName;
    const medium::Medium language = In(section);
    if (!medium_.files().HasLanguageSection(section)) {
      AddIni("no-presence-marker", file, section, std::to_string(setupdata::kLanguagePresentKey),
             "no presence marker: this section is never used, " + ReadInstead(section) + " is read instead");
    }
    std::set<std::string> needed = page_keys_;
    for (const int id : medium::kDialogTextIds) needed.insert(std::to_string(id));
    if (!product_key_.empty()) needed.insert(product_key_);
    for (const std::string& key : needed) {
      const std::string* value = res_->Find(section, key);
      if (value == nullptr) {
        if (key == product_key_) {
          AddIni("product-unresolved", file, section, key,
                 "the product name reference of setup.inf does not resolve: shows NULL");
        } else {
          AddIni("missing-text", file, section, key, "missing: shows NULL");
        }
        continue;
      }
      const std::string text = res_->GetString(section, key, "");
      // The page's texts and the product name are read up to the first comma.
      if (page_keys_.contains(key) || key == product_key_) {
        const std::string_view shown = setupdata::TextBeforeComma(text);
        if (shown.size() < text.size()) {
          AddIni("comma-cut", file, section, key,
                 "holds a comma: the page shows only \"" + std::string(shown) + "\"");
        }
        if (key == product_key_) {
          CheckProductText(file, section, key, text);
        } else {
          CheckPageText(file, section, key, text);
        }
      }
      if (key == std::to_string(medium::kCaptionTextId) && medium::WindowCaption(text, "-").empty()) {
        AddIni("caption-without-product", file, section, key,
               "no %s for the product name: the window title is empty");
      }
    }
    CheckProductName(language, section);
    // Language entries.
    const std::uint16_t count = medium_.LanguageCount();
    for (std::uint32_t n = 0; n < count; ++n) {
      const std::string key = setupdata::LanguageKey(n);
      if (res_->Find(section, key) == nullptr) {
        AddIni("language-entry-missing", file, section, key,
               "declared by LANGUAGENUMBER but missing: the language is not offered");
        continue;
      }
      const setupdata::LanguageEntry entry = language.LanguageEntry(n);
      if (!entry.dir) {
        AddIni("language-entry-no-folder", file, section, key,
               "no comma between display text and folder: the language is not offered");
        continue;
      }
      CheckPageText(file, section, key, entry.name);
      CheckLanguageName(section, key, entry.name);
      CheckLanguageFolder(language, section, key, *entry.dir);
    }
    const std::string prefix = setupdata::kLanguageKeyPrefix;
    for (const std::string& key : res_->KeysIn(section)) {
      const std::string upper = setupdata::AsciiUpper(key);
      if (!upper.starts_with(prefix) || upper.size() == prefix.size()) continue;
      const std::string digits = upper.substr(prefix.size());
      if (!std::all_of(digits.begin(), digits.end(), [](char c) { return g_ascii_isdigit(c); })) continue;
      if (setupdata::ParseLeadingInt(digits) >= count) {
        AddIni("language-entry-unused", file, section, key,
               "beyond LANGUAGENUMBER (" + std::to_string(count) + "): never read");
      }
    }
  }

  // A language listed under its English name ("German" for Deutsch), where
  // its speakers look for their own; once for each entry and name, in
  // whichever sections list it.
  void CheckLanguageName(const std::string& section, const std::string& key, const std::string& name) {
    if (!names_seen_.insert({key, name}).second) return;
    const std::optional<std::uint16_t> id = setupdata::LanguageOfEnglishName(name);
    if (!id) return;
    const std::optional<std::string> own = setupdata::OwnLanguageName(*id, (*id >> 10) != 1);
    AddIni("english-language-name", setupdata::kSetupResName, section, key,
           "\"" + name + "\" is the language's English name: its speakers look for their own" +
               (own ? " (\"" + *own + "\")" : std::string()));
  }

  // The folder of a language entry, as the launcher finds it. A folder
  // name that cannot serve is told of in every entry that writes it; what
  // the medium holds under a name that can, once for each entry and folder,
  // whichever sections list it: one change on the medium mends them all.
  void CheckLanguageFolder(const medium::Medium& language, const std::string& section, const std::string& key,
                           const std::string& folder) {
    const char* const file = setupdata::kSetupResName;
    const std::string quoted = "the folder \"" + folder + "\" ";
    const std::string left_out = ": the language is not offered";
    if (setupdata::LeavesTheMedium(folder)) {
      AddIni("language-folder-outside", file, section, key,
             quoted + "leads out of the medium (\"..\" or an absolute path)" + left_out);
      return;
    }
    if (folder.empty()) {
      AddIni("language-folder-not-folder", file, section, key, quoted + "is empty" + left_out);
      return;
    }
    if (!folders_seen_.insert({key, folder}).second) return;
    const setupdata::FoundPath found = setupdata::FindOnMedium(language.ModuleDir(), folder);
    if (language.IsSetupSubdir(folder)) {
      if (found.match == setupdata::NameMatch::kFolded)
        AddIni("name-case", file, section, key, "folder " + FoundByCase(folder, found));
    } else if (found.match == setupdata::NameMatch::kAmbiguous) {
      AddIni("language-folder-missing", file, section, key,
             quoted + "is missing; " + NoneOfTheCases(found) + left_out);
    } else if (found.found()) {
      AddIni("language-folder-not-folder", file, section, key, quoted + "is a file, not a folder" + left_out);
    } else {
      AddIni("language-folder-missing", file, section, key, quoted + "is missing" + left_out);
    }
  }

  // Whether the launcher finds the notes at `place`; a name found only by
  // its case-folded name is warned of, and `why_not` tells of names in
  // another case that keep it from finding any.
  bool FindNotes(const std::string& place, std::string& why_not) {
    const setupdata::FoundPath found = setupdata::FindOnMedium(medium_.ModuleDir(), place);
    if (found.match == setupdata::NameMatch::kFolded && notes_seen_.insert(place).second)
      Add("name-case", place, "", "", 0, FoundByCase(place, found));
    why_not = found.match == setupdata::NameMatch::kAmbiguous ? " (" + NoneOfTheCases(found) + ")" : "";
    return found.found();
  }

  // The notes the release-notes link opens, in every language the launcher
  // can run in and, with a database choice, for either database.
  void CheckReleaseNotes() {
    if (medium_.ReleaseNotesName().empty()) {
      AddIni("release-notes-unnamed", setupdata::kSetupInfName, setupdata::kSetupSection,
             setupdata::kReleaseNotesKey,
             "no release notes named: the link opens the language folder itself");
      return;
    }
    std::vector<std::string> databases = {""};
    if (sap_mode_) databases.assign(std::begin(medium::kDatabases), std::end(medium::kDatabases));
    for (const std::string& database : databases) {
      const std::string fallback = medium_.ReleaseNotesOf(setupdata::kFallbackLangId, database).fallback;
      std::string why_not;
      const bool has_fallback = FindNotes(fallback, why_not);
      if (!has_fallback) {
        Add("release-notes-missing", fallback, "", "", 0,
            "missing" + why_not + ": languages without notes of their own show message " +
                std::to_string(medium::kNoReleaseNotesId));
      }
      for (const std::string& section : medium_.LanguageSections()) {
        const medium::ReleaseNotesPlaces places = medium_.ReleaseNotesOf(section, database);
        if (places.own == places.fallback || FindNotes(places.own, why_not)) continue;
        Add("release-notes-language-missing", places.own, "", "", 0,
            "missing" + why_not +
                (has_fallback ? ": the " + std::string(setupdata::kFallbackLangId) + " notes are shown"
                              : ""));
      }
    }
  }

  // The launcher and its window beside the files, loaded by their exact
  // names. A medium still being written has neither yet; a launcher
  // without its window shows its dialog on a terminal only. The programs
  // started from the medium must be executable.
  void CheckLauncherFiles() {
    for (const char* name : {setupdata::kLauncherName, setupdata::kWindowModuleName}) {
      const std::string path = medium_.ModuleDir() + name;
      struct stat st {};
      if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && stat(path.c_str(), &st) != 0) {
        g_autofree gchar* target = g_file_read_link(path.c_str(), nullptr);
        Add("dangling-link", name, "", "", 0,
            std::string("a symbolic link to \"") + (target ? target : "?") +
                "\", which does not exist: copy the file itself onto the medium");
        if (name == std::string_view(setupdata::kLauncherName)) launcher_there_ = true;  // told of already
        continue;
      }
      const bool found = stat(path.c_str(), &st) == 0;
      const bool there = found && S_ISREG(st.st_mode);
      // The window module is loaded, not started: a module without its
      // execute permission loads all the same.
      if (there && name == std::string_view(setupdata::kLauncherName)) CheckRunnable(name, st);
      // Something else of that name (a FIFO, a folder) is said as what it is.
      const std::string missing =
          found ? std::string(setupdata::FileKind(st.st_mode)) + ", not a file" : "missing";
      if (name == std::string_view(setupdata::kLauncherName)) {
        launcher_there_ = there;
        if (!there) {
          Add("launcher-missing", name, "", "", 0,
              missing + ": copy the launcher, its window module and the page library beside the files");
        }
      } else if (!there && launcher_there_) {
        Add("window-module-missing", name, "", "", 0,
            missing + ": the window cannot show, only the text front end runs");
      }
    }
    // The entry point and the parent it runs, where the medium has them (a
    // medium whose own setup program starts the launcher needs neither).
    for (const char* name : {medium::kEntryPointName, medium::kParentName}) {
      struct stat st {};
      if (stat((medium_.ModuleDir() + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
        CheckRunnable(name, st);
    }
  }

  // A program that is started from the medium must be executable: a medium
  // written without Rock Ridge, or a copy that dropped the modes, has it
  // without, and starting it fails with "Permission denied".
  void CheckRunnable(const std::string& name, const struct stat& st) {
    if (access((medium_.ModuleDir() + name).c_str(), X_OK) == 0) return;
    char mode[8];
    g_snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    const std::string why = (st.st_mode & 0111) == 0
                                ? std::string("no execute permission (mode ") + mode + ")"
                                : std::string("not executable for this user (mode ") + mode +
                                      "), or its file system is mounted noexec";
    Add("not-executable", name, "", "", 0,
        why +
            ": starting it fails with \"Permission denied\"; write the image with Rock Ridge (setup-medium "
            "image does), copy the medium keeping the modes (cp -p), or chmod +x it");
  }

  // What a library holds, for an author looking for a page under another
  // name; a long list is cut.
  static std::string Holdings(const pages::PageLibrary& library) {
    constexpr std::size_t kListed = 12;
    const std::vector<std::string> names = library.Names();
    if (names.empty()) return "the library holds nothing";
    std::string list = "the library holds ";
    for (std::size_t i = 0; i < names.size() && i < kListed; ++i) list += (i == 0 ? "" : ", ") + names[i];
    if (names.size() > kListed) list += " and " + std::to_string(names.size() - kListed) + " more";
    return list;
  }

  void CheckLibrary() {
    const std::string file = pages::kPageLibraryName;
    const std::string path = pages::FindFileNoCase(medium_.ModuleDir(), file);
    std::string error;
    std::unique_ptr<pages::PageLibrary> library =
        path.empty() ? nullptr : pages::PageLibrary::Open(path, &error);
    const setupdata::FoundPath found = setupdata::FindOnMedium(medium_.ModuleDir(), file);
    if (!path.empty() && found.match == setupdata::NameMatch::kFolded)
      Add("name-case", file, "", "", 0, FoundByCase(file, found));
    if (!library) {
      const std::string why_not = NoneOfTheCases(found);
      if (path.empty() && !launcher_there_) return;  // told with the launcher
      if (path.empty()) {
        Add("library-missing", file, "", "", 0,
            "missing" + (why_not.empty() ? "" : " (" + why_not + ")") + ": the view shows an error page");
      } else {
        Add("library-unreadable", file, "", "", 0, "not a page library: " + error);
      }
      return;
    }
    // Without a database choice the database page is never shown.
    const std::optional<pages::PageResource> home = library->Lookup(pages::kHomePageName);
    const std::optional<pages::PageResource> database =
        sap_mode_ ? library->Lookup(pages::kDatabasePageName) : std::nullopt;
    const std::string holds = home && (database || !sap_mode_) ? "" : " (" + Holdings(*library) + ")";
    if (!home) Add("page-missing", file, pages::kHomePageName, "", 0, "the home page is missing" + holds);
    if (sap_mode_ && !database) {
      Add("page-missing", file, pages::kDatabasePageName, "", 0, "the database page is missing" + holds);
    }
    if (home) {
      ReadPage(home->bytes);
      CheckHomePage(BodyOf(home->bytes));
      CheckReferences(pages::kHomePageName, pages::kHomePageAddress, *library);
    }
    if (database) {
      ReadPage(database->bytes);
      CheckDatabasePage(BodyOf(database->bytes), *library);
      CheckReferences(pages::kDatabasePageName, pages::kDatabasePageAddress, *library);
    }
  }

  // The page to check next, whole; its body begins at body_at_.
  void ReadPage(const std::string& bytes) {
    page_ = bytes;
    body_at_ = page_.find("<body");
    if (body_at_ == std::string::npos) body_at_ = 0;
  }

  // A finding on the page being checked, at the line of `word` in it.
  void AddPage(const char* code, const std::string& page, const std::string& word, std::string message) {
    Add(code, pages::kPageLibraryName, page, word, LineIn(page_, word), std::move(message));
  }
  // A finding on the page being checked, at the line of the byte `at` of it.
  void AddPageAt(const char* code, const std::string& page, const std::string& word, std::size_t at,
                 std::string message) {
    Add(code, pages::kPageLibraryName, page, word, LineAt(page_, at), std::move(message));
  }

  void Require(const char* code, const std::string& page, const std::string& body, const std::string& word,
               const std::string& message) {
    if (body.find(word) == std::string::npos) AddPage(code, page, word, message);
  }

  // What the page at `address` refers to that the view cannot load, each
  // place it stands: res: addresses wherever they are written, and
  // relative ones in its markup and styles (an image, a style sheet, a
  // script, a link), which the view takes from the page's own library.
  // Other schemes (https:, data:, javascript:) and fragments are not the
  // launcher's; links to its commands name no resource.
  void CheckReferences(const std::string& page, const std::string& address,
                       const pages::PageLibrary& library) {
    std::string base;
    std::map<std::size_t, Reference> references;
    for (Reference& reference : MarkupReferencesIn(page_, &base)) {
      const std::string_view written = reference.written;
      if (written.find_first_not_of(" \t\r\n") == std::string_view::npos || written.starts_with('#'))
        continue;
      if (HasScheme(written) &&
          !setupdata::EqualsNoCase(written.substr(0, written.find(':')), pages::kResScheme))
        continue;
      references.emplace(reference.at, std::move(reference));
    }
    ResAddressesIn(page_, references);
    g_autofree gchar* resolved_base =
        base.empty() ? nullptr
                     : g_uri_resolve_relative(address.c_str(), base.c_str(), G_URI_FLAGS_ENCODED, nullptr);
    const std::string against = resolved_base != nullptr ? resolved_base : address;
    for (const auto& [at, reference] : references) {
      g_autofree gchar* resolved =
          g_uri_resolve_relative(against.c_str(), reference.written.c_str(), G_URI_FLAGS_ENCODED, nullptr);
      const std::string full = resolved != nullptr ? resolved : reference.written;
      if (HasScheme(full) && !setupdata::EqualsNoCase(full.substr(0, full.find(':')), pages::kResScheme))
        continue;  // a <base> of another scheme
      const pages::LinkCommand command = pages::ParseLinkAddress(full);
      if (command.language || command.release_notes || command.exit) continue;
      const std::optional<pages::ResAddress> parsed = pages::ParseResAddress(full);
      // The way back to the database page shows only where there is one.
      if (parsed && !sap_mode_ && setupdata::EqualsNoCase(parsed->resource, pages::kDatabasePageName))
        continue;
      const std::string shown = full == reference.written ? std::string() : " (" + full + ")";
      const std::string outcome = reference.use == Reference::kFollowed ? ": following it shows an error page"
                                  : reference.use == Reference::kLoaded ? ": the page shows without it"
                                                                        : ": the view shows an error";
      if (!parsed) {
        AddPageAt("res-reference-missing", page, reference.written, at,
                  "not an address the view can load" + shown);
      } else if (!setupdata::EqualsNoCase(parsed->library, pages::kPageLibraryName)) {
        if (pages::FindFileNoCase(medium_.ModuleDir(), parsed->library).empty()) {
          AddPageAt("res-reference-missing", page, reference.written, at,
                    "the library \"" + parsed->library + "\" is not on the medium" + shown + outcome);
        }
      } else if (!library.Lookup(parsed->resource)) {
        AddPageAt("res-reference-missing", page, reference.written, at,
                  "the library has no resource \"" + parsed->resource + "\"" + shown + " (" +
                      Holdings(library) + ")" + outcome);
      }
    }
  }

  // The most languages the home page is to show: of the language sections
  // the launcher can run in, the most installable languages one of them
  // lists, counted by the launcher's own table.
  std::size_t InstallableLanguages() const {
    std::vector<std::string> sections = medium_.LanguageSections();
    if (sections.empty()) sections.emplace_back(setupdata::kFallbackLangId);
    std::size_t most = 0;
    for (const std::string& section : sections) {
      setupdata::LanguageTable table;
      table.Build(setupdata::LanguageSource{medium_.ModuleDir(), medium_.files().res_ini_path, section,
                                            medium_.LanguageCount()});
      most = std::max(most, table.size());
    }
    return most;
  }

  void CheckHomePage(const std::string& body) {
    const std::string page = pages::kHomePageName;
    // A page that names its languages itself has no slots at all: its
    // links mean the entries their numbers name.
    const bool names_its_languages =
        !pages::CarriesLanguageSlots(body) && body.find(pages::kLanguageCommand) != std::string::npos;
    // A slot beyond the installable languages stays empty anyway.
    const std::size_t installable = InstallableLanguages();
    for (int slot = 0; slot < pages::kLanguageSlots && !names_its_languages; ++slot) {
      if (slot == 0) {
        Require("first-language-slot-missing", page, body, pages::LanguageSlotPlaceholder(slot),
                "language slot missing: no language shows");
      } else if (static_cast<std::size_t>(slot) < installable) {
        Require("language-slot-missing", page, body, pages::LanguageSlotPlaceholder(slot),
                "language slot missing: the medium has " + std::to_string(installable) +
                    " installable languages, and language " + std::to_string(slot + 1) + " does not show");
      }
    }
    Require("no-language-link", page, body, pages::kLanguageCommand,
            "no language link: no language can be chosen");
    Require("no-release-notes-link", page, body, pages::kReleaseNotesCommand, "no release-notes link");
    Require("no-exit-link", page, body, pages::kExitCommand, "no exit link");
    // The back element matters only where there is a database page to go back to.
    if (sap_mode_ && !pages::HasVisibilityMarker(body)) {
      AddPage("no-visibility-marker", page, pages::kVisibilityMarker,
              "no visibility marker: the back element always shows");
    }
    CheckQuotedMarkers(page, body);
    for (const char* placeholder : {pages::kSelectLangPlaceholder, pages::kProductNamePlaceholder}) {
      Require("placeholder-missing", page, body, placeholder, "placeholder missing");
    }
    for (const char* placeholder : pages::kHomeTextPlaceholders) {
      if (!sap_mode_ && std::string_view(placeholder) == pages::kBackPlaceholder) continue;
      Require("placeholder-missing", page, body, placeholder, "placeholder missing");
    }
    for (std::string& key : pages::TextKeysOn(pages::Page::kHome, body)) page_keys_.insert(std::move(key));
    CheckUnknownWords(page, body);
  }

  void CheckDatabasePage(const std::string& body, const pages::PageLibrary& library) {
    const std::string page = pages::kDatabasePageName;
    for (const char* marker :
         {pages::kSqlMarker, pages::kOracleMarker, pages::kSelectedImage, pages::kNotSelectedImage}) {
      Require("database-marker-missing", page, body, marker,
              "database marker missing: the choice cannot be read");
    }
    Require("no-home-link", page, body, pages::kHomePageAddress, "no link to the home page");
    for (const char* placeholder : pages::kDatabasePlaceholders) {
      Require("placeholder-missing", page, body, placeholder, "placeholder missing");
    }
    for (const char* image : {pages::kSelectedImage, pages::kNotSelectedImage}) {
      if (!library.Lookup(image))
        Add("image-missing", pages::kPageLibraryName, image, "", 0, "image missing");
    }
    for (std::string& key : pages::TextKeysOn(pages::Page::kDatabase, body))
      page_keys_.insert(std::move(key));
    CheckUnknownWords(page, body);
  }

  // The marker written as an attribute with its value in quotes is taken
  // whole: the element gets the visibility style instead of the id. Told
  // where each stands.
  void CheckQuotedMarkers(const std::string& page, const std::string& body) {
    for (const char* marker : pages::kQuotedVisibilityMarkers) {
      for (std::size_t at = body.find(marker); at != std::string::npos; at = body.find(marker, at + 1)) {
        AddPageAt("quoted-visibility-marker", page, marker, body_at_ + at,
                  "the launcher replaces the whole attribute with the visibility style: the element loses "
                  "its id, and selectors or scripts that look for it find nothing");
      }
    }
  }

  // Words that look like placeholders but are none stay on the page as
  // they are written: most likely a misspelling. Told where each stands.
  void CheckUnknownWords(const std::string& page, const std::string& body) {
    for (const auto& [at, found] : PlaceholderLikeWords(body)) {
      if (pages::IsContractWord(found)) continue;
      AddPageAt("unknown-placeholder", page, found, body_at_ + at,
                "not a placeholder the launcher knows: it stays on the page");
    }
  }

  setupdata::LanguageTable languages_;  // the model's; the checks read the entries themselves
  medium::Medium medium_;               // read in section 1033
  std::optional<setupdata::IniFile> inf_;
  std::optional<setupdata::IniFile> res_;
  std::string product_key_;
  bool sap_mode_ = false;
  bool launcher_there_ = false;
  std::set<std::string> page_keys_;
  std::string page_;  // the page being checked, whole
  std::size_t body_at_ = 0;
  // Language folders told of, by entry key and folder: once for each,
  // however many sections list it.
  std::set<std::pair<std::string, std::string>> folders_seen_;
  std::set<std::pair<std::string, std::string>> names_seen_;
  std::set<std::string> notes_seen_;
  CheckResult result_;
};

}  // namespace

bool CheckResult::HasErrors() const {
  return std::any_of(findings.begin(), findings.end(),
                     [](const Finding& f) { return f.severity == Severity::kError; });
}

CheckResult CheckMedium(const std::string& dir) { return Checker(dir).Run(); }

}  // namespace tools
