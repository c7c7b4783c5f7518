#include "app/page_source.h"

#include <memory>

#include "pages/page_contract.h"
#include "pages/page_library.h"

namespace app {

std::string PageLibrarySource::Scheme() const { return pages::kResScheme; }

std::optional<browser::Resource> PageLibrarySource::Fetch(const std::string& uri, std::string& error) {
  const std::optional<pages::ResAddress> address = pages::ParseResAddress(uri);
  if (!address) {
    error = "Not a page library address";
    return std::nullopt;
  }
  const std::string file = pages::FindFileNoCase(library_dir_, address->library);
  std::string open_error;
  const std::unique_ptr<pages::PageLibrary> library =
      file.empty() ? nullptr : pages::PageLibrary::Open(file, &open_error);
  if (!library) {
    error = "The page library " + address->library + " cannot be opened";
    return std::nullopt;
  }
  std::optional<pages::PageResource> resource = library->Lookup(address->resource);
  if (!resource) {
    error = "The page library has no resource " + address->resource;
    return std::nullopt;
  }
  return browser::Resource{std::move(resource->bytes), std::move(resource->content_type)};
}

}  // namespace app
