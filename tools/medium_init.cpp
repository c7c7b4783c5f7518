#include "medium_init.h"

#include <gio/gio.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <system_error>

#include "medium/medium.h"
#include "medium_init_parts.h"
#include "pages/page_contract.h"
#include "setupdata/icu_runtime.h"
#include "setupdata/ini_file.h"
#include "setupdata/language_locale.h"
#include "setupdata/language_table.h"
#include "setupdata/setup_files.h"
#include "setupdata/text.h"
#include "tools/init_texts.h"

namespace fs = std::filesystem;

namespace tools {
namespace init {
namespace {

using medium::kEntryPointName;
using medium::kParentName;
constexpr fs::perms kProgram = fs::perms(0755);

}  // namespace

void Say(const std::string& line) {
  std::fprintf(stderr, "setup-medium: %s\n", setupdata::PrintableText(line).c_str());
}

namespace {

bool IsFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

// The first of `candidates` that is a file; `looked` collects them all.
std::optional<fs::path> FirstFile(std::initializer_list<fs::path> candidates, std::string* looked) {
  for (const fs::path& path : candidates) {
    if (IsFile(path)) return path.lexically_normal();
    if (!looked->empty()) *looked += ", ";
    *looked += path.lexically_normal().string();
  }
  return std::nullopt;
}

}  // namespace

// The kit beside setup-medium in a build tree (bin/, with pages/ and
// media/ beside it), else where the package installs it relative to the
// program (../lib/setup-launcher and ../share/setup-launcher from bin/).
std::optional<Kit> FindKit() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) {
    Say("cannot find its own program (/proc/self/exe): " + ec.message());
    return std::nullopt;
  }
  const fs::path bin = exe.parent_path();
  const fs::path lib = bin / SETUP_MEDIUM_BIN_TO_LIB;
  const fs::path data = bin / SETUP_MEDIUM_BIN_TO_DATA;
  Kit kit;
  std::string looked;
  bool found_launcher = false;
  for (const fs::path& dir : {bin, lib}) {
    if (IsFile(dir / setupdata::kLauncherName) && IsFile(dir / setupdata::kWindowModuleName)) {
      kit.launcher_dir = dir.lexically_normal();
      found_launcher = true;
      break;
    }
    if (!looked.empty()) looked += " nor in ";
    looked += dir.lexically_normal().string();
  }
  if (!found_launcher) {
    Say(std::string("the launcher (setup-launcher and ") + setupdata::kWindowModuleName + ") is not in " +
        looked);
    return std::nullopt;
  }
  kit.parent = bin / kParentName;
  struct Part {
    fs::path* to;
    const char* what;
    fs::path built, installed;
  };
  const Part parts[] = {
      {&kit.parent, "the reference parent", kit.parent, kit.parent},
      {&kit.entry_point, "the entry point", kit.launcher_dir / kEntryPointName,
       kit.launcher_dir / kEntryPointName},
      {&kit.page_library, "the sample page library", bin / "../pages" / pages::kPageLibraryName,
       data / pages::kPageLibraryName},
      {&kit.demo_texts, "the demo medium's texts", bin / "../media/medium" / setupdata::kSetupResName,
       data / "demo/medium" / setupdata::kSetupResName},
      {&kit.demo_setup_inf, "the demo medium's setup.inf",
       bin / "../media/medium-db" / setupdata::kSetupInfName,
       data / "demo/medium-db" / setupdata::kSetupInfName},
  };
  for (const Part& part : parts) {
    looked.clear();
    std::optional<fs::path> path = FirstFile({part.built, part.installed}, &looked);
    if (!path) {
      Say(std::string(part.what) + " is missing: looked for " + looked);
      return std::nullopt;
    }
    *part.to = *path;
  }
  return kit;
}

namespace {

// The folders of a language's setup as authors coming from Windows know
// them: Windows' own abbreviations of its languages. Some languages are
// told apart by their country in a list of languages where the id is the
// language's first (Brazilian Portuguese, beside Portugal's); Spanish with
// the modern sort, and simplified Chinese, are plainly the language.
struct Abbreviation {
  std::uint16_t id;
  const char* folder;
  enum class Country { kUnlessFirst, kAlways, kNever } country = Country::kUnlessFirst;
};
constexpr Abbreviation kAbbreviations[] = {
    {1025, "ARA"},
    {1026, "BGR"},
    {1027, "CAT"},
    {1028, "CHT"},
    {1029, "CSY"},
    {1030, "DAN"},
    {1031, "DEU"},
    {1032, "ELL"},
    {1033, "ENU"},
    {1034, "ESP"},
    {1035, "FIN"},
    {1036, "FRA"},
    {1037, "HEB"},
    {1038, "HUN"},
    {1039, "ISL"},
    {1040, "ITA"},
    {1041, "JPN"},
    {1042, "KOR"},
    {1043, "NLD"},
    {1044, "NOR"},
    {1045, "PLK"},
    {1046, "PTB", Abbreviation::Country::kAlways},
    {1048, "ROM"},
    {1049, "RUS"},
    {1050, "HRV"},
    {1051, "SKY"},
    {1052, "SQI"},
    {1053, "SVE"},
    {1054, "THA"},
    {1055, "TRK"},
    {1056, "URD"},
    {1057, "IND"},
    {1058, "UKR"},
    {1059, "BEL"},
    {1060, "SLV"},
    {1061, "ETI"},
    {1062, "LVI"},
    {1063, "LTH"},
    {1065, "FAR"},
    {1066, "VIT"},
    {1069, "EUQ"},
    {1071, "MKI"},
    {1078, "AFK"},
    {1081, "HIN"},
    {1086, "MSL"},
    {1087, "KKZ"},
    {1089, "SWK"},
    {1110, "GLC"},
    {2052, "CHS", Abbreviation::Country::kNever},
    {2055, "DES"},
    {2057, "ENG"},
    {2058, "ESM"},
    {2060, "FRB"},
    {2064, "ITS"},
    {2067, "NLB"},
    {2068, "NON"},
    {2070, "PTG"},
    {3076, "ZHH"},
    {3079, "DEA"},
    {3081, "ENA"},
    {3082, "ESN", Abbreviation::Country::kNever},
    {3084, "FRC"},
    {4100, "ZHI"},
    {4105, "ENC"},
    {4108, "FRS"},
    {5124, "ZHM"},
};

// The setup folder of a language id, from the table above, else made from
// ICU's code of the language ("SWE"), with the country's added for a
// language of another country than its first ("SWE-FI"); and its name in
// its own language. None when ICU does not know the id or is missing.
std::optional<std::pair<std::string, std::string>> IcuLanguage(std::uint16_t id) {
  const Abbreviation* known = nullptr;
  for (const Abbreviation& abbreviation : kAbbreviations) {
    if (abbreviation.id == id) known = &abbreviation;
  }
  // The sub-language of a language's first country is 1.
  const bool first = (id >> 10) == 1;
  const Abbreviation::Country country = known ? known->country : Abbreviation::Country::kUnlessFirst;
  const bool with_country =
      country == Abbreviation::Country::kAlways || (country == Abbreviation::Country::kUnlessFirst && !first);
  const std::optional<std::string> name = setupdata::OwnLanguageName(id, with_country);
  const std::optional<setupdata::LanguageLocale> locale = setupdata::LocaleOfLangId(id);
  const setupdata::IcuFunctions* icu = setupdata::Icu();
  if (!name || !locale || icu == nullptr) return std::nullopt;
  std::string folder;
  if (known != nullptr) {
    folder = known->folder;
  } else {
    folder = icu->uloc_getISO3Language(locale->locale.c_str());
    if (folder.empty()) return std::nullopt;
    char region[ULOC_COUNTRY_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    icu->uloc_getCountry(locale->locale.c_str(), region, sizeof region, &status);
    if (!first && U_SUCCESS(status) && region[0] != '\0') folder += std::string("-") + region;
    for (char& c : folder) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  // A comma would end the name in the language's entry ("NAME,FOLDER").
  std::string display = *name;
  for (std::size_t comma = display.find(','); comma != std::string::npos; comma = display.find(',', comma))
    display.replace(comma, 1, " -");
  return std::make_pair(folder, display);
}

}  // namespace

std::optional<Language> DescribeLanguage(std::uint16_t id, const setupdata::IniFile& demo) {
  // A section is read for a system language, which always has its
  // sub-language: a bare primary language (99) names none.
  if ((id & 0xFC00) == 0) return std::nullopt;
  Language language;
  language.id = id;
  language.section = std::to_string(id);
  const std::string marker = std::to_string(setupdata::kLanguagePresentKey);
  if (const std::string* name = demo.Find(language.section, marker)) {
    // The demo names its own language's folder in its own entry.
    const std::uint32_t count = demo.GetInt(setupdata::kLanguageSection, setupdata::kLanguageNumberKey, 1);
    for (std::uint32_t n = 0; n < count && n < 0x10000; ++n) {
      const std::string* value = demo.Find(language.section, setupdata::LanguageKey(n));
      if (value == nullptr) continue;
      const setupdata::LanguageEntry entry = setupdata::SplitLanguageEntry(*value);
      if (entry.name == *name && entry.dir) {
        language.name = *name;
        language.folder = *entry.dir;
        language.own_words = true;
        return language;
      }
    }
  }
  const auto icu = IcuLanguage(id);
  if (!icu) return std::nullopt;
  language.folder = icu->first;
  language.name = icu->second;
  return language;
}

std::string IniValue(const std::string& value) {
  const bool blank_edge = !value.empty() && (value.front() == ' ' || value.front() == '\t' ||
                                             value.back() == ' ' || value.back() == '\t');
  const bool quoted_edge =
      value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
  return blank_edge || quoted_edge ? "\"" + value + "\"" : value;
}

namespace {

// The keys of a language section, in the order the file shows them.
std::vector<std::string> SectionTextKeys() {
  std::vector<std::string> keys;
  for (int id : medium::kDialogTextIds) keys.push_back(std::to_string(id));
  for (int id : medium::kCheckTextIds) keys.push_back(std::to_string(id));
  const auto add_placeholder = [&keys](std::string_view placeholder) {
    std::string key(placeholder.substr(std::string_view(pages::kPlaceholderPrefix).size()));
    for (const std::string& have : keys)
      if (have == key) return;
    keys.push_back(std::move(key));
  };
  add_placeholder(pages::kSelectLangPlaceholder);
  for (const char* placeholder : pages::kHomeTextPlaceholders) add_placeholder(placeholder);
  for (const char* placeholder : pages::kDatabasePlaceholders) add_placeholder(placeholder);
  return keys;
}

bool Fail(const fs::path& path, const std::string& why) {
  Say("cannot write " + path.string() + ": " + why);
  return false;
}

bool Permit(const fs::path& path, fs::perms mode) {
  std::error_code ec;
  fs::permissions(path, mode, ec);
  return ec ? Fail(path, ec.message()) : true;
}

std::string ReleaseNotesPage(const std::string& product, const Language& language, const std::string& title) {
  std::string page = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + product + " – " +
                     title + "</title>\n</head>\n<body>\n";
  page += "<!-- Written by setup-medium init: put the release notes of the product for " + language.name +
          " here";
  page += language.own_words ? ". -->\n" : " (TODO translate). -->\n";
  page += "<h1>" + product + " – " + title + "</h1>\n</body>\n</html>\n";
  return page;
}

// `text` as one word of sh, quoted.
std::string ShellWord(const std::string& text) {
  std::string word = "'";
  for (const char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

// The program a language's folder holds until the author puts the setup
// there: it says what it was given.
std::string PlaceholderSetup(const Language& language) {
  return "#!/bin/sh\n"
         "# Written by setup-medium init: the setup of " +
         std::string(kInitProductName) + " for " + language.name +
         ".\n"
         "# Replace this script with the setup, or have it start the setup. The\n"
         "# medium's entry point runs it in this folder once the user has chosen\n"
         "# this language: SETUP_MEDIUM is the medium's folder, SETUP_FOLDER this\n"
         "# folder's name, and on a medium with a database choice SETUP_DATABASE\n"
         "# (SQL or Oracle) and SETUP_DATABASE_OPTION are the database chosen and\n"
         "# its option. Its exit status is the entry point's.\n"
         "printf 'The setup for %s (%s) would run here' " +
         ShellWord(language.name) +
         " \"$SETUP_FOLDER\"\n"
         "if [ -n \"${SETUP_DATABASE:-}\" ]; then\n"
         "  printf ', for the database %s (option %s)' \"$SETUP_DATABASE\" \"$SETUP_DATABASE_OPTION\"\n"
         "fi\n"
         "printf '.\\n'\n";
}

// The entry point and the parent it runs, at the medium's root.
bool PutEntryPoint(Writer& writer, const Kit& kit) {
  return writer.Copy(kit.entry_point, kEntryPointName, kProgram) &&
         writer.Copy(kit.parent, kParentName, kProgram);
}

}  // namespace

bool Writer::File(const fs::path& name, const std::string& text, fs::perms mode) {
  const fs::path path = root_ / name;
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (ec) return Fail(path.parent_path(), ec.message());
  g_autoptr(GFile) file = g_file_new_for_path(path.c_str());
  g_autoptr(GError) error = nullptr;
  if (!g_file_replace_contents(file, text.data(), text.size(), nullptr, FALSE, G_FILE_CREATE_NONE, nullptr,
                               nullptr, &error)) {
    return Fail(path, error->message);
  }
  return Permit(path, mode);
}

bool Writer::Copy(const fs::path& from, const fs::path& name, fs::perms mode) {
  const fs::path path = root_ / name;
  g_autoptr(GFile) source = g_file_new_for_path(from.c_str());
  g_autoptr(GFile) target = g_file_new_for_path(path.c_str());
  g_autoptr(GError) error = nullptr;
  // GIO keeps the system's reason when a write fails (the standard
  // library's copy says "Input/output error" for a full disk).
  if (!g_file_copy(source, target, G_FILE_COPY_OVERWRITE, nullptr, nullptr, nullptr, &error)) {
    return Fail(path, error->message);
  }
  return Permit(path, mode);
}

std::string EntryLines(std::uint32_t n, const Language& language) {
  return setupdata::LanguageKey(n) + "=" + language.name + "," + language.folder + "\n";
}

std::optional<std::string> SectionText(const Language& section, const setupdata::IniFile& demo,
                                       const std::string& product_key, const std::string& product,
                                       const std::string& entries) {
  std::string text = "[" + section.section + "]\n";
  if (!section.own_words) text += std::string(kTranslateMarker) + ": these texts are English\n";
  const std::string& from = section.own_words ? section.section : std::string(setupdata::kFallbackLangId);
  text += std::to_string(setupdata::kLanguagePresentKey) + "=" + IniValue(section.name) + "\n";
  for (const std::string& key : SectionTextKeys()) {
    const std::string* value = demo.Find(from, key);
    if (value == nullptr) {
      Say("the demo medium's texts have no [" + from + "] " + key);
      return std::nullopt;
    }
    text += key + "=" + IniValue(*value) + "\n";
  }
  if (!product_key.empty()) text += product_key + "=" + product + "\n";
  return text + entries;
}

bool WriteLanguageFolder(Writer& writer, const Language& language) {
  const std::string note = "Put the setup of " + std::string(kInitProductName) + " for " + language.name +
                           " in this folder.\nThe medium's entry point runs " + medium::kSetupProgramName +
                           " here when the user chooses " + language.name + ".\n";
  return writer.File(fs::path(language.folder) / "README.txt", note) &&
         writer.File(fs::path(language.folder) / medium::kSetupProgramName, PlaceholderSetup(language),
                     kProgram);
}

namespace {

bool WriteMedium(const InitOptions& options, const Kit& kit, const setupdata::IniFile& demo,
                 const setupdata::IniFile& demo_inf, const std::vector<Language>& listed,
                 const std::vector<Language>& sections) {
  Writer writer(options.dir);
  const std::string product = options.database ? kInitDatabaseProductName : kInitProductName;

  // setup.inf
  std::string inf =
      "; Written by setup-medium init.\n"
      ";\n"
      "; ProductName   The key of the product name in setupres.ini, between\n"
      ";               percent signs: write your product's name there.\n"
      "; ReleaseNotes  The release notes' file name, looked up in the folder of\n"
      ";               the language id (1033/ serves the others)";
  inf += options.database ? ",\n;               below the folder of the chosen database.\n" : ".\n";
  inf += std::string("[") + setupdata::kSetupSection + "]\n";
  inf += std::string(setupdata::kProductNameKey) + "=%" + setupdata::kProductNameKey + "%\n";
  inf += std::string(setupdata::kReleaseNotesKey) + "=" + medium::kDefaultReleaseNotes + "\n";
  if (options.database) {
    inf +=
        "\n; The database options handed to the setup with the chosen database.\n"
        "; With both the user chooses the database first.\n";
    inf += std::string("[") + setupdata::kDatabaseSection + "]\n";
    for (const char* database : medium::kDatabases) {
      const std::string* value = demo_inf.Find(setupdata::kDatabaseSection, database);
      if (value == nullptr) {
        Say(std::string("the demo medium's setup.inf has no [SAP] ") + database);
        return false;
      }
      inf += std::string(database) + "=" + IniValue(*value) + "\n";
    }
  }
  if (!writer.File(setupdata::kSetupInfName, inf)) return false;

  // setupres.ini
  std::string res =
      "; Written by setup-medium init: one section of texts per language id.\n"
      "; Write your product's name for \"" +
      std::string(kInitProductName) +
      "\" in each section. A section or\n"
      "; an entry under \"" +
      kTranslateMarker +
      "\" holds English texts: write them in\n"
      "; that language's own words. Lines starting with \";\" are comments and\n"
      "; never show.\n";
  res += std::string("[") + setupdata::kLanguageSection + "]\n" + setupdata::kLanguageNumberKey + "=" +
         std::to_string(listed.size()) + "\n";
  std::string entries;
  for (std::size_t n = 0; n < listed.size(); ++n)
    entries += EntryLines(static_cast<std::uint32_t>(n), listed[n]);
  for (const Language& section : sections) {
    const std::optional<std::string> text =
        SectionText(section, demo, setupdata::kProductNameKey, product, entries);
    if (!text) return false;
    res += "\n" + *text;
  }
  if (!writer.File(setupdata::kSetupResName, res)) return false;

  // The setup folders, with a note and the placeholder setup each.
  for (const Language& language : listed)
    if (!WriteLanguageFolder(writer, language)) return false;

  // Release notes per language section, per database on a medium with a
  // database choice.
  std::vector<std::string> databases{""};
  if (options.database) databases = {medium::kDatabases[0], medium::kDatabases[1]};
  // Each goes where the launcher looks first for its section's notes.
  setupdata::LanguageTable unused;
  for (const std::string& database : databases) {
    for (const Language& section : sections) {
      const medium::Medium written = medium::Medium::InDirectory(options.dir, section.section, unused);
      const std::string& from = section.own_words ? section.section : std::string(setupdata::kFallbackLangId);
      const std::string* title =
          demo.Find(from, std::string(pages::PlaceholderKey(pages::kReleaseNotesPlaceholder)));
      if (!writer.File(written.ReleaseNotesOf(section.section, database).own,
                       ReleaseNotesPage(setupdata::FormatWithOneString(product, database), section,
                                        title ? *title : "Release notes")))
        return false;
    }
  }

  // The page library, the launcher and its window, as real files, and the
  // entry point.
  return PutEntryPoint(writer, kit) &&
         writer.Copy(kit.page_library, pages::kPageLibraryName, fs::perms(0644)) &&
         writer.Copy(kit.launcher_dir / setupdata::kLauncherName, setupdata::kLauncherName, kProgram) &&
         writer.Copy(kit.launcher_dir / setupdata::kWindowModuleName, setupdata::kWindowModuleName, kProgram);
}

}  // namespace
}  // namespace init

using init::DescribeLanguage;
using init::FindKit;
using init::Kit;
using init::Language;
using init::PutEntryPoint;
using init::Say;
using init::WriteMedium;
using init::Writer;
using medium::kEntryPointName;

int RunInit(const InitOptions& options) {
  const fs::path dir(options.dir);
  std::error_code ec;
  const bool existed = fs::exists(fs::symlink_status(dir, ec));
  if (existed) {
    if (!fs::is_directory(dir, ec)) {
      Say(options.dir + " is not a folder");
      return 1;
    }
    if (fs::directory_iterator(dir, ec) != fs::directory_iterator() || ec) {
      Say(options.dir + " is not empty: init writes a medium into a new or empty folder");
      return 1;
    }
  }

  const std::optional<Kit> kit = FindKit();
  if (!kit) return 1;
  const std::optional<setupdata::IniFile> demo = setupdata::IniFile::Load(kit->demo_texts.string());
  const std::optional<setupdata::IniFile> demo_inf = setupdata::IniFile::Load(kit->demo_setup_inf.string());
  if (!demo || !demo_inf) {
    Say("cannot read the demo medium's files beside " + kit->demo_texts.parent_path().string());
    return 1;
  }

  std::vector<std::uint16_t> ids = options.languages;
  if (ids.empty()) ids.push_back(1033);
  std::vector<Language> listed;
  std::set<std::uint16_t> seen;
  std::set<std::string> folders;
  for (std::uint16_t id : ids) {
    if (!seen.insert(id).second) {
      Say("language id " + std::to_string(id) + " is given twice");
      return 1;
    }
    std::optional<Language> language = DescribeLanguage(id, *demo);
    if (!language) {
      Say("unknown language id " + std::to_string(id));
      return 1;
    }
    if (!folders.insert(language->folder).second) {
      Say("language id " + std::to_string(id) + " would share the folder " + language->folder);
      return 1;
    }
    listed.push_back(std::move(*language));
  }
  // The section systems without one of their own read is always there.
  std::vector<Language> sections = listed;
  if (!seen.count(1033)) {
    std::optional<Language> fallback = DescribeLanguage(1033, *demo);
    if (!fallback) {
      Say("the demo medium's texts have no section 1033");
      return 1;
    }
    sections.insert(sections.begin(), std::move(*fallback));
  }

  const bool created = !existed;
  if (created && (fs::create_directories(dir, ec), ec)) {
    Say("cannot make the folder " + options.dir + ": " + ec.message());
    return 1;
  }
  if (!WriteMedium(options, *kit, *demo, *demo_inf, listed, sections)) {
    // Nothing half-written stays: the folder was new or empty.
    if (created) {
      fs::remove_all(dir, ec);
    } else {
      for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec))
        fs::remove_all(entry.path(), ec);
    }
    return 1;
  }

  std::string summary;
  bool english = false;
  for (const Language& language : listed) {
    summary += (summary.empty() ? "" : ", ") + language.section + " (" + language.folder + ")";
    english = english || !language.own_words;
  }
  std::printf("setup-medium: wrote a medium for %s into %s\n", summary.c_str(), options.dir.c_str());
  if (english)
    std::printf("setup-medium: English texts to translate are marked \"%s\" in setupres.ini\n",
                kTranslateMarker);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int RunEntryPoint(const std::string& dir) {
  if (const std::string why = setupdata::WhyNoMedium(dir); !why.empty()) {
    Say(why);
    return 1;
  }
  const std::optional<Kit> kit = FindKit();
  if (!kit) return 1;
  Writer writer(dir);
  if (!PutEntryPoint(writer, *kit)) return 1;
  std::printf("setup-medium: wrote the entry point %s/%s and the parent it runs\n", dir.c_str(),
              kEntryPointName);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace tools
