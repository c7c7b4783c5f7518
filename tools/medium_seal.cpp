#include "tools/medium_seal.h"

#include <glib.h>

#include <cstdio>

#include "medium/checksums.h"
#include "setupdata/setup_files.h"
#include "setupdata/text.h"

namespace tools {
namespace {

void Say(const std::string& line) {
  std::fprintf(stderr, "setup-medium seal: %s\n", setupdata::PrintableText(line).c_str());
}

}  // namespace

medium::VerifyResult CheckFiles(const std::string& root, std::vector<medium::FileToCheck> files) {
  medium::Verification check(root, std::move(files));
  medium::VerifyProgress last = check.Progress();
  auto still = std::chrono::steady_clock::now();
  while (!check.WaitFor(std::chrono::seconds(1))) {
    const medium::VerifyProgress now = check.Progress();
    if (now.done != last.done || now.current != last.current) {
      last = now;
      still = std::chrono::steady_clock::now();
    } else if (std::chrono::steady_clock::now() - still >= medium::kStallLimit) {
      check.Cancel();
      medium::VerifyResult stalled;
      stalled.cancelled = true;
      stalled.faults.push_back({now.current, medium::FileFault::kUnreadable,
                                "no answer within " + std::to_string(medium::kStallLimit.count()) + " s"});
      return stalled;
    }
  }
  return check.Result();
}

int RunSeal(const std::string& dir) {
  const std::string why = setupdata::WhyNoMedium(dir);
  if (!why.empty()) {
    Say(why);
    return 1;
  }
  const medium::MediumFiles found = medium::FilesToSeal(dir);
  if (!found.readable) {
    Say("cannot read the folder " + dir);
    return 1;
  }
  for (const medium::MediumFiles::Refused& refused : found.refused)
    Say(refused.path + ": " + refused.why + ": not sealed");
  std::vector<medium::FileToCheck> files;
  for (const std::string& path : found.files) files.push_back({path, {}});
  const medium::VerifyResult read = CheckFiles(dir, files);
  bool refused = !found.refused.empty() || read.cancelled;
  for (const medium::Fault& fault : read.faults) {
    if (fault.kind == medium::FileFault::kMismatch) continue;  // nothing was expected
    Say(fault.path + " " + medium::FaultInWords(fault));
    refused = true;
  }
  if (refused) {
    Say("nothing written: the seal must cover every file of the medium");
    return 1;
  }
  std::vector<medium::ChecksumEntry> entries;
  for (std::size_t i = 0; i < files.size(); ++i) entries.push_back({files[i].path, read.digests[i]});
  const std::string list = dir + "/" + medium::kChecksumsName;
  const std::string text = medium::FormatChecksums(std::move(entries));
  GError* error = nullptr;
  if (!g_file_set_contents(list.c_str(), text.data(), static_cast<gssize>(text.size()), &error)) {
    Say("cannot write " + list + ": " + error->message);
    g_error_free(error);
    return 1;
  }
  std::printf("sealed %zu files, %llu bytes: %s\n", files.size(), static_cast<unsigned long long>(read.bytes),
              setupdata::PrintableText(list).c_str());
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace tools
