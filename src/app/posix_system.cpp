#include <fcntl.h>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "app/named_lock.h"
#include "app/result_channel.h"
#include "app/system.h"
#include "app/terminal_text.h"
#include "setupdata/name_on_medium.h"
#include "setupdata/system_language.h"
#include "setupdata/text.h"

namespace app {
namespace {

class PosixLockHandle final : public ILockHandle {
 public:
  explicit PosixLockHandle(std::unique_ptr<NamedLock> lock) : lock_(std::move(lock)) {}
  std::string Path() const override { return lock_->path(); }

 private:
  std::unique_ptr<NamedLock> lock_;
};

// Runs in the started program before it is executed: a session of its own,
// so that it outlives the launcher, and the default action of SIGPIPE,
// which the launcher ignores.
void DetachChild(gpointer) {
  setsid();
  signal(SIGPIPE, SIG_DFL);
}

class PosixMediumCheck final : public IMediumCheck {
 public:
  template <typename... Args>
  explicit PosixMediumCheck(Args&&... args) : check_(std::forward<Args>(args)...) {}

 private:
  medium::VerificationOnLoop check_;
};

}  // namespace

std::unique_ptr<IMediumCheck> PosixSystem::StartCheck(const std::string& root, medium::Preparation prepare,
                                                      medium::VerificationOnLoop::OnProgress on_progress,
                                                      medium::VerificationOnLoop::OnDone on_done) {
  return std::make_unique<PosixMediumCheck>(root, std::move(prepare), std::move(on_progress),
                                            std::move(on_done));
}

std::string PosixSystem::ModuleFileName() {
  g_autofree gchar* path = g_file_read_link("/proc/self/exe", nullptr);
  return path != nullptr ? path : "";
}

std::uint16_t PosixSystem::SystemDefaultLangId() { return setupdata::SystemDefaultLangId(); }

std::unique_ptr<ILockHandle> PosixSystem::CreateNamedLock(const std::string& name, bool& already_existed) {
  std::string problem;
  std::unique_ptr<NamedLock> lock = NamedLock::Create(name, already_existed, &problem);
  if (!lock) {
    // The dialog ends when a lock cannot be held; the first reason is said.
    static bool said = false;
    if (!said) SayError("cannot hold the lock \"" + name + "\": " + problem);
    said = true;
    return nullptr;
  }
  return std::make_unique<PosixLockHandle>(std::move(lock));
}

ResultWrite PosixSystem::WriteResult(std::string_view bytes) { return WriteResultOnce(bytes); }

void PosixSystem::SayError(const std::string& line) {
  // Names from the medium may hold control characters: the line stays one.
  std::fprintf(stderr, "setup-launcher: %s\n", setupdata::PrintableText(line).c_str());
}

bool PosixSystem::OpenWithDefaultHtmlProgram(const std::string& path) {
  g_autoptr(GAppInfo) app = g_app_info_get_default_for_type("text/html", FALSE);
  if (app == nullptr || !G_IS_DESKTOP_APP_INFO(app)) return false;
  g_autoptr(GFile) file = g_file_new_for_path(path.c_str());
  g_autofree gchar* uri = g_file_get_uri(file);
  g_autoptr(GList) uris = g_list_append(nullptr, uri);
  // The program gets /dev/null for its standard descriptors: never the
  // launcher's standard output, which the parent reads to its end, and
  // GLib closes every other descriptor, the locks among them.
  const int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
  g_desktop_app_info_launch_uris_as_manager_with_fds(G_DESKTOP_APP_INFO(app), uris, nullptr,
                                                     G_SPAWN_SEARCH_PATH, DetachChild, nullptr, nullptr,
                                                     nullptr, null_fd, null_fd, null_fd, nullptr);
  if (null_fd >= 0) close(null_fd);
  // A program was found: whether it started is not examined further.
  return true;
}

}  // namespace app
