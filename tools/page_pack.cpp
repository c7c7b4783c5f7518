#include "page_pack.h"

#include <gio/gio.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "main_loop.h"
#include "pages/page_library.h"

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
};

std::string ResourceList(const std::vector<PackedFile>& files) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gresources>\n  <gresource prefix=\"/\">\n";
  for (const PackedFile& file : files) {
    g_autofree gchar* name = g_markup_escape_text(file.name.c_str(), -1);
    g_autofree gchar* path = g_markup_escape_text(file.file.c_str(), -1);
    xml += file.name == file.file ? std::string("    <file>") + path + "</file>\n"
                                  : std::string("    <file alias=\"") + name + "\">" + path + "</file>\n";
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
    failure = error->message;
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

}  // namespace

bool PackPageLibrary(const std::string& pages_dir, const std::string& out, std::string* error) {
  std::string root = pages_dir;
  if (root.empty() || root.back() != '/') root += '/';
  std::vector<std::string> names;
  CollectFiles(root, "", names);
  std::sort(names.begin(), names.end());
  if (names.empty()) {
    if (error != nullptr) *error = "no files in " + pages_dir;
    return false;
  }
  std::vector<PackedFile> files;
  for (const std::string& name : names) files.push_back({name, name});
  return Compile(root, files, out, error);
}

bool PackFromLibrary(const std::string& library, const std::string& out, std::string* error) {
  std::string problem;
  const std::unique_ptr<pages::PageLibrary> source = pages::PageLibrary::Open(library, &problem);
  if (!source) {
    if (error != nullptr) *error = "cannot open " + library + ": " + problem;
    return false;
  }
  const std::vector<std::string> names = source->Names();
  if (names.empty()) {
    if (error != nullptr) *error = "no resources in " + library;
    return false;
  }
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
    files.push_back({name, file});
  }
  ok = ok && Compile(root, files, out, error);
  for (const PackedFile& file : files) g_unlink((root + file.file).c_str());
  g_rmdir(scratch);
  return ok;
}

}  // namespace tools
