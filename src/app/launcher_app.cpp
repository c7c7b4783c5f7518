#include "app/launcher_app.h"

#include <gtk/gtk.h>

#include <cstdio>

#include "app/gtk_dialog_window.h"
#include "app/launcher_dlg.h"
#include "browser/webkit_browser.h"
#include "setupdata/setup_files.h"

namespace app {

int CLauncherApp::Run(int argc, char** argv) {
  // The command line is not read; GTK only sees the program's name.
  (void)argc;
  int gtk_argc = 1;
  char* gtk_args[] = {argv[0], nullptr};
  char** gtk_argv = gtk_args;
  if (!gtk_init_check(&gtk_argc, &gtk_argv)) {
    std::fputs("setup-launcher: cannot open the display\n", stderr);
    return 1;
  }
  InitInstance();
  return 0;
}

bool CLauncherApp::InitInstance() {
  PosixSystem system;
  const std::string module_dir = setupdata::SetupFiles::ForProgram(system.ModuleFileName()).module_dir;
  {
    GtkDialogWindow window;
    browser::CWebBrowser2 view(window.client(), module_dir);
    CLauncherDlg dialog(window, view, system);
    window.SetEventSink(&dialog);
    view.SetEventSink(&dialog);
    if (dialog.OnInitDialog()) {
      // The framework would set the initial focus here.
    }
    gtk_widget_grab_focus(view.widget());
    window.RunModal();
    view.SetEventSink(nullptr);
    window.SetEventSink(nullptr);
  }
  return false;
}

}  // namespace app
