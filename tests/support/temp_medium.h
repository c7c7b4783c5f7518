// A medium in a temporary directory, made of small real files, removed
// again when the test ends.
#pragma once

#include <string>
#include <string_view>

namespace testing_support {

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
