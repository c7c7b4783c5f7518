#include "app/launcher_app.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

#include "app/front_ends.h"
#include "app/launcher_dlg.h"
#include "app/result_channel.h"
#include "app/window_module_loader.h"
#include "setupdata/setup_files.h"
#include "setupdata/text.h"

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

// Names from the medium may hold control characters: the line stays one.
void SayError(const std::string& line) {
  std::fprintf(stderr, "setup-launcher: %s\n", setupdata::PrintableText(line).c_str());
}

// The dialog in the module's window.
class WindowHost final : public IWindowHost {
 public:
  WindowHost(ISystem& system, setupdata::LanguageTable& languages) : system_(system), languages_(languages) {}

  DialogReceivers CreateDialog(IDialogWindow& window, browser::IWebBrowser& view) override {
    dialog_ = std::make_unique<CLauncherDlg>(window, view, system_, languages_);
    return {dialog_.get(), dialog_.get()};
  }
  void InitDialog() override { dialog_->OnInitDialog(); }
  void DialogEnded() override { ArmExitWatchdog(dialog_->ExitStatus()); }
  void DestroyDialog() override {
    status_ = dialog_->ExitStatus();
    dialog_.reset();
  }
  int status() const { return status_; }

 private:
  ISystem& system_;
  setupdata::LanguageTable& languages_;
  std::unique_ptr<CLauncherDlg> dialog_;
  int status_ = 1;
};

// Runs the dialog in a window: the exit status, or nothing with `why` set
// when no window can show (no display, or the module cannot be used).
std::optional<int> RunWindow(const char* program, const FrontEndContext& context, std::string& why) {
  if (!DisplayNamed()) {
    why = "cannot open the display";
    return std::nullopt;
  }
  const SetupLauncherWindowModule* module = LoadWindowModule(context.module_dir, why);
  if (module == nullptr) return std::nullopt;
  if (!module->open_display(program)) {
    why = "cannot open the display";
    return std::nullopt;
  }
  WindowHost host(context.system, context.languages);
  module->run_dialog(context.module_dir.c_str(), &host);
  return host.status();
}

}  // namespace

int CLauncherApp::Run(int argc, char** argv) {
  // A parent that goes away before the result (or the usage) is written
  // must not take the launcher down with it: the write says so instead.
  std::signal(SIGPIPE, SIG_IGN);
  const LaunchOptions options = ParseLaunchOptions(argc, argv);
  if (!options.error.empty()) {
    SayError(options.error);
    return 2;
  }
  // The usage goes where every answer of the launcher goes.
  if (options.help) return WriteResultOnce(LaunchUsage()) == ResultWrite::kLost ? kResultLostStatus : 0;
  // The medium is the launcher's own folder: without it the launcher
  // cannot run, and never takes the working folder instead.
  PosixSystem system;
  module_dir_ = setupdata::SetupFiles::ForProgram(system.ModuleFileName()).module_dir;
  if (module_dir_.empty()) {
    SayError("cannot find the launcher's own folder (/proc/self/exe cannot be read)");
    return 1;
  }
  // The locale of the user's messages, for the dialog's words and the
  // toolkit's. A locale this system lacks falls back to plain UTF-8.
  if (std::setlocale(LC_ALL, "") == nullptr) std::setlocale(LC_ALL, "C.UTF-8");
  const FrontEndContext context{module_dir_, languages_, system};
  int status = 1;
  if (options.list) {
    status = ListLanguages(context);
  } else if (options.language) {
    status = RunUnattended(context, options);
  } else {
    // The window where one can show; else the terminal.
    std::string why;
    std::optional<int> window_status;
    if (!options.text) window_status = RunWindow(argc > 0 ? argv[0] : "setup-launcher", context, why);
    if (window_status) {
      status = *window_status;
    } else {
      const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
      if (tty < 0) {
        SayError(options.text ? "no terminal for --text (/dev/tty: " + std::string(std::strerror(errno)) + ")"
                              : why);
        return 1;
      }
      // Why the window did not show, unless the system has no display at
      // all and the terminal is what was expected.
      if (!options.text && DisplayNamed()) SayError(why);
      status = RunTextFrontEnd(context, tty);
      close(tty);
    }
  }
  ArmExitWatchdog(status);
  return status;
}

}  // namespace app
