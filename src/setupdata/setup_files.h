// The launcher's two setup files and the lookups every other part reads
// them through. A lookup never fails: a missing file, section or key gives
// its default text, and the caller decides what that default means.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace setupdata {

inline constexpr char kSetupInfName[] = "setup.inf";
inline constexpr char kSetupResName[] = "setupres.ini";
// The launcher's program, which the parent starts from the medium.
inline constexpr char kLauncherName[] = "setup-launcher";
// The launcher's window, a module beside the launcher: without it the
// launcher shows its dialog on a terminal only.
inline constexpr char kWindowModuleName[] = "setup-launcher-gtk.so";

// The default text of a missing resource string.
inline constexpr char kNullText[] = "NULL";
// The language section used when the system's own is not on the medium.
inline constexpr char kFallbackLangId[] = "1033";
// The key whose presence marks a language section as present.
inline constexpr int kLanguagePresentKey = 32001;

// Keys of setup.inf.
inline constexpr char kSetupSection[] = "Setup";
inline constexpr char kProductNameKey[] = "ProductName";
inline constexpr char kReleaseNotesKey[] = "ReleaseNotes";
inline constexpr char kDatabaseSection[] = "SAP";
inline constexpr char kSqlKey[] = "SQL";
inline constexpr char kOracleKey[] = "Oracle";

// Keys of setupres.ini outside the language sections.
inline constexpr char kLanguageSection[] = "LANGUAGE";
inline constexpr char kLanguageNumberKey[] = "LANGUAGENUMBER";

// A text of a language section looked up by its key (as the pages and the
// product name are) is read up to its first comma.
std::string_view TextBeforeComma(std::string_view value);

// Where the files of one medium lie and which language section is used.
struct SetupFiles {
  std::string module_dir;      // ends with "/"
  std::string res_ini_path;    // module_dir + "setupres.ini"
  std::string setup_inf_path;  // module_dir + "setup.inf"
  std::string lang_id;         // the language section of setupres.ini

  // The paths of a medium whose launcher lies at `program_path`; all empty
  // (no medium) when that is not a full path, an empty one among them.
  static SetupFiles ForProgram(std::string_view program_path);
  // The paths of a medium in `dir` (with or without its final "/").
  static SetupFiles ForDirectory(std::string_view dir);

  // setupres.ini, the language section, key = decimal text of `id`;
  // "NULL" when absent. The whole value.
  std::string GetResString(int id) const;
  // setupres.ini, the language section, `key` unchanged; "NULL" when
  // absent. The value up to its first comma.
  std::string GetResText(std::string_view key) const;
  // setup.inf, section "Setup"; empty when absent. For the product name
  // (any letter case) the value is a reference: see ProductName(). A value
  // of setup.inf that is not UTF-8 is read in the codepage of `lang_id`.
  std::string GetSetupValue(std::string_view key) const;
  // The product name. [Setup] ProductName is a reference: the value
  // without its first and last character is the key of the name in the
  // language section; a value that leaves no key is the name itself.
  // Empty without the value.
  std::string ProductName() const;
  // The key the product name's reference names; empty when it names none.
  std::string ProductNameKey() const;
  // setup.inf offers both database options.
  bool HasDatabaseChoice() const;
  // Number of language entries per language section (default 1), in 16
  // bits as the dialog keeps it.
  std::uint16_t LanguageCount() const;

  // Whether setupres.ini has the language section `id`: one that carries
  // the presence marker 32001 (with another value than "NULL").
  bool HasLanguageSection(const std::string& id) const;
  // Sets `lang_id` to the section the launcher reads on a system of that
  // language (see ResolveLanguage).
  void ChooseLanguage(std::uint16_t system_lang_id);
};

// Why the folder `dir` is no medium to read: it does not exist, is no
// folder, or holds no setup.inf (in any letter case), each said with the
// path that is missing. Empty when it is a folder with setup.inf.
std::string WhyNoMedium(std::string_view dir);

// The section of a system language id's own: Spanish with modern sort
// (3082) is written as the traditional-sort section 1034.
std::uint16_t OwnSectionId(std::uint16_t system_lang_id);
// The main language of a language id: its primary language with the
// default sublanguage (2064, Swiss Italian, gives 1040). It stands in for
// an id ICU does not know when a codepage is looked up; the section choice
// never uses it.
std::uint16_t MainLanguageOf(std::uint16_t lang_id);

// The language section for a system language id: Spanish with modern sort
// (3082) reads the traditional-sort section 1034; a section without the
// presence marker 32001 gives way to "1033" directly (2064 Swiss Italian
// reads 1033 even where 1040 Italian is there).
std::string ResolveLanguage(std::uint16_t system_lang_id, const std::string& res_ini_path);

}  // namespace setupdata
