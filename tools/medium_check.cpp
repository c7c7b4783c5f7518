#include "tools/medium_check.h"

#include <glib.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "medium/medium.h"
#include "pages/page_library.h"
#include "setupdata/codepage.h"
#include "setupdata/ini_file.h"
#include "setupdata/name_on_medium.h"
#include "setupdata/setup_files.h"
#include "setupdata/system_language.h"
#include "setupdata/text.h"

namespace tools {
namespace {

bool IsLanguageSection(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return g_ascii_isdigit(c); });
}

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
std::vector<std::string> PlaceholderLikeWords(std::string_view body) {
  std::vector<std::string> words;
  for (std::size_t at = body.find("ID"); at != std::string_view::npos; at = body.find("ID", at + 1)) {
    if (at > 0 && IsWordChar(body[at - 1])) continue;
    std::size_t end = at + 2;
    if (end >= body.size() || !g_ascii_isupper(body[end])) continue;
    ++end;
    const std::size_t rest = end;
    while (end < body.size() && IsCapitalOrDigit(body[end])) ++end;
    if (end == rest || (end < body.size() && IsWordChar(body[end]))) continue;
    words.emplace_back(body.substr(at, end - at));
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

class Checker {
 public:
  explicit Checker(const std::string& dir)
      : medium_(medium::Medium::InDirectory(dir, setupdata::kFallbackLangId, languages_)) {}

  CheckResult Run() {
    const setupdata::SetupFiles& files = medium_.files();
    struct stat st {};
    if (stat(files.module_dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      result_.readable = false;
      Error(files.module_dir, "", "", "the medium's folder cannot be read");
      return result_;
    }
    inf_ = setupdata::IniFile::Load(files.setup_inf_path);
    res_ = setupdata::IniFile::Load(files.res_ini_path);
    if (!inf_) Error(setupdata::kSetupInfName, "", "", "missing or unreadable: the launcher ends at once");
    if (!res_) Error(setupdata::kSetupResName, "", "", "missing or unreadable: every text reads NULL");
    CheckRawText(setupdata::kSetupInfName, inf_);
    CheckRawText(setupdata::kSetupResName, res_);
    if (inf_) CheckSetupInf();
    CheckLibrary();
    CheckWindowModule();
    if (res_) CheckSetupRes();
    return result_;
  }

 private:
  void Add(Severity severity, std::string file, std::string section, std::string key, std::string message) {
    result_.findings.push_back(
        Finding{severity, std::move(file), std::move(section), std::move(key), std::move(message)});
  }
  void Error(std::string file, std::string section, std::string key, std::string message) {
    Add(Severity::kError, std::move(file), std::move(section), std::move(key), std::move(message));
  }
  void Warning(std::string file, std::string section, std::string key, std::string message) {
    Add(Severity::kWarning, std::move(file), std::move(section), std::move(key), std::move(message));
  }

  // The medium read in the language section `section`.
  medium::Medium In(const std::string& section) {
    return medium::Medium::InDirectory(medium_.ModuleDir(), section, languages_);
  }

  // Values as written: invalid UTF-8 and values the launcher cuts.
  void CheckRawText(const std::string& name, const std::optional<setupdata::IniFile>& ini) {
    if (!ini) return;
    std::vector<std::string> sections = ini->SectionNames();
    std::sort(sections.begin(), sections.end());
    for (const std::string& section : sections) {
      std::vector<std::string> keys = ini->KeysIn(section);
      std::sort(keys.begin(), keys.end());
      for (const std::string& key : keys) {
        const std::string* value = ini->Find(section, key);
        if (value == nullptr) {
          Warning(name, section, key, "a line without \"=\": it holds no value");
          continue;
        }
        const std::string text = ReadAsText(name, section, key, *value);
        if (text.size() > setupdata::kMaxValueBytes) {
          Warning(name, section, key,
                  "the value has " + std::to_string(text.size()) + " bytes; only the first " +
                      std::to_string(setupdata::kMaxValueBytes) + " are read");
        }
      }
    }
  }

  // A value that is not UTF-8 is read in a Windows codepage: its language
  // section's, or outside one that of the section in use. Gives the text as
  // the launcher reads it (outside a language section, in 1033).
  std::string ReadAsText(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& value) {
    if (g_utf8_validate(value.data(), static_cast<gssize>(value.size()), nullptr)) return value;
    const auto named = [](std::uint16_t codepage) {
      return setupdata::CodepageName(codepage) + " (codepage " + std::to_string(codepage) + ")";
    };
    std::set<std::uint16_t> codepages;
    if (setupdata::SectionLangId(section)) {
      codepages.insert(setupdata::SectionCodepage(section, {}));
    } else {
      for (const std::string& id : medium_.LanguageSections())
        codepages.insert(setupdata::SectionCodepage(section, id));
      codepages.insert(setupdata::SectionCodepage(section, setupdata::kFallbackLangId));
    }
    std::string names;
    for (const std::uint16_t codepage : codepages) names += (names.empty() ? "" : ", ") + named(codepage);
    Warning(file, section, key,
            codepages.size() == 1 ? "not UTF-8: read as " + names
                                  : "not UTF-8: read in the codepage of the language in use: " + names);
    return setupdata::DecodeCodepage(value, setupdata::SectionCodepage(section, setupdata::kFallbackLangId));
  }

  // The section the launcher reads on a system of the language `section`
  // names, when that section lacks its marker.
  std::string ReadInstead(const std::string& section) const {
    const std::optional<std::uint16_t> id = setupdata::SectionLangId(section);
    return id ? setupdata::ResolveLanguage(*id, medium_.files().res_ini_path) : setupdata::kFallbackLangId;
  }

  void CheckSetupInf() {
    const char* const file = setupdata::kSetupInfName;
    const bool has_product =
        !inf_->GetString(setupdata::kSetupSection, setupdata::kProductNameKey, "").empty();
    product_key_ = medium_.files().ProductNameKey();
    if (!has_product) {
      Error(file, setupdata::kSetupSection, setupdata::kProductNameKey,
            "no product name: the launcher has no parent lock to find and ends at once");
    } else if (product_key_.empty()) {
      Warning(file, setupdata::kSetupSection, setupdata::kProductNameKey,
              "not a reference (two characters or fewer): the value itself is the product name");
    }
    sap_mode_ = medium_.HasDatabaseChoice();
    const bool sql = !medium_.DatabaseOption(pages::kSqlDatabase).empty();
    const bool oracle = !medium_.DatabaseOption(pages::kOracleDatabase).empty();
    if (sql != oracle) {
      Error(file, setupdata::kDatabaseSection, sql ? pages::kOracleDatabase : pages::kSqlDatabase,
            "only one database option is given: the database page is never shown");
    }
  }

  void CheckSetupRes() {
    const char* const file = setupdata::kSetupResName;
    if (res_->Find(setupdata::kLanguageSection, setupdata::kLanguageNumberKey) == nullptr) {
      Warning(file, setupdata::kLanguageSection, setupdata::kLanguageNumberKey,
              "missing: one language entry is read");
    } else if (medium_.LanguageCount() == 0) {
      Error(file, setupdata::kLanguageSection, setupdata::kLanguageNumberKey,
            "reads as 0 (the count keeps 16 bits): no language can be chosen");
    }
    std::vector<std::string> sections = res_->SectionNames();
    std::sort(sections.begin(), sections.end());
    bool has_1033 = false;
    for (const std::string& section : sections) {
      if (!IsLanguageSection(section)) continue;
      has_1033 = has_1033 || section == setupdata::kFallbackLangId;
      CheckLanguageSection(section);
    }
    if (!has_1033) {
      Error(file, setupdata::kFallbackLangId, "",
            "no section 1033: systems of other languages read no texts at all");
    }
    CheckSystemLanguage();
    if (inf_) CheckReleaseNotes();
  }

  // The author's own system stands for the users': a regional language
  // without a section of its own is served by its language's main section.
  void CheckSystemLanguage() {
    const std::uint16_t system = setupdata::SystemDefaultLangId();
    const std::string own = std::to_string(setupdata::OwnSectionId(system));
    const std::string read = setupdata::ResolveLanguage(system, medium_.files().res_ini_path);
    if (read == own || read != std::to_string(setupdata::MainLanguageOf(system))) return;
    Warning(setupdata::kSetupResName, own, "",
            "no section for this system's language " + own + ": the launcher reads " + read +
                ", its language's main section");
  }

  void CheckLanguageSection(const std::string& section) {
    const char* const file = setupdata::kSetupResName;
    const medium::Medium language = In(section);
    if (!medium_.files().HasLanguageSection(section)) {
      Error(file, section, std::to_string(setupdata::kLanguagePresentKey),
            "no presence marker: this section is never used, " + ReadInstead(section) + " is read instead");
    }
    std::set<std::string> needed = page_keys_;
    for (const int id : medium::kDialogTextIds) needed.insert(std::to_string(id));
    if (!product_key_.empty()) needed.insert(product_key_);
    for (const std::string& key : needed) {
      if (res_->Find(section, key) != nullptr) continue;
      if (key == product_key_) {
        Error(file, section, key, "the product name reference of setup.inf does not resolve: shows NULL");
      } else {
        Error(file, section, key, "missing: shows NULL");
      }
    }
    // Language entries.
    const std::uint16_t count = medium_.LanguageCount();
    for (std::uint32_t n = 0; n < count; ++n) {
      const std::string key = setupdata::LanguageKey(n);
      if (res_->Find(section, key) == nullptr) {
        Error(file, section, key, "declared by LANGUAGENUMBER but missing: the language is not offered");
        continue;
      }
      const setupdata::LanguageEntry entry = language.LanguageEntry(n);
      if (!entry.dir) {
        Error(file, section, key, "no comma between display text and folder: the language is not offered");
        continue;
      }
      CheckLanguageFolder(language, section, key, *entry.dir);
    }
    const std::string prefix = setupdata::kLanguageKeyPrefix;
    for (const std::string& key : res_->KeysIn(section)) {
      const std::string upper = setupdata::AsciiUpper(key);
      if (!upper.starts_with(prefix) || upper.size() == prefix.size()) continue;
      const std::string digits = upper.substr(prefix.size());
      if (!std::all_of(digits.begin(), digits.end(), [](char c) { return g_ascii_isdigit(c); })) continue;
      if (setupdata::ParseLeadingInt(digits) >= count) {
        Warning(file, section, key, "beyond LANGUAGENUMBER (" + std::to_string(count) + "): never read");
      }
    }
  }

  // The folder of a language entry, as the launcher finds it.
  void CheckLanguageFolder(const medium::Medium& language, const std::string& section, const std::string& key,
                           const std::string& folder) {
    const char* const file = setupdata::kSetupResName;
    const setupdata::FoundPath found = setupdata::FindOnMedium(language.ModuleDir(), folder);
    if (language.IsSetupSubdir(folder)) {
      if (found.match == setupdata::NameMatch::kFolded)
        Warning(file, section, key, "folder " + FoundByCase(folder, found));
      return;
    }
    std::string why = "is missing";
    if (folder.empty()) {
      why = "is empty";
    } else if (setupdata::LeavesTheMedium(folder)) {
      why = "leads out of the medium";
    } else if (found.match == setupdata::NameMatch::kAmbiguous) {
      why = "is missing; " + NoneOfTheCases(found);
    } else if (found.found()) {
      why = "is a file, not a folder";
    }
    Error(file, section, key, "the folder \"" + folder + "\" " + why + ": the language is not offered");
  }

  // Whether the launcher finds the notes at `place`; a name found only by
  // its case-folded name is warned of, and `why_not` tells of names in
  // another case that keep it from finding any.
  bool FindNotes(const std::string& place, std::string& why_not) {
    const setupdata::FoundPath found = setupdata::FindOnMedium(medium_.ModuleDir(), place);
    if (found.match == setupdata::NameMatch::kFolded) Warning(place, "", "", FoundByCase(place, found));
    why_not = found.match == setupdata::NameMatch::kAmbiguous ? " (" + NoneOfTheCases(found) + ")" : "";
    return found.found();
  }

  // The notes the release-notes link opens, in every language the launcher
  // can run in and, with a database choice, for either database.
  void CheckReleaseNotes() {
    if (medium_.ReleaseNotesName().empty()) {
      Warning(setupdata::kSetupInfName, setupdata::kSetupSection, setupdata::kReleaseNotesKey,
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
        Error(fallback, "", "",
              "missing" + why_not + ": languages without notes of their own show message " +
                  std::to_string(medium::kNoReleaseNotesId));
      }
      for (const std::string& section : medium_.LanguageSections()) {
        const medium::ReleaseNotesPlaces places = medium_.ReleaseNotesOf(section, database);
        if (places.own == places.fallback || FindNotes(places.own, why_not)) continue;
        Warning(places.own, "", "",
                "missing" + why_not +
                    (has_fallback ? ": the " + std::string(setupdata::kFallbackLangId) + " notes are shown"
                                  : ""));
      }
    }
  }

  // The launcher's window: loaded from beside it, by its exact name.
  void CheckWindowModule() {
    const std::string path = medium_.ModuleDir() + setupdata::kWindowModuleName;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      Error(setupdata::kWindowModuleName, "", "",
            "missing: the window cannot show, only the text front end runs");
    }
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
    if (!library) {
      const std::string why_not = NoneOfTheCases(setupdata::FindOnMedium(medium_.ModuleDir(), file));
      Error(file, "", "",
            path.empty()
                ? "missing" + (why_not.empty() ? "" : " (" + why_not + ")") + ": the view shows an error page"
                : "not a page library: " + error);
      return;
    }
    const std::optional<pages::PageResource> home = library->Lookup(pages::kHomePageName);
    const std::optional<pages::PageResource> database = library->Lookup(pages::kDatabasePageName);
    const std::string holds = home && database ? "" : " (" + Holdings(*library) + ")";
    if (!home) Error(file, pages::kHomePageName, "", "the home page is missing" + holds);
    if (!database) Error(file, pages::kDatabasePageName, "", "the database page is missing" + holds);
    if (home) CheckHomePage(BodyOf(home->bytes));
    if (database) CheckDatabasePage(BodyOf(database->bytes), *library);
  }

  void Require(const std::string& page, const std::string& body, const std::string& word,
               const std::string& message, Severity severity = Severity::kError) {
    if (body.find(word) == std::string::npos) Add(severity, pages::kPageLibraryName, page, word, message);
  }

  void CheckHomePage(const std::string& body) {
    const std::string page = pages::kHomePageName;
    for (int slot = 0; slot < pages::kLanguageSlots; ++slot) {
      Require(page, body, pages::LanguageSlotPlaceholder(slot),
              "language slot missing: fewer languages can be shown",
              slot == 0 ? Severity::kError : Severity::kWarning);
    }
    Require(page, body, pages::kLanguageCommand, "no language link: no language can be chosen");
    Require(page, body, pages::kReleaseNotesCommand, "no release-notes link", Severity::kWarning);
    Require(page, body, pages::kExitCommand, "no exit link", Severity::kWarning);
    if (!pages::HasVisibilityMarker(body)) {
      Add(Severity::kError, pages::kPageLibraryName, page, pages::kVisibilityMarker,
          "no visibility marker: the back element always shows");
    }
    CheckQuotedMarkers(page, body);
    for (const char* placeholder : {pages::kSelectLangPlaceholder, pages::kProductNamePlaceholder}) {
      Require(page, body, placeholder, "placeholder missing", Severity::kWarning);
    }
    for (const char* placeholder : pages::kHomeTextPlaceholders) {
      Require(page, body, placeholder, "placeholder missing", Severity::kWarning);
    }
    for (std::string& key : pages::TextKeysOn(pages::Page::kHome, body)) page_keys_.insert(std::move(key));
    CheckUnknownWords(page, body);
  }

  void CheckDatabasePage(const std::string& body, const pages::PageLibrary& library) {
    const std::string page = pages::kDatabasePageName;
    for (const char* marker :
         {pages::kSqlMarker, pages::kOracleMarker, pages::kSelectedImage, pages::kNotSelectedImage}) {
      Require(page, body, marker, "database marker missing: the choice cannot be read");
    }
    Require(page, body, pages::kHomePageAddress, "no link to the home page");
    for (const char* placeholder : pages::kDatabasePlaceholders) {
      Require(page, body, placeholder, "placeholder missing", Severity::kWarning);
    }
    for (const char* image : {pages::kSelectedImage, pages::kNotSelectedImage}) {
      if (!library.Lookup(image)) Error(pages::kPageLibraryName, image, "", "image missing");
    }
    // Its texts are needed only where the database page shows.
    if (sap_mode_) {
      for (std::string& key : pages::TextKeysOn(pages::Page::kDatabase, body))
        page_keys_.insert(std::move(key));
    }
    CheckUnknownWords(page, body);
  }

  // The marker written as an attribute with its value in quotes is taken
  // whole: the element gets the visibility style instead of the id.
  void CheckQuotedMarkers(const std::string& page, const std::string& body) {
    for (const char* marker : pages::kQuotedVisibilityMarkers) {
      if (body.find(marker) == std::string::npos) continue;
      Warning(pages::kPageLibraryName, page, marker,
              "the launcher replaces the whole attribute with the visibility style: the element loses "
              "its id, and selectors or scripts that look for it find nothing");
    }
  }

  // Words that look like placeholders but are none stay on the page as
  // they are written: most likely a misspelling.
  void CheckUnknownWords(const std::string& page, const std::string& body) {
    std::set<std::string> reported;
    for (const std::string& found : PlaceholderLikeWords(body)) {
      if (pages::IsContractWord(found)) continue;
      if (reported.insert(found).second) {
        Warning(pages::kPageLibraryName, page, found,
                "not a placeholder the launcher knows: it stays on the page");
      }
    }
  }

  setupdata::LanguageTable languages_;  // the model's; the checks read the entries themselves
  medium::Medium medium_;               // read in section 1033
  std::optional<setupdata::IniFile> inf_;
  std::optional<setupdata::IniFile> res_;
  std::string product_key_;
  bool sap_mode_ = false;
  std::set<std::string> page_keys_;
  CheckResult result_;
};

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buffer[8];
          g_snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

const char* SeverityName(Severity severity) { return severity == Severity::kError ? "error" : "warning"; }

}  // namespace

bool CheckResult::HasErrors() const {
  return std::any_of(findings.begin(), findings.end(),
                     [](const Finding& f) { return f.severity == Severity::kError; });
}

CheckResult CheckMedium(const std::string& dir) { return Checker(dir).Run(); }

std::string FormatText(const CheckResult& result) {
  std::string out;
  for (const Finding& f : result.findings) {
    out += f.file;
    if (!f.section.empty()) out += " [" + f.section + "]";
    if (!f.key.empty()) out += " " + f.key;
    out += std::string(": ") + SeverityName(f.severity) + ": " + f.message + "\n";
  }
  return out;
}

std::string FormatJson(const CheckResult& result) {
  std::size_t errors = 0;
  for (const Finding& f : result.findings) errors += f.severity == Severity::kError;
  std::string out = std::string("{\"readable\":") + (result.readable ? "true" : "false") +
                    ",\"errors\":" + std::to_string(errors) +
                    ",\"warnings\":" + std::to_string(result.findings.size() - errors) + ",\"findings\":[";
  for (std::size_t i = 0; i < result.findings.size(); ++i) {
    const Finding& f = result.findings[i];
    if (i > 0) out += ",";
    out += "{\"severity\":\"" + std::string(SeverityName(f.severity)) + "\",\"file\":" + JsonString(f.file) +
           ",\"section\":" + JsonString(f.section) + ",\"key\":" + JsonString(f.key) +
           ",\"message\":" + JsonString(f.message) + "}";
  }
  return out + "]}\n";
}

}  // namespace tools
