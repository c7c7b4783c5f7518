#include "setupdata/icu_runtime.h"

#include <dlfcn.h>
#include <glib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <utility>

namespace setupdata {
namespace {

// The versions a system of today holds, tried newest first; versions
// released after them are tried last, so that a system of today pays
// nothing for them.
constexpr int kNewestVersion = 80;
constexpr int kOldestVersion = 50;
constexpr int kNewestLaterVersion = 200;
constexpr const char kPlainName[] = "libicuuc.so";

std::optional<std::vector<std::string>>& NamesForTesting() {
  static std::optional<std::vector<std::string>> names;
  return names;
}

// The version a library name carries ("libicuuc.so.72" gives 72); 0 for
// none.
int VersionOf(const std::string& library) {
  const std::string prefix = std::string(kPlainName) + ".";
  if (!library.starts_with(prefix)) return 0;
  int version = 0;
  for (std::size_t i = prefix.size(); i < library.size(); ++i) {
    const char c = library[i];
    if (c < '0' || c > '9' || version > 1000) return 0;
    version = version * 10 + (c - '0');
  }
  return version;
}

// The suffix ICU gives its functions in `handle`: "_72" for version 72,
// "" for a build without renaming. A library opened by its plain name
// shows its version through the functions it holds.
std::optional<std::string> SuffixIn(void* handle, int version, const char* probe) {
  const auto holds = [handle, probe](const std::string& suffix) {
    return dlsym(handle, (probe + suffix).c_str()) != nullptr;
  };
  if (version != 0) {
    if (holds("_" + std::to_string(version))) return "_" + std::to_string(version);
  } else {
    for (int v = kNewestLaterVersion; v >= kOldestVersion; --v) {
      if (holds("_" + std::to_string(v))) return "_" + std::to_string(v);
    }
  }
  if (holds("")) return "";
  return std::nullopt;
}

// The functions of a table from `library`: `fill` looks each up through
// the finder it is given. None when the library cannot be opened or lacks
// one of them; else the library stays open for the life of the process.
template <typename Table, typename Fill>
std::optional<Table> OpenTable(const std::string& library, int version, const char* probe, Fill fill) {
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return std::nullopt;
  const std::optional<std::string> suffix = SuffixIn(handle, version, probe);
  bool complete = suffix.has_value();
  const auto find = [&](const char* name) -> void* {
    void* function = complete ? dlsym(handle, (name + *suffix).c_str()) : nullptr;
    complete = function != nullptr;
    return function;
  };
  Table table;
  fill(table, find);
  if (!complete) {
    dlclose(handle);
    return std::nullopt;
  }
  return table;
}

#define SETUP_ICU_FIND(name) table.name = reinterpret_cast<decltype(table.name)>(find(#name));

// Every function of `library`.
std::optional<IcuFunctions> Open(const std::string& library) {
  std::optional<IcuFunctions> icu = OpenTable<IcuFunctions>(
      library, VersionOf(library), "uloc_getLCID",
      [](IcuFunctions& table, const auto& find) { SETUP_ICU_FUNCTIONS(SETUP_ICU_FIND) });
  if (icu) icu->library = library;
  return icu;
}

// The detector's functions from the i18n library beside `common`, the
// common library's name ("libicuuc.so.72" gives "libicui18n.so.72").
std::optional<IcuDetectorFunctions> OpenDetector(const std::string& common) {
  return OpenTable<IcuDetectorFunctions>(
      "libicui18n.so" + common.substr(std::strlen(kPlainName)), VersionOf(common), "ucsdet_open",
      [](IcuDetectorFunctions& table, const auto& find) { SETUP_ICU_DETECTOR_FUNCTIONS(SETUP_ICU_FIND) });
}

#undef SETUP_ICU_FIND

}  // namespace

const IcuDetectorFunctions* IcuDetector() {
  static std::once_flag once;
  static std::optional<IcuDetectorFunctions> detector;
  std::call_once(once, [] {
    if (const IcuFunctions* icu = Icu()) detector = OpenDetector(icu->library);
  });
  return detector ? &*detector : nullptr;
}

std::vector<std::string> IcuLibraryNames() {
  std::vector<std::string> names;
  for (int v = kNewestVersion; v >= kOldestVersion; --v)
    names.push_back(std::string(kPlainName) + "." + std::to_string(v));
  names.emplace_back(kPlainName);
  for (int v = kNewestVersion + 1; v <= kNewestLaterVersion; ++v)
    names.push_back(std::string(kPlainName) + "." + std::to_string(v));
  return names;
}

void SetIcuLibraryNamesForTesting(std::vector<std::string> names) { NamesForTesting() = std::move(names); }

const IcuFunctions* Icu() {
  static std::once_flag once;
  static std::optional<IcuFunctions> icu;
  std::call_once(once, [] {
    const std::vector<std::string> names = NamesForTesting() ? *NamesForTesting() : IcuLibraryNames();
    for (const std::string& name : names) {
      icu = Open(name);
      if (icu) return;
    }
    std::fprintf(stderr,
                 "%s: ICU (libicuuc) not found: the system language reads as 1033 (English), and texts "
                 "in Windows codepages as Windows-1252\n",
                 g_get_prgname() != nullptr ? g_get_prgname() : program_invocation_short_name);
  });
  return icu ? &*icu : nullptr;
}

}  // namespace setupdata
