#include <glib.h>

#include "app/system.h"
#include "setupdata/system_language.h"

namespace app {

std::string PosixSystem::ModuleFileName() {
  gchar* path = g_file_read_link("/proc/self/exe", nullptr);
  std::string result = path != nullptr ? path : "";
  g_free(path);
  return result;
}

std::uint16_t PosixSystem::SystemDefaultLangId() { return setupdata::SystemDefaultLangId(); }

}  // namespace app
