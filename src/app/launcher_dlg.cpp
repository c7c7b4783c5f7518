#include "app/launcher_dlg.h"

#include "pages/link_commands.h"
#include "pages/page_contract.h"
#include "setupdata/ini_file.h"
#include "setupdata/text.h"

namespace app {

CLauncherDlg::CLauncherDlg(IDialogWindow& window, browser::IWebBrowser& browser, ISystem& system)
    : m_window(window), m_system(system), m_browser(browser) {}

bool CLauncherDlg::OnInitDialog() {
  m_window.SetIcon(m_hIcon, true);
  m_window.SetIcon(m_hIcon, false);

  FormPaths();
  // Without its own folder the launcher has no medium: nothing is read and
  // nothing is shown.
  if (m_strModuleDir.empty()) {
    OnCancel();
    return true;
  }
  ResolveLanguage();
  // A guard that fires lets the start-up run to its end; the dialog then
  // closes without a result. Both guards are always taken.
  if (AnotherLauncherRuns()) OnCancel();
  if (!ParentIsThere()) OnCancel();

  m_nLanguageCount = Files().LanguageCount();

  m_bHomePage = true;
  LayoutBrowser();

  m_window.SetWindowText(
      FormatCaption(GetResString(kCaptionTextId), GetSetupValue(setupdata::kProductNameKey)));

  m_bSapMode = HasDatabaseChoice();
  m_browser.Navigate2(m_bSapMode ? pages::kDatabasePageAddress : pages::kHomePageAddress);
  return true;
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
  return existed || !m_hSecondInstanceMutex;
}

bool CLauncherDlg::ParentIsThere() {
  // The parent holds a lock named after the product while it waits for us.
  const std::string product = GetSetupValue(setupdata::kProductNameKey);
  if (product.empty()) return false;
  bool existed = false;
  m_hProductMutex = m_system.CreateNamedLock(product, existed);
  return existed;
}

setupdata::LanguageSource CLauncherDlg::Languages() const {
  return setupdata::LanguageSource{m_strModuleDir, m_strResIniPath, m_strLangId, m_nLanguageCount};
}

setupdata::SetupFiles CLauncherDlg::Files() const {
  return setupdata::SetupFiles{m_strModuleDir, m_strResIniPath, m_strSetupInfPath, m_strLangId};
}

void CLauncherDlg::LayoutBrowser() {
  const ClientSize client = m_window.GetClientRect();
  m_browser.SetTop(0);
  m_browser.SetLeft(0);
  m_browser.SetWidth(client.width);
  m_browser.SetHeight(client.height - 2);
}

std::string CLauncherDlg::FormatCaption(const std::string& caption_text, const std::string& product_name) {
  if (caption_text.find("%s") == std::string::npos) return {};
  std::string caption = setupdata::FormatWithOneString(caption_text, product_name);
  const std::size_t rest = caption.find("%s");
  if (rest != std::string::npos) caption.resize(rest);
  return caption;
}

void CLauncherDlg::OnCancel() { m_window.EndDialog(IDCANCEL); }

void CLauncherDlg::OnOK() {
  if (!m_bLaunchReady) return;
  std::string result = m_strSetupDir;
  if (m_bSapMode) result += m_strDatabase.substr(0, 1) + m_strSapOption;
  WriteResult(result);
  m_window.EndDialog(IDOK);
}

bool CLauncherDlg::WriteResult(const std::string& text) {
  const ResultWrite written = m_system.WriteResult(text);
  if (written == ResultWrite::kLost) m_bResultLost = true;
  return written == ResultWrite::kWritten;
}

void CLauncherDlg::OnClose() {
  if (m_bClosing) return;  // the question is already showing
  m_bClosing = true;
  const int answer = m_window.MessageBox(GetResString(kCloseQuestionId), GetResString(kCloseCaptionId),
                                         MessageBoxType::kYesNoWarning);
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
  const pages::LinkCommand command = pages::ParseLinkAddress(url);
  if (m_bSapPage) {
    // Moving on to the home page takes the database choice along.
    if (pages::IsHomePageAddress(url)) {
      DetectDatabase();
      const char* key = setupdata::EqualsNoCase(m_strDatabase, pages::kSqlDatabase) ? setupdata::kSqlKey
                                                                                    : setupdata::kOracleKey;
      m_strSapOption = setupdata::ReadIniString(m_strSetupInfPath, setupdata::kDatabaseSection, key, "");
    }
  } else if (m_bHomePage) {
    if (command.language) {
      cancel = true;
      ChooseLanguage(command.language_number, command.language_key, command.language_slot);
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

void CLauncherDlg::ChooseLanguage(long long number, const std::string& key, int slot) {
  // Equal to or above the count: the click does nothing. A negative number
  // passes, as it always has.
  if (number >= static_cast<long long>(m_nLanguageCount)) return;
  // The link of a slot means the language that slot shows. When the
  // filling skipped an entry, that is not the table entry of the slot's
  // own number, so the slot's key from the last filling is used.
  const std::string& table_key = (m_bSlotsFilled && slot >= 0) ? m_strSlotKeys[slot] : key;
  const std::string dir = GetLanguageDir(table_key);
  // A folder that went away after the page was filled is no setup either:
  // the parent must never be handed a directory that is not there.
  if (dir.empty() || !IsSetupSubdir(dir)) {
    m_window.MessageBox(GetResString(kNoLanguageSetupId), "", MessageBoxType::kOkError);
    return;
  }
  m_strSetupDir = dir;
  m_bLaunchReady = true;
  OnOK();
}

std::string CLauncherDlg::GetReleaseNotesName() const { return GetSetupValue(setupdata::kReleaseNotesKey); }

void CLauncherDlg::OpenReleaseNotes() {
  std::string name = GetReleaseNotesName();
  if (setupdata::EqualsNoCase(name, setupdata::kNullText)) name = kDefaultReleaseNotes;
  // One folder per language id, "1033" serving the others; in database mode
  // one such set in each database's folder.
  const std::string base = m_bSapMode ? m_strModuleDir + m_strDatabase + "/" : m_strModuleDir;
  const std::string first = base + m_strLangId + "/" + name;
  const std::string second = base + setupdata::kFallbackLangId + "/" + name;
  const std::string path = m_system.FileExists(first) ? first : second;
  if (!m_system.FileExists(path)) {
    m_window.MessageBox(GetResString(kNoReleaseNotesId) + path, "", MessageBoxType::kOkError);
    return;
  }
  ShowReleaseNotes(path);
  m_window.Lower();
}

void CLauncherDlg::ShowReleaseNotes(std::string path) {
  if (m_system.OpenWithDefaultHtmlProgram(path)) return;
  m_browser.Navigate2(path, true);
}

bool CLauncherDlg::DetectDatabase() {
  if (!m_bSapMode) return true;
  const std::optional<std::string> body = m_browser.ReadBody();
  if (!body) return true;
  m_strDatabase = pages::DetectDatabaseIn(*body);
  return true;
}

void CLauncherDlg::OnDocumentComplete(const std::string& url) {
  if (url.find(pages::kDatabasePageAddress) != std::string::npos) {
    m_bSapPage = true;
    m_bHomePage = false;
  } else if (url.find(pages::kHomePageAddress) != std::string::npos) {
    m_bHomePage = true;
    m_bSapPage = false;
  } else {
    m_bHomePage = false;
    m_bSapPage = false;
  }
  if (m_bSapPage) {
    FillSapPage();
  } else if (m_bHomePage) {
    FillHomePage();
  }
  LayoutBrowser();
}

void CLauncherDlg::OnViewFailed() {
  m_bViewFailed = true;
  OnCancel();
}

bool CLauncherDlg::FillHomePage() {
  if (!m_bHomePage) return true;
  const std::optional<std::string> body = m_browser.ReadBody();
  if (!body) return true;
  const pages::HomePageState state{m_bSapMode, m_nLanguageCount, m_strDatabase};
  pages::SlotKeys placed;
  m_browser.WriteBody(pages::FillHomePageText(*body, state, *this, &placed));
  m_strSlotKeys = placed;
  m_bSlotsFilled = true;
  return true;
}

bool CLauncherDlg::FillSapPage() {
  if (!m_bSapPage) return true;
  const std::optional<std::string> body = m_browser.ReadBody();
  if (!body) return true;
  m_browser.WriteBody(pages::FillSapPageText(*body, *this));
  return true;
}

std::string CLauncherDlg::GetResString(int id) const { return Files().GetResString(id); }

std::string CLauncherDlg::GetResText(const std::string& key) const { return Files().GetResText(key); }

std::string CLauncherDlg::GetSetupValue(const std::string& key) const { return Files().GetSetupValue(key); }

bool CLauncherDlg::HasDatabaseChoice() const { return Files().HasDatabaseChoice(); }

}  // namespace app

namespace app {

bool CLauncherDlg::IsSetupSubdir(const std::string& name) const {
  return setupdata::IsSetupSubdir(m_strModuleDir, name);
}

void CLauncherDlg::BuildLanguageTable() const { setupdata::LanguageTable::Instance().Build(Languages()); }

std::string CLauncherDlg::GetLanguageName(const std::string& key) const {
  return setupdata::LanguageTable::Instance().GetLanguageName(Languages(), key);
}

std::string CLauncherDlg::GetLanguageDir(const std::string& key) const {
  return setupdata::LanguageTable::Instance().GetLanguageDir(Languages(), key);
}

}  // namespace app
