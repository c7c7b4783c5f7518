// The check of a sealed medium against `sha256sum -c` on the same files,
// from the page cache: a medium of about 1 GiB (many small files and a few
// large ones) is made and sealed in a temporary folder, read once to warm
// the cache, and then each side runs in turn, alternating. Printed: the
// medians, the rate, the ratio, and what the progress costs (the time its
// callbacks take on the main loop, and a run without them).
//
//   verify_bench [--rounds N] [--dir DIR]
//
// DIR: where the medium is made (default $TMPDIR or /tmp); it is removed
// afterwards.
#include <glib.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "medium/checksums.h"
#include "medium/sha256.h"
#include "medium/verifier.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// The medium: 4 setup folders of 1000 small files each (1 to 63 KiB), and
// 4 archives that fill it up to 1 GiB.
std::vector<std::string> MakeMedium(const fs::path& root, std::uint64_t& bytes) {
  std::mt19937_64 random(42);
  std::vector<char> block(64 * kMiB);
  for (char& c : block) c = static_cast<char>(random());
  std::vector<std::string> files;
  bytes = 0;
  const auto write = [&](const std::string& path, std::uint64_t size) {
    fs::create_directories((root / path).parent_path());
    std::ofstream out(root / path, std::ios::binary);
    for (std::uint64_t left = size; left > 0;) {
      const std::uint64_t piece = std::min<std::uint64_t>(left, block.size());
      const std::size_t at = random() % (block.size() - piece + 1);
      out.write(block.data() + at, static_cast<std::streamsize>(piece));
      left -= piece;
    }
    files.push_back(path);
    bytes += size;
  };
  for (const char* folder : {"DEU", "ENU", "FRA", "JPN"}) {
    for (int i = 0; i < 1000; ++i)
      write(std::string(folder) + "/data/file" + std::to_string(i) + ".bin", 1024 * (1 + random() % 63));
  }
  const std::uint64_t large = (1024 * kMiB - bytes) / 4;
  for (const char* folder : {"DEU", "ENU", "FRA", "JPN"}) write(std::string(folder) + "/setup.cab", large);
  return files;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// CPU time (user and system) of this process, or of its waited-for
// children.
double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// `sha256sum -c --quiet SHA256SUMS` in `dir`; its status.
int Sha256sum(const fs::path& dir) {
  const std::string list = (dir / medium::kChecksumsName).string();
  const std::string script = "cd \"$1\" && exec sha256sum -c --quiet " + std::string(medium::kChecksumsName);
  const char* argv[] = {"sh", "-c", script.c_str(), "sh", dir.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct OurRun {
  double seconds = 0;
  bool ok = false;
  int ticks = 0;                // progress deliveries
  double progress_seconds = 0;  // spent in them
};

// The launcher's way: workers, and the progress and the end on a main loop.
// The progress callback does what the window's does with it: a fraction,
// the file, and a time left, formatted.
OurRun Ours(const fs::path& dir, const std::vector<medium::FileToCheck>& files, bool progress) {
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  OurRun run;
  bool done = false;
  const Clock::time_point start = Clock::now();
  {
    medium::VerificationOnLoop::OnProgress on_progress;
    if (progress) {
      on_progress = [&run, start](const medium::VerifyProgress& p) {
        const Clock::time_point at = Clock::now();
        char text[256];
        const double fraction = p.total > 0 ? static_cast<double>(p.done) / p.total : 0;
        const double left = Seconds(at - start) * (1 - fraction) / std::max(fraction, 1e-9);
        std::snprintf(text, sizeof text, "%.3f %s %d:%02d", fraction, p.current.c_str(),
                      static_cast<int>(left) / 60, static_cast<int>(left) % 60);
        ++run.ticks;
        run.progress_seconds += Seconds(Clock::now() - at);
      };
    }
    medium::VerificationOnLoop check(dir.string(), files, on_progress,
                                     [&](const medium::VerifyResult& result) {
                                       run.ok = result.ok();
                                       done = true;
                                     });
    while (!done) g_main_context_iteration(context, TRUE);
  }
  run.seconds = Seconds(Clock::now() - start);
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 5;
  fs::path base = g_get_tmp_dir();
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--rounds") {
      rounds = std::max(1, std::atoi(argv[i + 1]));
    } else if (option == "--dir") {
      base = argv[i + 1];
    }
  }
  const fs::path dir = base / ("verify_bench." + std::to_string(getpid()));
  std::printf("making a medium of 1 GiB in %s ...\n", dir.c_str());
  std::fflush(stdout);
  std::uint64_t bytes = 0;
  const std::vector<std::string> paths = MakeMedium(dir, bytes);

  // Sealed by our own reading, which also brings every file into the cache.
  std::vector<medium::FileToCheck> files;
  for (const std::string& path : paths) files.push_back({path, {}});
  medium::Verification seal(dir.string(), files);
  while (!seal.WaitFor(std::chrono::seconds(10))) {
  }
  const medium::VerifyResult sealed = seal.Result();
  std::vector<medium::ChecksumEntry> entries;
  for (std::size_t i = 0; i < files.size(); ++i) {
    files[i].expected = sealed.digests[i];
    entries.push_back({paths[i], sealed.digests[i]});
  }
  std::ofstream(dir / medium::kChecksumsName) << medium::FormatChecksums(entries);

  std::printf("%zu files, %.0f MiB; SHA-256 from %s; %u cores\n", files.size(),
              static_cast<double>(bytes) / kMiB, medium::Sha256Backend().c_str(),
              std::thread::hardware_concurrency());
  std::vector<double> theirs, ours, bare, glib, progress_share, theirs_cpu, ours_cpu;
  int ticks = 0;
  bool all_ok = true;
  for (int round = 0; round < rounds; ++round) {
    Clock::time_point start = Clock::now();
    double cpu = CpuSeconds(RUSAGE_CHILDREN);
    all_ok = Sha256sum(dir) == 0 && all_ok;
    theirs.push_back(Seconds(Clock::now() - start));
    theirs_cpu.push_back(CpuSeconds(RUSAGE_CHILDREN) - cpu);
    // The runs with and without progress take turns at going first.
    OurRun without;
    if (round % 2 == 1) without = Ours(dir, files, false);
    cpu = CpuSeconds(RUSAGE_SELF);
    const OurRun with = Ours(dir, files, true);
    ours_cpu.push_back(CpuSeconds(RUSAGE_SELF) - cpu);
    ours.push_back(with.seconds);
    progress_share.push_back(with.progress_seconds / with.seconds);
    ticks = with.ticks;
    if (round % 2 == 0) without = Ours(dir, files, false);
    bare.push_back(without.seconds);
    all_ok = all_ok && with.ok && without.ok;
  }
  // Where no libcrypto can be opened: GLib's hash, once.
  medium::UseGLibForTesting(true);
  glib.push_back(Ours(dir, files, false).seconds);
  medium::UseGLibForTesting(false);

  const double gb = static_cast<double>(bytes) / 1e9;
  const auto line = [gb](const char* what, double seconds) {
    std::printf("  %-44s %7.3f s  %5.2f GB/s\n", what, seconds, gb / seconds);
  };
  std::printf("medians of %d alternating rounds, from the page cache:\n", rounds);
  line("sha256sum -c", Median(theirs));
  line("ours, with the progress on a main loop", Median(ours));
  line("ours, without progress", Median(bare));
  line("ours with GLib's GChecksum (no libcrypto), once", glib[0]);
  std::printf("CPU time: sha256sum -c %.3f s, ours %.3f s\n", Median(theirs_cpu), Median(ours_cpu));
  std::printf("ratio sha256sum -c / ours: %.2fx (elapsed)\n", Median(theirs) / Median(ours));
  std::printf("progress: %d deliveries, %.4f %% of the time in them; with/without progress %.3f\n", ticks,
              100 * Median(progress_share), Median(ours) / Median(bare));
  if (!all_ok) std::printf("a check failed: the figures are not of a whole medium\n");
  fs::remove_all(dir);
  return all_ok ? 0 : 1;
}
