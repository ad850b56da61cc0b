// Faults around a run: each output made unwritable in turn, a missing input,
// a second run on the same prefix. None may destroy the results of the run
// before it, and each is named with its reason and status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "e2e/earlier_run.h"

namespace {

using e2e::EarlierRun;
using e2e::Files;
using e2e::files_in;
using e2e::fs::path;

enum class Fault { DeviceFull, Folder };

// Every output of the earlier run made to fail in turn, by a link to
// /dev/full or a folder in its place; a second run must fail naming it and
// leave every other earlier result as it was.
void each_output_fails(const std::string& name, const std::string& args, Fault fault) {
  const EarlierRun earlier(name, args + " -r 5");
  for (const auto& [file, text] : earlier.files) {
    if (file == "one_pop.gen") continue;
    SCOPED_TRACE(file);
    const path target = earlier.dir / file;
    e2e::fs::remove(target);
    if (fault == Fault::DeviceFull)
      e2e::fs::create_symlink("/dev/full", target);
    else
      e2e::fs::create_directory(target);
    const e2e::Result r = e2e::run_tarvo(earlier.dir, args + " -r 6");
    EXPECT_EQ(r.status, 255);
    const std::string reason =
        fault == Fault::DeviceFull ? "No space left on device" : "Is a directory";
    EXPECT_NE(r.err.find("<" + file + ">"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
    e2e::fs::remove_all(target);
    Files now = files_in(earlier.dir);
    // The log is written as the run goes under its running name, which ends
    // saying the run failed; a log on a device is written in place.
    if (file != "TARVO_log.txt" && fault == Fault::DeviceFull) {
      EXPECT_NE(now[e2e::kRunningLog].find(e2e::failed_line(255, "no report was replaced")),
                std::string::npos);
    }
    now.erase(e2e::kRunningLog);
    now[file] = text;
    EXPECT_EQ(now, earlier.files);
    e2e::write_file(target, text);
  }
}

TEST(OutputFaults, EveryReportOnAFullDeviceLeavesTheEarlierResults) {
  each_output_fails("full_analysis", "-1 one_pop.gen -n 100 -c 0 -j", Fault::DeviceFull);
  each_output_fails("full_create", "-1 one_pop.gen -M 60 -p", Fault::DeviceFull);
}

TEST(OutputFaults, EveryReportWithAFolderInItsPlaceLeavesTheEarlierResults) {
  each_output_fails("folder_analysis", "-1 one_pop.gen -n 100 -c 0 -j", Fault::Folder);
  each_output_fails("folder_create", "-1 one_pop.gen -M 60 -p", Fault::Folder);
}

TEST(OutputFaults, AMissingInputTouchesNoOutput) {
  const EarlierRun earlier("missing", "-1 one_pop.gen -n 100 -c 0 -r 5");
  const e2e::Result r = e2e::run_tarvo(earlier.dir, "-1 nosuch.gen -r 6");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(files_in(earlier.dir), earlier.files);
}

TEST(OutputFaults, ASecondRunOnTheSamePrefixIsRefusedWhileTheFirstHoldsIt) {
  const EarlierRun earlier("locked", "-1 one_pop.gen -n 100 -c 0 -r 5");
  const path lock = earlier.dir / "TARVO.lock";
  const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  const e2e::Result r = e2e::run_tarvo(earlier.dir, "-1 one_pop.gen -n 100 -c 0 -r 6");
  EXPECT_EQ(r.status, 255);
  EXPECT_NE(r.err.find("Another run is writing the files of this prefix (it holds <TARVO.lock>)"),
            std::string::npos)
      << r.err;
  Files now = files_in(earlier.dir);
  now.erase("TARVO.lock");
  EXPECT_EQ(now, earlier.files);
  // Released, the prefix is free again and the run removes its lock file.
  ::close(fd);
  e2e::fs::remove(lock);
  EXPECT_EQ(e2e::run_tarvo(earlier.dir, "-1 one_pop.gen -n 100 -c 0 -r 6").status, 0);
  EXPECT_FALSE(e2e::fs::exists(lock));
}

TEST(OutputFaults, AReportThatIsALinkStaysALinkToTheNewText) {
  const EarlierRun earlier("linked", "-1 one_pop.gen -n 100 -c 0 -r 5");
  const path kept = earlier.dir / "kept" / "pair.txt";
  e2e::fs::create_directory(kept.parent_path());
  e2e::fs::rename(earlier.dir / "TARVO_pair.txt", kept);
  e2e::fs::create_symlink("kept/pair.txt", earlier.dir / "TARVO_pair.txt");
  EXPECT_EQ(e2e::run_tarvo(earlier.dir, "-1 one_pop.gen -n 100 -c 0 -r 5 -w").status, 0);
  EXPECT_TRUE(e2e::fs::is_symlink(earlier.dir / "TARVO_pair.txt"));
  EXPECT_NE(e2e::read_file(kept), earlier.files.at("TARVO_pair.txt"));
  EXPECT_EQ(e2e::fs::directory_iterator(kept.parent_path())->path(), kept);
}

}  // namespace
