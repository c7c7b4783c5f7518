#include "pages/medium_lookups.h"

namespace pages {

MediumLookups::MediumLookups(const std::string& medium_dir, const std::string& lang_id)
    : files_(setupdata::SetupFiles::ForDirectory(medium_dir)) {
  files_.lang_id = lang_id;
  source_ = {files_.module_dir, files_.res_ini_path, lang_id, files_.LanguageCount()};
}

std::string MediumLookups::GetResText(const std::string& key) const { return files_.GetResText(key); }

std::string MediumLookups::GetSetupValue(const std::string& key) const { return files_.GetSetupValue(key); }

std::string MediumLookups::GetLanguageName(const std::string& key) const {
  return table_.GetLanguageName(source_, key);
}

std::string MediumLookups::GetLanguageDir(const std::string& key) const {
  return table_.GetLanguageDir(source_, key);
}

bool MediumLookups::IsSetupSubdir(const std::string& name) const {
  return setupdata::IsSetupSubdir(files_.module_dir, name);
}

}  // namespace pages
