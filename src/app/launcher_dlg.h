// CLauncherDlg: the launcher's one dialog. It decides everything: which
// files and language section are used, the caption, the first page, and
// what each event of the view means. It reaches the toolkit only through
// the window, view and system interfaces, so it runs without a display.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/dialog_window.h"
#include "app/system.h"
#include "browser/web_browser.h"
#include "pages/page_filling.h"
#include "setupdata/language_table.h"
#include "setupdata/setup_files.h"

namespace app {

// The application icon's resource name.
inline constexpr char kApplicationIcon[] = "130";
// Texts of setupres.ini by number.
inline constexpr int kCaptionTextId = 9011;      // a "%s" in it takes the product name
inline constexpr int kCloseCaptionId = 1;        // caption of the close question
inline constexpr int kCloseQuestionId = 9085;    // the close question
inline constexpr int kNoLanguageSetupId = 9081;  // the chosen language has no setup
inline constexpr int kNoReleaseNotesId = 9082;   // put before the path of missing notes
// The lock that keeps a second launcher from running.
inline constexpr char kSecondInstanceLock[] = "PreventSecondInstance";
// Release notes: the name that stands for the default file, and that file.
inline constexpr char kDefaultReleaseNotes[] = "readme.html";

class CLauncherDlg : public browser::IBrowserEvents, public IDialogEvents, public pages::PageLookups {
 public:
  CLauncherDlg(IDialogWindow& window, browser::IWebBrowser& browser, ISystem& system);

  // Start-up: paths, language, caption, view size and the first page.
  bool OnInitDialog();
  void LayoutBrowser();
  void OnCancel();
  // Hands the chosen setup directory to the parent and ends the dialog,
  // once a language has been chosen; does nothing before.
  void OnOK();
  // Writes `text` to standard output for the parent; false when standard
  // input or output is missing, or the write failed. A result that was
  // lost is remembered.
  bool WriteResult(const std::string& text);

  // Events of the view.
  void OnBeforeNavigate2(const std::string& url, bool& cancel) override;
  void OnDocumentComplete(const std::string& url) override;
  // The view cannot show the pages: the dialog ends without a result.
  void OnViewFailed() override;
  // The window's close request: asks before the dialog ends.
  void OnClose() override;
  // Keeps the user on the two pages: no context menu, and on a page only
  // Return and Tab (and Alt combinations) get through.
  bool PreTranslateMessage(const InputMessage& message) override;

  // The database page's choice, read from its markup.
  bool DetectDatabase();
  std::string GetReleaseNotesName() const;
  void ShowReleaseNotes(std::string path);

  // Page filling, after a document has completed.
  bool FillHomePage();
  bool FillSapPage();

  // Text lookups in the medium's files, in the dialog's language section.
  std::string GetResString(int id) const;
  std::string GetResText(const std::string& key) const override;
  std::string GetSetupValue(const std::string& key) const override;
  bool HasDatabaseChoice() const;

  // The installable languages (built once per process, on first use).
  bool IsSetupSubdir(const std::string& name) const override;
  void BuildLanguageTable() const;
  std::string GetLanguageName(const std::string& key) const override;
  std::string GetLanguageDir(const std::string& key) const override;

  // The caption for a caption text and a product name: the text's "%s"
  // takes the name, and the caption is cut before a "%s" that remains; a
  // text without "%s" gives an empty caption.
  static std::string FormatCaption(const std::string& caption_text, const std::string& product_name);

  // State, named as the rest of the launcher knows it.
  const std::string& LangId() const { return m_strLangId; }
  const std::string& ModuleDir() const { return m_strModuleDir; }
  std::uint16_t LanguageCount() const { return m_nLanguageCount; }
  bool IsHomePage() const { return m_bHomePage; }
  bool IsSapPage() const { return m_bSapPage; }
  bool IsSapMode() const { return m_bSapMode; }
  const std::string& Database() const { return m_strDatabase; }
  const std::string& SapOption() const { return m_strSapOption; }
  const std::string& SetupDir() const { return m_strSetupDir; }
  bool IsLaunchReady() const { return m_bLaunchReady; }
  // The dialog ended because the view could not show the pages.
  bool ViewFailed() const { return m_bViewFailed; }
  // A result was written but did not reach the parent whole.
  bool ResultLost() const { return m_bResultLost; }
  // Which table key the last filling of the home page placed in each
  // language slot; a language link is resolved through it.
  const pages::SlotKeys& SlotLanguageKeys() const { return m_strSlotKeys; }

 private:
  void FormPaths();
  void ResolveLanguage();
  bool AnotherLauncherRuns();
  bool ParentIsThere();
  void ChooseLanguage(long long number, const std::string& key, int slot);
  void OpenReleaseNotes();
  setupdata::SetupFiles Files() const;
  setupdata::LanguageSource Languages() const;

  IDialogWindow& m_window;
  ISystem& m_system;

  browser::IWebBrowser& m_browser;
  std::string m_strLangId;
  std::string m_strResIniPath;
  bool m_bHomePage = false;
  std::string m_strModuleDir;
  std::string m_strSetupInfPath;
  std::string m_strSetupDir;
  std::uint16_t m_nLanguageCount = 0;
  bool m_bSapMode = false;
  bool m_bSapPage = false;
  std::string m_strSapOption;
  std::string m_strDatabase = "SQL";
  std::string m_hIcon = kApplicationIcon;
  bool m_bLaunchReady = false;
  std::unique_ptr<ILockHandle> m_hProductMutex;
  // Held for the life of the process, like the product's lock.
  std::unique_ptr<ILockHandle> m_hSecondInstanceMutex;
  pages::SlotKeys m_strSlotKeys;
  bool m_bSlotsFilled = false;  // the home page has been filled at least once
  bool m_bClosing = false;      // the close question is showing
  bool m_bViewFailed = false;
  bool m_bResultLost = false;
};

}  // namespace app
