// A medium in a temporary directory, made of small real files, removed
// again when the test ends.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace testing_support {

// Sets an environment variable (none: unsets it) for the life of the
// object, and puts back what the process had: a test leaves the locale and
// the lock folder of the tests after it as it found them.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  void Set(const char* value) const;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

// UTF-8 `text` as a Windows tool saves it in `charset` ("CP1252", "CP932"),
// converted by iconv; throws when it cannot be.
std::string InCodepage(std::string_view text, const char* charset);

class TempMedium {
 public:
  TempMedium();
  ~TempMedium();
  TempMedium(const TempMedium&) = delete;
  TempMedium& operator=(const TempMedium&) = delete;

  // The directory, ending with "/".
  const std::string& dir() const { return dir_; }
  // Writes `bytes` to the file `name` (parent folders are created).
  std::string Write(std::string_view name, std::string_view bytes) const;
  // Creates the folder `name`.
  std::string MakeDir(std::string_view name) const;
  void Remove(std::string_view name) const;

 private:
  std::string dir_;
};

}  // namespace testing_support
