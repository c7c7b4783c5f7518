#include "setupdata/language_table.h"

#include <sys/stat.h>

#include "setupdata/ini_file.h"
#include "setupdata/setup_files.h"

namespace setupdata {

bool IsSetupSubdir(const std::string& module_dir, const std::string& name) {
  std::string path = module_dir;
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  if (path.back() == '/') return false;
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

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
  for (std::uint32_t n = 0; n < source.count; ++n) {
    const std::string value =
        file.GetString(source.lang_id, kLanguageKeyPrefix + std::to_string(n), kNullText);
    const std::size_t comma = value.find(',');
    const std::string subdir = comma == std::string::npos ? std::string() : value.substr(comma + 1);
    if (IsSetupSubdir(source.module_dir, subdir)) {
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
