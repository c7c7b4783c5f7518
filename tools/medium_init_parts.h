// The parts of `setup-medium init` that add-language writes with as well,
// so that a language added later reads as one init wrote: its name and
// folder, its section's texts, its entry in the lists, its folder's files.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "setupdata/ini_file.h"

namespace tools::init {

// The parts of the kit init copies or reads, as built or as installed.
struct Kit {
  std::filesystem::path launcher_dir;    // setup-launcher, its window module and the entry point
  std::filesystem::path parent;          // setup-parent, which the entry point runs
  std::filesystem::path entry_point;     // the medium's entry point
  std::filesystem::path page_library;    // the sample page library
  std::filesystem::path demo_texts;      // setupres.ini of the demo medium
  std::filesystem::path demo_setup_inf;  // setup.inf of the demo medium with a database choice
};

// The kit beside setup-medium in a build tree, else where the package
// installs it; none, with a line said, when a part is missing.
std::optional<Kit> FindKit();

// A language as init writes it.
struct Language {
  std::uint16_t id = 0;
  std::string section;     // its decimal id
  std::string name;        // the display text of its entry and its marker 32001
  std::string folder;      // its setup folder
  bool own_words = false;  // the demo medium has its texts
};

// A language of the list as init writes it: in the demo's words and with
// the demo's folder where the demo medium (`demo`, its setupres.ini) has
// its section, else under the name ICU gives it in its own language, in
// the folder Windows' abbreviation of it names. None for an id neither
// knows.
std::optional<Language> DescribeLanguage(std::uint16_t id, const setupdata::IniFile& demo);

// The lines of the entry `n` of a language section's list for `language`
// ("LANGUAGE2=Italian (Italy),ITA"), under a line of the translation
// marker when the name is not in the language's own words.
std::string EntryLines(std::uint32_t n, const Language& language);

// A language section as init writes it, from its "[id]" line: the marker
// 32001, every text the launcher shows (the demo's own words, else its
// English under the translation marker), `product_key`=`product` (none
// without a key) and then `entries` (the list, as EntryLines gives it). None, with a line said,
// when the demo medium lacks a text.
std::optional<std::string> SectionText(const Language& section, const setupdata::IniFile& demo,
                                       const std::string& product_key, const std::string& product,
                                       const std::string& entries);

// Writes files below a folder, each replaced whole (a temporary file
// renamed over it); a failure is said in one line.
class Writer {
 public:
  explicit Writer(std::filesystem::path root) : root_(std::move(root)) {}
  bool File(const std::filesystem::path& name, const std::string& text,
            std::filesystem::perms mode = std::filesystem::perms(0644));
  // A real copy of `from` (a link is followed), never a link.
  bool Copy(const std::filesystem::path& from, const std::filesystem::path& name,
            std::filesystem::perms mode);

 private:
  std::filesystem::path root_;
};

// What init puts in a language's setup folder, written with `writer`.
bool WriteLanguageFolder(Writer& writer, const Language& language);

// The value of a setup file's line as the reader gives it back (quoted
// when its blanks would otherwise be lost).
std::string IniValue(const std::string& value);

// One line on standard error, after the tool's name, printed safely.
void Say(const std::string& line);

}  // namespace tools::init
