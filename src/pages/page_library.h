// The page library: a GResource bundle beside the launcher that holds the
// pages and their images, each stored under "/" and its name ("/HTML_SAP",
// "/GIF/GIF_SELECTED"). Addresses of the form res://LIBRARY/NAME name a
// library file in the launcher's directory and a resource in it; names
// match without regard to case.
#pragma once

#include <gio/gio.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pages {

// The parts of a res: address.
struct ResAddress {
  std::string library;   // a plain file name, never a path
  std::string resource;  // the name without its leading "/", unescaped
};

// Splits a res: address; nullopt when it is not one, or when its host is
// not a plain file name (empty, ".", "..", or holding "/").
std::optional<ResAddress> ParseResAddress(std::string_view uri);

// One resource as served to the view.
struct PageResource {
  std::string bytes;
  std::string content_type;  // a MIME type
};

class PageLibrary {
 public:
  // Opens a compiled bundle; nullptr with `error` set when the file is
  // missing or not a bundle.
  static std::unique_ptr<PageLibrary> Open(const std::string& path, std::string* error);
  ~PageLibrary();
  PageLibrary(const PageLibrary&) = delete;
  PageLibrary& operator=(const PageLibrary&) = delete;

  // The resource of that name (case does not matter); nullopt when absent.
  std::optional<PageResource> Lookup(std::string_view name) const;

  // The names of every resource, as stored ("HTML_SAP", "GIF/GIF_SELECTED").
  std::vector<std::string> Names() const;

 private:
  explicit PageLibrary(GResource* resource);
  struct Unref {
    void operator()(GResource* resource) const { g_resource_unref(resource); }
  };
  std::unique_ptr<GResource, Unref> resource_;  // the library owns its reference
};

// Finds the file `name` in `dir` (ending with "/"): the exact name, else
// the one entry that differs from it only in case (name_on_medium.h).
// Empty when that is no regular file, or several differ only in case.
std::string FindFileNoCase(const std::string& dir, const std::string& name);

}  // namespace pages
