// The page library: a file beside the launcher that holds the pages and
// their images. It is either a GResource bundle, each resource stored under
// "/" and its name ("/HTML_SAP", "/GIF/GIF_SELECTED"), or a Windows
// resource-only DLL (PE32 or PE32+), where "HTML_SAP" is the resource of
// type 23 (HTML) of that name, "GIF/GIF_SELECTED" the resource of the named
// type GIF and "#123" a numeric id; the file's content tells the two apart.
// Addresses of the form res://LIBRARY/NAME name a library file in the
// launcher's directory and a resource in it; names match without regard to
// case.
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
// not a plain file name (empty, ".", "..", or holding "/"). A "#" that
// begins a part of the name before a digit is the mark of a numeric id
// ("res://SetupHmRes.dll/#2/#5"), not the start of the fragment.
std::optional<ResAddress> ParseResAddress(std::string_view uri);

// One resource as served to the view.
struct PageResource {
  std::string bytes;
  std::string content_type;  // a MIME type
};

class PeResources;

class PageLibrary {
 public:
  // Opens a compiled bundle or a DLL; nullptr with `error` set when the
  // file is missing, neither, or damaged.
  static std::unique_ptr<PageLibrary> Open(const std::string& path, std::string* error);
  ~PageLibrary();
  PageLibrary(const PageLibrary&) = delete;
  PageLibrary& operator=(const PageLibrary&) = delete;

  // The resource of that name (case does not matter); nullopt when absent.
  std::optional<PageResource> Lookup(std::string_view name) const;

  // The names of every resource, as addresses name them ("HTML_SAP",
  // "GIF/GIF_SELECTED", "#123"), sorted.
  std::vector<std::string> Names() const;
  // The resources Names leaves out, as their addresses would read: a DLL's
  // that no address reaches ("../x", a name with a "/"), sorted. A bundle
  // lists every resource by its path, so it has none.
  std::vector<std::string> Unlisted() const;

 private:
  explicit PageLibrary(GResource* resource);
  explicit PageLibrary(std::unique_ptr<const PeResources> dll);
  struct Unref {
    void operator()(GResource* resource) const { g_resource_unref(resource); }
  };
  std::unique_ptr<GResource, Unref> resource_;  // a bundle: the library owns its reference
  std::unique_ptr<const PeResources> dll_;      // a DLL: its bytes and their index
};

// Finds the file `name` in `dir` (ending with "/"): the exact name, else
// the one entry that differs from it only in case (name_on_medium.h).
// Empty when that is no regular file, or several differ only in case.
std::string FindFileNoCase(const std::string& dir, const std::string& name);

}  // namespace pages
