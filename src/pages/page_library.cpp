#include "pages/page_library.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <algorithm>

#include "pages/page_contract.h"
#include "pages/pe_resources.h"
#include "setupdata/bounded_file.h"
#include "setupdata/name_on_medium.h"
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
    g_auto(GStrv) children =
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
    if (found.empty() || last) return found;
    dir = found;
    rest = rest.substr(slash + 1);
  }
}

std::string MimeTypeOf(const char* file_name, std::string_view bytes) {
  gboolean uncertain = FALSE;
  g_autofree gchar* type = g_content_type_guess(file_name, reinterpret_cast<const guchar*>(bytes.data()),
                                                bytes.size(), &uncertain);
  g_autofree gchar* mime = g_content_type_get_mime_type(type);
  return mime != nullptr ? mime : "application/octet-stream";
}

// A resource's MIME type: what its bytes say (GIF, PNG, HTML); where they
// say nothing particular (style sheets, scripts), what its name suggests as
// a file name, "LOOK.CSS" or, for a name under a type, "CSS/LOOK" as
// "LOOK.CSS". Libraries from Windows name their resources without
// extensions, so the name alone never decides.
std::string GuessContentType(std::string_view name, std::string_view bytes) {
  const std::string sniffed = MimeTypeOf(nullptr, bytes);
  if (sniffed != "text/plain" && sniffed != "application/octet-stream") return sniffed;
  const std::size_t slash = name.rfind('/');
  std::string file_name(slash == std::string_view::npos ? name : name.substr(slash + 1));
  if (file_name.find('.') == std::string::npos && slash != std::string_view::npos) {
    const std::string_view folder = name.substr(0, slash);
    file_name += "." + std::string(folder.substr(folder.rfind('/') + 1));
  }
  if (file_name.find('.') != std::string::npos && file_name.find('\0') == std::string::npos) {
    const std::string named = MimeTypeOf(file_name.c_str(), {});
    if (named != "application/octet-stream") return named;
  }
  // Pages are stored without a file extension; a page that does not start
  // with a tag the sniffer knows is still a page.
  if (setupdata::AsciiUpper(name).starts_with("HTML")) return "text/html";
  return sniffed;
}

// A DLL resource's MIME type: a page for type 23, else as for any resource.
std::string DllContentType(const PeResources& dll, const PeResources::Entry& entry) {
  if (entry.type == kHtmlResourceType) return "text/html";
  return GuessContentType(dll.IdText(entry.type) + "/" + dll.IdText(entry.name), dll.Data(entry));
}

// The largest resource a bundle may declare: GIO allocates the declared
// size of a compressed resource before it inflates it.
constexpr guint32 kMaxResourceBytes = 64u << 20;
// The largest library that is read: a medium's library holds two pages and
// their images.
constexpr std::size_t kMaxLibraryBytes = 64u << 20;

guint32 ReadLe32(const guint8* p) {
  return static_cast<guint32>(p[0]) | static_cast<guint32>(p[1]) << 8 | static_cast<guint32>(p[2]) << 16 |
         static_cast<guint32>(p[3]) << 24;
}

// GIO trusts a bundle's entries: an entry whose value is not a resource
// (size, flags, bytes) makes a lookup read through an unset pointer, and a
// compressed one allocates whatever size it declares. This walks the
// bundle's table the way GIO reads it (little-endian offsets; a header of
// 24 bytes whose last 8 bytes locate the root table; the table's bloom and
// bucket counts, its bloom words and buckets, then items of 24 bytes) and
// checks every value entry. What GIO would not reach (a bad offset) is left
// alone.
bool EntriesAreResources(GBytes* bytes) {
  gsize size = 0;
  const auto* data = static_cast<const guint8*>(g_bytes_get_data(bytes, &size));
  auto dereference = [&](const guint8* pointer, guint32 alignment, gsize* length) -> const guint8* {
    const guint32 start = ReadLe32(pointer);
    const guint32 end = ReadLe32(pointer + 4);
    if (start > end || end > size || (start & (alignment - 1)) != 0) return nullptr;
    *length = end - start;
    return data + start;
  };
  constexpr gsize kHeaderBytes = 24;
  constexpr gsize kItemBytes = 24;
  if (data == nullptr || size < kHeaderBytes) return true;
  gsize table_size = 0;
  const guint8* table = dereference(data + 16, 4, &table_size);
  if (table == nullptr || table_size < 8) return true;
  const gsize bloom_words = ReadLe32(table) & ((1u << 27) - 1);
  const gsize buckets = ReadLe32(table + 4);
  gsize rest = table_size - 8;
  if (bloom_words * 4 > rest) return true;
  rest -= bloom_words * 4;
  if (buckets * 4 > rest) return true;
  rest -= buckets * 4;
  const guint8* items = table + 8 + (bloom_words + buckets) * 4;
  const GVariantType* resource_type = G_VARIANT_TYPE("(uuay)");
  for (gsize i = 0; i < rest / kItemBytes; ++i) {
    const guint8* item = items + i * kItemBytes;
    if (item[14] != 'v') continue;
    gsize value_size = 0;
    const guint8* value = dereference(item + 16, 8, &value_size);
    if (value == nullptr) continue;
    g_autoptr(GBytes) value_bytes =
        g_bytes_new_from_bytes(bytes, static_cast<gsize>(value - data), value_size);
    g_autoptr(GVariant) boxed =
        g_variant_ref_sink(g_variant_new_from_bytes(G_VARIANT_TYPE_VARIANT, value_bytes, TRUE));
    g_autoptr(GVariant) resource = g_variant_get_variant(boxed);
    bool sound = g_variant_is_of_type(resource, resource_type);
    if (sound) {
      guint32 resource_size = 0;
      guint32 flags = 0;
      g_variant_get_child(resource, 0, "u", &resource_size);
      g_variant_get_child(resource, 1, "u", &flags);
      sound = (flags & G_RESOURCE_FLAGS_COMPRESSED) == 0 || resource_size <= kMaxResourceBytes;
    }
    if (!sound) return false;
  }
  return true;
}

// A numeric id is written "#123" at the start of a part of the name
// ("res://SetupHmRes.dll/#2/#5"), where an address would begin its
// fragment: such a "#" belongs to the name, and is escaped before the
// address is split.
std::string EscapeIdMarks(std::string_view uri) {
  const std::size_t authority = uri.find("://");
  if (authority == std::string_view::npos) return std::string(uri);
  const std::size_t path = uri.find_first_of("/?#", authority + 3);
  if (path == std::string_view::npos || uri[path] != '/') return std::string(uri);
  std::string out(uri.substr(0, path));
  for (std::size_t i = path; i < uri.size(); ++i) {
    const char c = uri[i];
    if (c == '#' && uri[i - 1] == '/' && i + 1 < uri.size() && g_ascii_isdigit(uri[i + 1])) {
      out += "%23";
      continue;
    }
    if (c == '?' || c == '#') {
      out.append(uri.substr(i));
      break;
    }
    out += c;
  }
  return out;
}

}  // namespace

std::optional<ResAddress> ParseResAddress(std::string_view uri) {
  g_autoptr(GUri) parsed = g_uri_parse(EscapeIdMarks(uri).c_str(), G_URI_FLAGS_ENCODED, nullptr);
  if (parsed == nullptr) return std::nullopt;
  std::optional<ResAddress> result;
  const char* scheme = g_uri_get_scheme(parsed);
  const char* host = g_uri_get_host(parsed);
  if (scheme != nullptr && g_ascii_strcasecmp(scheme, kResScheme) == 0 && host != nullptr) {
    g_autofree char* library = g_uri_unescape_string(host, nullptr);
    g_autofree char* path = g_uri_unescape_string(g_uri_get_path(parsed), nullptr);
    if (library != nullptr && path != nullptr) {
      const std::string_view lib(library);
      if (!lib.empty() && lib != "." && lib != ".." && lib.find('/') == lib.npos) {
        std::string_view name(path);
        while (name.starts_with('/')) name.remove_prefix(1);
        result = ResAddress{std::string(lib), std::string(name)};
      }
    }
  }
  return result;
}

PageLibrary::PageLibrary(GResource* resource) : resource_(resource) {}

PageLibrary::PageLibrary(std::unique_ptr<const PeResources> dll) : dll_(std::move(dll)) {}

PageLibrary::~PageLibrary() = default;

namespace {
constexpr char kNotALibrary[] = "not a page library (neither a GResource bundle nor a resource DLL)";
}  // namespace

std::unique_ptr<PageLibrary> PageLibrary::Open(const std::string& path, std::string* error) {
  // Opened without waiting and checked through its descriptor, then read
  // whole: nothing swapped in meanwhile holds the view up, and a file that
  // changes later cannot pull the pages away under a lookup.
  setupdata::BoundedFile file(path, kMaxLibraryBytes);
  std::optional<std::string> contents = file.ReadAll();
  if (!contents) {
    if (error != nullptr) *error = file.problem();
    return nullptr;
  }
  if (PeResources::LooksLikeDll(*contents)) {
    std::optional<PeResources> dll = PeResources::Parse(std::move(*contents), error);
    if (!dll) return nullptr;
    return std::unique_ptr<PageLibrary>(
        new PageLibrary(std::make_unique<const PeResources>(std::move(*dll))));
  }
  // A bundle begins with its signature, in the byte order it was written in.
  if (!contents->starts_with("GVariant") && !contents->starts_with("raVGtnai")) {
    if (error != nullptr) *error = kNotALibrary;
    return nullptr;
  }
  auto* owned = new std::string(std::move(*contents));
  GBytes* bytes = g_bytes_new_with_free_func(
      owned->data(), owned->size(), [](gpointer p) { delete static_cast<std::string*>(p); }, owned);
  GError* gerror = nullptr;
  GResource* resource = g_resource_new_from_data(bytes, &gerror);
  if (resource != nullptr && !EntriesAreResources(bytes)) {
    g_resource_unref(resource);
    resource = nullptr;
    g_set_error_literal(&gerror, G_RESOURCE_ERROR, G_RESOURCE_ERROR_INTERNAL, "damaged resource entries");
  }
  g_bytes_unref(bytes);
  if (resource == nullptr) {
    if (error != nullptr) *error = gerror != nullptr ? gerror->message : "cannot load";
    g_clear_error(&gerror);
    return nullptr;
  }
  return std::unique_ptr<PageLibrary>(new PageLibrary(resource));
}

std::optional<PageResource> PageLibrary::Lookup(std::string_view name) const {
  if (dll_) {
    const PeResources::Entry* entry = dll_->Find(name);
    if (entry == nullptr) return std::nullopt;
    return PageResource{std::string(dll_->Data(*entry)), DllContentType(*dll_, *entry)};
  }
  const std::string path = FindResourcePath(resource_.get(), name);
  if (path.empty()) return std::nullopt;
  g_autoptr(GBytes) bytes =
      g_resource_lookup_data(resource_.get(), path.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  if (bytes == nullptr) return std::nullopt;
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  PageResource result;
  result.bytes.assign(data != nullptr ? data : "", size);
  result.content_type = GuessContentType(name, result.bytes);
  return result;
}

std::vector<std::string> PageLibrary::Names() const {
  if (dll_) return dll_->Names();
  std::vector<std::string> names;
  std::vector<std::string> folders = {"/"};
  while (!folders.empty()) {
    const std::string folder = folders.back();
    folders.pop_back();
    g_auto(GStrv) children =
        g_resource_enumerate_children(resource_.get(), folder.c_str(), G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
    if (children == nullptr) continue;
    for (char** child = children; *child != nullptr; ++child) {
      const std::string path = folder + *child;
      if (path.ends_with('/')) {
        folders.push_back(path);
      } else {
        names.push_back(path.substr(1));
      }
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> PageLibrary::Unlisted() const {
  if (dll_) return dll_->Unlisted();
  return {};
}

std::string FindFileNoCase(const std::string& dir, const std::string& name) {
  const setupdata::FoundPath found = setupdata::FindOnMedium(dir, name);
  struct stat st {};
  if (!found.found() || stat((dir + found.path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return dir + found.path;
}

}  // namespace pages
