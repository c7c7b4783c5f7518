#include "medium_check.h"

#include <glib.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>

#include "pages/page_contract.h"
#include "pages/page_library.h"
#include "setupdata/ini_file.h"
#include "setupdata/language_table.h"
#include "setupdata/setup_files.h"
#include "setupdata/text.h"

namespace tools {
namespace {

constexpr char kDefaultReleaseNotes[] = "readme.html";
// Texts the dialog itself shows: caption, close question and its caption,
// the two error messages.
constexpr const char* kDialogKeys[] = {"9011", "1", "9085", "9081", "9082"};

bool IsLanguageSection(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return g_ascii_isdigit(c); });
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string BodyOf(const std::string& page) {
  const std::size_t start = page.find("<body");
  const std::size_t end = page.rfind("</body>");
  if (start == std::string::npos) return page;
  return page.substr(start, end == std::string::npos ? std::string::npos : end + 7 - start);
}

class Checker {
 public:
  explicit Checker(const std::string& dir) : files_(setupdata::SetupFiles::ForDirectory(dir)) {}

  CheckResult Run() {
    struct stat st {};
    if (stat(files_.module_dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      result_.readable = false;
      Error(files_.module_dir, "", "", "the medium's folder cannot be read");
      return result_;
    }
    inf_ = setupdata::IniFile::Load(files_.setup_inf_path);
    res_ = setupdata::IniFile::Load(files_.res_ini_path);
    if (!inf_) Error(setupdata::kSetupInfName, "", "", "missing or unreadable: the launcher ends at once");
    if (!res_) Error(setupdata::kSetupResName, "", "", "missing or unreadable: every text reads NULL");
    CheckRawText(setupdata::kSetupInfName, files_.setup_inf_path);
    CheckRawText(setupdata::kSetupResName, files_.res_ini_path);
    if (inf_) CheckSetupInf();
    CheckLibrary();
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

  // Values as written: invalid UTF-8 and values the launcher cuts.
  void CheckRawText(const std::string& name, const std::string& path) {
    const std::optional<setupdata::IniFile> ini = setupdata::IniFile::Load(path);
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
        if (!g_utf8_validate(value->data(), static_cast<gssize>(value->size()), nullptr)) {
          Error(name, section, key, "the value is not valid UTF-8");
        }
        if (value->size() > setupdata::kMaxValueBytes) {
          Warning(name, section, key,
                  "the value has " + std::to_string(value->size()) + " bytes; only the first 259 are read");
        }
      }
    }
  }

  void CheckSetupInf() {
    const std::string product = inf_->GetString(setupdata::kSetupSection, setupdata::kProductNameKey, "");
    if (product.empty()) {
      Error(setupdata::kSetupInfName, setupdata::kSetupSection, setupdata::kProductNameKey,
            "no product name: the launcher has no parent lock to find and ends at once");
    }
    product_key_ = setupdata::DropFirstAndLastChar(product);
    if (!product.empty() && product_key_.empty()) {
      Warning(setupdata::kSetupInfName, setupdata::kSetupSection, setupdata::kProductNameKey,
              "not a reference (two characters or fewer): the value itself is the product name");
    }
    const std::string sql = inf_->GetString(setupdata::kDatabaseSection, setupdata::kSqlKey, "");
    const std::string oracle = inf_->GetString(setupdata::kDatabaseSection, setupdata::kOracleKey, "");
    sap_mode_ = !sql.empty() && !oracle.empty();
    if (sql.empty() != oracle.empty()) {
      Error(setupdata::kSetupInfName, setupdata::kDatabaseSection, sql.empty() ? "SQL" : "Oracle",
            "only one database option is given: the database page is never shown");
    }
  }

  void CheckSetupRes() {
    count_ = static_cast<std::uint16_t>(
        res_->GetInt(setupdata::kLanguageSection, setupdata::kLanguageNumberKey, 1));
    if (res_->Find(setupdata::kLanguageSection, setupdata::kLanguageNumberKey) == nullptr) {
      Warning(setupdata::kSetupResName, setupdata::kLanguageSection, setupdata::kLanguageNumberKey,
              "missing: one language entry is read");
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
      Error(setupdata::kSetupResName, setupdata::kFallbackLangId, "",
            "no section 1033: systems of other languages read no texts at all");
    }
    if (inf_) CheckReleaseNotes(sections);
  }

  void CheckLanguageSection(const std::string& section) {
    const std::string file = setupdata::kSetupResName;
    if (res_->Find(section, std::to_string(setupdata::kLanguagePresentKey)) == nullptr) {
      Error(file, section, "32001", "no presence marker: this section is never used, 1033 is read instead");
    }
    std::set<std::string> needed(std::begin(kDialogKeys), std::end(kDialogKeys));
    needed.insert(page_keys_.begin(), page_keys_.end());
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
    const std::string prefix = setupdata::kLanguageKeyPrefix;
    for (std::uint32_t n = 0; n < count_; ++n) {
      const std::string key = prefix + std::to_string(n);
      const std::string* value = res_->Find(section, key);
      if (value == nullptr) {
        Error(file, section, key, "declared by LANGUAGENUMBER but missing: the language is not offered");
        continue;
      }
      const std::size_t comma = value->find(',');
      if (comma == std::string::npos) {
        Error(file, section, key, "no comma between display text and folder: the language is not offered");
        continue;
      }
      const std::string folder = value->substr(comma + 1);
      if (!setupdata::IsSetupSubdir(files_.module_dir, folder)) {
        const bool is_file = !folder.empty() && Exists(files_.module_dir + folder);
        Error(file, section, key,
              "the folder \"" + folder + "\" " +
                  (folder.empty() ? "is empty" : (is_file ? "is a file, not a folder" : "is missing")) +
                  ": the language is not offered");
      }
    }
    for (const std::string& key : res_->KeysIn(section)) {
      const std::string upper = setupdata::AsciiUpper(key);
      if (!upper.starts_with(prefix) || upper.size() == prefix.size()) continue;
      const std::string digits = upper.substr(prefix.size());
      if (!std::all_of(digits.begin(), digits.end(), [](char c) { return g_ascii_isdigit(c); })) continue;
      if (setupdata::ParseLeadingInt(digits) >= count_) {
        Warning(file, section, key, "beyond LANGUAGENUMBER (" + std::to_string(count_) + "): never read");
      }
    }
  }

  void CheckReleaseNotes(const std::vector<std::string>& sections) {
    std::string name = inf_->GetString(setupdata::kSetupSection, setupdata::kReleaseNotesKey, "");
    if (setupdata::EqualsNoCase(name, setupdata::kNullText)) name = kDefaultReleaseNotes;
    if (name.empty()) {
      Warning(setupdata::kSetupInfName, setupdata::kSetupSection, setupdata::kReleaseNotesKey,
              "no release notes named: the link opens the language folder itself");
      return;
    }
    std::vector<std::string> bases;
    if (sap_mode_) {
      bases = {std::string(pages::kSqlDatabase) + "/", std::string(pages::kOracleDatabase) + "/"};
    } else {
      bases = {""};
    }
    for (const std::string& base : bases) {
      const std::string fallback = base + setupdata::kFallbackLangId + "/" + name;
      const bool has_fallback = Exists(files_.module_dir + fallback);
      if (!has_fallback)
        Error(fallback, "", "", "missing: languages without notes of their own show message 9082");
      for (const std::string& section : sections) {
        if (!IsLanguageSection(section) || section == setupdata::kFallbackLangId) continue;
        const std::string own = base + section + "/" + name;
        if (!Exists(files_.module_dir + own)) {
          Warning(own, "", "", has_fallback ? "missing: the 1033 notes are shown" : "missing");
        }
      }
    }
  }

  void CheckLibrary() {
    const std::string file = pages::kPageLibraryName;
    const std::string path = pages::FindFileNoCase(files_.module_dir, file);
    std::string error;
    std::unique_ptr<pages::PageLibrary> library =
        path.empty() ? nullptr : pages::PageLibrary::Open(path, &error);
    if (!library) {
      Error(file, "", "",
            path.empty() ? "missing: the view shows an error page" : "not a page library: " + error);
      return;
    }
    const std::optional<pages::PageResource> home = library->Lookup("HTML_HOMEPAGE");
    const std::optional<pages::PageResource> database = library->Lookup("HTML_SAP");
    if (!home) Error(file, "HTML_HOMEPAGE", "", "the home page is missing");
    if (!database) Error(file, "HTML_SAP", "", "the database page is missing");
    if (home) CheckHomePage(BodyOf(home->bytes));
    if (database) CheckDatabasePage(BodyOf(database->bytes), *library);
  }

  void Require(const std::string& page, const std::string& body, const std::string& word,
               const std::string& message, Severity severity = Severity::kError) {
    if (body.find(word) == std::string::npos) Add(severity, pages::kPageLibraryName, page, word, message);
  }

  void NoteKeys(const std::string& body, std::initializer_list<const char*> placeholders) {
    for (const char* placeholder : placeholders) {
      if (body.find(placeholder) != std::string::npos) page_keys_.insert(std::string(placeholder).substr(2));
    }
  }

  void CheckHomePage(const std::string& body) {
    const std::string page = "HTML_HOMEPAGE";
    for (int slot = 0; slot < pages::kLanguageSlots; ++slot) {
      Require(page, body, pages::kLanguageSlotPrefix + std::to_string(slot),
              "language slot missing: fewer languages can be shown",
              slot == 0 ? Severity::kError : Severity::kWarning);
    }
    Require(page, body, pages::kLanguageCommand, "no language link: no language can be chosen");
    Require(page, body, pages::kReleaseNotesCommand, "no release-notes link", Severity::kWarning);
    Require(page, body, pages::kExitCommand, "no exit link", Severity::kWarning);
    Require(page, body, pages::kVisibilityMarker, "no visibility marker: the back element always shows");
    for (const char* placeholder : {pages::kSelectLangPlaceholder, pages::kProductNamePlaceholder}) {
      Require(page, body, placeholder, "placeholder missing", Severity::kWarning);
    }
    for (const char* placeholder : pages::kHomeTextPlaceholders) {
      Require(page, body, placeholder, "placeholder missing", Severity::kWarning);
    }
    NoteKeys(body, {"IDSELECTLANG", "IDRELNOTES", "IDEXIT", "IDBACK"});
    CheckUnknownWords(page, body);
  }

  void CheckDatabasePage(const std::string& body, const pages::PageLibrary& library) {
    const std::string page = "HTML_SAP";
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
    if (sap_mode_)
      NoteKeys(body, {"IDSELECTPRODUCT", "IDSAPSELECTSQL", "IDSAPSELECTORACLE", "IDNEXT", "IDEXIT"});
    CheckUnknownWords(page, body);
  }

  // Words that look like placeholders but are none stay on the page as
  // they are written: most likely a misspelling.
  void CheckUnknownWords(const std::string& page, const std::string& body) {
    static const std::set<std::string> known = {
        "IDLANGUAGE0",    "IDLANGUAGE1",       "IDLANGUAGE2", "IDLANGUAGE3", "IDLANGUAGE4",
        "IDLANGUAGE5",    "IDLANGUAGE6",       "IDLANGUAGE7", "IDLANGUAGE8", "IDSELECTLANG",
        "IDPRODUCTNAME",  "IDRELNOTES",        "IDEXIT",      "IDBACK",      "IDSELECTPRODUCT",
        "IDSAPSELECTSQL", "IDSAPSELECTORACLE", "IDNEXT",      "IDSELECTSQL", "IDSELECTORACLE",
        "IDREXIT",        "IDRRELNOTES"};
    static const std::regex word("\\bID[A-Z][A-Z0-9_]+\\b");
    std::set<std::string> reported;
    for (auto it = std::sregex_iterator(body.begin(), body.end(), word); it != std::sregex_iterator(); ++it) {
      const std::string found = it->str();
      if (known.count(found) > 0 || found.starts_with(pages::kLanguageCommand)) continue;
      if (reported.insert(found).second) {
        Warning(pages::kPageLibraryName, page, found,
                "not a placeholder the launcher knows: it stays on the page");
      }
    }
  }

  setupdata::SetupFiles files_;
  std::optional<setupdata::IniFile> inf_;
  std::optional<setupdata::IniFile> res_;
  std::string product_key_;
  bool sap_mode_ = false;
  std::uint16_t count_ = 1;
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
