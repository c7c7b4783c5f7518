// The table of installable languages: the language entries of the chosen
// language section whose setup subdirectory exists beside the launcher,
// renumbered without gaps. It is built once per process, on first use, and
// then answers the display text and the subdirectory of the k-th
// installable language.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace setupdata {

// Key prefix of the language entries in setupres.ini and of the table.
inline constexpr char kLanguageKeyPrefix[] = "LANGUAGE";

// What the table is built from; fixed before the first page is shown.
struct LanguageSource {
  std::string module_dir;    // where the subdirectories lie
  std::string res_ini_path;  // the setupres.ini with the entries
  std::string lang_id;       // the section whose entries are read
  std::uint16_t count = 0;   // entries "LANGUAGE0" to "LANGUAGE<count-1>"
};

// TRUE when `name` is an existing directory in `module_dir`. The name is
// taken as it stands; a joined path ending with "/" (an empty name) never
// counts, nor does a plain file, nor a name that leads out of the medium.
bool IsSetupSubdir(const std::string& module_dir, const std::string& name);

// A ".." among the parts of `name`: the folder would lie outside the medium,
// and such a folder is never handed to the parent as a setup directory.
bool LeavesTheMedium(std::string_view name);

class LanguageTable {
 public:
  // The one table of the process.
  static LanguageTable& Instance();

  // Fills the table from `source` unless it has been filled before.
  void Build(const LanguageSource& source);
  // Display text of the entry under `key` (before its first comma), or
  // empty; builds the table first.
  std::string GetLanguageName(const LanguageSource& source, const std::string& key);
  // Subdirectory of the entry under `key` (after its first comma), or
  // empty; builds the table first.
  std::string GetLanguageDir(const LanguageSource& source, const std::string& key);

  bool built() const { return !build_flag_; }
  std::size_t size() const { return entries_.size(); }

  // Lets a test start from an empty, unbuilt table.
  void ResetForTesting();

 private:
  std::unordered_map<std::string, std::string> entries_;  // keys compare exactly, with case
  bool build_flag_ = true;                                // filled only while set
  int entry_counter_ = 0;
};

}  // namespace setupdata
