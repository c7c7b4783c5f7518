// The window's module: the GTK window and the WebKitGTK view behind the
// one entry the launcher looks up.
#include <gtk/gtk.h>

#include <memory>

#include "app/gtk_dialog_window.h"
#include "app/page_source.h"
#include "app/window_module.h"
#include "browser/handler_queue.h"
#include "browser/webkit_browser.h"

namespace app {
namespace {

bool OpenDisplay(const char* program) {
  // The launcher has set the locale of the user's messages, which also
  // governs GTK's own words (the buttons of a message box).
  gtk_disable_setlocale();
  int argc = 1;
  char* args[] = {const_cast<char*>(program), nullptr};
  char** argv = args;
  return gtk_init_check(&argc, &argv);
}

void RunDialog(const char* medium_dir, IWindowHost* host) {
  browser::HandlerQueue handlers;
  GtkDialogWindow window(handlers);
  browser::CWebBrowser2 view(window.client(), std::make_shared<PageLibrarySource>(medium_dir), handlers);
  const DialogReceivers receivers = host->CreateDialog(window, view);
  window.SetOnEnd([host] { host->DialogEnded(); });
  window.SetEventSink(receivers.window);
  window.FilterInputOf(view.widget());
  view.SetEventSink(receivers.view);
  host->InitDialog();
  gtk_widget_grab_focus(view.widget());
  window.RunModal();
  view.SetEventSink(nullptr);
  window.SetEventSink(nullptr);
  host->DestroyDialog();
}

}  // namespace
}  // namespace app

extern "C" __attribute__((visibility("default"))) const SetupLauncherWindowModule* setup_launcher_gtk_entry(
    int abi_version) {
  static const SetupLauncherWindowModule module{app::kWindowModuleAbi, app::kWindowModuleBuildId,
                                                app::OpenDisplay, app::RunDialog};
  return abi_version == app::kWindowModuleAbi ? &module : nullptr;
}
