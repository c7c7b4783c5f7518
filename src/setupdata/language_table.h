// The table of installable languages: the language entries of the chosen
// language section whose setup subdirectory exists beside the launcher,
// renumbered without gaps. It is built once, on first use, and then answers
// the display text and the subdirectory of the k-th installable language.
// The launcher keeps one for the life of the process and hands it to the
// dialog.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace setupdata {

// Key prefix of the language entries in setupres.ini and of the table.
inline constexpr char kLanguageKeyPrefix[] = "LANGUAGE";

// The key of entry `n`: "LANGUAGE<n>".
std::string LanguageKey(std::uint32_t n);

// A language entry: the display text, a comma, the setup subdirectory
// ("Deutsch,DEU"). The value splits at its first comma only.
struct LanguageEntry {
  std::string name;                // before the first comma (all of it without one)
  std::optional<std::string> dir;  // after it; none without a comma
};
LanguageEntry SplitLanguageEntry(std::string_view value);

class IniFile;
// Entry `n` of the section `lang_id` of setupres.ini, as the table reads
// it: a missing entry reads "NULL", which has no folder.
LanguageEntry ReadLanguageEntry(const IniFile& res_ini, const std::string& lang_id, std::uint32_t n);

// What the table is built from; fixed before the first page is shown.
struct LanguageSource {
  std::string module_dir;    // where the subdirectories lie
  std::string res_ini_path;  // the setupres.ini with the entries
  std::string lang_id;       // the section whose entries are read
  std::uint16_t count = 0;   // entries "LANGUAGE0" to "LANGUAGE<count-1>"
};

// The directory `name` stands for in `module_dir`, as the medium spells it:
// each part found by its own name or by its one case-folded match
// (name_on_medium.h). None when that is no existing directory; a joined
// path ending with "/" (an empty name) never counts, nor does a plain
// file, nor a name that leads out of the medium.
std::optional<std::string> SetupSubdirOnMedium(const std::string& module_dir, const std::string& name);
// TRUE when `name` stands for a directory in `module_dir`, as above.
bool IsSetupSubdir(const std::string& module_dir, const std::string& name);

// A ".." among the parts of `name`: the folder would lie outside the medium,
// and such a folder is never handed to the parent as a setup directory.
bool LeavesTheMedium(std::string_view name);

class LanguageTable {
 public:
  // Fills the table from `source` unless it has been filled before.
  void Build(const LanguageSource& source);
  // Display text of the entry under `key`, or empty; builds the table first.
  std::string GetLanguageName(const LanguageSource& source, const std::string& key);
  // Subdirectory of the entry under `key`, or empty; builds the table first.
  std::string GetLanguageDir(const LanguageSource& source, const std::string& key);

  bool built() const { return !build_flag_; }
  std::size_t size() const { return entries_.size(); }

 private:
  // Keys compare exactly, with case; every entry has its subdirectory.
  std::unordered_map<std::string, LanguageEntry> entries_;
  bool build_flag_ = true;  // filled only while set
  std::uint32_t entry_counter_ = 0;
};

}  // namespace setupdata
