#include "app/launcher_dlg.h"

#include <utility>

#include "app/result_channel.h"
#include "medium/checksums.h"
#include "pages/link_commands.h"
#include "setupdata/name_on_medium.h"
#include "setupdata/text.h"

namespace app {

CLauncherDlg::CLauncherDlg(IDialogWindow& window, browser::IWebBrowser& browser, ISystem& system,
                           setupdata::LanguageTable& languages)
    : m_window(window), m_system(system), m_languages(languages), m_browser(browser) {}

void CLauncherDlg::OnInitDialog() {
  m_window.SetIcon(m_hIcon, true);
  m_window.SetIcon(m_hIcon, false);

  FormPaths();
  // Without its own folder the launcher has no medium: nothing is read and
  // nothing is shown.
  if (m_strModuleDir.empty()) {
    OnCancel();
    return;
  }
  ResolveLanguage();
  // A guard that fires lets the start-up run to its end; the dialog then
  // closes without a result. Both guards are always taken.
  if (AnotherLauncherRuns()) OnCancel();
  if (!ParentIsThere()) OnCancel();

  m_nLanguageCount = Medium().files().LanguageCount();

  m_bHomePage = true;
  LayoutBrowser();

  // The window and the pages read in the direction of the section's
  // language, which need not be the desktop's.
  const pages::DocumentLanguage language = Medium().PageLanguage();
  m_window.SetTextDirection(language.right_to_left);
  m_browser.SetDocumentLanguage(language);
  m_window.SetWindowText(WindowCaption(Medium()));

  m_bSapMode = Medium().HasDatabaseChoice();
  m_browser.Navigate2(m_bSapMode ? pages::kDatabasePageAddress : pages::kHomePageAddress);
}

void CLauncherDlg::FormPaths() {
  const setupdata::SetupFiles files = setupdata::SetupFiles::ForProgram(m_system.ModuleFileName());
  m_strModuleDir = files.module_dir;
  m_strResIniPath = files.res_ini_path;
  m_strSetupInfPath = files.setup_inf_path;
}

void CLauncherDlg::ResolveLanguage() {
  m_strLangId = setupdata::ResolveLanguage(m_system.SystemDefaultLangId(), m_strResIniPath);
}

bool CLauncherDlg::AnotherLauncherRuns() {
  bool existed = false;
  m_hSecondInstanceMutex = m_system.CreateNamedLock(kSecondInstanceLock, existed);
  // A lock that cannot be held guards nothing: another launcher may run.
  // The system has said why it cannot be held.
  if (!m_hSecondInstanceMutex) {
    m_bSaidWhy = true;
    return true;
  }
  if (existed) {
    m_bAnotherLauncher = true;
    SayWhyEnded("another launcher is running: it holds " +
                LockNamed(*m_hSecondInstanceMutex, kSecondInstanceLock) +
                " (one launcher runs at a time, whatever its product)");
  }
  return existed;
}

bool CLauncherDlg::ParentIsThere() {
  // The parent holds a lock named after the product while it waits for us.
  const std::string product = GetSetupValue(setupdata::kProductNameKey);
  if (product.empty()) {
    SayWhyEnded(WhyNoProduct(Medium()));
    return false;
  }
  bool existed = false;
  m_hProductMutex = m_system.CreateNamedLock(product, existed);
  if (!m_hProductMutex) m_bSaidWhy = true;  // the system has said why
  if (m_hProductMutex && !existed) {
    SayWhyEnded("no parent holds the lock of the product \"" + product + "\" (" +
                LockNamed(*m_hProductMutex, product) +
                "): start the launcher from the product's setup program, which holds it while it waits");
  }
  return existed;
}

std::string CLauncherDlg::LockNamed(const ILockHandle& lock, const std::string& name) {
  const std::string path = lock.Path();
  return path.empty() ? "the lock \"" + name + "\"" : "the lock file " + path;
}

void CLauncherDlg::SayWhyEnded(const std::string& line) {
  // Only the first reason is said: one line, whatever else fires after it.
  if (std::exchange(m_bSaidWhy, true)) return;
  m_system.SayError(line);
}

medium::Medium CLauncherDlg::Medium() const {
  return medium::Medium(
      setupdata::SetupFiles{m_strModuleDir, m_strResIniPath, m_strSetupInfPath, m_strLangId},
      m_nLanguageCount, m_languages);
}

void CLauncherDlg::LayoutBrowser() {
  const ViewRect rect = BrowserRect(m_window.GetClientRect());
  m_browser.SetTop(rect.top);
  m_browser.SetLeft(rect.left);
  m_browser.SetWidth(rect.width);
  m_browser.SetHeight(rect.height);
}

std::string CLauncherDlg::WindowCaption(const medium::Medium& medium) {
  return medium::WindowCaption(medium.GetResString(kCaptionTextId),
                               medium.GetSetupValue(setupdata::kProductNameKey));
}

MessageBoxText CLauncherDlg::CloseQuestion(const medium::Medium& medium) {
  return {medium.GetResString(kCloseQuestionId), medium.GetResString(kCloseCaptionId),
          MessageBoxType::kYesNoWarning};
}

MessageBoxText CLauncherDlg::NoLanguageSetup(const medium::Medium& medium) {
  return {medium.GetResString(kNoLanguageSetupId), "", MessageBoxType::kOkError};
}

std::string CLauncherDlg::WhyNoProduct(const medium::Medium& medium) {
  if (!medium.GetSetupValue(setupdata::kProductNameKey).empty()) return {};
  return "no product name: [" + std::string(setupdata::kSetupSection) + "] " + setupdata::kProductNameKey +
         " of " + medium.files().setup_inf_path + " is missing or names an empty text";
}

void CLauncherDlg::OnCancel() {
  m_bEnded = true;
  m_window.EndDialog(IDCANCEL);
}

void CLauncherDlg::OnOK() {
  if (!m_bLaunchReady || m_pMediumCheck) return;
  if (!StartCheck()) HandOver();
}

void CLauncherDlg::HandOver() {
  WriteResult(medium::Handover(m_strSetupDir, m_bSapMode ? m_strDatabase : "", m_strSapOption));
  m_bEnded = true;
  m_window.EndDialog(IDOK);
}

bool CLauncherDlg::StartCheck() {
  // The list is found as every name of the medium is; without it the
  // medium is not sealed and nothing is checked.
  const setupdata::FoundPath list = setupdata::FindOnMedium(m_strModuleDir, medium::kChecksumsName);
  if (!list.found()) return false;
  m_strDamagedFile.clear();
  m_strDamage.clear();
  m_window.ShowProgress({"", Medium().CheckText(medium::kCheckingMediumId)}, [this] { OnCheckCancel(); });
  m_checkStarted = m_checkMoved = std::chrono::steady_clock::now();
  m_checkSeen = {};
  // The list is read on a worker too, as the files are: a drive that hangs
  // on it leaves the window live. Only the chosen folder's files are read.
  m_pMediumCheck = m_system.StartCheck(
      m_strModuleDir,
      [root = m_strModuleDir, path = list.path, folder = m_strSetupDir](std::vector<medium::Fault>& faults) {
        return medium::FilesListedUnder(root, path, folder, faults);
      },
      [this](const medium::VerifyProgress& p) { OnCheckProgress(p); },
      [this](const medium::VerifyResult& r) { OnCheckDone(r); });
  return true;
}

ProgressState CLauncherDlg::ProgressOf(const medium::Medium& medium, const medium::VerifyProgress& progress,
                                       std::chrono::steady_clock::duration elapsed) {
  ProgressState state;
  state.file = progress.current;
  if (progress.total > 0) state.fraction = static_cast<double>(progress.done) / progress.total;
  if (elapsed >= std::chrono::seconds(1) && progress.done > 0 && progress.total > progress.done) {
    const double left = std::chrono::duration<double>(elapsed).count() *
                        static_cast<double>(progress.total - progress.done) / progress.done;
    state.time_left = medium.TimeLeft(std::chrono::seconds(static_cast<long long>(left + 0.5)));
  }
  return state;
}

void CLauncherDlg::OnCheckProgress(const medium::VerifyProgress& progress) {
  if (!m_pMediumCheck) return;
  const auto now = std::chrono::steady_clock::now();
  if (progress.done != m_checkSeen.done || progress.current != m_checkSeen.current) {
    m_checkSeen = progress;
    m_checkMoved = now;
  } else if (now - m_checkMoved >= medium::kStallLimit) {
    // A drive that gives no answer is a medium that cannot be read; an
    // unattended run has nobody to press Cancel.
    m_pMediumCheck.reset();
    m_window.CloseProgress();
    ShowDamaged(progress.current,
                "gives no answer within " + std::to_string(medium::kStallLimit.count()) + " s");
    return;
  }
  m_window.UpdateProgress(ProgressOf(Medium(), progress, now - m_checkStarted));
}

void CLauncherDlg::OnCheckCancel() {
  if (!m_pMediumCheck) return;
  m_pMediumCheck.reset();
  m_window.CloseProgress();
  m_bLaunchReady = false;
}

void CLauncherDlg::OnCheckDone(const medium::VerifyResult& result) {
  if (!m_pMediumCheck) return;
  m_pMediumCheck.reset();
  m_window.CloseProgress();
  if (result.ok()) {
    HandOver();
  } else if (!result.faults.empty()) {
    ShowDamaged(result.faults.front().path, medium::FaultInWords(result.faults.front()));
  } else {
    m_bLaunchReady = false;
  }
}

void CLauncherDlg::ShowDamaged(const std::string& file, const std::string& damage) {
  m_bLaunchReady = false;
  m_strDamagedFile = file;
  m_strDamage = damage;
  m_window.MessageBox(Medium().DamagedMessage(file), "", MessageBoxType::kOkError);
}

int CLauncherDlg::ExitStatus() const {
  if (m_bAnotherLauncher) return kAnotherLauncherStatus;
  if (m_bViewFailed) return 1;
  return m_bResultLost ? kResultLostStatus : 0;
}

bool CLauncherDlg::WriteResult(const std::string& text) {
  const ResultWrite written = m_system.WriteResult(text);
  if (written == ResultWrite::kLost) m_bResultLost = true;
  return written == ResultWrite::kWritten;
}

void CLauncherDlg::OnClose() {
  if (m_bClosing || m_bEnded) return;  // the question shows already, or the dialog has ended
  OnCheckCancel();                     // leaving hands nothing over
  m_bClosing = true;
  const MessageBoxText question = CloseQuestion(Medium());
  const int answer = m_window.MessageBox(question.text, question.caption, question.type);
  m_bClosing = false;
  if (answer != IDYES) return;
  WriteResult("");
  OnCancel();
}

bool CLauncherDlg::PreTranslateMessage(const InputMessage& message) {
  using Kind = InputMessage::Kind;
  if (message.kind == Kind::kRightButtonDown || message.kind == Kind::kRightButtonUp) return true;
  if ((m_bHomePage || m_bSapPage) && message.kind == Kind::kKeyDown && !message.system_key &&
      message.key == InputMessage::Key::kOther) {
    return true;
  }
  return false;
}

void CLauncherDlg::OnBeforeNavigate2(const std::string& url, bool& cancel) {
  // Once the dialog has ended nothing a page asks for is done: a command
  // that waited behind the close question is dropped after its Yes.
  if (m_bEnded || m_pMediumCheck) {
    cancel = true;
    return;
  }
  const pages::LinkCommand command = pages::ParseLinkAddress(url);
  if (m_bSapPage) {
    // Moving on to the home page takes the database choice along.
    if (pages::IsHomePageAddress(url)) {
      DetectDatabase();
      m_strSapOption = Medium().DatabaseOption(m_strDatabase);
    }
  } else if (m_bHomePage) {
    if (command.language) {
      cancel = true;
      ChooseLanguage(url);
    }
    if (command.release_notes) {
      cancel = true;
      OpenReleaseNotes();
    }
  }
  if (command.exit) {
    cancel = true;
    m_window.PostClose();
  }
}

CLauncherDlg::LanguageLink CLauncherDlg::ResolveLanguageLink(const std::string& url) const {
  const pages::LinkCommand command = pages::ParseLinkAddress(url);
  LanguageLink link;
  // Equal to or above the count: the click does nothing. A negative number
  // passes, as it always has.
  if (!command.language || command.language_number >= static_cast<long long>(m_nLanguageCount)) return link;
  link.acts = true;
  std::string dir;
  if (m_bPageHasSlots) {
    // The link of a slot means the language that slot shows. When the
    // filling skipped an entry, that is not the table entry of the slot's
    // own number, so the key the last filling placed in the slot is used.
    const int slot = command.language_slot;
    const bool placed = slot >= 0 && !m_strSlotKeys[slot].empty();
    dir = GetLanguageDir(placed ? m_strSlotKeys[slot] : command.language_key);
  } else if (command.language_number >= 0 &&
             command.language_key ==
                 setupdata::LanguageKey(static_cast<std::uint32_t>(command.language_number))) {
    // A page that names its languages itself shows every entry where its
    // author put it, so its link means the entry of its number, whether
    // or not an earlier entry is installable.
    dir = Medium().LanguageEntry(static_cast<std::uint32_t>(command.language_number)).dir.value_or("");
  }
  // A folder that went away after the page was filled is no setup either:
  // the parent must never be handed a directory that is not there. It gets
  // the folder as the medium spells it, which may differ in case from the
  // language entry, so that it can open it.
  if (!dir.empty()) link.folder = Medium().SetupSubdirOnMedium(dir);
  return link;
}

void CLauncherDlg::ChooseLanguage(const std::string& url) {
  const LanguageLink link = ResolveLanguageLink(url);
  if (!link.acts) return;
  if (!link.folder) {
    const MessageBoxText message = NoLanguageSetup(Medium());
    m_window.MessageBox(message.text, message.caption, message.type);
    return;
  }
  m_strSetupDir = *link.folder;
  m_bLaunchReady = true;
  OnOK();
}

void CLauncherDlg::OpenReleaseNotes() {
  const medium::Medium::NotesFile notes = Medium().ReleaseNotesPath(m_bSapMode ? m_strDatabase : "");
  if (!notes.found) {
    m_window.MessageBox(GetResString(kNoReleaseNotesId) + notes.path, "", MessageBoxType::kOkError);
    return;
  }
  ShowReleaseNotes(notes.path);
  m_window.Lower();
}

void CLauncherDlg::ShowReleaseNotes(std::string path) {
  if (m_system.OpenWithDefaultHtmlProgram(path)) return;
  m_browser.Navigate2(path, true);
}

void CLauncherDlg::DetectDatabase() {
  if (!m_bSapMode) return;
  const std::optional<std::string> body = m_browser.ReadBody();
  if (body) m_strDatabase = pages::DetectDatabaseIn(*body);
}

void CLauncherDlg::OnDocumentComplete(const std::string& url) {
  if (m_bEnded) return;  // nothing is shown any more
  const pages::Page page = pages::PageOfDocument(url);
  m_bSapPage = page == pages::Page::kDatabase;
  m_bHomePage = page == pages::Page::kHome;
  if (m_bSapPage) {
    FillSapPage();
  } else if (m_bHomePage) {
    FillHomePage();
  }
  LayoutBrowser();
}

void CLauncherDlg::OnViewFailed(const std::string& why) {
  m_system.SayError(why + "; giving up");
  m_bViewFailed = true;
  OnCancel();
}

pages::HomePageState CLauncherDlg::HomeState() const {
  return pages::HomePageState{m_bSapMode, m_nLanguageCount, m_strDatabase};
}

void CLauncherDlg::FillHomePage() {
  if (!m_bHomePage) return;
  const std::optional<std::string> body = m_browser.ReadBody();
  if (!body) return;
  pages::SlotKeys placed;
  m_bPageHasSlots = pages::CarriesLanguageSlots(*body);
  m_browser.WriteBody(Medium().FillPage(pages::Page::kHome, *body, HomeState(), &placed));
  m_strSlotKeys = placed;
}

void CLauncherDlg::FillSapPage() {
  if (!m_bSapPage) return;
  const std::optional<std::string> body = m_browser.ReadBody();
  if (!body) return;
  m_browser.WriteBody(Medium().FillPage(pages::Page::kDatabase, *body, HomeState()));
}

std::string CLauncherDlg::GetResString(int id) const { return Medium().GetResString(id); }

std::string CLauncherDlg::GetSetupValue(const std::string& key) const { return Medium().GetSetupValue(key); }

std::string CLauncherDlg::GetLanguageDir(const std::string& key) const {
  return Medium().GetLanguageDir(key);
}

}  // namespace app
