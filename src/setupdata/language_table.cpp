#include "setupdata/language_table.h"

#include <sys/stat.h>

#include "setupdata/ini_file.h"
#include "setupdata/name_on_medium.h"
#include "setupdata/setup_files.h"

namespace setupdata {

bool LeavesTheMedium(std::string_view name) {
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t slash = name.find('/', start);
    const std::string_view part =
        name.substr(start, slash == std::string_view::npos ? name.npos : slash - start);
    if (part == "..") return true;
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return false;
}

std::optional<std::string> SetupSubdirOnMedium(const std::string& module_dir, const std::string& name) {
  if (LeavesTheMedium(name) || name.empty() || name.back() == '/') return std::nullopt;
  const FoundPath found = FindOnMedium(module_dir, name);
  if (!found.found()) return std::nullopt;
  std::string path = module_dir;
  if (path.empty() || path.back() != '/') path += '/';
  struct stat st {};
  if (stat((path + found.path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return found.path;
}

bool IsSetupSubdir(const std::string& module_dir, const std::string& name) {
  return SetupSubdirOnMedium(module_dir, name).has_value();
}

namespace {

// A plain folder name looked up in one listing of the medium read for the
// whole table, by the same rule as a single name.
bool IsDirectoryIn(const FolderEntries& folder, const std::string& name) {
  const FoundPath found = folder.Find(name);
  return found.found() && folder.IsDirectory(found.path);
}

}  // namespace

std::string LanguageKey(std::uint32_t n) { return kLanguageKeyPrefix + std::to_string(n); }

LanguageEntry SplitLanguageEntry(std::string_view value) {
  const std::size_t comma = value.find(',');
  if (comma == std::string_view::npos) return LanguageEntry{std::string(value), std::nullopt};
  return LanguageEntry{std::string(value.substr(0, comma)), std::string(value.substr(comma + 1))};
}

LanguageEntry ReadLanguageEntry(const IniFile& res_ini, const std::string& lang_id, std::uint32_t n) {
  return SplitLanguageEntry(res_ini.GetString(lang_id, LanguageKey(n), kNullText));
}

void LanguageTable::Build(const LanguageSource& source) {
  if (!build_flag_) return;
  // The whole file is read once for all entries; the entries are those a
  // lookup of each key would give.
  const std::shared_ptr<const IniFile> ini = IniFile::LoadShared(source.res_ini_path);
  const IniFile empty;
  const IniFile& file = ini ? *ini : empty;
  const FolderEntries folder(source.module_dir);
  entries_.reserve(source.count);
  for (std::uint32_t n = 0; n < source.count; ++n) {
    LanguageEntry entry = ReadLanguageEntry(file, source.lang_id, n);
    const std::string subdir = entry.dir.value_or(std::string());
    // A plain name is looked up in the listing; a path goes to the file system.
    const bool plain_name = !subdir.empty() && subdir.find('/') == std::string::npos && subdir != "..";
    if (plain_name ? IsDirectoryIn(folder, subdir) : IsSetupSubdir(source.module_dir, subdir)) {
      entries_[LanguageKey(entry_counter_)] = std::move(entry);
      ++entry_counter_;
    }
  }
  build_flag_ = false;
}

std::string LanguageTable::GetLanguageName(const LanguageSource& source, const std::string& key) {
  Build(source);
  const auto it = entries_.find(key);
  return it == entries_.end() ? std::string() : it->second.name;
}

std::string LanguageTable::GetLanguageDir(const LanguageSource& source, const std::string& key) {
  Build(source);
  const auto it = entries_.find(key);
  return it == entries_.end() ? std::string() : it->second.dir.value_or(std::string());
}

}  // namespace setupdata
