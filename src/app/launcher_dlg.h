// CLauncherDlg: the launcher's one dialog. It decides everything: which
// files and language section are used, the caption, the first page, and
// what each event of the view means. It reaches the toolkit only through
// the window, view and system interfaces, so it runs without a display.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/dialog_window.h"
#include "app/system.h"
#include "browser/web_browser.h"
#include "medium/medium.h"

namespace app {

// The application icon's resource name.
inline constexpr char kApplicationIcon[] = "130";
// The texts by number the dialog shows.
using medium::kCaptionTextId;
using medium::kCloseCaptionId;
using medium::kCloseQuestionId;
using medium::kNoLanguageSetupId;
using medium::kNoReleaseNotesId;
// The lock that keeps a second launcher from running.
inline constexpr char kSecondInstanceLock[] = "PreventSecondInstance";

// The view's place in the window's client area.
struct ViewRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// A message box as the dialog asks its window for one; an empty caption
// stands for the window's own.
struct MessageBoxText {
  std::string text;
  std::string caption;
  MessageBoxType type = MessageBoxType::kOkError;
};

class CLauncherDlg : public browser::IBrowserEvents, public IDialogEvents {
 public:
  // `languages`: the process's table of installable languages, built on
  // first use and kept for the life of the process.
  CLauncherDlg(IDialogWindow& window, browser::IWebBrowser& browser, ISystem& system,
               setupdata::LanguageTable& languages);

  // Start-up: paths, language, guards, caption, view size and the first page.
  void OnInitDialog();
  void LayoutBrowser();
  // Where the view lies in a client area of `client`: all of it but a strip
  // two pixels high along the bottom.
  static constexpr ViewRect BrowserRect(ClientSize client) { return {0, 0, client.width, client.height - 2}; }
  void OnCancel();
  // Hands the chosen setup directory to the parent and ends the dialog,
  // once a language has been chosen; does nothing before. On a sealed
  // medium the chosen folder's files are checked first (off the main
  // loop, with the progress box), and the choice is handed over only when
  // every one matches.
  void OnOK();
  // The progress box's Cancel: the check stops, nothing is handed over,
  // and the page is the user's again.
  void OnCheckCancel();
  // Events of the check.
  void OnCheckProgress(const medium::VerifyProgress& progress);
  void OnCheckDone(const medium::VerifyResult& result);
  // What the progress box shows for `progress` after `elapsed` of reading:
  // the time left once a second has passed and something has been read.
  static ProgressState ProgressOf(const medium::Medium& medium, const medium::VerifyProgress& progress,
                                  std::chrono::steady_clock::duration elapsed);
  // Writes `text` to standard output for the parent; false when standard
  // input or output is missing, or the write failed. A result that was
  // lost is remembered.
  bool WriteResult(const std::string& text);

  // Events of the view.
  void OnBeforeNavigate2(const std::string& url, bool& cancel) override;
  void OnDocumentComplete(const std::string& url) override;
  // The view cannot show the pages: the dialog says why and ends without a
  // result.
  void OnViewFailed(const std::string& why) override;
  // The window's close request: asks before the dialog ends.
  void OnClose() override;
  // Keeps the user on the two pages: no context menu, and on a page only
  // Return and Tab (and Alt combinations) get through.
  bool PreTranslateMessage(const InputMessage& message) override;

  // The database page's choice, read from its markup.
  void DetectDatabase();
  void ShowReleaseNotes(std::string path);

  // Page filling, after a document has completed.
  void FillHomePage();
  void FillSapPage();

  // Text lookups in the medium's files, in the dialog's language section.
  std::string GetResString(int id) const;
  std::string GetSetupValue(const std::string& key) const;
  // The installable languages (the table is built on first use).
  std::string GetLanguageDir(const std::string& key) const;

  // What a language link of the home page stands for, as a click on it
  // resolves it.
  struct LanguageLink {
    // Its number is below the count of entries: a click on it acts (else
    // it does nothing at all).
    bool acts = false;
    // The setup folder it hands over, as the medium spells it; none when
    // the click shows the message of a language without its setup.
    std::optional<std::string> folder;
  };
  LanguageLink ResolveLanguageLink(const std::string& url) const;

  // What the dialog shows of `medium`, in its language section: the
  // window's caption, the close question, and the message of a chosen
  // language without its setup folder.
  static std::string WindowCaption(const medium::Medium& medium);
  static MessageBoxText CloseQuestion(const medium::Medium& medium);
  static MessageBoxText NoLanguageSetup(const medium::Medium& medium);
  // Why the dialog ends at start on `medium` for want of a product name;
  // empty when it has one.
  static std::string WhyNoProduct(const medium::Medium& medium);

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
  // The chosen folder's files are being checked.
  bool IsChecking() const { return m_pMediumCheck != nullptr; }
  // The file the last check found damaged (relative to the medium), and
  // what is wrong with it; empty when none was.
  const std::string& DamagedFile() const { return m_strDamagedFile; }
  const std::string& Damage() const { return m_strDamage; }
  // The process's exit status once the dialog has ended: 4 when another
  // launcher runs (whatever else kept it from running), 1 when the view
  // could not show the pages, 3 when the result did not reach the parent,
  // else 0 (with a result or without).
  int ExitStatus() const;
  // Which table key the last filling of the home page placed in each
  // language slot; a language link is resolved through it.
  const pages::SlotKeys& SlotLanguageKeys() const { return m_strSlotKeys; }

 private:
  void FormPaths();
  void ResolveLanguage();
  bool AnotherLauncherRuns();
  bool ParentIsThere();
  // "the lock file PATH", or the lock's name where it has no file.
  static std::string LockNamed(const ILockHandle& lock, const std::string& name);
  // Says on standard error why the dialog ends at start; only the first
  // reason is said.
  void SayWhyEnded(const std::string& line);
  void ChooseLanguage(const std::string& url);
  // Writes the result and ends the dialog.
  void HandOver();
  // Starts the check of the chosen folder on a sealed medium; false when
  // the medium is not sealed (nothing to check).
  bool StartCheck();
  // The medium is damaged at `file`: the message, and the choice undone.
  void ShowDamaged(const std::string& file, const std::string& damage);
  void OpenReleaseNotes();
  // The medium as the dialog reads it: its paths, language section and
  // count of entries, and the process's language table.
  medium::Medium Medium() const;
  pages::HomePageState HomeState() const;

  IDialogWindow& m_window;
  ISystem& m_system;
  setupdata::LanguageTable& m_languages;

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
  std::string m_strDatabase = pages::kSqlDatabase;
  std::string m_hIcon = kApplicationIcon;
  bool m_bLaunchReady = false;
  std::unique_ptr<ILockHandle> m_hProductMutex;
  // Held for the life of the process, like the product's lock.
  std::unique_ptr<ILockHandle> m_hSecondInstanceMutex;
  pages::SlotKeys m_strSlotKeys;
  // The home page filled last carries language slots. A page that names
  // its languages itself has none: its links mean the entries they name.
  bool m_bPageHasSlots = true;
  bool m_bClosing = false;  // the close question is showing
  bool m_bEnded = false;    // the dialog has ended: pages ask for nothing more
  bool m_bViewFailed = false;
  bool m_bResultLost = false;
  bool m_bSaidWhy = false;                       // a reason for ending at start has been said
  bool m_bAnotherLauncher = false;               // another launcher holds the guard
  std::unique_ptr<IMediumCheck> m_pMediumCheck;  // the chosen folder's check, while it runs
  std::chrono::steady_clock::time_point m_checkStarted;
  // Where the check was when it last moved on, and when.
  medium::VerifyProgress m_checkSeen;
  std::chrono::steady_clock::time_point m_checkMoved;
  std::string m_strDamagedFile;
  std::string m_strDamage;
};

}  // namespace app
