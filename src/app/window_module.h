// The launcher's window lives in a module beside it (setup-launcher-gtk.so),
// loaded at run time, so that the launcher itself needs neither GTK nor
// WebKitGTK and runs its other front ends where they are missing. The
// module exports one C function, kWindowModuleEntry. The launcher and the
// module are built together and pass the dialog's C++ interfaces through
// it; the interface version and the build id keep a module of another build
// from being used.
#pragma once

#include "app/dialog_window.h"
#include "browser/web_browser.h"

namespace app {

// The version of this seam: the table below and the interfaces it passes.
inline constexpr int kWindowModuleAbi = 2;
// The name of the module's one exported function, of type WindowModuleEntry.
inline constexpr char kWindowModuleEntry[] = "setup_launcher_gtk_entry";
// The build both sides come from; a module of another build is refused.
extern const char kWindowModuleBuildId[];

// Where the window's and the view's events go.
struct DialogReceivers {
  IDialogEvents* window = nullptr;
  browser::IBrowserEvents* view = nullptr;
};

// The launcher's side of a run: it builds the dialog over the module's
// window and view, and learns when it ends.
class IWindowHost {
 public:
  virtual ~IWindowHost() = default;
  // Builds the dialog over `window` and `view`, which outlive it until
  // DestroyDialog.
  virtual DialogReceivers CreateDialog(IDialogWindow& window, browser::IWebBrowser& view) = 0;
  // Start-up of the dialog, once its receivers are connected.
  virtual void InitDialog() = 0;
  // The dialog has ended; called once, while the window still runs.
  virtual void DialogEnded() = 0;
  // The window has stopped running; the dialog goes before the window and
  // the view.
  virtual void DestroyDialog() = 0;
};

}  // namespace app

extern "C" {

// What the module offers.
struct SetupLauncherWindowModule {
  int abi_version;       // kWindowModuleAbi of the module's build
  const char* build_id;  // kWindowModuleBuildId of the module's build
  // Initialises the toolkit with the program's name as its only argument;
  // false when no display can be opened. The process's locale is set
  // already and stays.
  bool (*open_display)(const char* program);
  // Makes the window and its view over the page libraries in `medium_dir`
  // (ending with "/"), lets `host` build the dialog over them, shows the
  // window and runs it until the dialog ends, then takes both down.
  void (*run_dialog)(const char* medium_dir, app::IWindowHost* host);
};

// The entry: the module's table when it was built for `abi_version`, else
// null.
typedef const SetupLauncherWindowModule* (*WindowModuleEntry)(int abi_version);
}
