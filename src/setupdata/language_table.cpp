#include "setupdata/language_table.h"

#include <dirent.h>
#include <sys/stat.h>

#include <unordered_set>

#include "setupdata/ini_file.h"
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

bool IsSetupSubdir(const std::string& module_dir, const std::string& name) {
  if (LeavesTheMedium(name)) return false;
  std::string path = module_dir;
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  if (path.back() == '/') return false;
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// The names in `module_dir` that are directories (links to directories
// included), read in one pass; a table of many entries then tests each
// plain name without a file-system call of its own.
std::unordered_set<std::string> DirectoriesIn(const std::string& module_dir) {
  std::unordered_set<std::string> names;
  DIR* dir = opendir(module_dir.empty() ? "." : module_dir.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = readdir(dir)) {
    bool is_dir = entry->d_type == DT_DIR;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      is_dir = fstatat(dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    if (is_dir) names.insert(entry->d_name);
  }
  closedir(dir);
  return names;
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
  const std::unordered_set<std::string> directories = DirectoriesIn(source.module_dir);
  entries_.reserve(source.count);
  for (std::uint32_t n = 0; n < source.count; ++n) {
    LanguageEntry entry = ReadLanguageEntry(file, source.lang_id, n);
    const std::string subdir = entry.dir.value_or(std::string());
    // A plain name is looked up in the listing; a path goes to the file system.
    const bool plain_name = !subdir.empty() && subdir.find('/') == std::string::npos && subdir != "..";
    if (plain_name ? directories.count(subdir) > 0 : IsSetupSubdir(source.module_dir, subdir)) {
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
