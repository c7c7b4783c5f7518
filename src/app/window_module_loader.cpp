#include "app/window_module_loader.h"

#include <dlfcn.h>

#include <cstring>
#include <string>
#include <utility>

#include "setupdata/bounded_file.h"
#include "setupdata/setup_files.h"

namespace app {
namespace {

// A bound far above any module's size: the module is mapped, not read.
constexpr std::size_t kMaxModuleBytes = std::size_t{1} << 30;

// Why dlopen or dlsym failed, in one line, naming the module by its path on
// the medium rather than by the descriptor it was loaded through.
std::string LoadError(const std::string& path, const std::string& loaded) {
  const char* error = dlerror();
  std::string why = error != nullptr ? error : path;
  if (why.starts_with(loaded + ":")) why.replace(0, loaded.size(), path);
  return "cannot load the window's module: " + why;
}

}  // namespace

const SetupLauncherWindowModule* LoadWindowModule(const std::string& dir, std::string& why) {
  const std::string path = dir + setupdata::kWindowModuleName;
  // Opened without waiting and checked through its descriptor, as every
  // file of the medium: a FIFO or a device in the module's place never
  // holds the launcher (and its parent) up. The module is loaded through
  // that descriptor, so nothing put in its place after the check is.
  const setupdata::BoundedFile file(path, kMaxModuleBytes);
  if (!file.ok()) {
    why = "the window's module " + path +
          (file.missing() ? " is missing" : " cannot be loaded: " + file.problem());
    return nullptr;
  }
  const std::string loaded = "/proc/self/fd/" + std::to_string(file.fd());
  // A module that is taken is never unloaded: the toolkit it brings stays
  // with the process. One that is refused goes at once, with the libraries
  // it brought, before the terminal runs instead.
  void* handle = dlopen(loaded.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    why = LoadError(path, loaded);
    return nullptr;
  }
  // `reason` is formed before the module goes: it may quote the module.
  const auto refuse = [&why, handle](std::string reason) {
    why = std::move(reason);
    dlclose(handle);
    return nullptr;
  };
  auto entry = reinterpret_cast<WindowModuleEntry>(dlsym(handle, kWindowModuleEntry));
  if (entry == nullptr) return refuse(LoadError(path, loaded));
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
