// The page library as the view's source of res: addresses: the host of an
// address names a library file in one folder (matched without regard to
// case), its path a resource in it.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>

#include "browser/resource_source.h"

namespace pages {
class PageLibrary;
}

namespace app {

class PageLibrarySource final : public browser::IResourceSource {
 public:
  // Serves the page libraries in `library_dir` (ending with "/").
  explicit PageLibrarySource(std::string library_dir);
  ~PageLibrarySource() override;

  std::string Scheme() const override;
  std::optional<browser::Resource> Fetch(const std::string& uri, std::string& error) override;

 private:
  // The library in `file`, read once for a page and its images and again
  // only when the file changes.
  const pages::PageLibrary* Library(const std::string& file, std::string& error);

  std::string library_dir_;
  std::string cached_file_;
  struct stat cached_identity_ {};
  std::unique_ptr<pages::PageLibrary> cached_;
};

}  // namespace app
