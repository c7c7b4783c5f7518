#include "medium/verifier.h"

#include <fcntl.h>
#include <glib.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <numeric>
#include <optional>
#include <thread>

#include "medium/sha256.h"
#include "setupdata/bounded_file.h"

namespace medium {
namespace {

constexpr unsigned kMostWorkers = 4;
// How long a worker waits for a FIFO or a device that has no data yet
// before it looks at the cancel flag again.
constexpr int kPollMilliseconds = 50;

struct FileOutcome {
  bool faulty = false;
  Fault fault;
  Digest digest{};
};

}  // namespace

std::string FaultInWords(const Fault& fault) {
  switch (fault.kind) {
    case FileFault::kMismatch:
      return "does not match its checksum";
    case FileFault::kMissing:
      return "is missing";
    case FileFault::kMalformed:
      return "has a line that is no checksum (" + fault.detail + ")";
    case FileFault::kUnreadable:
      break;
  }
  return "cannot be read" + (fault.detail.empty() ? std::string() : ": " + fault.detail);
}

std::vector<FileToCheck> FilesListedUnder(const std::string& root, const std::string& list,
                                          const std::string& folder, std::vector<Fault>& faults) {
  setupdata::BoundedFile file(root + "/" + list, kMaxChecksumsBytes);
  const std::optional<std::string> text = file.ok() ? file.ReadAll() : std::nullopt;
  if (!text) {
    faults.push_back({list, FileFault::kUnreadable, file.problem()});
    return {};
  }
  const ChecksumList checksums = ParseChecksums(*text);
  if (!checksums.malformed.empty()) {
    const MalformedLine& line = checksums.malformed.front();
    faults.push_back({list, FileFault::kMalformed, "line " + std::to_string(line.line) + ": " + line.why});
    return {};
  }
  std::vector<FileToCheck> files;
  for (const ChecksumEntry& entry : EntriesUnder(checksums, folder))
    files.push_back({entry.path, entry.digest});
  return files;
}

struct Verification::State {
  State(std::string root_dir, Preparation to_prepare, unsigned workers, std::function<void()> on_finished)
      : root(std::move(root_dir)),
        prepare(std::move(to_prepare)),
        running(workers),
        finished(std::move(on_finished)),
        prepared(static_cast<std::ptrdiff_t>(workers), Preparer{this}),
        sorted(static_cast<std::ptrdiff_t>(workers), Sorter{this}) {}

  // The files, made once on one worker while the others wait.
  struct Preparer {
    State* state;
    void operator()() noexcept {
      try {
        if (!state->cancel) state->files = state->prepare(state->list_faults);
      } catch (...) {
        state->files.clear();
        state->list_faults.push_back({"", FileFault::kUnreadable, "no memory for the list"});
      }
      const std::size_t count = state->files.size();
      state->sizes.assign(count, 0);
      state->outcomes.assign(count, {});
      state->order.resize(count);
      std::iota(state->order.begin(), state->order.end(), std::size_t{0});
    }
  };

  // Once every size is known, the files are read largest first, so that
  // the workers end together.
  struct Sorter {
    State* state;
    void operator()() noexcept {
      std::stable_sort(state->order.begin(), state->order.end(),
                       [this](std::size_t a, std::size_t b) { return state->sizes[a] > state->sizes[b]; });
      state->next = 0;
    }
  };

  void Work() {
    // First the files, then their sizes, for the progress; then their
    // contents.
    prepared.arrive_and_wait();
    for (std::size_t i = next++; i < files.size() && !cancel; i = next++) {
      struct stat st {};
      if (stat(Path(i).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        sizes[i] = static_cast<std::uint64_t>(st.st_size);
        total += sizes[i];
      }
    }
    sorted.arrive_and_wait();
    std::vector<unsigned char> buffer(kVerifyReadSize);
    Sha256 hash;
    for (std::size_t i = next++; i < files.size() && !cancel; i = next++) {
      const std::size_t file = order[i];
      {
        const std::lock_guard lock(mutex);
        current = files[file].path;
      }
      outcomes[file] = Check(file, buffer, hash);
    }
    if (--running == 0) {
      {
        const std::lock_guard lock(mutex);
        done = true;
      }
      ended.notify_all();
      if (finished) finished();
    }
  }

  std::string Path(std::size_t file) const { return root + "/" + files[file].path; }

  FileOutcome Check(std::size_t file, std::vector<unsigned char>& buffer, Sha256& hash) {
    FileOutcome outcome;
    outcome.fault.path = files[file].path;
    const auto fail = [&](FileFault kind, std::string detail = {}) {
      outcome.faulty = true;
      outcome.fault.kind = kind;
      outcome.fault.detail = std::move(detail);
      return outcome;
    };
    // Opened without waiting: a FIFO without a writer, or a device, never
    // holds the worker at the open.
    const int fd = open(Path(file).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT || errno == ENOTDIR) return fail(FileFault::kMissing);
      return fail(FileFault::kUnreadable, g_strerror(errno));
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      const int error = S_ISDIR(st.st_mode) ? 0 : errno;
      close(fd);
      return fail(FileFault::kUnreadable, error == 0 ? "it is a folder" : g_strerror(error));
    }
    if (S_ISREG(st.st_mode)) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    while (!cancel) {
      const ssize_t n = read(fd, buffer.data(), buffer.size());
      if (n > 0) {
        hash.Update(buffer.data(), static_cast<std::size_t>(n));
        bytes += static_cast<std::uint64_t>(n);
        continue;
      }
      if (n == 0) break;
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        pollfd ready{fd, POLLIN, 0};
        poll(&ready, 1, kPollMilliseconds);
        continue;
      }
      const int error = errno;
      close(fd);
      hash.Finish();
      return fail(FileFault::kUnreadable, g_strerror(error));
    }
    close(fd);
    // Cancelled: nothing more is asked of the hash, nor of its library.
    if (cancel) return outcome;
    outcome.digest = hash.Finish();
    if (outcome.digest != files[file].expected) return fail(FileFault::kMismatch);
    return outcome;
  }

  const std::string root;
  Preparation prepare;
  std::vector<Fault> list_faults;  // of the preparation
  std::vector<FileToCheck> files;
  std::vector<std::uint64_t> sizes;
  std::vector<FileOutcome> outcomes;
  std::vector<std::size_t> order;
  std::atomic<std::size_t> next{0};
  std::atomic<unsigned> running;
  std::atomic<bool> cancel{false};
  std::atomic<std::uint64_t> bytes{0};
  std::atomic<std::uint64_t> total{0};
  std::function<void()> finished;
  std::barrier<Preparer> prepared;
  std::barrier<Sorter> sorted;

  mutable std::mutex mutex;
  mutable std::condition_variable ended;
  std::string current;  // under mutex
  bool done = false;    // under mutex
};

Verification::Verification(std::string root, std::vector<FileToCheck> files, unsigned threads,
                           std::function<void()> finished) {
  // No more workers than files.
  if (threads == 0) threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers);
  threads = std::max<unsigned>(1, std::min<std::size_t>(threads, files.size()));
  Start(
      std::move(root), [files = std::move(files)](std::vector<Fault>&) mutable { return std::move(files); },
      threads, std::move(finished));
}

Verification::Verification(std::string root, Preparation prepare, unsigned threads,
                           std::function<void()> finished) {
  if (threads == 0) threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers);
  Start(std::move(root), std::move(prepare), threads, std::move(finished));
}

void Verification::Start(std::string root, Preparation prepare, unsigned threads,
                         std::function<void()> finished) {
  state_ = std::make_shared<State>(std::move(root), std::move(prepare), threads, std::move(finished));
  // The workers hold the state: one stuck in a read outlives this object.
  for (unsigned i = 0; i < threads; ++i) std::thread([state = state_] { state->Work(); }).detach();
}

Verification::~Verification() { Cancel(); }

void Verification::Cancel() { state_->cancel = true; }

bool Verification::Done() const {
  const std::lock_guard lock(state_->mutex);
  return state_->done;
}

bool Verification::WaitFor(std::chrono::milliseconds bound) const {
  std::unique_lock lock(state_->mutex);
  return state_->ended.wait_for(lock, bound, [this] { return state_->done; });
}

VerifyProgress Verification::Progress() const {
  VerifyProgress progress;
  progress.done = state_->bytes;
  progress.total = std::max<std::uint64_t>(state_->total, progress.done);
  const std::lock_guard lock(state_->mutex);
  progress.current = state_->current;
  return progress;
}

VerifyResult Verification::Result() const {
  VerifyResult result;
  result.bytes = state_->bytes;
  result.cancelled = state_->cancel || !Done();
  if (result.cancelled) return result;
  result.faults = state_->list_faults;
  for (const FileOutcome& outcome : state_->outcomes) {
    if (outcome.faulty) result.faults.push_back(outcome.fault);
    result.digests.push_back(outcome.digest);
  }
  return result;
}

// What the main loop's sources hold: the owner while it wants calls.
struct VerificationOnLoop::Link {
  VerificationOnLoop* owner = nullptr;
};

namespace {

template <typename Link>
gpointer Hold(const std::shared_ptr<Link>& link) {
  return new std::shared_ptr<Link>(link);
}

template <typename Link>
void Release(gpointer data) {
  delete static_cast<std::shared_ptr<Link>*>(data);
}

}  // namespace

VerificationOnLoop::VerificationOnLoop(std::string root, std::vector<FileToCheck> files,
                                       OnProgress on_progress, OnDone on_done, unsigned threads)
    : VerificationOnLoop(
          std::move(root),
          [files = std::move(files)](std::vector<Fault>&) mutable { return std::move(files); },
          std::move(on_progress), std::move(on_done), threads) {}

VerificationOnLoop::VerificationOnLoop(std::string root, Preparation prepare, OnProgress on_progress,
                                       OnDone on_done, unsigned threads)
    : on_progress_(std::move(on_progress)),
      on_done_(std::move(on_done)),
      link_(std::make_shared<Link>()),
      context_(g_main_context_ref_thread_default()) {
  link_->owner = this;
  timer_ = g_timeout_source_new(static_cast<guint>(kProgressInterval.count()));
  g_source_set_callback(
      timer_,
      [](gpointer data) -> gboolean {
        VerificationOnLoop* owner = (*static_cast<std::shared_ptr<Link>*>(data))->owner;
        if (owner == nullptr) return G_SOURCE_REMOVE;
        owner->Tick();
        return G_SOURCE_CONTINUE;
      },
      Hold(link_), Release<Link>);
  g_source_attach(timer_, context_);
  // The last worker asks the loop to deliver the end; the request holds
  // the link, so that an owner gone meanwhile is seen.
  // The context is held as long as a worker may post to it.
  std::shared_ptr<GMainContext> context(g_main_context_ref(context_), g_main_context_unref);
  std::shared_ptr<Link> link = link_;
  auto finished = [context, link] {
    g_main_context_invoke_full(
        context.get(), G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
          VerificationOnLoop* owner = (*static_cast<std::shared_ptr<Link>*>(data))->owner;
          if (owner != nullptr) owner->Finish();
          return G_SOURCE_REMOVE;
        },
        Hold(link), Release<Link>);
  };
  verification_ = std::make_unique<Verification>(std::move(root), std::move(prepare), threads, finished);
}

VerificationOnLoop::~VerificationOnLoop() {
  Cancel();
  g_main_context_unref(context_);
}

void VerificationOnLoop::Cancel() {
  link_->owner = nullptr;
  if (timer_ != nullptr) {
    g_source_destroy(timer_);
    g_source_unref(timer_);
    timer_ = nullptr;
  }
  if (verification_) verification_->Cancel();
}

void VerificationOnLoop::Tick() {
  if (on_progress_) on_progress_(verification_->Progress());
}

void VerificationOnLoop::Finish() {
  const VerifyResult result = verification_->Result();
  const OnDone on_done = on_done_;
  // Nothing comes after the end; the caller may drop this object in it.
  Cancel();
  if (on_done) on_done(result);
}

}  // namespace medium
