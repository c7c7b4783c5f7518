#include "app/window_module_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "setupdata/setup_files.h"

namespace app {
namespace {

// Why dlopen or dlsym failed, in one line.
std::string LoadError(const std::string& path) {
  const char* error = dlerror();
  return "cannot load the window's module: " + std::string(error != nullptr ? error : path);
}

}  // namespace

const SetupLauncherWindowModule* LoadWindowModule(const std::string& dir, std::string& why) {
  const std::string path = dir + setupdata::kWindowModuleName;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    why = "the window's module " + path + " is missing" +
          (errno == ENOENT ? "" : std::string(" (") + std::strerror(errno) + ")");
    return nullptr;
  }
  // A module that is taken is never unloaded: the toolkit it brings stays
  // with the process. One that is refused goes at once, with the libraries
  // it brought, before the terminal runs instead.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    why = LoadError(path);
    return nullptr;
  }
  // `reason` is formed before the module goes: it may quote the module.
  const auto refuse = [&why, handle](std::string reason) {
    why = std::move(reason);
    dlclose(handle);
    return nullptr;
  };
  auto entry = reinterpret_cast<WindowModuleEntry>(dlsym(handle, kWindowModuleEntry));
  if (entry == nullptr) return refuse(LoadError(path));
  const SetupLauncherWindowModule* module = entry(kWindowModuleAbi);
  if (module == nullptr) {
    return refuse("the window's module " + path +
                  " was built for another version of the launcher (interface " +
                  std::to_string(kWindowModuleAbi) + " wanted)");
  }
  if (module->build_id == nullptr || std::strcmp(module->build_id, kWindowModuleBuildId) != 0) {
    return refuse("the window's module " + path + " is from another build of the launcher (" +
                  (module->build_id != nullptr ? module->build_id : "none") + ", the launcher " +
                  kWindowModuleBuildId + "): copy both from one build");
  }
  return module;
}

}  // namespace app
