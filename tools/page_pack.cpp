#include "page_pack.h"

#include <gio/gio.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "main_loop.h"

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

std::string ResourceList(const std::vector<std::string>& files) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gresources>\n  <gresource prefix=\"/\">\n";
  for (const std::string& file : files) {
    g_autofree gchar* escaped = g_markup_escape_text(file.c_str(), -1);
    xml += std::string("    <file>") + escaped + "</file>\n";
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

}  // namespace

bool PackPageLibrary(const std::string& pages_dir, const std::string& out, std::string* error) {
  std::string root = pages_dir;
  if (root.empty() || root.back() != '/') root += '/';
  std::vector<std::string> files;
  CollectFiles(root, "", files);
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    if (error != nullptr) *error = "no files in " + pages_dir;
    return false;
  }
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

}  // namespace tools
