#include "pages/page_library.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include "setupdata/text.h"

namespace pages {
namespace {

// Walks the bundle's tree for `name`, comparing one path segment at a time
// without regard to case. Returns the stored path or empty.
std::string FindResourcePath(GResource* resource, std::string_view name) {
  std::string dir = "/";
  std::string_view rest = name;
  while (true) {
    const std::size_t slash = rest.find('/');
    const std::string_view segment = rest.substr(0, slash);
    const bool last = slash == std::string_view::npos;
    if (segment.empty()) return {};
    char** children =
        g_resource_enumerate_children(resource, dir.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    if (children == nullptr) return {};
    std::string found;
    for (char** child = children; *child != nullptr; ++child) {
      std::string_view entry(*child);
      const bool is_dir = entry.ends_with('/');
      if (is_dir) entry.remove_suffix(1);
      if (is_dir == last || !setupdata::EqualsNoCase(entry, segment)) continue;
      found = dir + std::string(entry) + (is_dir ? "/" : "");
      if (entry == segment) break;  // an exact match wins over a folded one
    }
    g_strfreev(children);
    if (found.empty() || last) return found;
    dir = found;
    rest = rest.substr(slash + 1);
  }
}

std::string GuessContentType(std::string_view name, const std::string& bytes) {
  gboolean uncertain = FALSE;
  gchar* type = g_content_type_guess(std::string(name).c_str(), reinterpret_cast<const guchar*>(bytes.data()),
                                     bytes.size(), &uncertain);
  gchar* mime = g_content_type_get_mime_type(type);
  std::string result = mime != nullptr ? mime : "application/octet-stream";
  g_free(mime);
  g_free(type);
  // Pages are stored without a file extension; a page that does not start
  // with a tag the sniffer knows is still a page.
  if (result == "text/plain" || result == "application/octet-stream") {
    const std::string upper = setupdata::AsciiUpper(name);
    if (upper.starts_with("HTML")) result = "text/html";
  }
  return result;
}

}  // namespace

std::optional<ResAddress> ParseResAddress(std::string_view uri) {
  GUri* parsed = g_uri_parse(std::string(uri).c_str(), G_URI_FLAGS_ENCODED, nullptr);
  if (parsed == nullptr) return std::nullopt;
  std::optional<ResAddress> result;
  const char* scheme = g_uri_get_scheme(parsed);
  const char* host = g_uri_get_host(parsed);
  if (scheme != nullptr && g_ascii_strcasecmp(scheme, "res") == 0 && host != nullptr) {
    char* library = g_uri_unescape_string(host, nullptr);
    char* path = g_uri_unescape_string(g_uri_get_path(parsed), nullptr);
    if (library != nullptr && path != nullptr) {
      const std::string_view lib(library);
      if (!lib.empty() && lib != "." && lib != ".." && lib.find('/') == lib.npos) {
        std::string_view name(path);
        while (name.starts_with('/')) name.remove_prefix(1);
        result = ResAddress{std::string(lib), std::string(name)};
      }
    }
    g_free(library);
    g_free(path);
  }
  g_uri_unref(parsed);
  return result;
}

PageLibrary::PageLibrary(GResource* resource) : resource_(resource) {}

PageLibrary::~PageLibrary() { g_resource_unref(resource_); }

std::unique_ptr<PageLibrary> PageLibrary::Open(const std::string& path, std::string* error) {
  GError* gerror = nullptr;
  GResource* resource = g_resource_load(path.c_str(), &gerror);
  if (resource == nullptr) {
    if (error != nullptr) *error = gerror != nullptr ? gerror->message : "cannot load";
    g_clear_error(&gerror);
    return nullptr;
  }
  return std::unique_ptr<PageLibrary>(new PageLibrary(resource));
}

std::optional<PageResource> PageLibrary::Lookup(std::string_view name) const {
  const std::string path = FindResourcePath(resource_, name);
  if (path.empty()) return std::nullopt;
  GBytes* bytes = g_resource_lookup_data(resource_, path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  if (bytes == nullptr) return std::nullopt;
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  PageResource result;
  result.bytes.assign(data != nullptr ? data : "", size);
  g_bytes_unref(bytes);
  result.content_type = GuessContentType(name, result.bytes);
  return result;
}

std::string FindFileNoCase(const std::string& dir, const std::string& name) {
  struct stat st {};
  if (stat((dir + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) return dir + name;
  GDir* handle = g_dir_open(dir.c_str(), 0, nullptr);
  if (handle == nullptr) return {};
  std::string found;
  while (const char* entry = g_dir_read_name(handle)) {
    if (setupdata::EqualsNoCase(entry, name) && stat((dir + entry).c_str(), &st) == 0 &&
        S_ISREG(st.st_mode)) {
      found = dir + entry;
      break;
    }
  }
  g_dir_close(handle);
  return found;
}

}  // namespace pages
