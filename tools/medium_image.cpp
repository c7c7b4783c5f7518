#include "medium_image.h"

#include <gio/gio.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "medium/medium.h"
#include "setupdata/name_on_medium.h"
#include "setupdata/setup_files.h"
#include "setupdata/text.h"

namespace fs = std::filesystem;

namespace tools {

namespace {

void Say(const std::string& line) {
  std::fprintf(stderr, "setup-medium: %s\n", setupdata::PrintableText(line).c_str());
}

// Whether `path` lies in the folder `dir` (both made absolute, links in
// the folders that exist followed).
bool Inside(const fs::path& path, const fs::path& dir) {
  std::error_code ec;
  const fs::path folder = fs::weakly_canonical(dir, ec);
  const fs::path file = fs::weakly_canonical(path, ec);
  const auto [end, _] = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
  return end == folder.end();
}

}  // namespace

std::string VolumeName(std::string_view product) {
  std::string name;
  for (const char c : product) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) != 0 && byte < 0x80) {
      name += static_cast<char>(std::toupper(byte));
    } else if (!name.empty() && name.back() != '_') {
      name += '_';
    }
  }
  if (name.size() > 32) name.resize(32);
  while (!name.empty() && name.back() == '_') name.pop_back();
  return name.empty() ? "SETUP" : name;
}

int RunImage(const std::string& dir, const std::string& out) {
  if (const std::string why = setupdata::WhyNoMedium(dir); !why.empty()) {
    Say(why);
    return 1;
  }
  if (Inside(out, dir)) {
    Say("the image " + out + " would be written inside the medium " + dir + ": put it beside the medium");
    return 1;
  }
  g_autofree gchar* xorriso = g_find_program_in_path("xorriso");
  if (xorriso == nullptr) {
    Say("making an image needs xorriso, which is not installed (apt-get install xorriso)");
    return 1;
  }
  if (!setupdata::FindOnMedium(dir, medium::kEntryPointName).found()) {
    Say(std::string("note: the medium has no entry point (") + medium::kEntryPointName +
        "), so nothing on the disc starts it: setup-medium entry-point " + dir + " puts one there");
  }
  setupdata::SetupFiles files = setupdata::SetupFiles::ForDirectory(dir);
  files.ChooseLanguage(1033);  // the section every medium has, for a name that is the same everywhere
  const std::string volume = VolumeName(setupdata::FormatWithOneString(files.ProductName(), ""));

  // Written beside `out` and renamed over it once whole.
  const std::string part = out + ".part";
  // -r: Rock Ridge with the owners and modes a disc should carry (files
  // readable by all, execute bits kept); -J -joliet-long: Joliet names;
  // -iso-level 3: files larger than 4 GiB.
  const std::vector<const char*> argv{xorriso,        "-as",          "mkisofs",    "-quiet",    "-r",
                                      "-J",           "-joliet-long", "-iso-level", "3",         "-V",
                                      volume.c_str(), "-o",           part.c_str(), dir.c_str(), nullptr};
  g_autoptr(GError) error = nullptr;
  g_autoptr(GSubprocess) run = g_subprocess_newv(argv.data(), G_SUBPROCESS_FLAGS_NONE, &error);
  if (run == nullptr || !g_subprocess_wait_check(run, nullptr, &error)) {
    Say("cannot write the image " + out + ": " + (error != nullptr ? error->message : "xorriso failed"));
    std::error_code ec;
    fs::remove(part, ec);
    return 1;
  }
  std::error_code ec;
  fs::rename(part, out, ec);
  if (ec) {
    Say("cannot write the image " + out + ": " + ec.message());
    fs::remove(part, ec);
    return 1;
  }
  const std::uintmax_t size = fs::file_size(out, ec);
  std::printf(
      "setup-medium: wrote %s (volume %s, %ju MiB). Try it: mount -o loop,ro %s /mnt (as root), then "
      "/mnt/%s\n",
      out.c_str(), volume.c_str(), ec ? std::uintmax_t{0} : (size + (1 << 20) - 1) >> 20, out.c_str(),
      medium::kEntryPointName);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace tools
