#include "app/page_source.h"

#include <memory>

#include "pages/page_contract.h"
#include "pages/page_library.h"
#include "setupdata/bounded_file.h"

namespace app {

PageLibrarySource::PageLibrarySource(std::string library_dir) : library_dir_(std::move(library_dir)) {}

PageLibrarySource::~PageLibrarySource() = default;

std::string PageLibrarySource::Scheme() const { return pages::kResScheme; }

const pages::PageLibrary* PageLibrarySource::Library(const std::string& file, std::string& error) {
  struct stat identity {};
  if (stat(file.c_str(), &identity) != 0) {
    cached_.reset();
    error = "it cannot be read";
    return nullptr;
  }
  if (!cached_ || file != cached_file_ || !setupdata::SameFileVersion(identity, cached_identity_)) {
    cached_ = pages::PageLibrary::Open(file, &error);
    cached_file_ = file;
    cached_identity_ = identity;
  }
  return cached_.get();
}

std::optional<browser::Resource> PageLibrarySource::Fetch(const std::string& uri, std::string& error) {
  const std::optional<pages::ResAddress> address = pages::ParseResAddress(uri);
  if (!address) {
    error = "Not a page library address";
    return std::nullopt;
  }
  const std::string file = pages::FindFileNoCase(library_dir_, address->library);
  std::string open_error = "it is not on the medium";
  const pages::PageLibrary* library = file.empty() ? nullptr : Library(file, open_error);
  if (library == nullptr) {
    error = "The page library " + address->library + " cannot be opened: " + open_error;
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
