#include "app/window_module_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "setupdata/setup_files.h"

namespace app {

const SetupLauncherWindowModule* LoadWindowModule(const std::string& dir, std::string& why) {
  const std::string path = dir + setupdata::kWindowModuleName;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    why = "the window's module " + path + " is missing" +
          (errno == ENOENT ? "" : std::string(" (") + std::strerror(errno) + ")");
    return nullptr;
  }
  // Never unloaded: the toolkit it brings stays with the process.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* error = dlerror();
    why = "cannot load the window's module: " + std::string(error != nullptr ? error : path);
    return nullptr;
  }
  auto entry = reinterpret_cast<WindowModuleEntry>(dlsym(handle, kWindowModuleEntry));
  if (entry == nullptr) {
    const char* error = dlerror();
    why = "cannot load the window's module: " + std::string(error != nullptr ? error : path);
    return nullptr;
  }
  const SetupLauncherWindowModule* module = entry(kWindowModuleAbi);
  if (module == nullptr) {
    why = "the window's module " + path + " was built for another version of the launcher (interface " +
          std::to_string(kWindowModuleAbi) + " wanted)";
    return nullptr;
  }
  if (module->build_id == nullptr || std::strcmp(module->build_id, kWindowModuleBuildId) != 0) {
    why = "the window's module " + path + " is from another build of the launcher (" +
          (module->build_id != nullptr ? module->build_id : "none") + ", the launcher " +
          kWindowModuleBuildId + "): copy both from one build";
    return nullptr;
  }
  return module;
}

}  // namespace app
