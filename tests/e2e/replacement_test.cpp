// The step that replaces the earlier results, under storage faults made by a
// preloaded library, an interruption and a memory limit: the earlier files
// stay whole unless every new one took their place, and the log and the
// status say which happened.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <regex>
#include <thread>
#include <vector>

#include "e2e/earlier_run.h"

namespace {

using e2e::EarlierRun;
using e2e::Files;
using e2e::files_in;
using e2e::fs::path;
constexpr auto npos = std::string::npos;

const std::string kAnalysis = "-1 one_pop.gen -n 100 -c 0 -j";

// The shell words that run the program with the fault library preloaded.
std::string faults(const std::string& assignments) {
  return "ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" LD_PRELOAD='" TARVO_FAULT_SHIM
         "' " +
         assignments + " ";
}

// The outputs of the earlier run: each is renamed, and synced, once.
std::size_t outputs(const EarlierRun& earlier) {
  return earlier.files.size() - 1;
}

// The files after a failed run, its running log checked (unless the log
// itself failed) and left out.
Files after_failure(const path& dir, const std::string& outcome, bool log_failed = false) {
  Files now = files_in(dir);
  if (!log_failed) {
    EXPECT_NE(now[e2e::kRunningLog].find(e2e::failed_line(255, outcome)), npos);
  }
  now.erase(e2e::kRunningLog);
  return now;
}

TEST(Replacement, ARenameFailingAtAnyPointPutsEveryEarlierFileBack) {
  const EarlierRun earlier("rename", kAnalysis + " -r 5");
  for (std::size_t k = 1; k <= outputs(earlier); ++k) {
    SCOPED_TRACE(k);
    const e2e::Result r = e2e::run_tarvo(earlier.dir, kAnalysis + " -r 6",
                                         faults("TARVO_FAIL_RENAME=" + std::to_string(k)));
    EXPECT_EQ(r.status, 255);
    EXPECT_TRUE(
        std::regex_search(r.err, std::regex("^Cannot replace output file <TARVO_[a-z_]+\\.[a-z]+>: "
                                            "Input/output error\n$")))
        << r.err;
    EXPECT_EQ(after_failure(earlier.dir, "no report was replaced"), earlier.files);
  }
}

TEST(Replacement, AnEarlierFileThatCannotBePutBackIsKeptAndNamed) {
  const EarlierRun earlier("restore", kAnalysis + " -r 5");
  // The third rename fails, and the first of the two put back, the second.
  const e2e::Result r =
      e2e::run_tarvo(earlier.dir, kAnalysis + " -r 6", faults("TARVO_FAIL_RENAME=3,4"));
  EXPECT_EQ(r.status, 255);
  std::smatch kept;
  ASSERT_TRUE(std::regex_search(
      r.err, kept,
      std::regex("The earlier <(TARVO_[a-z]+\\.txt)> could not be put back \\(Input/output "
                 "error\\): it is kept as <(TARVO_[a-z]+\\.txt\\.old-......)>\n")))
      << r.err;
  EXPECT_NE(r.err.find(e2e::failed_line(255, "some reports were replaced, see above")), npos);
  Files now = after_failure(earlier.dir, "some reports were replaced, see above");
  const std::string file = kept[1], backup = kept[2];
  EXPECT_TRUE(now[backup] == earlier.files.at(file));
  now.erase(backup);
  now[file] = earlier.files.at(file);
  EXPECT_EQ(now, earlier.files);
}

// Without earlier files, putting back means removing the new ones.
TEST(Replacement, ARenameFailingInAFirstRunRemovesTheNewReports) {
  const path dir = e2e::scratch_dir("first_run");
  e2e::fs::copy_file(e2e::source_path("tests/e2e/inputs/one_pop.gen"), dir / "one_pop.gen");
  e2e::Result r = e2e::run_tarvo(dir, kAnalysis + " -r 6", faults("TARVO_FAIL_RENAME=3"));
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(after_failure(dir, "no report was replaced").size(), 1u);  // the input
  // The second one replaced cannot be removed again.
  r = e2e::run_tarvo(dir, kAnalysis + " -r 6",
                     faults("TARVO_FAIL_RENAME=3 TARVO_FAIL_UNLINK=TARVO_freq.txt"));
  EXPECT_EQ(r.status, 255);
  EXPECT_NE(r.err.find("The new <TARVO_freq.txt> could not be removed (Input/output error): "
                       "there was none before\n"),
            npos)
      << r.err;
  Files now = after_failure(dir, "some reports were replaced, see above");
  EXPECT_EQ(now.count("TARVO_freq.txt"), 1u);
  EXPECT_EQ(now.size(), 2u);
  e2e::fs::remove_all(dir);
}

TEST(Replacement, CopiesKeepTheEarlierFilesWhereNoHardLinkCanBeMade) {
  const EarlierRun earlier("copies", kAnalysis + " -r 5");
  const path pair = earlier.dir / "TARVO_pair.txt";
  e2e::fs::permissions(
      pair, e2e::fs::perms::owner_read | e2e::fs::perms::owner_write | e2e::fs::perms::group_read);
  std::string every_link;
  for (std::size_t k = 1; k <= outputs(earlier); ++k) every_link += std::to_string(k) + ",";
  const e2e::Result r =
      e2e::run_tarvo(earlier.dir, kAnalysis + " -r 6",
                     faults("TARVO_FAIL_LINK=" + every_link +
                            " TARVO_FAIL_RENAME=" + std::to_string(outputs(earlier) - 1)));
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(after_failure(earlier.dir, "no report was replaced"), earlier.files);
  EXPECT_EQ(e2e::fs::status(pair).permissions() & e2e::fs::perms::all,
            e2e::fs::perms::owner_read | e2e::fs::perms::owner_write | e2e::fs::perms::group_read);
  // A file system that refuses the second name for another reason: nothing
  // is replaced, and the first second name is removed.
  const e2e::Result broken =
      e2e::run_tarvo(earlier.dir, kAnalysis + " -r 6", faults("TARVO_BREAK_LINK=2"));
  EXPECT_EQ(broken.status, 255);
  EXPECT_NE(broken.err.find("Cannot back up output file <TARVO_freq.txt>: Input/output error\n"),
            npos)
      << broken.err;
  EXPECT_EQ(after_failure(earlier.dir, "no report was replaced"), earlier.files);
}

// Every new file, the running log, then the folder: a sync that fails
// before the renames leaves every earlier file; the folder's sync after
// them is best effort.
TEST(Replacement, EveryFileAndTheFolderAreSyncedBeforeAnyRename) {
  const EarlierRun earlier("sync", kAnalysis + " -r 5");
  const std::size_t syncs = outputs(earlier) + 1;
  for (std::size_t k = 1; k <= syncs; ++k) {
    SCOPED_TRACE(k);
    const e2e::Result r = e2e::run_tarvo(earlier.dir, kAnalysis + " -r 6",
                                         faults("TARVO_FAIL_FSYNC=" + std::to_string(k)));
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find(">: Input/output error\n"), npos) << r.err;
    const bool log_failed = r.err.find("<TARVO_log.txt>") != npos;
    EXPECT_EQ(after_failure(earlier.dir, "no report was replaced", log_failed), earlier.files);
  }
  const e2e::Result r = e2e::run_tarvo(earlier.dir, kAnalysis + " -r 6",
                                       faults("TARVO_FAIL_FSYNC=" + std::to_string(syncs + 1)));
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST(Replacement, ALogFailingAfterTheReportsWereReplacedSaysTheyWere) {
  const EarlierRun earlier("late_log", kAnalysis + " -r 5");
  const EarlierRun reference("late_log_reference", kAnalysis + " -r 6");
  const e2e::Result r =
      e2e::run_tarvo(earlier.dir, kAnalysis + " -r 6", faults("TARVO_FAIL_WRITE_TO=TARVO_log.txt"));
  EXPECT_EQ(r.status, 255);
  EXPECT_NE(r.err.find("Cannot write output file <TARVO_log.txt>: No space left on device\n"), npos)
      << r.err;
  EXPECT_NE(r.err.find(e2e::failed_line(255, "every report was replaced")), npos) << r.err;
  Files now = e2e::masked(files_in(earlier.dir));
  Files want = e2e::masked(reference.files);
  // The log holds the run up to the renames.
  EXPECT_EQ(now["TARVO_log.txt"], want["TARVO_log.txt"].substr(0, now["TARVO_log.txt"].size()));
  EXPECT_NE(now["TARVO_log.txt"].find("STAGE"), npos);
  now.erase("TARVO_log.txt");
  want.erase("TARVO_log.txt");
  EXPECT_EQ(now, want);
}

// Waits up to a minute for `file` to hold `text`.
bool wait_for(const path& file, const std::string& text) {
  for (int tries = 0; tries < 6000; ++tries) {
    if (e2e::read_file(file).find(text) != npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(Replacement, AnInterruptedRunKeepsTheEarlierLogAndShowsItsOwnSoFar) {
  const EarlierRun earlier("interrupted", kAnalysis + " -r 5");
  for (int signal : {SIGINT, SIGKILL}) {
    SCOPED_TRACE(signal);
    // The running log an earlier interrupted run left already holds the
    // text waited for: without it gone the kill could come at any moment.
    const path running = earlier.dir / e2e::kRunningLog;
    e2e::fs::remove(running);
    const pid_t pid = e2e::start_tarvo(earlier.dir, {"-1", "one_pop.gen", "-n", "1000", "-s",
                                                     "5000", "-c", "10", "-r", "6", "-t", "1"});
    EXPECT_TRUE(wait_for(running, "Finding s.e. of resample estimate"));
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    Files now = files_in(earlier.dir);
    EXPECT_NE(now[e2e::kRunningLog].find("STAGE  7: Append resample estimates"), npos);
    now.erase(e2e::kRunningLog);
    now.erase("TARVO.lock");
    EXPECT_EQ(now, earlier.files);
  }
  // The next run takes the prefix over and leaves no running log.
  EXPECT_EQ(e2e::run_tarvo(earlier.dir, kAnalysis + " -r 6").status, 0);
  EXPECT_FALSE(e2e::fs::exists(earlier.dir / e2e::kRunningLog));
}

TEST(Replacement, RunningOutOfMemoryIsAnInputErrorThatReplacesNothing) {
  // The sanitizer reserves far more address space than any limit allows.
  if (e2e::kAddressSanitizer) GTEST_SKIP() << "address space limits do not apply under ASan";
  const EarlierRun earlier("memory", kAnalysis + " -r 5");
  // A 20 MB sample name in a run held to 100 MB of address space.
  std::string text = e2e::read_file(earlier.dir / "one_pop.gen");
  const std::size_t first_sample = text.find("\nAFBIBOR9503,");
  ASSERT_NE(first_sample, npos);
  text.insert(first_sample + 1, std::string(20'000'000, 'N'));
  e2e::write_file(earlier.dir / "huge.gen", text);
  const e2e::Result r =
      e2e::run_tarvo(earlier.dir, "-1 huge.gen -n 100 -c 0 -j -r 6", "ulimit -v 100000 && ");
  EXPECT_EQ(r.status, 1);
  // Where memory runs out depends on how the reader holds a line.
  EXPECT_TRUE(std::regex_search(
      r.err, std::regex("^Out of memory while [a-z ]+(<huge.gen>)?: the input is too large for "
                        "the memory this run may use\n$|Cannot allocate memory")))
      << r.err;
  Files now = files_in(earlier.dir);
  now.erase("huge.gen");
  now.erase(e2e::kRunningLog);
  EXPECT_EQ(now, earlier.files);  // the lock file too is gone
}

}  // namespace
