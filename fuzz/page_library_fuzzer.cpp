// The page library from the outside: the input as a res: address, as a
// resource name looked up in the sample library, and as the bytes of a
// library file, which must open and serve lookups or fail cleanly.
#include <glib.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "pages/document_language.h"
#include "pages/page_library.h"
#include "setupdata/text.h"

namespace {

constexpr const char* kSampleNames[] = {"HTML_HOMEPAGE", "HTML_SAP", "GIF/GIF_SELECTED", "GIF/GIF_NOSELECTED"};

const pages::PageLibrary& SampleLibrary() {
  static const std::unique_ptr<pages::PageLibrary> library = [] {
    std::string error;
    auto opened = pages::PageLibrary::Open(SAMPLE_PAGE_LIBRARY, &error);
    if (!opened) {
      std::fprintf(stderr, "cannot open %s: %s\n", SAMPLE_PAGE_LIBRARY, error.c_str());
      std::abort();
    }
    return opened;
  }();
  return *library;
}

// One scratch file per process for the library bytes of each input.
const std::string& ScratchPath() {
  static const std::string path = [] {
    gchar* name = nullptr;
    const int fd = g_file_open_tmp("page_library_fuzzer-XXXXXX.dll", &name, nullptr);
    FUZZ_CHECK(fd >= 0);
    close(fd);
    std::string result(name);
    g_free(name);
    std::atexit([] { g_unlink(ScratchPath().c_str()); });
    return result;
  }();
  return path;
}

void CheckAddress(std::string_view uri) {
  const std::optional<pages::ResAddress> address = pages::ParseResAddress(uri);
  if (!address) return;
  FUZZ_CHECK(!address->library.empty());
  FUZZ_CHECK(address->library != "." && address->library != "..");
  FUZZ_CHECK(address->library.find('/') == std::string::npos);
  FUZZ_CHECK(address->library.find('\0') == std::string::npos);
  FUZZ_CHECK(!address->resource.starts_with('/'));
}

void CheckSampleLookup(std::string_view name) {
  const pages::PageLibrary& library = SampleLibrary();
  const std::optional<pages::PageResource> found = library.Lookup(name);
  bool known = false;
  for (const char* sample : kSampleNames) known = known || setupdata::EqualsNoCase(name, sample);
  FUZZ_CHECK(found.has_value() == known);
  if (!found) return;
  FUZZ_CHECK(!found->bytes.empty());
  FUZZ_CHECK(!found->content_type.empty());
  const std::optional<pages::PageResource> upper = library.Lookup(fuzz::AsciiUpper(name));
  FUZZ_CHECK(upper && upper->bytes == found->bytes);
}

void CheckLibraryBytes(std::string_view bytes, std::string_view name) {
  const std::string& path = ScratchPath();
  FUZZ_CHECK(g_file_set_contents(path.c_str(), bytes.data(), static_cast<gssize>(bytes.size()), nullptr));
  std::string error;
  const std::unique_ptr<pages::PageLibrary> library = pages::PageLibrary::Open(path, &error);
  if (!library) {
    FUZZ_CHECK(!error.empty());
    return;
  }
  for (const char* sample : kSampleNames) {
    if (const auto found = library->Lookup(sample)) FUZZ_CHECK(!found->content_type.empty());
  }
  if (const auto found = library->Lookup(name)) FUZZ_CHECK(!found->content_type.empty());
}

// A page served in a language: the language is declared once, so a page
// declared again stays as it is; a page in an ASCII-based encoding only
// gains text.
void CheckDeclaredLanguage(std::string_view page) {
  for (const pages::DocumentLanguage& language :
       {pages::DocumentLanguage{"he-IL", true}, pages::DocumentLanguage{"ja-JP", false}}) {
    const std::string declared = pages::DeclareDocumentLanguage(page, language);
    FUZZ_CHECK(pages::DeclareDocumentLanguage(declared, language) == declared);
    if (!page.starts_with("\xFF\xFE") && !page.starts_with("\xFE\xFF")) FUZZ_CHECK(declared.size() >= page.size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckAddress(bytes);

  // The name: what follows the last NUL, or the whole input.
  const std::size_t nul = bytes.rfind('\0');
  const std::string_view name = nul == std::string_view::npos ? bytes : bytes.substr(nul + 1);
  if (name.size() <= 64) CheckSampleLookup(name);
  if (const auto address = pages::ParseResAddress(name)) CheckSampleLookup(address->resource);

  CheckLibraryBytes(bytes, name.substr(0, 64));
  CheckDeclaredLanguage(bytes);
  return 0;
}
