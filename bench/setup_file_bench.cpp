// A setup file as large as the launcher reads (16 MiB), made of some
// 1.8 million empty sections after a normal language section: how long
// reading its bytes takes, how long reading and parsing it takes (what
// `setup-medium get` does), and how long the dialog's start-up takes on a
// medium that carries it (paths, language, guards, caption, first page,
// the home page filled), against fakes of the window, view and system.
// The file is made in a temporary folder when the benchmark starts.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <string>

#include "app/launcher_dlg.h"
#include "pages/page_library.h"
#include "sample_page.h"
#include "setupdata/ini_file.h"
#include "setupdata/language_table.h"
#include "support/fakes.h"

namespace {

class LargeSetupFile {
 public:
  LargeSetupFile() {
    gchar* dir = g_dir_make_tmp("bench-large-XXXXXX", nullptr);
    dir_ = std::string(dir) + "/";
    g_free(dir);
    std::string ini =
        "[LANGUAGE]\nLANGUAGENUMBER=2\n[1033]\n32001=English\n9011=%s Setup\n"
        "ProductName=Aurora Ledger 7\nLANGUAGE0=English,ENU\nLANGUAGE1=Deutsch,DEU\n"
        "SELECTLANG=Select the language\nEXIT=Exit\n";
    for (int n = 0;; ++n) {
      const std::string section = "[" + std::to_string(n) + "]\n";
      if (ini.size() + section.size() > setupdata::kMaxFileBytes) break;
      ini += section;
      sections_ = n + 1;
    }
    Write("setupres.ini", ini);
    Write("setup.inf", "[Setup]\nProductName=%ProductName%\n");
    g_mkdir((dir_ + "ENU").c_str(), 0700);
    g_mkdir((dir_ + "DEU").c_str(), 0700);
  }
  ~LargeSetupFile() {
    g_rmdir((dir_ + "ENU").c_str());
    g_rmdir((dir_ + "DEU").c_str());
    g_unlink((dir_ + "setupres.ini").c_str());
    g_unlink((dir_ + "setup.inf").c_str());
    g_rmdir(dir_.c_str());
  }
  const std::string& dir() const { return dir_; }
  std::string res_ini() const { return dir_ + "setupres.ini"; }
  int sections() const { return sections_; }

  // A new modification time: the next shared load reads the file again.
  void Touch() {
    ++stamp_;
    const timespec times[2] = {{0, UTIME_OMIT}, {stamp_, 0}};
    utimensat(AT_FDCWD, res_ini().c_str(), times, 0);
  }

 private:
  void Write(const std::string& name, const std::string& bytes) {
    g_file_set_contents((dir_ + name).c_str(), bytes.data(), static_cast<gssize>(bytes.size()), nullptr);
  }
  std::string dir_;
  int sections_ = 0;
  time_t stamp_ = 1000000;
};

LargeSetupFile& File() {
  static LargeSetupFile file;
  return file;
}

// The process's peak resident memory so far: read after the first
// benchmark that parses, it is that parse's peak.
void PeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The floor: the file's bytes into memory, nothing else.
void BM_ReadLargeSetupFile(benchmark::State& state) {
  const std::string path = File().res_ini();
  for (auto _ : state) {
    gchar* contents = nullptr;
    gsize length = 0;
    g_file_get_contents(path.c_str(), &contents, &length, nullptr);
    benchmark::DoNotOptimize(contents);
    g_free(contents);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * setupdata::kMaxFileBytes);
  state.counters["sections"] = File().sections();
}
BENCHMARK(BM_ReadLargeSetupFile)->Unit(benchmark::kMillisecond);

// Read and parse, then one lookup: `setup-medium get`.
void BM_LoadLargeSetupFile(benchmark::State& state) {
  const std::string path = File().res_ini();
  for (auto _ : state) {
    const std::optional<setupdata::IniFile> ini = setupdata::IniFile::Load(path);
    benchmark::DoNotOptimize(ini->GetString("1033", "9011", "NULL"));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * setupdata::kMaxFileBytes);
  PeakMemory(state);
}
BENCHMARK(BM_LoadLargeSetupFile)->Unit(benchmark::kMillisecond);

// The dialog from its start to the home page filled, the file read afresh.
void BM_DialogStartUpOnLargeFile(benchmark::State& state) {
  LargeSetupFile& file = File();
  const std::string body = SampleHomeBody();
  for (auto _ : state) {
    state.PauseTiming();
    file.Touch();
    setupdata::LanguageTable languages;
    testing_support::FakeWindow window;
    testing_support::FakeBrowser browser;
    testing_support::FakeSystem system;
    system.module_file = file.dir() + "setup-launcher";
    browser.body = body;
    app::CLauncherDlg dialog(window, browser, system, languages);
    state.ResumeTiming();
    dialog.OnInitDialog();
    dialog.OnDocumentComplete("res://SetupHmRes.dll/HTML_HOMEPAGE");
    benchmark::DoNotOptimize(browser.written);
  }
}
BENCHMARK(BM_DialogStartUpOnLargeFile)->Unit(benchmark::kMillisecond);

// One lookup of a short text: valid UTF-8, used as it stands, and texts
// saved in a Windows codepage, decoded on each lookup (Western European,
// Japanese).
void BM_LookUpText(benchmark::State& state) {
  static const setupdata::IniFile ini = setupdata::IniFile::Parse(
      "[1036]\nutf8=Fran\xC3\xA7"
      "ais, soci\xC3\xA9t\xC3\xA9\ncp1252=Fran\xE7"
      "ais, soci\xE9t\xE9\n"
      "[1041]\ncp932=\x83\x5C\x81\x5B\x83\x58\x95\x5C\x8E\xA6\n");
  static constexpr const char* kLookups[][2] = {{"1036", "utf8"}, {"1036", "cp1252"}, {"1041", "cp932"}};
  const auto& [section, key] = kLookups[state.range(0)];
  for (auto _ : state) benchmark::DoNotOptimize(ini.GetString(section, key, "NULL"));
  state.SetLabel(key);
}
BENCHMARK(BM_LookUpText)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
