// What the dialog needs of the operating system. The POSIX implementation
// serves the launcher; tests use fakes.
#pragma once

#include <cstdint>
#include <string>

namespace app {

class ISystem {
 public:
  virtual ~ISystem() = default;
  // The full path of the running program.
  virtual std::string ModuleFileName() = 0;
  // The system's default language as a Windows language identifier.
  virtual std::uint16_t SystemDefaultLangId() = 0;
};

class PosixSystem final : public ISystem {
 public:
  std::string ModuleFileName() override;
  std::uint16_t SystemDefaultLangId() override;
};

}  // namespace app
