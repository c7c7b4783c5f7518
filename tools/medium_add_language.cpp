// setup-medium add-language: one more language on a medium, written as
// init writes one, into setupres.ini as the author left it.

#include "medium_add_language.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "medium/medium.h"
#include "medium_init_parts.h"
#include "setupdata/ini_file.h"
#include "setupdata/language_table.h"
#include "setupdata/name_on_medium.h"
#include "setupdata/setup_files.h"
#include "setupdata/text.h"
#include "tools/init_texts.h"

namespace fs = std::filesystem;

namespace tools {
namespace {

using init::Say;

// The lines of a setup file as they stand, each with its own line end, and
// what goes between them: lines are put in and values changed, everything
// else (comments, blank lines, order, line ends, a byte-order mark) stays.
// Lines are numbered from 1 as IniFile::LineOf numbers them.
class FileLines {
 public:
  explicit FileLines(const std::string& bytes) {
    std::string text = bytes;
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
      // Edited as the reader decodes it, written back as it came.
      utf16_ = bytes.starts_with("\xFF\xFE") ? "UTF-16LE" : "UTF-16BE";
      mark_ = bytes.substr(0, 2);
      text = setupdata::DecodeIniBytes(bytes);
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
      mark_ = bytes.substr(0, 3);
      text = bytes.substr(3);
    }
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t end = text.find('\n', start);
      const std::size_t next = end == std::string::npos ? text.size() : end + 1;
      std::string line = text.substr(start, next - start);
      std::string ending;
      if (line.ends_with("\r\n")) {
        ending = "\r\n";
      } else if (line.ends_with('\n')) {
        ending = "\n";
      }
      line.resize(line.size() - ending.size());
      lines_.push_back(std::move(line));
      ends_.push_back(std::move(ending));
      start = next;
    }
    // New lines end as the file's first line does.
    if (!ends_.empty() && !ends_.front().empty()) eol_ = ends_.front();
    after_.resize(lines_.size() + 1);
  }

  std::uint32_t Count() const { return static_cast<std::uint32_t>(lines_.size()); }
  const std::string& Line(std::uint32_t line) const { return lines_[line - 1]; }
  void Replace(std::uint32_t line, std::string text) { lines_[line - 1] = std::move(text); }

  // `text` (lines each ended by "\n") after the line `after`; 0 is before
  // the first.
  void InsertAfter(std::uint32_t after, const std::string& text) {
    for (const char c : text) {
      if (c == '\n') {
        after_[after] += eol_;
      } else {
        after_[after] += c;
      }
    }
  }

  // The whole file; nullopt when it cannot be encoded back as it came.
  std::optional<std::string> Bytes() const {
    std::string text = after_[0];
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      text += lines_[i];
      // A last line without its end gets one when lines follow it.
      text += ends_[i].empty() && !after_[i + 1].empty() ? eol_ : ends_[i];
      text += after_[i + 1];
    }
    if (utf16_.empty()) return mark_ + text;
    gsize written = 0;
    g_autofree gchar* encoded = g_convert(text.data(), static_cast<gssize>(text.size()), utf16_.c_str(),
                                          "UTF-8", nullptr, &written, nullptr);
    if (encoded == nullptr) return std::nullopt;
    return mark_ + std::string(encoded, written);
  }

 private:
  std::vector<std::string> lines_;  // without their ends
  std::vector<std::string> ends_;   // "\r\n", "\n", or empty for a last line without one
  std::vector<std::string> after_;  // put after line i (0: before the first)
  std::string eol_ = "\n";
  std::string mark_;   // the byte-order mark the file began with
  std::string utf16_;  // the encoding of a UTF-16 file
};

// The line of the section `section` after which its list goes on: its last
// entry of the count, else its last key, else its own line.
std::uint32_t EndOfList(const setupdata::IniFile& res, const std::string& section, std::uint32_t count) {
  if (count > 0) {
    if (const std::uint32_t line = res.LineOf(section, setupdata::LanguageKey(count - 1))) return line;
  }
  std::uint32_t line = res.LineOf(section);
  for (const std::string& key : res.KeysIn(section)) line = std::max(line, res.LineOf(section, key));
  return line;
}

// `text` as setupres.ini with `line` changed to give `number`: its key as
// written, and after "=" the number.
std::string WithNumber(const std::string& text, const std::string& number) {
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos) return text + "=" + number;
  const bool blank = eq + 1 < text.size() && (text[eq + 1] == ' ' || text[eq + 1] == '\t');
  return text.substr(0, eq + 1) + (blank ? " " : "") + number;
}

// Replaces `path` with `bytes` in one step: a temporary file beside it,
// renamed over it, with the mode the file had.
bool ReplaceFile(const std::string& path, const std::string& bytes) {
  GStatBuf st{};
  const int mode = g_stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : 0644;
  g_autoptr(GError) error = nullptr;
  if (!g_file_set_contents_full(path.c_str(), bytes.data(), static_cast<gssize>(bytes.size()),
                                G_FILE_SET_CONTENTS_CONSISTENT, mode, &error)) {
    Say("cannot write " + path + ": " + error->message);
    return false;
  }
  return true;
}

}  // namespace

int RunAddLanguage(const AddLanguageOptions& options) {
  const std::string why = setupdata::WhyNoMedium(options.dir);
  if (!why.empty()) {
    Say(why);
    return 1;
  }
  const setupdata::SetupFiles files = setupdata::SetupFiles::ForDirectory(options.dir);
  std::string problem;
  const std::optional<setupdata::IniFile> res = setupdata::IniFile::Load(files.res_ini_path, &problem);
  g_autofree gchar* contents = nullptr;
  gsize length = 0;
  if (!res || !g_file_get_contents(files.res_ini_path.c_str(), &contents, &length, nullptr)) {
    Say("cannot read " + files.res_ini_path + ": " + (problem.empty() ? "it cannot be read" : problem));
    return 1;
  }

  const std::optional<init::Kit> kit = init::FindKit();
  if (!kit) return 1;
  const std::optional<setupdata::IniFile> demo = setupdata::IniFile::Load(kit->demo_texts.string());
  if (!demo) {
    Say("cannot read the demo medium's texts " + kit->demo_texts.string());
    return 1;
  }
  const std::string id = std::to_string(options.id);
  const std::optional<init::Language> language = init::DescribeLanguage(options.id, *demo);
  if (!language) {
    Say("unknown language id " + id);
    return 1;
  }

  // What is on the medium already stays as it is.
  if (res->LineOf(id) != 0) {
    Say("language id " + id + " is on the medium already: " + setupdata::kSetupResName + " has [" + id + "]");
    return 1;
  }
  const setupdata::FoundPath folder = setupdata::FindOnMedium(files.module_dir, language->folder);
  if (folder.match != setupdata::NameMatch::kMissing) {
    Say("the folder " + files.module_dir + (folder.found() ? folder.path : language->folder) +
        " exists already");
    return 1;
  }
  setupdata::LanguageTable unused;
  const std::vector<std::string> sections =
      medium::Medium::InDirectory(options.dir, setupdata::kFallbackLangId, unused).LanguageSections();
  const std::uint32_t count = files.LanguageCount();
  const std::string next_key = setupdata::LanguageKey(count);
  for (const std::string& section : sections) {
    if (res->Find(section, next_key) != nullptr) {
      Say("[" + section + "] has " + next_key + " already, beyond " + setupdata::kLanguageNumberKey + " " +
          std::to_string(count) + ": remove it or count it first");
      return 1;
    }
    for (std::uint32_t n = 0; n < count; ++n) {
      const setupdata::LanguageEntry entry = setupdata::ReadLanguageEntry(*res, section, n);
      if (entry.dir && setupdata::EqualsNoCase(*entry.dir, language->folder)) {
        Say("[" + section + "] " + setupdata::LanguageKey(n) + " names the folder " + language->folder +
            " already");
        return 1;
      }
    }
  }
  if (count >= 0xFFFF) {
    Say(std::string(setupdata::kLanguageNumberKey) + " cannot count one more language");
    return 1;
  }

  FileLines lines(std::string(contents, length));
  // The entry at the end of every language section's list.
  const std::string entry = init::EntryLines(count, *language);
  for (const std::string& section : sections) lines.InsertAfter(EndOfList(*res, section, count), entry);
  // The count.
  const std::string number = std::to_string(count + 1);
  const std::string count_line = std::string(setupdata::kLanguageNumberKey) + "=" + number + "\n";
  if (const std::uint32_t line = res->LineOf(setupdata::kLanguageSection, setupdata::kLanguageNumberKey)) {
    lines.Replace(line, WithNumber(lines.Line(line), number));
  } else if (const std::uint32_t header = res->LineOf(setupdata::kLanguageSection)) {
    lines.InsertAfter(header, count_line);
  } else {
    // Before the first section, where init writes it.
    std::uint32_t first = lines.Count() + 1;
    for (const std::string& section : res->SectionNames()) first = std::min(first, res->LineOf(section));
    lines.InsertAfter(first - 1, std::string("[") + setupdata::kLanguageSection + "]\n" + count_line + "\n");
  }
  // Its own section, at the end: the list as the section systems without
  // their own read gives it, and the product name from there too.
  const std::string from =
      std::find(sections.begin(), sections.end(), setupdata::kFallbackLangId) != sections.end()
          ? std::string(setupdata::kFallbackLangId)
          : (sections.empty() ? std::string() : sections.front());
  std::string entries;
  for (std::uint32_t n = 0; n < count && !from.empty(); ++n) {
    const std::string key = setupdata::LanguageKey(n);
    if (res->Find(from, key) != nullptr)
      entries += key + "=" + init::IniValue(res->GetString(from, key, "", from)) + "\n";
  }
  entries += entry;
  const std::string product_key = files.ProductNameKey();
  std::string product = kInitProductName;
  if (!from.empty() && res->Find(from, product_key) != nullptr)
    product = res->GetString(from, product_key, "", from);
  const std::optional<std::string> section =
      init::SectionText(*language, *demo, product_key, product, entries);
  if (!section) return 1;
  lines.InsertAfter(lines.Count(), "\n" + *section);
  const std::optional<std::string> bytes = lines.Bytes();
  if (!bytes) {
    Say("cannot write " + files.res_ini_path + " back in its encoding");
    return 1;
  }

  // The folder first, then the texts that name it in one step; a folder
  // whose texts could not be written is taken away again.
  init::Writer writer(files.module_dir);
  if (!init::WriteLanguageFolder(writer, *language) || !ReplaceFile(files.res_ini_path, *bytes)) {
    std::error_code ec;
    fs::remove_all(fs::path(files.module_dir) / language->folder, ec);
    return 1;
  }
  std::printf("setup-medium: added %s (%s) to %s\n", id.c_str(), language->folder.c_str(),
              setupdata::PrintableText(options.dir).c_str());
  if (!language->own_words)
    std::printf("setup-medium: English texts to translate are marked \"%s\" in %s\n", kTranslateMarker,
                setupdata::kSetupResName);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace tools
