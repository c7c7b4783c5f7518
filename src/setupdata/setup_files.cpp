#include "setupdata/setup_files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "setupdata/ini_file.h"
#include "setupdata/name_on_medium.h"
#include "setupdata/text.h"

namespace setupdata {

SetupFiles SetupFiles::ForProgram(std::string_view program_path) {
  // Only a full path names a medium: the working folder never stands in.
  if (!program_path.starts_with('/')) return SetupFiles{};
  return ForDirectory(program_path.substr(0, program_path.rfind('/') + 1));
}

SetupFiles SetupFiles::ForDirectory(std::string_view dir) {
  SetupFiles files;
  files.module_dir = std::string(dir);
  if (files.module_dir.empty() || files.module_dir.back() != '/') files.module_dir += '/';
  // A medium copied from Windows may spell its files in another case
  // ("SETUP.INF"): they are found as the medium's other names are.
  const auto on_medium = [&files](const char* name) {
    const FoundPath found = FindOnMedium(files.module_dir, name);
    return files.module_dir + (found.found() ? found.path : std::string(name));
  };
  files.res_ini_path = on_medium(kSetupResName);
  files.setup_inf_path = on_medium(kSetupInfName);
  return files;
}

std::string SetupFiles::GetResString(int id) const {
  return ReadIniString(res_ini_path, lang_id, std::to_string(id), kNullText);
}

std::string_view TextBeforeComma(std::string_view value) { return value.substr(0, value.find(',')); }

std::string SetupFiles::GetResText(std::string_view key) const {
  return std::string(TextBeforeComma(ReadIniString(res_ini_path, lang_id, key, kNullText)));
}

std::string WhyNoMedium(std::string_view dir) {
  const std::string folder(dir);
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) return folder + ": " + std::strerror(errno);
  if (!S_ISDIR(info.st_mode)) return folder + " is not a folder (give the folder of the medium's setup.inf)";
  const SetupFiles files = SetupFiles::ForDirectory(dir);
  if (stat(files.setup_inf_path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return files.setup_inf_path + " is missing: " + folder +
           " is no medium (give the folder of its setup.inf)";
  return {};
}

std::string SetupFiles::GetSetupValue(std::string_view key) const {
  if (EqualsNoCase(key, kProductNameKey)) return ProductName();
  return ReadIniString(setup_inf_path, kSetupSection, key, "", lang_id);
}

std::string SetupFiles::ProductNameKey() const {
  return DropFirstAndLastChar(ReadIniString(setup_inf_path, kSetupSection, kProductNameKey, "", lang_id));
}

std::string SetupFiles::ProductName() const {
  const std::string key = ProductNameKey();
  if (!key.empty()) return GetResText(key);
  return ReadIniString(setup_inf_path, kSetupSection, kProductNameKey, "", lang_id);
}

bool SetupFiles::HasDatabaseChoice() const {
  if (ReadIniString(setup_inf_path, kDatabaseSection, kSqlKey, "", lang_id).empty()) return false;
  return !ReadIniString(setup_inf_path, kDatabaseSection, kOracleKey, "", lang_id).empty();
}

std::uint16_t SetupFiles::LanguageCount() const {
  return static_cast<std::uint16_t>(ReadIniInt(res_ini_path, kLanguageSection, kLanguageNumberKey, 1));
}

namespace {

bool HasPresenceMarker(const std::string& res_ini_path, const std::string& id) {
  return ReadIniString(res_ini_path, id, std::to_string(kLanguagePresentKey), kNullText) != kNullText;
}

}  // namespace

bool SetupFiles::HasLanguageSection(const std::string& id) const {
  return HasPresenceMarker(res_ini_path, id);
}

void SetupFiles::ChooseLanguage(std::uint16_t system_lang_id) {
  lang_id = ResolveLanguage(system_lang_id, res_ini_path);
}

std::uint16_t OwnSectionId(std::uint16_t system_lang_id) {
  constexpr std::uint16_t kSpanishModernSort = 0x0C0A;
  constexpr std::uint16_t kSpanishTraditionalSort = 0x040A;
  static_assert(kSpanishModernSort == 3082);
  if (system_lang_id == kSpanishModernSort) return kSpanishTraditionalSort;
  return system_lang_id;
}

std::uint16_t MainLanguageOf(std::uint16_t lang_id) {
  constexpr std::uint16_t kPrimaryLanguage = 0x03FF;
  constexpr std::uint16_t kDefaultSublanguage = 0x0400;
  return static_cast<std::uint16_t>((lang_id & kPrimaryLanguage) | kDefaultSublanguage);
}

std::string ResolveLanguage(std::uint16_t system_lang_id, const std::string& res_ini_path) {
  const std::uint16_t id = OwnSectionId(system_lang_id);
  const std::string lang_id = std::to_string(id);
  // Any other language without a section of its own, a regional one
  // (Swiss Italian, 2064) included, reads English.
  return HasPresenceMarker(res_ini_path, lang_id) ? lang_id : kFallbackLangId;
}

}  // namespace setupdata
