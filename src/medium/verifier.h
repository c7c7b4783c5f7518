// Reads files of a medium and compares them with the checksums it was
// sealed with. A disc is slow and may hang: every file is read once,
// sequentially, in large reads, on worker threads (one file per worker at a
// time, so both cores hash), and the caller never waits for them. Progress
// and the end reach the caller's main loop (VerificationOnLoop); Cancel
// stops every worker at its next read and nothing more is delivered.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "medium/checksums.h"

extern "C" {
typedef struct _GMainContext GMainContext;
typedef struct _GSource GSource;
}

namespace medium {

// Bytes a worker reads at a time.
inline constexpr std::size_t kVerifyReadSize = std::size_t{1} << 20;
// How often the main loop hears of the progress.
inline constexpr std::chrono::milliseconds kProgressInterval{100};
// How long a read may stay where it is before its file counts as one that
// cannot be read: a drive that hangs gives no answer.
inline constexpr std::chrono::seconds kStallLimit{60};

struct FileToCheck {
  std::string path;  // relative to the root, as the list names it
  Digest expected{};
};

enum class FileFault {
  kMismatch,    // read whole, but not what was sealed
  kMissing,     // not on the medium
  kUnreadable,  // a folder, no permission, or a read error (a scratched disc)
  kMalformed,   // the list itself has a line that is no checksum
};

struct Fault {
  std::string path;  // as the list names it
  FileFault kind = FileFault::kMismatch;
  std::string detail;  // the system's words for a read error, the malformed line; else empty
};

struct VerifyProgress {
  std::uint64_t done = 0;   // bytes read so far
  std::uint64_t total = 0;  // bytes of the files found so far
  std::string current;      // the file read last begun
};

struct VerifyResult {
  bool cancelled = false;
  std::vector<Fault> faults;  // in the order the files were given
  std::uint64_t bytes = 0;    // bytes read
  // The digest of each file read whole, in the order given (of the others
  // left as it was).
  std::vector<Digest> digests;
  bool ok() const { return !cancelled && faults.empty(); }
};

// The words for a fault, as the tools say them: "does not match its
// checksum", "is missing", "cannot be read: Input/output error", "has a
// line that is no checksum (line 3: ...)".
std::string FaultInWords(const Fault& fault);

// What a check reads first, on a worker: the files to check, or none and
// the faults that stand in their place (a list that cannot be read).
using Preparation = std::function<std::vector<FileToCheck>(std::vector<Fault>& faults)>;

// The files the list `list` (a path below `root`, as the medium spells it)
// names under `folder`. A list that cannot be read, or has a line that is
// no checksum, gives none and a fault naming it: the author meant the
// medium to be checked, so such a list fails closed.
std::vector<FileToCheck> FilesListedUnder(const std::string& root, const std::string& list,
                                          const std::string& folder, std::vector<Fault>& faults);

// One check of `files` below `root`, running from its construction.
class Verification {
 public:
  // `threads`: the workers (0: one per core, at most four); `finished` is
  // called once, on the worker that ends last (not after a Cancel alone:
  // the workers still end, and call it, as soon as their reads return).
  Verification(std::string root, std::vector<FileToCheck> files, unsigned threads = 0,
               std::function<void()> finished = {});
  // The files come from `prepare`, run on one of the workers first.
  Verification(std::string root, Preparation prepare, unsigned threads = 0,
               std::function<void()> finished = {});
  // Cancels. A worker stuck in a read of a hung device is left to end on
  // its own: nobody waits for it.
  ~Verification();
  Verification(const Verification&) = delete;
  Verification& operator=(const Verification&) = delete;

  void Cancel();
  bool Done() const;
  // Waits at most `bound` for the end; true when it came.
  bool WaitFor(std::chrono::milliseconds bound) const;
  VerifyProgress Progress() const;
  // The outcome once Done(); before, one marked cancelled.
  VerifyResult Result() const;

 private:
  void Start(std::string root, Preparation prepare, unsigned threads, std::function<void()> finished);

  struct State;
  std::shared_ptr<State> state_;
};

// A Verification whose progress and end are delivered on the main context
// that is the thread's default where it is made (the window's loop): the
// progress about every kProgressInterval, the end once, as soon as the last
// worker is done. Nothing runs on the caller's thread but these calls.
class VerificationOnLoop {
 public:
  using OnProgress = std::function<void(const VerifyProgress&)>;
  using OnDone = std::function<void(const VerifyResult&)>;

  VerificationOnLoop(std::string root, std::vector<FileToCheck> files, OnProgress on_progress, OnDone on_done,
                     unsigned threads = 0);
  VerificationOnLoop(std::string root, Preparation prepare, OnProgress on_progress, OnDone on_done,
                     unsigned threads = 0);
  // Cancels: neither call comes after it.
  ~VerificationOnLoop();
  VerificationOnLoop(const VerificationOnLoop&) = delete;
  VerificationOnLoop& operator=(const VerificationOnLoop&) = delete;

  // Stops the check: neither call comes after it.
  void Cancel();

 private:
  struct Link;
  void Tick();
  void Finish();

  OnProgress on_progress_;
  OnDone on_done_;
  std::shared_ptr<Link> link_;
  std::unique_ptr<Verification> verification_;
  GMainContext* context_ = nullptr;
  GSource* timer_ = nullptr;
};

}  // namespace medium
