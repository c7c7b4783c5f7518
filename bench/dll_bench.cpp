// Serving a page from a page library built on Windows: a resource-only DLL
// of about 1 MB (the sample pages and images and 120 more pages), opened
// and asked for a page as the view's source does for every load, and asked
// again once open.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "pages/page_library.h"
#include "pages/pe_resources.h"

namespace {

std::unique_ptr<pages::PageLibrary> OpenLarge() {
  std::string error;
  auto library = pages::PageLibrary::Open(LARGE_DLL, &error);
  if (!library) std::fprintf(stderr, "cannot open %s: %s\n", LARGE_DLL, error.c_str());
  return library;
}

void CountFileBytes(benchmark::State& state) {
  struct stat st {};
  stat(LARGE_DLL, &st);
  state.counters["file_bytes"] = static_cast<double>(st.st_size);
}

// What each res: load costs: the file read whole, its tree indexed, one page.
void BM_OpenAndLookup(benchmark::State& state, const char* name) {
  for (auto _ : state) {
    const auto library = OpenLarge();
    if (!library) return state.SkipWithError("cannot open the library");
    benchmark::DoNotOptimize(library->Lookup(name));
  }
  CountFileBytes(state);
}
BENCHMARK_CAPTURE(BM_OpenAndLookup, page, "HTML_SAP")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_OpenAndLookup, image, "GIF/GIF_SELECTED")->Unit(benchmark::kMicrosecond);

// A lookup in an open library: the page's bytes copied out, its type named.
void BM_Lookup(benchmark::State& state, const char* name) {
  const auto library = OpenLarge();
  if (!library) return state.SkipWithError("cannot open the library");
  for (auto _ : state) benchmark::DoNotOptimize(library->Lookup(name));
  CountFileBytes(state);
}
BENCHMARK_CAPTURE(BM_Lookup, page, "HTML_SAP")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Lookup, last_page, "html_page120")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Lookup, image, "GIF/GIF_SELECTED")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
