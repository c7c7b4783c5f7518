#include "app/launcher_dlg.h"

#include "pages/page_contract.h"
#include "setupdata/text.h"

namespace app {

CLauncherDlg::CLauncherDlg(IDialogWindow& window, browser::IWebBrowser& browser, ISystem& system)
    : m_window(window), m_system(system), m_browser(browser) {}

bool CLauncherDlg::OnInitDialog() {
  m_window.SetIcon(m_hIcon, true);
  m_window.SetIcon(m_hIcon, false);

  FormPaths();
  ResolveLanguage();
  // The guards against a second launcher and a missing parent belong here,
  // before anything is shown.

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

void CLauncherDlg::OnBeforeNavigate2(const std::string& /*url*/, bool& /*cancel*/) {
  // Link commands are read here; until then every navigation goes ahead.
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

bool CLauncherDlg::FillHomePage() {
  if (!m_bHomePage) return true;
  const std::optional<std::string> body = m_browser.ReadBody();
  if (!body) return true;
  const pages::HomePageState state{m_bSapMode, m_nLanguageCount, m_strDatabase};
  pages::SlotKeys placed;
  m_browser.WriteBody(pages::FillHomePageText(*body, state, *this, &placed));
  m_strSlotKeys = placed;
  return true;
}

bool CLauncherDlg::FillSapPage() {
  if (!m_bSapPage) return true;
  const std::optional<std::string> body = m_browser.ReadBody();
  if (!body) return true;
  m_browser.WriteBody(pages::FillSapPageText(*body, *this));
  return true;
}

void CLauncherDlg::OnClose() { OnCancel(); }

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
