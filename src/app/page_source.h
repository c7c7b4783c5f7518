// The page library as the view's source of res: addresses: the host of an
// address names a library file in one folder (matched without regard to
// case), its path a resource in it.
#pragma once

#include <string>

#include "browser/resource_source.h"

namespace app {

class PageLibrarySource final : public browser::IResourceSource {
 public:
  // Serves the page libraries in `library_dir` (ending with "/").
  explicit PageLibrarySource(std::string library_dir) : library_dir_(std::move(library_dir)) {}

  std::string Scheme() const override;
  std::optional<browser::Resource> Fetch(const std::string& uri, std::string& error) override;

 private:
  std::string library_dir_;
};

}  // namespace app
