// A setup medium as the launcher reads it, and what the launcher will do
// with it: where its files lie and which language section is read, the
// texts by key and by number, the installable languages, the release
// notes, the database choice, and how each page is filled. The dialog
// decides with it; `setup-medium check` and `preview` ask it the same
// questions, so they cannot disagree with the launcher.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/document_language.h"
#include "pages/page_contract.h"
#include "pages/page_filling.h"
#include "setupdata/language_table.h"
#include "setupdata/setup_files.h"

namespace medium {

// Texts of setupres.ini by number that the dialog itself shows.
inline constexpr int kCaptionTextId = 9011;      // a "%s" in it takes the product name
inline constexpr int kCloseCaptionId = 1;        // caption of the close question
inline constexpr int kCloseQuestionId = 9085;    // the close question
inline constexpr int kNoLanguageSetupId = 9081;  // the chosen language has no setup
inline constexpr int kNoReleaseNotesId = 9082;   // put before the path of missing notes
inline constexpr int kDialogTextIds[] = {kCaptionTextId, kCloseCaptionId, kCloseQuestionId,
                                         kNoLanguageSetupId, kNoReleaseNotesId};

// Texts of the check of a sealed medium. A medium made before them lacks
// them: each is read from the language section, else from section 1033,
// else it is English words of the launcher's own (CheckText).
inline constexpr int kCheckingMediumId = 9090;  // the progress box's text
inline constexpr int kTimeLeftId = 9091;        // "%s" takes the time left ("1:05")
inline constexpr int kMediumDamagedId = 9092;   // "%s" takes the file, relative to the medium
inline constexpr int kCheckTextIds[] = {kCheckingMediumId, kTimeLeftId, kMediumDamagedId};

// The window's caption for the caption text 9011 and the product name: the
// text's "%s" takes the name, and the caption is cut before a "%s" that
// remains; a text without "%s" gives an empty caption.
std::string WindowCaption(std::string_view caption_text, std::string_view product_name);

// The release notes file a name of "NULL" (any case) stands for.
inline constexpr char kDefaultReleaseNotes[] = "readme.html";

// The databases the database page offers, as its choice names them; each
// is also the key of its option in [SAP] of setup.inf and the folder of its
// release notes.
inline constexpr const char* kDatabases[] = {pages::kSqlDatabase, pages::kOracleDatabase};

// The medium's entry point at its root, which a user runs from the disc,
// and the reference parent beside it that it runs.
inline constexpr char kEntryPointName[] = "setup";
inline constexpr char kParentName[] = "setup-parent";
// The program in a language's setup folder that the entry point runs once
// the user has chosen that language.
inline constexpr char kSetupProgramName[] = "setup.sh";

// What the launcher hands over for a choice: the language's setup folder,
// and on a medium with a database choice the database's first letter and
// its option, joined without separators.
std::string Handover(std::string_view folder, std::string_view database, std::string_view option);

// A handed-over choice read back.
struct Choice {
  std::string folder;    // as the medium spells it
  std::string database;  // "SQL" or "Oracle"; empty without a database choice
  std::string option;    // the database's option from setup.inf
};

// Where the release notes of one language are looked for, in this order.
struct ReleaseNotesPlaces {
  std::string own;       // in the folder of the language's own id
  std::string fallback;  // in the folder of 1033, which serves the others
};

class Medium final : public pages::PageLookups {
 public:
  // `files`: the paths and the language section; `language_count`: the
  // entries each section declares, as read at start; `languages`: the
  // table of the installable languages, built on first use and kept.
  Medium(setupdata::SetupFiles files, std::uint16_t language_count, setupdata::LanguageTable& languages);
  // The medium in `dir` read in the section `lang_id`, with the count of
  // entries it declares.
  static Medium InDirectory(std::string_view dir, const std::string& lang_id,
                            setupdata::LanguageTable& languages);

  const setupdata::SetupFiles& files() const { return files_; }
  const std::string& ModuleDir() const { return files_.module_dir; }
  const std::string& LangId() const { return files_.lang_id; }
  std::uint16_t LanguageCount() const { return language_count_; }

  // The language sections the launcher can be run in: those that carry the
  // presence marker, in the order of their ids.
  std::vector<std::string> LanguageSections() const;

  // Texts of the language section: by number the whole value, by key the
  // value up to its first comma; "NULL" when absent.
  std::string GetResString(int id) const;
  std::string GetResText(const std::string& key) const override;
  // [Setup] of setup.inf, the product name resolved (empty when absent).
  std::string GetSetupValue(const std::string& key) const override;
  std::string ProductName() const { return files_.ProductName(); }
  // A text of the check (kCheckTextIds), whole: from the language section,
  // else section 1033, else the launcher's own English words.
  std::string CheckText(int id) const;
  // The message of a damaged medium, naming `file` (relative to the
  // medium) where the text's "%s" stands, or after it.
  std::string DamagedMessage(std::string_view file) const;
  // The time left as the progress box shows it: the text's "%s" takes it
  // as minutes and seconds ("1:05"), hours first when there are any.
  std::string TimeLeft(std::chrono::seconds left) const;

  // The installable languages: entry by entry as the table renumbers them.
  std::string GetLanguageName(const std::string& key) const override;
  std::string GetLanguageDir(const std::string& key) const override;
  bool IsSetupSubdir(const std::string& name) const override;
  // The setup directory `name` stands for, as the medium spells it (the
  // one the parent can open); none when it is no directory of the medium.
  std::optional<std::string> SetupSubdirOnMedium(const std::string& name) const;
  // Entry `n` of the language section as the table reads it.
  setupdata::LanguageEntry LanguageEntry(std::uint32_t n) const;

  // setup.inf offers both database options: the database page comes first.
  bool HasDatabaseChoice() const { return files_.HasDatabaseChoice(); }
  // The option handed over with `database` ("SQL" or "Oracle"): its value
  // in [SAP] of setup.inf, empty when absent.
  std::string DatabaseOption(std::string_view database) const;
  // The choice a handed-over `result` stands for: a setup folder of the
  // medium, with the database whose letter and option end it on a medium
  // with a database choice. None when it names no folder of the medium.
  std::optional<Choice> ReadHandover(std::string_view result) const;

  // The file name of the release notes: [Setup] ReleaseNotes, "NULL"
  // standing for readme.html; empty when none is named (the link then
  // opens the language folder itself).
  std::string ReleaseNotesName() const;
  // Where the notes of the language `lang_id` are looked for, relative to
  // the medium's folder; `database` names the database's folder on a
  // medium with a database choice and is empty on others.
  ReleaseNotesPlaces ReleaseNotesOf(const std::string& lang_id, std::string_view database) const;
  // The notes the release-notes link opens in this medium's language: its
  // own notes when they lie below the medium's folder (found as every name
  // of the medium is, name_on_medium.h), else the 1033 notes, as the full
  // path the medium spells. When neither is found, `found` is false and the
  // path names the 1033 notes as the files do.
  struct NotesFile {
    std::string path;
    bool found = false;
  };
  NotesFile ReleaseNotesPath(std::string_view database) const;

  // The language the pages and the window are shown in: that of the
  // section's id, as ICU knows it. Nothing is declared for a section whose
  // id ICU does not know, or without ICU.
  pages::DocumentLanguage PageLanguage() const;

  // A completed document filled as the launcher fills it.
  std::string FillPage(pages::Page page, std::string body, const pages::HomePageState& state,
                       pages::SlotKeys* placed = nullptr) const;

 private:
  setupdata::LanguageSource Languages() const;

  setupdata::SetupFiles files_;
  std::uint16_t language_count_;
  setupdata::LanguageTable* languages_;
};

}  // namespace medium
