// The findings check can report: one table of codes, each with its fixed
// severity and what it means.
#include <glib.h>

#include <algorithm>

#include "tools/medium_check.h"

namespace tools {

const std::vector<FindingKind>& FindingKinds() {
  static const std::vector<FindingKind> kinds = {
      {"medium-unreadable", Severity::kError, "the medium's folder cannot be read"},
      {"setup-inf-missing", Severity::kError, "setup.inf missing or unreadable: the launcher ends at once"},
      {"setupres-missing", Severity::kError, "setupres.ini missing or unreadable: every text reads NULL"},
      {"utf16-without-bom", Severity::kError, "a UTF-16 file without a byte-order mark: its text is garbled"},
      {"utf16-without-bom-ascii", Severity::kWarning,
       "a UTF-16 file without a byte-order mark holding ASCII only: it reads, by chance"},
      {"line-without-value", Severity::kWarning, "a key line without \"=\": it holds no value"},
      {"value-too-long", Severity::kWarning, "a value beyond 259 bytes: the rest is not read"},
      {"not-utf8", Severity::kWarning,
       "values of a section that are not UTF-8, told once with their count: read in a Windows codepage"},
      {"no-product", Severity::kError, "setup.inf names no product: the launcher ends at once"},
      {"product-not-reference", Severity::kNote, "the product name is written in setup.inf itself"},
      {"product-unresolved", Severity::kError, "the product name's key is missing in a language section"},
      {"product-without-database", Severity::kWarning,
       "a product name without %s on a medium with a database choice: the database chosen does not show"},
      {"product-not-named", Severity::kWarning,
       "the product is still called \"My Product\", as setup-medium init wrote it"},
      {"cut-title", Severity::kWarning,
       "the product name's %s cuts the window title on a bracket, a dash or a word that leads on"},
      {"half-database-choice", Severity::kError, "one database option without the other"},
      {"language-number-missing", Severity::kWarning, "no LANGUAGENUMBER: one language entry is read"},
      {"no-language", Severity::kError, "LANGUAGENUMBER reads as 0: no language can be chosen"},
      {"no-1033-section", Severity::kError, "no section 1033, the one other languages fall back on"},
      {"regional-section", Severity::kNote, "this system's language has no section: the launcher reads 1033"},
      {"no-presence-marker", Severity::kError, "a language section without 32001: never used"},
      {"missing-text", Severity::kError, "a text a page or the dialog shows is missing: it shows NULL"},
      {"caption-without-product", Severity::kError, "caption 9011 without %s: the window title is empty"},
      {"comma-cut", Severity::kError, "a text with a comma: the page shows only what comes before it"},
      {"markup-in-text", Severity::kWarning, "HTML markup in a text: the page takes it in as markup"},
      {"untranslated-text", Severity::kWarning,
       "texts still under \"; TODO translate\": the English ones setup-medium init wrote"},
      {"english-language-name", Severity::kNote,
       "a language listed under its English name, where its speakers look for their own"},
      {"language-entry-missing", Severity::kError, "a language entry LANGUAGENUMBER declares is missing"},
      {"language-entry-no-folder", Severity::kError, "a language entry without a comma and folder"},
      {"language-entry-unused", Severity::kWarning, "a language entry beyond LANGUAGENUMBER: never read"},
      {"language-folder-missing", Severity::kWarning, "a language's folder is missing: it is not offered"},
      {"language-folder-not-folder", Severity::kError, "a language's folder is empty or a file"},
      {"language-folder-outside", Severity::kError, "a language's folder leads out of the medium"},
      {"name-case", Severity::kWarning, "a name found only in another letter case"},
      {"release-notes-unnamed", Severity::kWarning, "no release notes named: the link opens a folder"},
      {"release-notes-missing", Severity::kError,
       "the 1033 release notes, which serve every language, are missing"},
      {"release-notes-language-missing", Severity::kNote,
       "a language's own release notes are missing: 1033's show"},
      {"launcher-missing", Severity::kWarning,
       "setup-launcher is not beside the files yet (nor, then, need its module and page library be)"},
      {"window-module-missing", Severity::kError, "the launcher is there but not its window module"},
      {"dangling-link", Severity::kError, "the launcher or its module is a symbolic link to nothing"},
      {"not-executable", Severity::kError,
       "the launcher, the entry point or its parent cannot be started: \"Permission denied\""},
      {"library-missing", Severity::kError, "no page library: the view shows an error page"},
      {"library-unreadable", Severity::kError, "the page library cannot be read"},
      {"page-missing", Severity::kError, "a page the launcher shows is missing from the library"},
      {"res-reference-missing", Severity::kError,
       "a page refers to a resource that is not there, by a res:// address or a relative one (an image, "
       "a style sheet, a script, a link)"},
      {"first-language-slot-missing", Severity::kError, "the home page has no IDLANGUAGE0"},
      {"language-slot-missing", Severity::kError,
       "the home page lacks the slot of an installable language: that language does not show"},
      {"no-language-link", Severity::kError, "the home page has no IDRLANGUAGE link"},
      {"no-release-notes-link", Severity::kWarning, "the home page has no IDRRELNOTES link"},
      {"no-exit-link", Severity::kWarning, "the home page has no IDREXIT link"},
      {"no-visibility-marker", Severity::kError,
       "no id=AAAAA on a database medium: the back element always shows"},
      {"quoted-visibility-marker", Severity::kWarning, "id=\"AAAAA\": the element loses its id"},
      {"placeholder-missing", Severity::kWarning, "a page lacks a placeholder: its text does not show"},
      {"database-marker-missing", Severity::kError,
       "the database page lacks a marker: the choice cannot be read"},
      {"no-home-link", Severity::kError, "the database page has no link to the home page"},
      {"image-missing", Severity::kError, "an image of the database choice is missing"},
      {"unknown-placeholder", Severity::kWarning, "a word that looks like a placeholder but is none"},
      {"checksums-unreadable", Severity::kError,
       "SHA256SUMS cannot be read: the launcher takes the medium for damaged"},
      {"checksum-line-malformed", Severity::kError,
       "a line of SHA256SUMS that is not sha256sum's (bad hex, an absolute path, \"..\", a path listed "
       "before): the launcher takes the medium for damaged"},
      {"checksum-mismatch", Severity::kError,
       "a sealed file does not match its checksum: the medium is damaged"},
      {"checksum-file-missing", Severity::kError, "a sealed file is missing: the medium is damaged"},
      {"checksum-file-unreadable", Severity::kError, "a sealed file cannot be read: the medium is damaged"},
      {"checksum-file-unlisted", Severity::kWarning,
       "a file of a sealed medium that SHA256SUMS does not list: added after the seal, never checked"},
  };
  return kinds;
}

bool IsFindingCode(std::string_view code) {
  const auto& kinds = FindingKinds();
  return std::any_of(kinds.begin(), kinds.end(), [&](const FindingKind& k) { return code == k.code; });
}

Severity SeverityOf(std::string_view code) {
  for (const FindingKind& kind : FindingKinds()) {
    if (code == kind.code) return kind.severity;
  }
  g_error("unknown finding code %.*s", static_cast<int>(code.size()), code.data());
}

}  // namespace tools
