#include "app/launcher_app.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>
#include <utility>

#include "app/gtk_dialog_window.h"
#include "app/launcher_dlg.h"
#include "app/page_source.h"
#include "app/result_channel.h"
#include "browser/webkit_browser.h"
#include "setupdata/setup_files.h"

namespace app {
namespace {

// Once the dialog has ended (the user confirmed leaving, or chose a
// language), the process is gone within this time, whatever the page, the
// web process or the toolkit do meanwhile: the parent waits for it.
constexpr auto kExitGrace = std::chrono::seconds(2);

void ArmExitWatchdog(int status) {
  static bool armed = false;
  if (std::exchange(armed, true)) return;
  std::thread([status] {
    std::this_thread::sleep_for(kExitGrace);
    _exit(status);
  }).detach();
}

int ExitStatusOf(const CLauncherDlg& dialog) {
  if (dialog.ViewFailed()) return 1;
  return dialog.ResultLost() ? kResultLostStatus : 0;
}

}  // namespace

int CLauncherApp::Run(int argc, char** argv) {
  // The command line is not read; GTK only sees the program's name.
  (void)argc;
  int gtk_argc = 1;
  char* gtk_args[] = {argv[0], nullptr};
  char** gtk_argv = gtk_args;
  // The medium is the launcher's own folder: without it the launcher
  // cannot run, and never takes the working folder instead.
  module_dir_ = setupdata::SetupFiles::ForProgram(PosixSystem().ModuleFileName()).module_dir;
  if (module_dir_.empty()) {
    std::fputs("setup-launcher: cannot find the launcher's own folder (/proc/self/exe cannot be read)\n",
               stderr);
    return 1;
  }
  // The locale of the user's messages also governs GTK's own words (the
  // buttons of a message box). A locale this system lacks falls back to
  // plain UTF-8 quietly, instead of GTK's warning on standard error.
  if (std::setlocale(LC_ALL, "") == nullptr) std::setlocale(LC_ALL, "C.UTF-8");
  gtk_disable_setlocale();
  if (!gtk_init_check(&gtk_argc, &gtk_argv)) {
    std::fputs("setup-launcher: cannot open the display\n", stderr);
    return 1;
  }
  // A parent that goes away before the result is written must not take
  // the launcher down with it.
  std::signal(SIGPIPE, SIG_IGN);
  InitInstance();
  return exit_status_;
}

bool CLauncherApp::InitInstance() {
  PosixSystem system;
  {
    browser::HandlerQueue handlers;
    GtkDialogWindow window(handlers);
    browser::CWebBrowser2 view(window.client(), std::make_shared<PageLibrarySource>(module_dir_), handlers);
    CLauncherDlg dialog(window, view, system, languages_);
    window.SetOnEnd([&dialog] { ArmExitWatchdog(ExitStatusOf(dialog)); });
    window.SetEventSink(&dialog);
    window.FilterInputOf(view.widget());
    view.SetEventSink(&dialog);
    dialog.OnInitDialog();
    gtk_widget_grab_focus(view.widget());
    window.RunModal();
    exit_status_ = ExitStatusOf(dialog);
    view.SetEventSink(nullptr);
    window.SetEventSink(nullptr);
  }
  return false;
}

}  // namespace app
