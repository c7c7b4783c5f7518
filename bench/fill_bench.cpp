// The launcher's own work when a page completes: filling the home page of
// the sample library, with the lookups the launcher makes on the demo
// medium (each text lookup reads setupres.ini), and the bare
// transformation with lookups from memory, on pages of growing size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <sys/stat.h>

#include <map>
#include <string>

#include "medium/medium.h"
#include "pages/page_filling.h"
#include "pages/page_library.h"
#include "sample_page.h"
#include "setupdata/ini_file.h"
#include "setupdata/language_table.h"
#include "setupdata/setup_files.h"

namespace {

class MemoryLookups : public pages::PageLookups {
 public:
  std::string GetResText(const std::string& key) const override { return "Text of " + key; }
  std::string GetSetupValue(const std::string&) const override { return "Aurora Ledger 7"; }
  std::string GetLanguageName(const std::string& key) const override { return "Name of " + key; }
  std::string GetLanguageDir(const std::string& key) const override { return key; }
  bool IsSetupSubdir(const std::string&) const override { return true; }
};

void BM_FillSampleHomePageOnDemoMedium(benchmark::State& state) {
  const std::string body = SampleHomeBody();
  setupdata::LanguageTable languages;
  const medium::Medium medium = medium::Medium::InDirectory(DEMO_MEDIUM_DIR, "1033", languages);
  const pages::HomePageState page_state{false, medium.LanguageCount()};
  for (auto _ : state) {
    benchmark::DoNotOptimize(medium.FillPage(pages::Page::kHome, body, page_state));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_FillSampleHomePageOnDemoMedium)->Unit(benchmark::kMicrosecond);

// A home page of `range(0)` bytes: the sample body repeated.
void BM_FillHomePageOfSize(benchmark::State& state) {
  const std::string sample = SampleHomeBody();
  std::string body;
  while (body.size() < static_cast<std::size_t>(state.range(0))) body += sample;
  MemoryLookups lookups;
  const pages::HomePageState page_state{true, 9, "Oracle"};
  for (auto _ : state) {
    benchmark::DoNotOptimize(pages::FillHomePageText(body, page_state, lookups));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_FillHomePageOfSize)->Arg(10 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

// A medium whose language section declares `count` entries, every second
// one with an existing folder.
class LargeMedium {
 public:
  explicit LargeMedium(int count) {
    gchar* dir = g_dir_make_tmp("bench-medium-XXXXXX", nullptr);
    dir_ = std::string(dir) + "/";
    g_free(dir);
    std::string ini = "[LANGUAGE]\nLANGUAGENUMBER=" + std::to_string(count) + "\n[1033]\n32001=English\n";
    for (int n = 0; n < count; ++n) {
      ini += "LANGUAGE" + std::to_string(n) + "=Language " + std::to_string(n) + ",L" +
             std::to_string(n % 200) + "\n";
    }
    g_file_set_contents((dir_ + "setupres.ini").c_str(), ini.data(), static_cast<gssize>(ini.size()),
                        nullptr);
    for (int n = 0; n < 200; n += 2) g_mkdir((dir_ + "L" + std::to_string(n)).c_str(), 0700);
  }
  ~LargeMedium() {
    for (int n = 0; n < 200; n += 2) g_rmdir((dir_ + "L" + std::to_string(n)).c_str());
    g_unlink((dir_ + "setupres.ini").c_str());
    g_rmdir(dir_.c_str());
  }
  setupdata::LanguageSource Source(int count) const {
    return {dir_, dir_ + "setupres.ini", "1033", static_cast<std::uint16_t>(count)};
  }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

// Building the language table as the launcher does: setupres.ini has been
// read for the language count at start-up, so its parsed copy is at hand.
void BM_BuildLanguageTable(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  LargeMedium medium(count);
  const setupdata::LanguageSource source = medium.Source(count);
  setupdata::IniFile::LoadShared(source.res_ini_path);
  setupdata::LanguageTable table;
  for (auto _ : state) {
    state.PauseTiming();
    table = setupdata::LanguageTable();
    state.ResumeTiming();
    table.Build(source);
    benchmark::DoNotOptimize(table.size());
  }
}
BENCHMARK(BM_BuildLanguageTable)->Arg(1000)->Arg(65535)->Unit(benchmark::kMillisecond);

// Reading and parsing a setupres.ini of that many language entries.
void BM_ParseSetupres(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  LargeMedium medium(count);
  const std::string path = medium.Source(count).res_ini_path;
  for (auto _ : state) benchmark::DoNotOptimize(setupdata::IniFile::Load(path));
}
BENCHMARK(BM_ParseSetupres)->Arg(1000)->Arg(65535)->Unit(benchmark::kMillisecond);

// One text lookup as the pages make it, the file unchanged since the last.
void BM_TextLookup(benchmark::State& state) {
  setupdata::SetupFiles files = setupdata::SetupFiles::ForDirectory(DEMO_MEDIUM_DIR);
  files.lang_id = "1031";
  for (auto _ : state) benchmark::DoNotOptimize(files.GetResText("SELECTLANG"));
}
BENCHMARK(BM_TextLookup)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
