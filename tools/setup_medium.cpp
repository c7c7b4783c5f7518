// setup-medium: reads a setup medium exactly as the launcher does, so that
// setup authors and tests can check one without a window.
//
//   setup-medium get [--int] FILE SECTION KEY [DEFAULT]
//   setup-medium language MEDIUM_DIR

#include <glib.h>
#include <glib/gstdio.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/named_lock.h"
#include "page_pack.h"
#include "pages/page_library.h"
#include "preview.h"
#include "setupdata/ini_file.h"
#include "setupdata/setup_files.h"
#include "setupdata/system_language.h"
#include "tools/medium_check.h"

namespace {

constexpr char kUsage[] =
    "usage: setup-medium get [--int] FILE SECTION KEY [DEFAULT]\n"
    "       setup-medium language MEDIUM_DIR\n"
    "       setup-medium lock MEDIUM_DIR\n"
    "       setup-medium check [--format=json] MEDIUM_DIR\n"
    "       setup-medium pack PAGES_DIR OUT\n"
    "       setup-medium pack --from-dll LIBRARY OUT\n"
    "       setup-medium unpack LIBRARY OUT_DIR\n"
    "       setup-medium preview MEDIUM_DIR [--language ID] [--database] --out DIR\n"
    "\n"
    "get       prints a value of FILE as the launcher reads it, without a line end;\n"
    "          with --int, the number the launcher's integer reader gives\n"
    "          (DEFAULT then is a number, 0 when left out)\n"
    "language  prints the language section of MEDIUM_DIR/setupres.ini that the\n"
    "          launcher uses on this system, with a line end (and on standard\n"
    "          error the system's language id when that is not the section)\n"
    "check     reports what the launcher will miss on MEDIUM_DIR, one finding a\n"
    "          line (FILE [SECTION] KEY: error|warning: MESSAGE); exit status 0\n"
    "          when there is no error, 1 with errors, 2 when the medium cannot be read\n"
    "pack      builds a page library OUT from the files under PAGES_DIR, named as\n"
    "          a *.gresource.xml there says, else by their path below the folder\n"
    "          (HTML_HOMEPAGE.html is HTML_HOMEPAGE); refused without HTML_HOMEPAGE;\n"
    "          with --from-dll, from the resources of the library LIBRARY (a DLL\n"
    "          from Windows), under the names its res: addresses use\n"
    "unpack    writes every resource of the page library LIBRARY (a bundle or a\n"
    "          DLL) under OUT_DIR, a file per name (HTML_SAP, GIF/GIF_SELECTED, #123)\n"
    "preview   renders both pages of MEDIUM_DIR, filled as the launcher fills them,\n"
    "          to DIR/<language>-home.png (and -database.png with a database\n"
    "          choice or --database), for every language section or the one\n"
    "          given; starts Xvfb when there is no display\n"
    "lock      prints the path of the lock file a parent holds for the launcher of\n"
    "          MEDIUM_DIR, with a line end:\n"
    "            flock --shared \"$(setup-medium lock DIR)\" DIR/setup-launcher\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

bool WriteAll(std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

int Get(std::vector<std::string_view> args) {
  bool as_int = false;
  if (!args.empty() && args.front() == "--int") {
    as_int = true;
    args.erase(args.begin());
  }
  if (args.size() < 3 || args.size() > 4) return Usage();
  const std::string file(args[0]);
  // An unreadable file reads as an empty one, as in the launcher; the
  // answer is still printed, but the exit status tells.
  std::optional<setupdata::IniFile> ini = setupdata::IniFile::Load(file);
  int status = 0;
  if (!ini) {
    std::fprintf(stderr, "setup-medium: cannot read %s\n", file.c_str());
    ini.emplace();
    status = 1;
  }
  if (as_int) {
    const std::string def = args.size() == 4 ? std::string(args[3]) : "0";
    char* end = nullptr;
    const long value = std::strtol(def.c_str(), &end, 10);
    if (def.empty() || *end != '\0' || value < INT32_MIN || value > INT32_MAX) {
      std::fprintf(stderr, "setup-medium: the default of --int must be a number: %s\n", def.c_str());
      return 2;
    }
    const std::uint32_t number = ini->GetInt(args[1], args[2], static_cast<std::int32_t>(value));
    return WriteAll(std::to_string(number)) ? status : 1;
  }
  const std::string_view def = args.size() == 4 ? args[3] : std::string_view();
  // Outside a language section a value that is not UTF-8 is read in the
  // codepage of the language the launcher beside the file would use.
  g_autofree gchar* folder = g_path_get_dirname(file.c_str());
  setupdata::SetupFiles medium = setupdata::SetupFiles::ForDirectory(folder);
  medium.ChooseLanguage(setupdata::SystemDefaultLangId());
  return WriteAll(ini->GetString(args[1], args[2], def, medium.lang_id)) ? status : 1;
}

// False, with the reason said, when `dir` is no folder with setup.inf.
bool IsMedium(std::string_view dir) {
  const std::string why = setupdata::WhyNoMedium(dir);
  if (why.empty()) return true;
  std::fprintf(stderr, "setup-medium: %s\n", why.c_str());
  return false;
}

int Language(const std::vector<std::string_view>& args) {
  if (args.size() != 1) return Usage();
  if (!IsMedium(args[0])) return 2;
  setupdata::SetupFiles files = setupdata::SetupFiles::ForDirectory(args[0]);
  const std::uint16_t system = setupdata::SystemDefaultLangId();
  files.ChooseLanguage(system);
  // Standard output carries the section alone; where it is not the
  // system's own id (a regional language read in its main language's
  // section, or 1033), the author is told on standard error.
  if (files.lang_id != std::to_string(system)) {
    std::fprintf(stderr, "setup-medium: the system's language %u reads section %s\n", unsigned{system},
                 files.lang_id.c_str());
  }
  return WriteAll(files.lang_id + "\n") ? 0 : 1;
}

int Lock(const std::vector<std::string_view>& args) {
  if (args.size() != 1) return Usage();
  if (!IsMedium(args[0])) return 2;
  setupdata::SetupFiles files = setupdata::SetupFiles::ForDirectory(args[0]);
  files.ChooseLanguage(setupdata::SystemDefaultLangId());
  const std::string product = files.ProductName();
  if (product.empty()) {
    std::fputs("setup-medium: the medium names no product: the launcher will not run\n", stderr);
    return 1;
  }
  std::string problem;
  const std::string dir = app::NamedLockDirectory(&problem);
  if (dir.empty()) {
    std::fprintf(stderr, "setup-medium: %s\n", problem.c_str());
    return 1;
  }
  return WriteAll(dir + "/" + app::NamedLockFileName(product) + "\n") ? 0 : 1;
}

int Check(std::vector<std::string_view> args) {
  tools::CheckOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    std::optional<std::string_view> format;
    std::optional<std::string_view> ignore;
    if (arg == "--format" && i + 1 < args.size()) {
      format = args[++i];
    } else if (arg.starts_with("--format=")) {
      format = arg.substr(9);
    } else if (arg == "--ignore" && i + 1 < args.size()) {
      ignore = args[++i];
    } else if (arg.starts_with("--ignore=")) {
      ignore = arg.substr(9);
    } else if (options.medium_dir.empty() && !arg.starts_with("--")) {
      options.medium_dir = std::string(arg);
      continue;
    } else {
      return Usage();
    }
    if (format == "json") {
      options.format = tools::CheckFormat::kJson;
    } else if (format == "text") {
      options.format = tools::CheckFormat::kText;
    } else if (format) {
      std::fprintf(stderr, "setup-medium: check: --format is text or json, not \"%s\" (see --help)\n",
                   std::string(*format).c_str());
      return 2;
    }
    std::string error;
    if (ignore && !tools::AddIgnoredCodes(*ignore, options, &error)) {
      std::fprintf(stderr, "setup-medium: check: %s (see --help)\n", error.c_str());
      return 2;
    }
  }
  if (options.medium_dir.empty()) return Usage();
  return tools::RunCheck(options);
}

int Pack(const std::vector<std::string_view>& args) {
  const bool from_dll = !args.empty() && args[0] == "--from-dll";
  if (args.size() != (from_dll ? 3u : 2u)) return Usage();
  std::string error;
  std::vector<std::string> warnings;
  const bool packed =
      from_dll ? tools::PackFromLibrary(std::string(args[1]), std::string(args[2]), &error, &warnings)
               : tools::PackPageLibrary(std::string(args[0]), std::string(args[1]), &error, &warnings);
  for (const std::string& warning : warnings)
    std::fprintf(stderr, "setup-medium: warning: %s\n", warning.c_str());
  if (!packed) {
    std::fprintf(stderr, "setup-medium: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

int Unpack(const std::vector<std::string_view>& args) {
  if (args.size() != 2) return Usage();
  std::string error;
  const auto library = pages::PageLibrary::Open(std::string(args[0]), &error);
  if (!library) {
    std::fprintf(stderr, "setup-medium: cannot open %s: %s\n", std::string(args[0]).c_str(), error.c_str());
    return 2;
  }
  const std::string out(args[1]);
  int status = 0;
  for (const std::string& name : library->Names()) {
    const auto resource = library->Lookup(name);
    if (!resource) {
      error = "it cannot be read";
    } else if (tools::WriteBelow(out, name, resource->bytes, &error)) {
      WriteAll(name + "\n");
      continue;
    }
    std::fprintf(stderr, "setup-medium: the resource \"%s\" is left out: %s\n", name.c_str(), error.c_str());
    status = 1;
  }
  return status;
}

int Preview(const std::vector<std::string_view>& args) {
  tools::PreviewOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--language" && i + 1 < args.size()) {
      options.language = std::string(args[++i]);
    } else if (args[i] == "--database") {
      options.database = true;
    } else if (args[i] == "--out" && i + 1 < args.size()) {
      options.out_dir = std::string(args[++i]);
    } else if (options.medium_dir.empty() && !args[i].starts_with("--")) {
      options.medium_dir = std::string(args[i]);
    } else {
      return Usage();
    }
  }
  if (options.medium_dir.empty() || options.out_dir.empty()) return Usage();
  return tools::RunPreview(options);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
  std::vector<std::string_view> args(argv + 2, argv + argc);
  if (command == "get") return Get(args);
  if (command == "language") return Language(args);
  if (command == "lock") return Lock(args);
  if (command == "check") return Check(args);
  if (command == "pack") return Pack(args);
  if (command == "unpack") return Unpack(args);
  if (command == "preview") return Preview(args);
  if (command == "--help" || command == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  return Usage();
}
