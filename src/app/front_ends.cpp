#include "app/front_ends.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "app/dialog_in_words.h"
#include "app/launcher_dlg.h"
#include "app/result_channel.h"
#include "app/terminal_text.h"
#include "pages/page_contract.h"
#include "setupdata/text.h"

namespace app {
namespace {

constexpr char kLanguageOption[] = "--language";
constexpr char kDatabaseOption[] = "--database";
constexpr char kLanguageVariable[] = "SETUP_LAUNCHER_LANGUAGE";
constexpr char kDatabaseVariable[] = "SETUP_LAUNCHER_DATABASE";
// The exit status of an answer that names no installable language. It is
// the lost result's status on purpose: a parent reads 3 as "no result came",
// whichever of the two happened, so the two cannot differ.
constexpr int kNoSuchLanguageStatus = kResultLostStatus;
constexpr char kUsage[] =
    "usage: setup-launcher [--text | --list | --language=X [--database=SQL|Oracle]]\n"
    "\n"
    "A parent setup program starts the launcher from its medium and reads the\n"
    "chosen setup folder from its standard output.\n"
    "--text      the dialog on the terminal, even where a window could show\n"
    "--list      print the languages the user could choose, and end\n"
    "--language  answer without showing anything: a folder, a display name or a\n"
    "            position from 1 (also SETUP_LAUNCHER_LANGUAGE)\n"
    "--database  with --language on a medium with a database choice: SQL or\n"
    "            Oracle (also SETUP_LAUNCHER_DATABASE)\n";

// The database a name stands for, in the dialog's spelling; none for a
// name that is neither.
std::optional<std::string> DatabaseNamed(std::string_view name) {
  for (const char* database : {pages::kSqlDatabase, pages::kOracleDatabase}) {
    if (setupdata::EqualsNoCase(name, database)) return database;
  }
  return std::nullopt;
}

// Stands between the dialog and the system while the languages are only
// listed: no lock is taken, so none of the guards fires, and nothing is
// handed to the parent.
class ListingSystem final : public ForwardingSystem {
 public:
  using ForwardingSystem::ForwardingSystem;
  std::unique_ptr<ILockHandle> CreateNamedLock(const std::string& name, bool& already_existed) override {
    already_existed = name != kSecondInstanceLock;
    return std::make_unique<ILockHandle>();
  }
  ResultWrite WriteResult(std::string_view) override { return ResultWrite::kNoChannel; }
  bool OpenWithDefaultHtmlProgram(const std::string&) override { return false; }
};

// Runs the dialog to its home page, the database page passed with
// `database`. False when the dialog ended on the way (a guard).
bool ReachHomePage(DialogInWords& run, const std::string& database) {
  run.Start();
  if (!run.Ended() && run.Page() && run.Page()->page == pages::Page::kDatabase) run.ChooseDatabase(database);
  return !run.Ended() && run.Page() && run.Page()->page == pages::Page::kHome;
}

// The slot of the installable language `answer` names: its folder or its
// display name (ASCII letters in any case), else its position from 1; -1
// when it names none.
int SlotNamed(const std::string& answer, const DialogInWords& run) {
  const std::vector<std::string>& names = run.Page()->choices;
  const int count = static_cast<int>(names.size());
  for (int slot = 0; slot < count; ++slot) {
    if (setupdata::EqualsNoCase(answer, run.LanguageFolder(slot))) return slot;
  }
  for (int slot = 0; slot < count; ++slot) {
    if (setupdata::EqualsNoCase(answer, names[slot])) return slot;
  }
  if (!answer.empty() && answer.size() <= 3 && answer.find_first_not_of("0123456789") == std::string::npos) {
    const int position = std::atoi(answer.c_str());
    if (position >= 1 && position <= count) return position - 1;
  }
  return -1;
}

}  // namespace

const char* LaunchUsage() { return kUsage; }

std::optional<std::string> EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

bool DisplayNamed() { return EnvironmentValue("WAYLAND_DISPLAY") || EnvironmentValue("DISPLAY"); }

LaunchOptions ParseLaunchOptions(int argc, const char* const* argv) {
  LaunchOptions options;
  std::optional<std::string> language;
  std::optional<std::string> database;
  const auto fail = [&options](const std::string& why) {
    if (options.error.empty()) options.error = why + "; see setup-launcher --help";
  };
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--text") {
      options.text = true;
      continue;
    }
    if (arg == "--list") {
      options.list = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    std::optional<std::string>* value = nullptr;
    std::string_view name;
    for (const char* option : {kLanguageOption, kDatabaseOption}) {
      if (arg == option || (arg.starts_with(option) && arg[std::strlen(option)] == '=')) {
        name = option;
        value = option == kLanguageOption ? &language : &database;
      }
    }
    if (value == nullptr) {
      fail("unknown option \"" + PrintableText(arg) + "\"");
      continue;
    }
    if (arg.size() > name.size()) {
      *value = std::string(arg.substr(name.size() + 1));
    } else if (i + 1 < argc && !std::string_view(argv[i + 1]).starts_with("--")) {
      *value = argv[++i];
    } else {
      fail(std::string(name) + " needs a value");
      continue;
    }
    if ((*value)->empty()) fail(std::string(name) + " needs a value");
  }
  if (options.list && (options.text || language || database)) fail("--list takes no other option");
  if (options.text && (language || database))
    fail("--text answers nothing: leave out --language and --database");
  if (database && !language) fail("--database needs --language");
  // The environment answers for a parent that passes no arguments; an
  // option on the command line wins over it, and --text or --list asks for
  // no answers at all.
  if (!options.text && !options.list) {
    if (!language) {
      language = EnvironmentValue(kLanguageVariable);
      if (language && !database) database = EnvironmentValue(kDatabaseVariable);
    } else if (!database) {
      database = EnvironmentValue(kDatabaseVariable);
    }
  }
  if (database && language) {
    options.database = DatabaseNamed(*database);
    if (!options.database) fail("the database is SQL or Oracle, not \"" + PrintableText(*database) + "\"");
  }
  options.language = language;
  if (!options.error.empty()) {
    options.language.reset();
    options.database.reset();
  }
  return options;
}

int RunUnattended(const FrontEndContext& context, const LaunchOptions& options) {
  if (!options.language) {
    context.system.SayError("an unattended run needs a language");
    return 2;
  }
  const std::string database = options.database.value_or(pages::kSqlDatabase);
  std::string said;  // the last error the dialog showed
  DialogInWords run(context.system, context.languages,
                    [&said](const std::string& text, const std::string&, MessageBoxType type) {
                      if (type == MessageBoxType::kOkError) said = text;
                      return type == MessageBoxType::kOkError ? IDOK : IDNO;
                    });
  // A guard ends the dialog at start, as it ends the window, and says why.
  if (!ReachHomePage(run, database)) return run.ExitStatus();
  const int slot = SlotNamed(*options.language, run);
  if (slot < 0) {
    std::string installable;
    const std::vector<std::string>& names = run.Page()->choices;
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (i > 0) installable += ", ";
      installable += run.LanguageFolder(static_cast<int>(i)) + " (" + names[i] + ")";
    }
    // The system's line escapes what a terminal would not print.
    context.system.SayError("\"" + *options.language + "\" is no installable language of this medium; " +
                            (installable.empty() ? "none is installable" : "installable: " + installable));
    return kNoSuchLanguageStatus;
  }
  run.ChooseLanguage(slot);
  if (!run.Ended()) {
    // The dialog refused the language with its message (the folder went
    // away after the page was filled) and waits for another answer.
    context.system.SayError(said);
    return kNoSuchLanguageStatus;
  }
  return run.ExitStatus();
}

int ListLanguages(const FrontEndContext& context) {
  ListingSystem system(context.system);
  DialogInWords run(system, context.languages,
                    [](const std::string&, const std::string&, MessageBoxType type) {
                      return type == MessageBoxType::kOkError ? IDOK : IDNO;
                    });
  // A medium the dialog refuses (it has said why) lists nothing: the
  // parent must not take it for a medium without installable languages.
  if (!ReachHomePage(run, pages::kSqlDatabase)) return 1;
  std::string list;
  const std::vector<std::string>& names = run.Page()->choices;
  for (std::size_t i = 0; i < names.size(); ++i) {
    list += PrintableText(run.LanguageFolder(static_cast<int>(i))) + "\t" + PrintableText(names[i]) + "\n";
  }
  return context.system.WriteResult(list) == ResultWrite::kLost ? kResultLostStatus : 0;
}

}  // namespace app
