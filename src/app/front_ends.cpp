#include "app/front_ends.h"

#include <glib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "app/command_line.h"
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
// The status of an answer the launcher must not guess at: it names several
// languages, or a database that is neither.
constexpr int kAmbiguousAnswerStatus = 2;

constexpr char kUsage[] =
    "usage: setup-launcher [--text | --list | --language=X [--database[=SQL|Oracle]]]\n"
    "\n"
    "A parent setup program starts the launcher from its medium and reads the\n"
    "chosen setup folder from its standard output.\n"
    "--text      the dialog on the terminal, even where a window could show\n"
    "--list      print the languages the home page offers, and end\n"
    "--language  answer without showing anything: a folder, a label of the home\n"
    "            page or a position from 1 (also SETUP_LAUNCHER_LANGUAGE)\n"
    "--database  with a language, on a medium with a database choice: SQL or\n"
    "            Oracle; without a value the one the page checks (also\n"
    "            SETUP_LAUNCHER_DATABASE)\n";

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

// Runs the dialog to its home page, passing the database page with the
// database `answer` names (none, or empty: the one the page checks).
// Returns the exit status when the run ends on the way: a guard (it has
// said why), a database that is neither, or a page that cannot be loaded
// or read (said here).
std::optional<int> ReachHomePage(DialogInWords& run, const std::optional<std::string>& answer,
                                 ISystem& system) {
  run.Start();
  if (run.Ended()) return run.ExitStatus();
  if (run.Page() && run.Page()->page == pages::Page::kDatabase) {
    std::string database;
    if (answer && !answer->empty()) {
      const std::optional<std::string> named = DatabaseNamed(*answer);
      if (!named) {
        system.SayError("the database is SQL or Oracle, not \"" + *answer + "\"");
        return kAmbiguousAnswerStatus;
      }
      database = *named;
    }
    if (!run.ChooseDatabase(database)) {
      system.SayError(std::string("the database page has no link to ") + pages::kHomePageAddress);
      return kPageUnusableStatus;
    }
    if (run.Ended()) return run.ExitStatus();
  } else if (answer && run.Page() && run.Page()->page == pages::Page::kHome) {
    system.SayError("this medium offers no database choice: the database answer is ignored");
  }
  if (!run.Page() || run.Page()->page != pages::Page::kHome) {
    system.SayError(run.LoadFailure().empty() ? "the launcher's pages lead to no home page"
                                              : run.LoadFailure());
    return kPageUnusableStatus;
  }
  if (run.Page()->links_made_by_script) {
    system.SayError(kLinksByScript);
    return kPageUnusableStatus;
  }
  return std::nullopt;
}

// A language link of the home page as an answer can name it.
struct Offered {
  std::string label;
  std::optional<std::string> folder;  // as it will be handed over
};

std::vector<Offered> OfferedLanguages(const DialogInWords& run) {
  std::vector<Offered> offered;
  const std::vector<const pages::PageItem*> links = run.Page()->Of(pages::PageItem::Kind::kLanguage);
  for (std::size_t i = 0; i < links.size(); ++i)
    offered.push_back({links[i]->text, run.LanguageLinkOf(i).folder});
  return offered;
}

// "DEU (Deutsch)"; a link without a folder by its label alone.
std::string Described(const Offered& language) {
  if (!language.folder) return "\"" + language.label + "\"";
  return *language.folder + " (" + language.label + ")";
}

}  // namespace

// Text compared without regard to case, in any script.
std::string Folded(std::string_view text) {
  // An answer from the command line need not be UTF-8: such a text is
  // folded in its ASCII letters alone.
  if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
    std::string folded(text);
    for (char& c : folded) c = g_ascii_tolower(c);
    return folded;
  }
  gchar* folded = g_utf8_casefold(text.data(), static_cast<gssize>(text.size()));
  std::string result = folded != nullptr ? folded : std::string(text);
  g_free(folded);
  return result;
}

AnswerMatch MatchLanguageAnswer(const std::string& answer, const std::vector<std::string>& labels,
                                const std::vector<std::optional<std::string>>& folders) {
  const std::size_t count = labels.size();
  const auto folder_is = [&](std::size_t i, auto&& same) { return folders[i] && same(*folders[i]); };
  const std::string folded_answer = Folded(answer);
  const auto exact = [&answer](const std::string& text) { return text == answer; };
  const auto no_case = [&folded_answer](const std::string& text) { return Folded(text) == folded_answer; };
  // The steps, in order: the first that matches decides.
  const std::function<bool(std::size_t)> steps[] = {
      [&](std::size_t i) { return folder_is(i, exact); },
      [&](std::size_t i) { return exact(labels[i]); },
      [&](std::size_t i) { return folder_is(i, no_case) || no_case(labels[i]); },
  };
  AnswerMatch match;
  for (const auto& step : steps) {
    for (std::size_t i = 0; i < count; ++i) {
      if (step(i)) match.indices.push_back(i);
    }
    if (!match.indices.empty()) return match;
  }
  // A position from 1, in digits alone.
  if (!answer.empty() && answer.size() <= 9 && answer.find_first_not_of("0123456789") == std::string::npos) {
    const unsigned long position = std::stoul(answer);
    if (position >= 1 && position <= count) match.indices.push_back(position - 1);
  }
  return match;
}

const char* LaunchUsage() { return kUsage; }

std::optional<std::string> EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

bool DisplayNamed() { return EnvironmentValue("WAYLAND_DISPLAY") || EnvironmentValue("DISPLAY"); }

LaunchOptions ParseLaunchOptions(int argc, const char* const* argv) {
  LaunchOptions options;
  const auto fail = [&options](const std::string& why) {
    if (options.error.empty()) options.error = why + "; see setup-launcher --help";
  };
  static constexpr OptionSpec kOptions[] = {
      {"--text"}, {"--list"}, {kLanguageOption, true}, {kDatabaseOption, true, false, true}};
  const std::vector<std::string_view> args(argv + std::min(argc, 1), argv + argc);
  const CommandLine line = ReadCommandLine(args, kOptions);
  if (!line.error.empty()) fail(line.error);
  // The launcher takes no operands: its medium is its own folder.
  if (!line.operands.empty())
    fail("unexpected argument \"" + setupdata::PrintableText(line.operands[0]) + "\"");
  options.text = line.Has("--text");
  options.list = line.Has("--list");
  const auto given = [&line](std::string_view name) -> std::optional<std::string> {
    if (!line.Has(name)) return std::nullopt;
    return line.options.find(name)->second.back();
  };
  std::optional<std::string> language = given(kLanguageOption);
  std::optional<std::string> database = given(kDatabaseOption);
  options.help = line.Has("--help");
  const bool given_database = database.has_value();
  if (options.list && (options.text || language || database)) fail("--list takes no other option");
  if (options.text && (language || database))
    fail("--text answers nothing: leave out --language and --database");
  // The environment answers for a parent that passes no arguments, each
  // variable as its option would: an option wins over its own variable
  // alone. --text and --list ask for no answers at all.
  if (!options.text && !options.list) {
    if (!language) language = EnvironmentValue(kLanguageVariable);
    if (!database) database = EnvironmentValue(kDatabaseVariable);
  }
  if (database && !language) {
    // Without --database the answer came from its variable.
    fail(std::string(given_database ? "--database" : kDatabaseVariable) +
         " needs a language (--language or " + kLanguageVariable + ")");
  }
  options.language = language;
  options.database = database;
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
  std::string said;  // the last error the dialog showed
  DialogInWords run(context.module_dir, context.system, context.languages,
                    [&said](const std::string& text, const std::string&, MessageBoxType type) {
                      if (type == MessageBoxType::kOkError) said = text;
                      return type == MessageBoxType::kOkError ? IDOK : IDNO;
                    });
  if (const std::optional<int> ended = ReachHomePage(run, options.database, context.system)) return *ended;

  const std::vector<Offered> offered = OfferedLanguages(run);
  std::vector<std::string> labels;
  std::vector<std::optional<std::string>> folders;
  for (const Offered& language : offered) {
    labels.push_back(language.label);
    folders.push_back(language.folder);
  }
  const AnswerMatch match = MatchLanguageAnswer(*options.language, labels, folders);
  const auto list = [&offered](const std::vector<std::size_t>& indices) {
    std::string text;
    for (const std::size_t i : indices) text += (text.empty() ? "" : ", ") + Described(offered[i]);
    return text;
  };
  // The system's line escapes what a terminal would not print.
  if (match.indices.size() > 1) {
    context.system.SayError("\"" + *options.language +
                            "\" names more than one language of this medium: " + list(match.indices));
    return kAmbiguousAnswerStatus;
  }
  if (match.indices.empty()) {
    std::vector<std::size_t> installable;
    for (std::size_t i = 0; i < offered.size(); ++i) {
      if (offered[i].folder) installable.push_back(i);
    }
    context.system.SayError(
        "\"" + *options.language + "\" is no installable language of this medium; " +
        (installable.empty() ? "none is installable" : "installable: " + list(installable)));
    return kNoSuchLanguageStatus;
  }
  const std::size_t chosen = match.indices.front();
  run.ChooseLanguage(chosen);
  if (!run.DamagedFile().empty()) {
    context.system.SayError("the medium is damaged: " + run.DamagedFile() + " " + run.Damage());
    return kMediumDamagedStatus;
  }
  if (!run.Ended()) {
    // The dialog refused the link, with its message (no setup folder) or
    // without a word (a number beyond the entries), and waits for another
    // answer.
    context.system.SayError(Described(offered[chosen]) + " cannot be installed from this medium" +
                            (said.empty() ? std::string() : ": " + said));
    return kNoSuchLanguageStatus;
  }
  return run.ExitStatus();
}

int ListLanguages(const FrontEndContext& context) {
  ListingSystem system(context.system);
  DialogInWords run(context.module_dir, system, context.languages,
                    [](const std::string&, const std::string&, MessageBoxType type) {
                      return type == MessageBoxType::kOkError ? IDOK : IDNO;
                    });
  // A medium the dialog refuses (it has said why) lists nothing: the
  // parent must not take it for a medium without installable languages.
  if (ReachHomePage(run, std::nullopt, system)) return 1;
  // A link that hands over nothing is left out: choosing it only shows
  // the message of a language without its setup.
  std::string list;
  for (const Offered& language : OfferedLanguages(run)) {
    if (language.folder)
      list +=
          setupdata::PrintableText(*language.folder) + "\t" + setupdata::PrintableText(language.label) + "\n";
  }
  return context.system.WriteResult(list) == ResultWrite::kLost ? kResultLostStatus : 0;
}

}  // namespace app
