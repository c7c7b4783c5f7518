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

LanguageTable& LanguageTable::Instance() {
  static LanguageTable table;
  return table;
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
    const std::string value =
        file.GetString(source.lang_id, kLanguageKeyPrefix + std::to_string(n), kNullText);
    const std::size_t comma = value.find(',');
    const std::string subdir = comma == std::string::npos ? std::string() : value.substr(comma + 1);
    // A plain name is looked up in the listing; a path goes to the file system.
    const bool plain_name = !subdir.empty() && subdir.find('/') == std::string::npos && subdir != "..";
    if (plain_name ? directories.count(subdir) > 0 : IsSetupSubdir(source.module_dir, subdir)) {
      entries_[kLanguageKeyPrefix + std::to_string(entry_counter_)] = value;
      ++entry_counter_;
    }
  }
  build_flag_ = false;
}

std::string LanguageTable::GetLanguageName(const LanguageSource& source, const std::string& key) {
  Build(source);
  const auto it = entries_.find(key);
  if (it == entries_.end()) return {};
  return it->second.substr(0, it->second.find(','));
}

std::string LanguageTable::GetLanguageDir(const LanguageSource& source, const std::string& key) {
  Build(source);
  const auto it = entries_.find(key);
  if (it == entries_.end()) return {};
  const std::size_t comma = it->second.find(',');
  return comma == std::string::npos ? it->second : it->second.substr(comma + 1);
}

void LanguageTable::ResetForTesting() {
  entries_.clear();
  build_flag_ = true;
  entry_counter_ = 0;
}

}  // namespace setupdata
