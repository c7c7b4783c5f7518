// The sealed list read and written as sha256sum does, the hash from both
// of its libraries, and the check of files against the list on worker
// threads, delivered on a main loop.
#include "medium/checksums.h"

#include <fcntl.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "medium/sha256.h"
#include "medium/verifier.h"
#include "support/temp_medium.h"

namespace {

using medium::ChecksumList;
using medium::FileFault;
using testing_support::TempMedium;

constexpr char kEmptyHex[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr char kAbcHex[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST(ChecksumListTest, ReadsWhatSha256sumWritesAndRefusesWhatNoMediumMeans) {
  const std::string abc = kAbcHex;
  struct Case {
    std::string line;
    std::optional<std::string> path;  // none: malformed
    std::string why;                  // part of the reason
  } cases[] = {
      {abc + "  DEU/setup.sh", "DEU/setup.sh", ""},
      {abc + " *DEU/setup.sh", "DEU/setup.sh", ""},
      {"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD  a", "a", ""},
      {abc + "  ./DEU/./setup.sh", "DEU/setup.sh", ""},
      {"\\" + abc + "  a\\nb\\\\c", "a\nb\\c", ""},
      {abc.substr(1) + "  a", std::nullopt, "64 hex"},
      {abc.substr(1) + "g  a", std::nullopt, "64 hex"},
      {abc + "  /etc/passwd", std::nullopt, "absolute"},
      {abc + "  DEU/../../x", std::nullopt, "\"..\""},
      {abc + "  ./", std::nullopt, "no file"},
      {abc + " a", std::nullopt, "not a line"},
      {"", std::nullopt, "not a line"},
      {"\\" + abc + "  a\\tb", std::nullopt, "backslash"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    // Behind a good line, so that the line number counts.
    const ChecksumList list = medium::ParseChecksums(std::string(kEmptyHex) + "  first\n" + c.line + "\n");
    if (c.path) {
      ASSERT_EQ(list.entries.size(), 2u);
      EXPECT_TRUE(list.malformed.empty());
      EXPECT_EQ(list.entries[1].path, *c.path);
      EXPECT_EQ(list.entries[1].line, 2);
      EXPECT_EQ(medium::DigestHex(list.entries[1].digest), abc);
    } else {
      ASSERT_EQ(list.malformed.size(), 1u);
      EXPECT_EQ(list.entries.size(), 1u);
      EXPECT_EQ(list.malformed[0].line, 2);
      EXPECT_NE(list.malformed[0].why.find(c.why), std::string::npos) << list.malformed[0].why;
    }
  }
  // A path listed twice, in any spelling: the later line is malformed.
  const ChecksumList twice = medium::ParseChecksums(abc + "  a/b\n" + abc + "  ./a/b\n");
  ASSERT_EQ(twice.malformed.size(), 1u);
  EXPECT_EQ(twice.malformed[0].line, 2);
  EXPECT_NE(twice.malformed[0].why.find("listed before"), std::string::npos);
}

TEST(ChecksumListTest, WritesSortedLinesThatReadBack) {
  std::vector<medium::ChecksumEntry> entries{
      {"b/x", medium::Sha256Of("abc")}, {"a\nb", medium::Sha256Of("")}, {"B", medium::Sha256Of("abc")}};
  const std::string text = medium::FormatChecksums(entries);
  EXPECT_EQ(text, std::string(kAbcHex) + "  B\n\\" + kEmptyHex + "  a\\nb\n" + kAbcHex + "  b/x\n");
  const ChecksumList back = medium::ParseChecksums(text);
  ASSERT_EQ(back.entries.size(), 3u);
  EXPECT_EQ(back.entries[1].path, "a\nb");
  // The setup folder's entries, whatever the case it is found in.
  const std::vector<medium::ChecksumEntry> under = medium::EntriesUnder(back, "b");
  ASSERT_EQ(under.size(), 1u);
  EXPECT_EQ(under[0].path, "b/x");
}

TEST(Sha256Test, BothLibrariesGiveTheStandardDigests) {
  const std::string million(1000000, 'a');
  for (const bool glib : {false, true}) {
    SCOPED_TRACE(glib ? "GLib" : medium::Sha256Backend());
    medium::UseGLibForTesting(glib);
    EXPECT_EQ(medium::DigestHex(medium::Sha256Of("")), kEmptyHex);
    EXPECT_EQ(medium::DigestHex(medium::Sha256Of("abc")), kAbcHex);
    // In pieces, and again after a digest: each starts afresh.
    medium::Sha256 hash;
    hash.Update("x", 1);
    hash.Finish();
    for (std::size_t i = 0; i < million.size(); i += 4096)
      hash.Update(million.data() + i, std::min<std::size_t>(4096, million.size() - i));
    EXPECT_EQ(medium::DigestHex(hash.Finish()),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  }
  medium::UseGLibForTesting(false);
}

// Runs a check on a main context of the test's own until it ends; none
// when it has not ended within the bound.
std::optional<medium::VerifyResult> CheckOnLoop(const std::string& root,
                                                std::vector<medium::FileToCheck> files, unsigned threads) {
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  std::optional<medium::VerifyResult> result;
  bool bound_passed = false;
  GSource* bound = g_timeout_source_new_seconds(30);
  g_source_set_callback(
      bound, [](gpointer passed) { return *static_cast<bool*>(passed) = true, G_SOURCE_REMOVE; },
      &bound_passed, nullptr);
  g_source_attach(bound, context);
  {
    medium::VerificationOnLoop check(
        root, std::move(files), {}, [&result](const medium::VerifyResult& r) { result = r; }, threads);
    while (!result && !bound_passed) g_main_context_iteration(context, TRUE);
  }
  g_source_destroy(bound);
  g_source_unref(bound);
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
  return result;
}

TEST(VerificationTest, NamesEachFileThatIsNotAsSealed) {
  TempMedium disc;
  const std::string big(3 * medium::kVerifyReadSize + 17, 'z');
  disc.Write("DEU/setup.sh", "echo setup\n");
  disc.Write("DEU/data/big.cab", big);
  disc.Write("DEU/empty", "");
  disc.MakeDir("DEU/folder");
  std::string damaged = big;
  damaged[medium::kVerifyReadSize + 5] ^= 1;
  disc.Write("DEU/data/damaged.cab", damaged);
  const std::vector<medium::FileToCheck> files{
      {"DEU/setup.sh", medium::Sha256Of("echo setup\n")},
      {"DEU/data/big.cab", medium::Sha256Of(big)},
      {"DEU/empty", medium::Sha256Of("")},
      {"DEU/data/damaged.cab", medium::Sha256Of(big)},
      {"DEU/gone", medium::Sha256Of("")},
      {"DEU/folder", medium::Sha256Of("")},
  };
  for (const unsigned threads : {1u, 2u, 4u}) {
    SCOPED_TRACE(threads);
    const std::optional<medium::VerifyResult> result = CheckOnLoop(disc.dir(), files, threads);
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->cancelled);
    ASSERT_EQ(result->faults.size(), 3u);
    EXPECT_EQ(result->faults[0].path, "DEU/data/damaged.cab");
    EXPECT_EQ(result->faults[0].kind, FileFault::kMismatch);
    EXPECT_EQ(result->faults[1].path, "DEU/gone");
    EXPECT_EQ(result->faults[1].kind, FileFault::kMissing);
    EXPECT_EQ(result->faults[2].path, "DEU/folder");
    EXPECT_EQ(result->faults[2].kind, FileFault::kUnreadable);
    EXPECT_EQ(result->bytes, 2 * big.size() + 11);
  }
  const std::optional<medium::VerifyResult> whole = CheckOnLoop(disc.dir(), {files[0], files[1]}, 0);
  ASSERT_TRUE(whole);
  EXPECT_TRUE(whole->ok());
}

// A FIFO that never gets its data stands for a hung drive: Cancel returns
// at once, nothing is delivered after it, and the worker ends once its read
// does.
TEST(VerificationTest, CancelLeavesAWorkerStuckInAReadBehind) {
  TempMedium disc;
  disc.MakeDir("DEU");
  const std::string fifo = disc.dir() + "DEU/slow";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int writer = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(write(writer, "x", 1), 1);
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  int ticks = 0;
  bool delivered = false;
  auto check = std::make_unique<medium::VerificationOnLoop>(
      disc.dir(), std::vector<medium::FileToCheck>{{"DEU/slow", {}}},
      [&ticks](const medium::VerifyProgress& progress) {
        if (progress.current == "DEU/slow" && progress.done == 1) ++ticks;
      },
      [&delivered](const medium::VerifyResult&) { delivered = true; });
  // Until the progress shows the worker waiting in the FIFO.
  while (ticks == 0 && !delivered) g_main_context_iteration(context, TRUE);
  check->Cancel();
  EXPECT_FALSE(delivered);
  check.reset();
  close(writer);  // the read ends; the worker goes
  while (g_main_context_iteration(context, FALSE)) {
  }
  EXPECT_FALSE(delivered);
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
  // The worker may still hold the folder's FIFO: the folder goes all the same.
}

}  // namespace
