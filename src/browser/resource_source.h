// Where the view gets the pages it loads through a scheme of its own: the
// page library beside the launcher, behind this small interface, so that
// the view knows no library format and no page.
#pragma once

#include <optional>
#include <string>

namespace browser {

// One resource as the view is given it.
struct Resource {
  std::string bytes;
  std::string content_type;  // a MIME type
};

class IResourceSource {
 public:
  virtual ~IResourceSource() = default;
  // The URI scheme whose addresses it serves ("res").
  virtual std::string Scheme() const = 0;
  // The resource `uri` names; nullopt, with `error` set to a line for the
  // view's error page, when there is none.
  virtual std::optional<Resource> Fetch(const std::string& uri, std::string& error) = 0;
};

}  // namespace browser
