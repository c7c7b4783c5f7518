// CLauncherDlg: the launcher's one dialog. It decides everything: which
// files and language section are used, the caption, the first page, and
// what each event of the view means. It reaches the toolkit only through
// the window, view and system interfaces, so it runs without a display.
#pragma once

#include <cstdint>
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
// The caption's text in setupres.ini; a "%s" in it takes the product name.
inline constexpr int kCaptionTextId = 9011;

class CLauncherDlg : public browser::IBrowserEvents, public IDialogEvents, public pages::PageLookups {
 public:
  CLauncherDlg(IDialogWindow& window, browser::IWebBrowser& browser, ISystem& system);

  // Start-up: paths, language, caption, view size and the first page.
  bool OnInitDialog();
  void LayoutBrowser();
  void OnCancel();

  // Events of the view.
  void OnBeforeNavigate2(const std::string& url, bool& cancel) override;
  void OnDocumentComplete(const std::string& url) override;
  // The window's close request.
  void OnClose() override;

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
  // Which table key the last filling of the home page placed in each
  // language slot; a language link is resolved through it.
  const pages::SlotKeys& SlotLanguageKeys() const { return m_strSlotKeys; }

 private:
  void FormPaths();
  void ResolveLanguage();
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
  pages::SlotKeys m_strSlotKeys;
};

}  // namespace app
