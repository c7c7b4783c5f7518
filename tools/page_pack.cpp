#include "page_pack.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/result_channel.h"
#include "main_loop.h"
#include "pages/page_contract.h"
#include "pages/page_library.h"
#include "setupdata/text.h"

namespace tools {
namespace {

void CollectFiles(const std::string& root, const std::string& relative, std::vector<std::string>& files) {
  g_autoptr(GDir) dir = g_dir_open((root + relative).c_str(), 0, nullptr);
  if (dir == nullptr) return;
  while (const char* entry = g_dir_read_name(dir)) {
    const std::string name = relative + entry;
    if (g_file_test((root + name).c_str(), G_FILE_TEST_IS_DIR)) {
      CollectFiles(root, name + "/", files);
    } else if (g_file_test((root + name).c_str(), G_FILE_TEST_IS_REGULAR)) {
      files.push_back(name);
    }
  }
}

// A resource of the library to build: its name, and the file (below the
// source folder) that holds its bytes.
struct PackedFile {
  std::string name;
  std::string file;
  // As the resource list gave them, passed on to the compiler.
  std::string compressed;
  std::string preprocess;
};

std::string ResourceList(const std::vector<PackedFile>& files) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gresources>\n  <gresource prefix=\"/\">\n";
  for (const PackedFile& file : files) {
    g_autofree gchar* name = g_markup_escape_text(file.name.c_str(), -1);
    g_autofree gchar* path = g_markup_escape_text(file.file.c_str(), -1);
    xml += std::string("    <file alias=\"") + name + "\"";
    for (const auto& [attribute, value] :
         {std::pair{"compressed", &file.compressed}, {"preprocess", &file.preprocess}}) {
      if (value->empty()) continue;
      g_autofree gchar* escaped = g_markup_escape_text(value->c_str(), -1);
      xml += std::string(" ") + attribute + "=\"" + escaped + "\"";
    }
    xml += std::string(">") + path + "</file>\n";
  }
  return xml + "  </gresource>\n</gresources>\n";
}

// The compiler gets this long; a build of a few pages takes well under a
// second.
constexpr int kCompilerSeconds = 60;

// Runs the resource compiler and waits for it, at most kCompilerSeconds;
// false with `failure` set when it cannot run, fails, or takes too long.
bool RunCompiler(const gchar* const* argv, std::string& failure) {
  g_autoptr(GError) error = nullptr;
  g_autoptr(GSubprocess) compiler = g_subprocess_newv(
      argv, static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_SILENCE | G_SUBPROCESS_FLAGS_STDERR_PIPE),
      &error);
  if (compiler == nullptr) {
    // The compiler comes with GLib's development tools, which the package
    // only recommends.
    failure = g_error_matches(error, G_SPAWN_ERROR, G_SPAWN_ERROR_NOENT)
                  ? "glib-compile-resources is missing: install libglib2.0-dev-bin (Debian, Ubuntu) or "
                    "glib2-devel (Fedora) to pack"
                  : error->message;
    return false;
  }
  struct Outcome {
    bool done = false;
    bool ok = false;
    std::string stderr_text;
  } outcome;
  g_subprocess_communicate_utf8_async(
      compiler, nullptr, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        auto* o = static_cast<Outcome*>(data);
        g_autofree gchar* err_text = nullptr;
        if (g_subprocess_communicate_utf8_finish(G_SUBPROCESS(source), result, nullptr, &err_text, nullptr)) {
          o->ok = g_subprocess_get_successful(G_SUBPROCESS(source));
          if (err_text != nullptr) o->stderr_text = err_text;
        }
        o->done = true;
      },
      &outcome);
  IterateUntil(outcome.done, kCompilerSeconds);
  if (!outcome.done) {
    g_subprocess_force_exit(compiler);
    // The finished callback still refers to `outcome`: let it run (the
    // pipe ends with the killed compiler).
    while (!outcome.done) g_main_context_iteration(nullptr, TRUE);
    failure = "glib-compile-resources did not finish within " + std::to_string(kCompilerSeconds) + " s";
    return false;
  }
  if (!outcome.ok)
    failure = outcome.stderr_text.empty() ? "glib-compile-resources failed" : outcome.stderr_text;
  return outcome.ok;
}

// Compiles `files` (below `root`, ending with "/") into the library `out`.
bool Compile(const std::string& root, const std::vector<PackedFile>& files, const std::string& out,
             std::string* error) {
  const std::string xml = ResourceList(files);
  g_autofree gchar* xml_path = nullptr;
  const int fd = g_file_open_tmp("pages-XXXXXX.gresource.xml", &xml_path, nullptr);
  if (fd < 0) {
    if (error != nullptr) *error = "cannot write a temporary file";
    return false;
  }
  close(fd);
  if (!g_file_set_contents(xml_path, xml.data(), static_cast<gssize>(xml.size()), nullptr)) {
    g_unlink(xml_path);
    if (error != nullptr) *error = "cannot write a temporary file";
    return false;
  }
  const std::string sourcedir = "--sourcedir=" + root;
  const std::string target = "--target=" + out;
  const gchar* argv[] = {"glib-compile-resources", sourcedir.c_str(), target.c_str(), xml_path, nullptr};
  std::string failure;
  const bool ok = RunCompiler(argv, failure);
  g_unlink(xml_path);
  if (!ok && error != nullptr) *error = failure;
  return ok;
}

// The names the launcher asks the library for, compared as it compares
// them: without regard to case.
bool Holds(const std::vector<PackedFile>& files, const char* name) {
  return std::any_of(files.begin(), files.end(), [name](const PackedFile& file) {
    return g_ascii_strcasecmp(file.name.c_str(), name) == 0;
  });
}

std::string NameList(const std::vector<PackedFile>& files) {
  std::string list;
  for (const PackedFile& file : files) list += (list.empty() ? "" : ", ") + file.name;
  return list;
}

// A library the launcher cannot start with is refused; one that serves no
// database choice is built, with a warning.
bool RequirePages(const std::vector<PackedFile>& files, std::string* error,
                  std::vector<std::string>* warnings) {
  if (!Holds(files, pages::kHomePageName)) {
    if (error != nullptr) {
      *error = std::string("no ") + pages::kHomePageName + " in the library (it would hold " +
               NameList(files) + "): name the home page " + pages::kHomePageName +
               ".html, or give it alias=\"" + pages::kHomePageName + "\" in a *.gresource.xml";
    }
    return false;
  }
  if (!Holds(files, pages::kDatabasePageName) && warnings != nullptr) {
    warnings->push_back(std::string("no ") + pages::kDatabasePageName +
                        " in the library: a medium with a database choice shows an error page");
  }
  return true;
}

// Two files under one name: the compiler would keep one of them silently.
bool Unique(std::vector<PackedFile>& files, std::string* error) {
  std::stable_sort(files.begin(), files.end(),
                   [](const PackedFile& a, const PackedFile& b) { return a.name < b.name; });
  for (std::size_t i = 1; i < files.size(); ++i) {
    if (files[i].name == files[i - 1].name) {
      if (error != nullptr) {
        *error =
            "both " + files[i - 1].file + " and " + files[i].file + " would be the resource " + files[i].name;
      }
      return false;
    }
  }
  return true;
}

std::string RealPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return {};
  std::string result = real;
  free(real);
  return result;
}

// Whether `file` (as a resource list names it) is a file inside the folder
// `root` (ending with "/"), whose real path is `real_root` (empty when it
// has none), symbolic links followed; else `error` says why.
bool InsideFolder(const std::string& root, const std::string& real_root, const std::string& file,
                  const std::string& listed_in, std::string* error) {
  const std::string real = g_path_is_absolute(file.c_str()) ? RealPath(file) : RealPath(root + file);
  std::string problem;
  if (file.empty()) {
    problem = "an empty file name";
  } else if (real.empty() || !g_file_test(real.c_str(), G_FILE_TEST_IS_REGULAR)) {
    problem = file + ", which is no file in " + root;
  } else if (real_root.empty() || !real.starts_with(real_root + "/")) {
    problem = file + ", which leaves the folder " + root;
  } else {
    return true;
  }
  if (error != nullptr) *error = listed_in + " names " + problem;
  return false;
}

// Reading a *.gresource.xml: its <file> entries under each <gresource>'s
// prefix, named by their alias or else by the file.
struct ResourceListReader {
  std::vector<std::string> open;  // the elements entered and not yet left
  std::string prefix;
  PackedFile file;
  std::string text;
  std::vector<PackedFile> files;
};

void StartElement(GMarkupParseContext* context, const gchar* element, const gchar** names,
                  const gchar** values, gpointer data, GError** error) {
  auto* reader = static_cast<ResourceListReader*>(data);
  const std::string parent = reader->open.empty() ? "" : reader->open.back();
  const std::string name = element;
  const auto optional = static_cast<GMarkupCollectType>(G_MARKUP_COLLECT_STRING | G_MARKUP_COLLECT_OPTIONAL);
  if (name == "gresources" && parent.empty()) {
    if (!g_markup_collect_attributes(element, names, values, error, G_MARKUP_COLLECT_INVALID, nullptr))
      return;
  } else if (name == "gresource" && parent == "gresources") {
    const gchar* prefix = nullptr;
    if (!g_markup_collect_attributes(element, names, values, error, optional, "prefix", &prefix,
                                     G_MARKUP_COLLECT_INVALID)) {
      return;
    }
    reader->prefix = prefix != nullptr ? prefix : "";
  } else if (name == "file" && parent == "gresource") {
    const gchar* alias = nullptr;
    const gchar* compressed = nullptr;
    const gchar* preprocess = nullptr;
    if (!g_markup_collect_attributes(element, names, values, error, optional, "alias", &alias, optional,
                                     "compressed", &compressed, optional, "preprocess", &preprocess,
                                     G_MARKUP_COLLECT_INVALID)) {
      return;
    }
    reader->file = PackedFile{alias != nullptr ? alias : "", "", compressed != nullptr ? compressed : "",
                              preprocess != nullptr ? preprocess : ""};
    reader->text.clear();
  } else {
    int line = 0;
    g_markup_parse_context_get_position(context, &line, nullptr);
    g_set_error(error, G_MARKUP_ERROR, G_MARKUP_ERROR_UNKNOWN_ELEMENT, "line %d: <%s> is not expected here",
                line, element);
    return;
  }
  reader->open.push_back(name);
}

void EndElement(GMarkupParseContext*, const gchar*, gpointer data, GError**) {
  auto* reader = static_cast<ResourceListReader*>(data);
  if (reader->open.back() == "file") {
    reader->file.file = g_strstrip(reader->text.data());
    const std::string& key = reader->file.name.empty() ? reader->file.file : reader->file.name;
    g_autofree gchar* path = g_build_path("/", "/", reader->prefix.c_str(), key.c_str(), nullptr);
    std::string_view resource = path;
    while (resource.starts_with('/')) resource.remove_prefix(1);
    reader->file.name = std::string(resource);
    reader->files.push_back(reader->file);
  }
  reader->open.pop_back();
}

void Text(GMarkupParseContext*, const gchar* text, gsize length, gpointer data, GError**) {
  auto* reader = static_cast<ResourceListReader*>(data);
  if (!reader->open.empty() && reader->open.back() == "file") reader->text.append(text, length);
}

// The files a resource list in the folder `root` (real path `real_root`)
// names, each checked to be a file inside it; false with `error` set.
bool ReadResourceList(const std::string& root, const std::string& real_root, const std::string& list,
                      std::vector<PackedFile>& files, std::string* error) {
  g_autofree gchar* contents = nullptr;
  gsize length = 0;
  g_autoptr(GError) failure = nullptr;
  if (!g_file_get_contents((root + list).c_str(), &contents, &length, &failure)) {
    if (error != nullptr) *error = failure->message;
    return false;
  }
  static const GMarkupParser parser = {StartElement, EndElement, Text, nullptr, nullptr};
  ResourceListReader reader;
  g_autoptr(GMarkupParseContext) context =
      g_markup_parse_context_new(&parser, G_MARKUP_TREAT_CDATA_AS_TEXT, &reader, nullptr);
  if (!g_markup_parse_context_parse(context, contents, static_cast<gssize>(length), &failure) ||
      !g_markup_parse_context_end_parse(context, &failure)) {
    if (error != nullptr) *error = root + list + ": " + failure->message;
    return false;
  }
  for (const PackedFile& file : reader.files) {
    if (!InsideFolder(root, real_root, file.file, root + list, error)) return false;
  }
  files = std::move(reader.files);
  return true;
}

// Why pack --from-dll leaves a resource out whose name has a "..", "." or
// empty part.
constexpr char kLeavesRoot[] = "its name leaves the library's root";

// Why a resource a DLL leaves unlisted is left out when its name is a path
// below a folder: a part too long for a file name, or no address reaches
// it (a "/" in the name of a page, another resource of the same address).
std::string WhyUnlisted(const std::vector<std::string>& parts) {
  for (const std::string& part : parts)
    if (part.size() > NAME_MAX) return "its name is longer than a file name";
  return "no res: address reaches it";
}

}  // namespace

std::optional<std::vector<std::string>> FileParts(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return std::nullopt;
  std::vector<std::string> parts;
  for (std::string_view rest = name;;) {
    const std::string_view part = rest.substr(0, rest.find('/'));
    if (part.empty() || part == "." || part == "..") return std::nullopt;
    parts.emplace_back(part);
    if (part.size() == rest.size()) return parts;
    rest.remove_prefix(part.size() + 1);
  }
}

// The pages the launcher asks for by name carry ".html" as files, and only
// they: every other file keeps its name, so that a page's link to
// "info.html" finds it.
constexpr std::string_view kPageFileEnd = ".html";

std::string FileOfResource(const std::string& name) {
  for (const std::string_view page : {pages::kHomePageName, pages::kDatabasePageName}) {
    if (setupdata::EqualsNoCase(name, page)) return name + std::string(kPageFileEnd);
  }
  return name;
}

std::string ResourceOfFile(const std::string& path) {
  if (!path.ends_with(kPageFileEnd)) return path;
  const std::string_view stem = std::string_view(path).substr(0, path.size() - kPageFileEnd.size());
  for (const std::string_view page : {pages::kHomePageName, pages::kDatabasePageName}) {
    if (setupdata::EqualsNoCase(stem, page)) return std::string(stem);
  }
  return path;
}

bool PackPageLibrary(const std::string& pages_dir, const std::string& out, std::string* error,
                     std::vector<std::string>* warnings) {
  std::string root = pages_dir;
  if (root.empty() || root.back() != '/') root += '/';
  if (!g_file_test(root.c_str(), G_FILE_TEST_IS_DIR)) {
    if (error != nullptr) *error = "not a folder: " + pages_dir;
    return false;
  }
  std::vector<std::string> found;
  CollectFiles(root, "", found);
  std::sort(found.begin(), found.end());
  std::vector<std::string> lists;
  for (const std::string& path : found) {
    if (path.find('/') == std::string::npos && g_str_has_suffix(path.c_str(), ".gresource.xml"))
      lists.push_back(path);
  }
  const std::string real_root = RealPath(root);
  std::vector<PackedFile> files;
  if (lists.size() > 1) {
    if (error != nullptr)
      *error = "more than one *.gresource.xml in " + pages_dir + ": " + lists[0] + ", " + lists[1];
    return false;
  }
  if (lists.size() == 1) {
    if (!ReadResourceList(root, real_root, lists[0], files, error)) return false;
  } else {
    for (const std::string& path : found) {
      if (!InsideFolder(root, real_root, path, pages_dir, error)) return false;
      files.push_back({ResourceOfFile(path), path, "", ""});
    }
  }
  if (files.empty()) {
    if (error != nullptr) *error = "no files in " + pages_dir;
    return false;
  }
  return Unique(files, error) && RequirePages(files, error, warnings) && Compile(root, files, out, error);
}

bool PackFromLibrary(const std::string& library, const std::string& out, std::string* error,
                     std::vector<std::string>* warnings, std::vector<LeftOut>* left_out) {
  std::string problem;
  const std::unique_ptr<pages::PageLibrary> source = pages::PageLibrary::Open(library, &problem);
  if (!source) {
    if (error != nullptr) *error = "cannot open " + library + ": " + problem;
    return false;
  }
  // A name that leaves the library's root is left out as unpack leaves it
  // out, whichever form the library has, and so is a DLL's resource that
  // no address reaches.
  std::vector<std::string> names;
  for (const std::string& name : source->Names()) {
    if (FileParts(name)) {
      names.push_back(name);
    } else if (left_out != nullptr) {
      left_out->push_back({name, kLeavesRoot});
    }
  }
  if (left_out != nullptr) {
    for (const std::string& name : source->Unlisted()) {
      const auto parts = FileParts(name);
      left_out->push_back({name, parts ? WhyUnlisted(*parts) : kLeavesRoot});
    }
  }
  if (names.empty()) {
    if (error != nullptr) *error = "no resources in " + library;
    return false;
  }
  std::vector<PackedFile> listed;
  for (const std::string& name : names) listed.push_back({name, name, "", ""});
  if (!RequirePages(listed, error, warnings)) return false;
  // Each resource goes to a numbered file of a scratch folder and keeps its
  // name as an alias: a name need not be a file name ("GIF" beside
  // "GIF/GIF_SELECTED").
  g_autofree gchar* scratch = g_dir_make_tmp("pages-XXXXXX", nullptr);
  if (scratch == nullptr) {
    if (error != nullptr) *error = "cannot make a temporary folder";
    return false;
  }
  const std::string root = std::string(scratch) + "/";
  std::vector<PackedFile> files;
  bool ok = true;
  for (const std::string& name : names) {
    const std::optional<pages::PageResource> resource = source->Lookup(name);
    const std::string file = std::to_string(files.size());
    if (!resource || !g_file_set_contents((root + file).c_str(), resource->bytes.data(),
                                          static_cast<gssize>(resource->bytes.size()), nullptr)) {
      if (error != nullptr) *error = "cannot write a temporary file";
      ok = false;
      break;
    }
    files.push_back({name, file, "", ""});
  }
  ok = ok && Compile(root, files, out, error);
  for (const PackedFile& file : files) g_unlink((root + file.file).c_str());
  g_rmdir(scratch);
  return ok;
}

namespace {

// A descriptor, closed when it goes out of scope; moved, it passes on.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

bool Refuse(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
  return false;
}

}  // namespace

bool WriteBelow(const std::string& out_dir, const std::string& name, const std::string& bytes,
                std::string* error) {
  // The parts of the name, each a plain file or folder name.
  const std::optional<std::vector<std::string>> named = FileParts(name);
  if (!named) return Refuse(error, "it names no file below " + out_dir);
  const std::vector<std::string>& parts = *named;
  // OUT_DIR itself is the author's to choose; below it, every folder is
  // entered without following a link, and the file is written beside its
  // name and then renamed over it, so that neither a link nor a hard link
  // placed there beforehand leads elsewhere.
  if (g_mkdir_with_parents(out_dir.c_str(), 0755) != 0)
    return Refuse(error, "cannot make the folder " + out_dir);
  Fd dir(open(out_dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return Refuse(error, "cannot open the folder " + out_dir);
  std::string path = out_dir;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    path += "/" + parts[i];
    if (mkdirat(dir.get(), parts[i].c_str(), 0755) != 0 && errno != EEXIST) {
      return Refuse(error, "cannot make the folder " + path + ": " + std::strerror(errno));
    }
    Fd next(openat(dir.get(), parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (next.get() < 0) {
      struct stat st {};
      const bool link =
          fstatat(dir.get(), parts[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
      return Refuse(error, path + (link ? " is a symbolic link: not followed" : " is not a folder"));
    }
    dir = std::move(next);
  }
  path += "/" + parts.back();
  struct stat st {};
  if (fstatat(dir.get(), parts.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISLNK(st.st_mode)) return Refuse(error, path + " is a symbolic link: not followed");
    if (!S_ISREG(st.st_mode)) return Refuse(error, path + " is not a file");
  }
  std::string scratch;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    scratch = "." + parts.back() + "." + std::to_string(g_random_int()) + ".part";
    fd = openat(dir.get(), scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return Refuse(error, "cannot write " + path + ": " + std::strerror(errno));
  // The first failure's errno is the one said, taken before anything else
  // can change it.
  int failure = app::WriteAll(fd, bytes) ? 0 : errno;
  if (close(fd) != 0 && failure == 0) failure = errno;
  if (failure == 0 && renameat(dir.get(), scratch.c_str(), dir.get(), parts.back().c_str()) != 0)
    failure = errno;
  if (failure != 0) {
    unlinkat(dir.get(), scratch.c_str(), 0);
    return Refuse(error, "cannot write " + path + ": " + std::strerror(failure));
  }
  return true;
}

void UnpackPageLibrary(const pages::PageLibrary& library, const std::string& out_dir,
                       std::vector<std::string>* written, std::vector<LeftOut>* left_out) {
  std::string error;
  for (const std::string& name : library.Names()) {
    const std::string file = FileOfResource(name);
    const auto resource = library.Lookup(name);
    if (ResourceOfFile(file) != name) {
      // "HTML_SAP.html" would come back as the page HTML_SAP.
      error = "pack would take its file " + file + " back as " + ResourceOfFile(file);
    } else if (!resource) {
      error = "it cannot be read";
    } else if (WriteBelow(out_dir, file, resource->bytes, &error)) {
      written->push_back(file);
      continue;
    }
    left_out->push_back({name, error});
  }
  for (const std::string& name : library.Unlisted()) {
    const auto parts = FileParts(name);
    left_out->push_back({name, parts ? WhyUnlisted(*parts) : "it names no file below " + out_dir});
  }
}

}  // namespace tools
