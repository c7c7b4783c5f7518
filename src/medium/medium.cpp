#include "medium/medium.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "setupdata/codepage.h"
#include "setupdata/ini_file.h"
#include "setupdata/language_locale.h"
#include "setupdata/name_on_medium.h"
#include "setupdata/text.h"

namespace medium {

std::string WindowCaption(std::string_view caption_text, std::string_view product_name) {
  if (caption_text.find("%s") == std::string_view::npos) return {};
  std::string caption = setupdata::FormatWithOneString(caption_text, product_name);
  const std::size_t rest = caption.find("%s");
  if (rest != std::string::npos) caption.resize(rest);
  return caption;
}

Medium::Medium(setupdata::SetupFiles files, std::uint16_t language_count, setupdata::LanguageTable& languages)
    : files_(std::move(files)), language_count_(language_count), languages_(&languages) {}

Medium Medium::InDirectory(std::string_view dir, const std::string& lang_id,
                           setupdata::LanguageTable& languages) {
  setupdata::SetupFiles files = setupdata::SetupFiles::ForDirectory(dir);
  files.lang_id = lang_id;
  const std::uint16_t count = files.LanguageCount();
  return Medium(std::move(files), count, languages);
}

std::vector<std::string> Medium::LanguageSections() const {
  std::vector<std::string> sections;
  if (const auto res = setupdata::IniFile::LoadShared(files_.res_ini_path)) {
    for (const std::string& section : res->SectionNames()) {
      if (files_.HasLanguageSection(section)) sections.push_back(section);
    }
  }
  std::sort(sections.begin(), sections.end());
  return sections;
}

std::string Medium::GetResString(int id) const { return files_.GetResString(id); }

namespace {

// The launcher's own words for a text of the check that the medium lacks.
std::string_view OwnCheckText(int id) {
  switch (id) {
    case kCheckingMediumId:
      return "Checking the setup files on the medium";
    case kTimeLeftId:
      return "About %s left";
    case kMediumDamagedId:
      return "The medium is damaged: %s cannot be read or is not as it was made. Use another copy of the "
             "medium.";
    default:
      return setupdata::kNullText;
  }
}

}  // namespace

std::string Medium::CheckText(int id) const {
  // No value holds a line end: it marks a text that is not there.
  constexpr std::string_view kAbsent = "\n";
  for (const std::string& section : {files_.lang_id, std::string(setupdata::kFallbackLangId)}) {
    const std::string text =
        setupdata::ReadIniString(files_.res_ini_path, section, std::to_string(id), kAbsent);
    if (text != kAbsent) return text;
  }
  return std::string(OwnCheckText(id));
}

std::string Medium::DamagedMessage(std::string_view file) const {
  const std::string text = CheckText(kMediumDamagedId);
  if (text.find("%s") == std::string::npos) return text + " (" + std::string(file) + ")";
  return setupdata::FormatWithOneString(text, file);
}

std::string Medium::TimeLeft(std::chrono::seconds left) const {
  const long long total = std::max<long long>(0, left.count());
  char time[32];
  if (total >= 3600) {
    std::snprintf(time, sizeof time, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(time, sizeof time, "%lld:%02lld", total / 60, total % 60);
  }
  return setupdata::FormatWithOneString(CheckText(kTimeLeftId), time);
}

pages::DocumentLanguage Medium::PageLanguage() const {
  const std::optional<std::uint16_t> id = setupdata::SectionLangId(files_.lang_id);
  const std::optional<setupdata::LanguageLocale> locale = id ? setupdata::LocaleOfLangId(*id) : std::nullopt;
  if (!locale) return {};
  return {locale->tag, locale->right_to_left};
}

std::string Medium::GetResText(const std::string& key) const { return files_.GetResText(key); }

std::string Medium::GetSetupValue(const std::string& key) const { return files_.GetSetupValue(key); }

setupdata::LanguageSource Medium::Languages() const {
  return setupdata::LanguageSource{files_.module_dir, files_.res_ini_path, files_.lang_id, language_count_};
}

std::string Medium::GetLanguageName(const std::string& key) const {
  return languages_->GetLanguageName(Languages(), key);
}

std::string Medium::GetLanguageDir(const std::string& key) const {
  return languages_->GetLanguageDir(Languages(), key);
}

bool Medium::IsSetupSubdir(const std::string& name) const {
  return setupdata::IsSetupSubdir(files_.module_dir, name);
}

std::optional<std::string> Medium::SetupSubdirOnMedium(const std::string& name) const {
  return setupdata::SetupSubdirOnMedium(files_.module_dir, name);
}

setupdata::LanguageEntry Medium::LanguageEntry(std::uint32_t n) const {
  const std::shared_ptr<const setupdata::IniFile> res_ini =
      setupdata::IniFile::LoadShared(files_.res_ini_path);
  if (!res_ini) return setupdata::ReadLanguageEntry(setupdata::IniFile(), files_.lang_id, n);
  return setupdata::ReadLanguageEntry(*res_ini, files_.lang_id, n);
}

std::string Medium::DatabaseOption(std::string_view database) const {
  const char* key =
      setupdata::EqualsNoCase(database, pages::kSqlDatabase) ? setupdata::kSqlKey : setupdata::kOracleKey;
  return setupdata::ReadIniString(files_.setup_inf_path, setupdata::kDatabaseSection, key, "",
                                  files_.lang_id);
}

std::string Handover(std::string_view folder, std::string_view database, std::string_view option) {
  std::string result(folder);
  if (!database.empty()) (result += database.front()) += option;
  return result;
}

std::optional<Choice> Medium::ReadHandover(std::string_view result) const {
  // A folder may end in what looks like a database's letter and option:
  // the reading that names a folder of the medium wins, the database's
  // first.
  if (HasDatabaseChoice()) {
    for (const char* database : kDatabases) {
      const std::string option = DatabaseOption(database);
      const std::string tail = Handover("", database, option);
      if (result.size() <= tail.size() || !result.ends_with(tail)) continue;
      const std::optional<std::string> folder =
          SetupSubdirOnMedium(std::string(result.substr(0, result.size() - tail.size())));
      if (folder) return Choice{*folder, database, option};
    }
  }
  if (result.empty()) return std::nullopt;
  const std::optional<std::string> folder = SetupSubdirOnMedium(std::string(result));
  if (!folder) return std::nullopt;
  return Choice{*folder, "", ""};
}

std::string Medium::ReleaseNotesName() const {
  std::string name = files_.GetSetupValue(setupdata::kReleaseNotesKey);
  if (setupdata::EqualsNoCase(name, setupdata::kNullText)) name = kDefaultReleaseNotes;
  return name;
}

ReleaseNotesPlaces Medium::ReleaseNotesOf(const std::string& lang_id, std::string_view database) const {
  // One folder per language id, "1033" serving the others; on a medium with
  // a database choice one such set in each database's folder.
  const std::string base = database.empty() ? std::string() : std::string(database) + "/";
  const std::string name = ReleaseNotesName();
  return ReleaseNotesPlaces{base + lang_id + "/" + name, base + setupdata::kFallbackLangId + "/" + name};
}

Medium::NotesFile Medium::ReleaseNotesPath(std::string_view database) const {
  const ReleaseNotesPlaces places = ReleaseNotesOf(files_.lang_id, database);
  for (const std::string* place : {&places.own, &places.fallback}) {
    const setupdata::FoundPath found = setupdata::FindOnMedium(files_.module_dir, *place);
    if (found.found()) return NotesFile{files_.module_dir + found.path, true};
  }
  return NotesFile{files_.module_dir + places.fallback, false};
}

std::string Medium::FillPage(pages::Page page, std::string body, const pages::HomePageState& state,
                             pages::SlotKeys* placed) const {
  return pages::FillPageText(page, std::move(body), state, *this, placed);
}

}  // namespace medium
