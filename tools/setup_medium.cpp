// setup-medium: reads a setup medium exactly as the launcher does, so that
// setup authors and tests can check one without a window.
//
//   setup-medium get [--int] FILE SECTION KEY [DEFAULT]
//   setup-medium language MEDIUM_DIR

#include <glib.h>
#include <glib/gstdio.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/named_lock.h"
#include "medium_add_language.h"
#include "medium_image.h"
#include "medium_init.h"
#include "page_pack.h"
#include "pages/page_library.h"
#include "preview.h"
#include "setupdata/codepage.h"
#include "setupdata/ini_file.h"
#include "setupdata/setup_files.h"
#include "setupdata/system_language.h"
#include "setupdata/text.h"
#include "tools/medium_check.h"
#include "tools/medium_seal.h"

namespace {

constexpr char kUsage[] =
    "usage: setup-medium get [--int] FILE SECTION KEY [DEFAULT]\n"
    "       setup-medium language MEDIUM_DIR\n"
    "       setup-medium lock MEDIUM_DIR\n"
    "       setup-medium check [--format text|json] [--ignore CODE[,CODE]] [--strict] MEDIUM_DIR\n"
    "       setup-medium pack PAGES_DIR OUT\n"
    "       setup-medium pack --from-dll LIBRARY OUT\n"
    "       setup-medium unpack LIBRARY OUT_DIR\n"
    "       setup-medium preview MEDIUM_DIR [--language ID] [--database] --out DIR\n"
    "       setup-medium init DIR [--database] [--languages ID[,ID...]]\n"
    "       setup-medium add-language DIR ID\n"
    "       setup-medium entry-point MEDIUM_DIR\n"
    "       setup-medium image MEDIUM_DIR OUT.iso\n"
    "       setup-medium seal MEDIUM_DIR\n"
    "\n"
    "get       prints a value of FILE as the launcher reads it, without a line end;\n"
    "          with --int, the number the launcher's integer reader gives\n"
    "          (DEFAULT then is a number, 0 when left out)\n"
    "language  prints the language section of MEDIUM_DIR/setupres.ini that the\n"
    "          launcher uses on this system, with a line end (and on standard\n"
    "          error the system's language id when that is not the section)\n"
    "check     reports what the launcher will miss on MEDIUM_DIR, one finding a\n"
    "          line (FILE[:LINE]: [SECTION] KEY: error|warning|note: MESSAGE [CODE]);\n"
    "          --ignore leaves out findings by code; exit status 0 without errors,\n"
    "          1 with errors (with --strict, with warnings too), 2 when the medium\n"
    "          cannot be read\n"
    "pack      builds a page library OUT from the files under PAGES_DIR, named as\n"
    "          a *.gresource.xml there says, else by their path below the folder\n"
    "          (HTML_HOMEPAGE.html is HTML_HOMEPAGE); refused without HTML_HOMEPAGE;\n"
    "          with --from-dll, from the resources of the library LIBRARY (a DLL\n"
    "          from Windows), under the names its res: addresses use; a resource\n"
    "          no address reaches is left out with a line (exit status 1)\n"
    "unpack    writes every resource of the page library LIBRARY (a bundle or a\n"
    "          DLL) under OUT_DIR, a file per name (GIF/GIF_SELECTED, #123), the\n"
    "          pages as HTML_HOMEPAGE.html and HTML_SAP.html, and prints each file;\n"
    "          a resource it cannot write below OUT_DIR (a name such as ../x) is\n"
    "          left out with a line (exit status 1)\n"
    "preview   renders both pages of MEDIUM_DIR, filled as the launcher fills them,\n"
    "          to DIR/<language>-home.png (and -database.png with a database\n"
    "          choice or --database), the caption (-caption.png), the close\n"
    "          question (-close.png) and message 9081 (-9081.png), for every\n"
    "          language section or, with --language ID (a number), what a user\n"
    "          of that language sees (<ID>-as-<section> when it falls back);\n"
    "          starts Xvfb when there is no display\n"
    "init      writes a minimal working medium into DIR (new or empty): both setup\n"
    "          files, the sample pages, a folder per language (default 1033),\n"
    "          release notes, the launcher; --database adds the database choice\n"
    "add-language  adds the language ID (a number) to the medium in DIR as init\n"
    "          writes one: its entry in every section's list, LANGUAGENUMBER, its\n"
    "          section and its folder; setupres.ini keeps all else as it is\n"
    "entry-point  puts the entry point (setup) and the parent it runs at the\n"
    "          root of MEDIUM_DIR: a user runs MEDIUM/setup (or sh MEDIUM/setup),\n"
    "          which shows the launcher and runs setup.sh in the chosen\n"
    "          language's folder (init writes both)\n"
    "image     writes an ISO 9660 image of MEDIUM_DIR (Rock Ridge, Joliet) to\n"
    "          OUT.iso through xorriso, to burn or to mount\n"
    "seal      writes SHA256SUMS at the root of MEDIUM_DIR: the checksum of every\n"
    "          file, as sha256sum writes them (cd MEDIUM_DIR && sha256sum -c\n"
    "          SHA256SUMS checks it); the launcher then checks the chosen setup\n"
    "          folder before it hands it over. The last step of making a medium;\n"
    "          refuses symbolic links that leave the medium\n"
    "lock      prints the path of the lock file a parent holds for the launcher of\n"
    "          MEDIUM_DIR, with a line end:\n"
    "            flock --shared \"$(setup-medium lock DIR)\" DIR/setup-launcher\n";

// One line on standard error, after the program's name (and a command's).
// Names and texts from a medium or the command line may hold control
// characters: the line stays one.
void Say(const std::string& line, std::string_view command = {}) {
  std::fprintf(stderr, "setup-medium%s%s: %s\n", command.empty() ? "" : " ", std::string(command).c_str(),
               setupdata::PrintableText(line).c_str());
}

// A mistake on the command line: one line that names it and points to the
// help, and status 2.
int Mistake(std::string_view command, const std::string& why) {
  Say(why + "; see setup-medium --help", command);
  return 2;
}

bool WriteAll(std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

int Get(const app::CommandLine& line) {
  const bool as_int = line.Has("--int");
  const std::vector<std::string>& args = line.operands;
  const std::string file(args[0]);
  // An unreadable file reads as an empty one, as in the launcher; the
  // answer is still printed, but the exit status tells.
  std::string problem;
  std::optional<setupdata::IniFile> ini = setupdata::IniFile::Load(file, &problem);
  int status = 0;
  if (!ini) {
    Say("cannot read " + file + ": " + problem);
    ini.emplace();
    status = 1;
  }
  if (as_int) {
    const std::string def = args.size() == 4 ? std::string(args[3]) : "0";
    char* end = nullptr;
    const long value = std::strtol(def.c_str(), &end, 10);
    if (def.empty() || *end != '\0' || value < INT32_MIN || value > INT32_MAX) {
      Say("the default of --int must be a number: " + def);
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
  Say(why);
  return false;
}

int Language(const app::CommandLine& line) {
  const std::vector<std::string>& args = line.operands;
  if (!IsMedium(args[0])) return 2;
  setupdata::SetupFiles files = setupdata::SetupFiles::ForDirectory(args[0]);
  const std::uint16_t system = setupdata::SystemDefaultLangId();
  files.ChooseLanguage(system);
  // Standard output carries the section alone; where it is not the
  // system's own id (1033 for a language without a section, 1034 for
  // Spanish with modern sort), the author is told on standard error.
  if (files.lang_id != std::to_string(system)) {
    Say("the system's language " + std::to_string(system) + " reads section " + files.lang_id);
  }
  return WriteAll(files.lang_id + "\n") ? 0 : 1;
}

int Lock(const app::CommandLine& line) {
  const std::vector<std::string>& args = line.operands;
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
    Say(problem);
    return 1;
  }
  return WriteAll(dir + "/" + app::NamedLockFileName(product) + "\n") ? 0 : 1;
}

int Check(const app::CommandLine& line) {
  tools::CheckOptions options;
  const std::string format = line.Value("--format").value_or("text");
  if (format == "json") {
    options.format = tools::CheckFormat::kJson;
  } else if (format != "text") {
    return Mistake("check", "--format is text or json, not \"" + format + "\"");
  }
  for (const std::string& code : line.List("--ignore")) {
    if (!tools::IsFindingCode(code))
      return Mistake("check", "--ignore: no finding has the code \"" + code + "\"");
    options.ignored.insert(code);
  }
  options.strict = line.Has("--strict");
  options.medium_dir = line.operands[0];
  return tools::RunCheck(options);
}

// One line for each resource left out; status 1 when there is one.
int SayLeftOut(const std::vector<tools::LeftOut>& left_out) {
  for (const tools::LeftOut& resource : left_out)
    Say("the resource \"" + resource.name + "\" is left out: " + resource.why);
  return left_out.empty() ? 0 : 1;
}

int Pack(const app::CommandLine& line) {
  const bool from_dll = line.Has("--from-dll");
  const std::vector<std::string>& args = line.operands;
  std::string error;
  std::vector<std::string> warnings;
  std::vector<tools::LeftOut> left_out;
  const bool packed = from_dll ? tools::PackFromLibrary(args[0], args[1], &error, &warnings, &left_out)
                               : tools::PackPageLibrary(args[0], args[1], &error, &warnings);
  for (const std::string& warning : warnings) Say("warning: " + warning);
  const int status = SayLeftOut(left_out);
  if (!packed) {
    Say(error);
    return 1;
  }
  return status;
}

int Unpack(const app::CommandLine& line) {
  const std::vector<std::string>& args = line.operands;
  std::string error;
  const auto library = pages::PageLibrary::Open(std::string(args[0]), &error);
  if (!library) {
    Say("cannot open " + args[0] + ": " + error);
    return 2;
  }
  std::vector<std::string> written;
  std::vector<tools::LeftOut> left_out;
  tools::UnpackPageLibrary(*library, args[1], &written, &left_out);
  std::string files;
  for (const std::string& file : written) files += setupdata::PrintableText(file) + "\n";
  const bool printed = WriteAll(files);
  return SayLeftOut(left_out) == 0 && printed ? 0 : 1;
}

int Preview(const app::CommandLine& line) {
  tools::PreviewOptions options;
  options.medium_dir = line.operands[0];
  if (const auto language = line.Value("--language")) {
    options.language = setupdata::SectionLangId(*language);
    if (!options.language)
      return Mistake("preview",
                     "--language " + *language + " is not a language id (a decimal number 1..65535)");
  }
  options.database = line.Has("--database");
  const std::optional<std::string> out = line.Value("--out");
  if (!out) return Mistake("preview", "--out DIR is needed");
  struct stat out_stat {};
  if (stat(out->c_str(), &out_stat) == 0 && !S_ISDIR(out_stat.st_mode))
    return Mistake("preview", "--out " + *out + " is not a folder (give a folder for the pictures)");
  options.out_dir = *out;
  return tools::RunPreview(options);
}

int Init(const app::CommandLine& line) {
  tools::InitOptions options;
  options.database = line.Has("--database");
  for (const std::string& item : line.List("--languages")) {
    const std::optional<std::uint16_t> id = setupdata::SectionLangId(item);
    if (!id) return Mistake("init", "not a language id: \"" + item + "\" (decimal ids such as 1033,1031)");
    options.languages.push_back(*id);
  }
  options.dir = line.operands[0];
  return tools::RunInit(options);
}

int AddLanguage(const app::CommandLine& line) {
  const std::optional<std::uint16_t> id = setupdata::SectionLangId(line.operands[1]);
  if (!id)
    return Mistake("add-language",
                   "not a language id: \"" + line.operands[1] + "\" (a decimal id such as 1040)");
  return tools::RunAddLanguage({line.operands[0], *id});
}

int EntryPoint(const app::CommandLine& line) { return tools::RunEntryPoint(line.operands[0]); }

int Image(const app::CommandLine& line) { return tools::RunImage(line.operands[0], line.operands[1]); }

int Seal(const app::CommandLine& line) { return tools::RunSeal(line.operands[0]); }

// A command: its operands, as the mistake line names them, and options.
struct Command {
  std::string_view name;
  std::string_view operands;
  std::size_t least;
  std::size_t most;
  std::vector<app::OptionSpec> options;
  int (*run)(const app::CommandLine&);
};

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands{
      {"get", "FILE SECTION KEY [DEFAULT]", 3, 4, {{"--int"}}, Get},
      {"language", "MEDIUM_DIR", 1, 1, {}, Language},
      {"lock", "MEDIUM_DIR", 1, 1, {}, Lock},
      {"check", "MEDIUM_DIR", 1, 1, {{"--format", true}, {"--ignore", true, true}, {"--strict"}}, Check},
      {"pack", "PAGES_DIR OUT (or --from-dll LIBRARY OUT)", 2, 2, {{"--from-dll"}}, Pack},
      {"unpack", "LIBRARY OUT_DIR", 2, 2, {}, Unpack},
      {"init", "DIR", 1, 1, {{"--database"}, {"--languages", true, true}}, Init},
      {"add-language", "DIR ID", 2, 2, {}, AddLanguage},
      {"entry-point", "MEDIUM_DIR", 1, 1, {}, EntryPoint},
      {"image", "MEDIUM_DIR OUT.iso", 2, 2, {}, Image},
      {"seal", "MEDIUM_DIR", 1, 1, {}, Seal},
      {"preview",
       "MEDIUM_DIR --out DIR",
       1,
       1,
       {{"--language", true}, {"--database"}, {"--out", true}},
       Preview},
  };
  return commands;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) return Mistake("", "a command is needed");
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  for (const Command& command : Commands()) {
    if (command.name != args[0]) continue;
    const app::CommandLine line = app::ReadCommandLine(std::span(args).subspan(1), command.options);
    if (line.Has("--help")) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (!line.error.empty()) return Mistake(command.name, line.error);
    if (line.operands.size() < command.least || line.operands.size() > command.most) {
      const std::string count = line.operands.size() < command.least ? "too few" : "too many";
      return Mistake(command.name, count + " operands: it takes " + std::string(command.operands));
    }
    return command.run(line);
  }
  return Mistake("", "unknown command \"" + std::string(args[0]) + "\"");
}
