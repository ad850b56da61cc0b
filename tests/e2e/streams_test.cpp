// Standard output that cannot be written, errors copied to standard error,
// names too long for the folder and sample names too long for a report row.
#include <gtest/gtest.h>
#include <unistd.h>

#include "e2e/earlier_run.h"

namespace {

using e2e::EarlierRun;
using e2e::Files;
using e2e::files_in;
using e2e::fs::path;
constexpr auto npos = std::string::npos;

const std::string kAnalysis = "-1 one_pop.gen -n 100 -c 0 -j";

TEST(StandardOutput, HelpAndVersionOnAFullDeviceFail) {
  const path dir = e2e::scratch_dir("full_help");
  for (const char* args : {"--help", "-h", "--version"}) {
    SCOPED_TRACE(args);
    EXPECT_EQ(e2e::run_shell(dir, std::string("tarvo ") + args + " > /dev/full 2> err.txt"), 255);
    EXPECT_EQ(e2e::read_file(dir / "err.txt"),
              "Cannot write standard output: No space left on device\n");
  }
  e2e::fs::remove_all(dir);
}

// Errors on standard output are copied to standard error, once: not when
// both are one file, where the copy would only repeat them.
TEST(StandardError, ErrorsAreCopiedUnlessBothStreamsAreOneFile) {
  const path dir = e2e::scratch_dir("one_file");
  const std::string error = "which_data_format: Cannot open <none.gen> for reading\n";
  EXPECT_EQ(e2e::run_shell(dir, "tarvo -1 none.gen > both.txt 2>&1"), 1);
  const std::string both = e2e::read_file(dir / "both.txt");
  EXPECT_NE(both.find(error), npos);
  EXPECT_EQ(both.find(error), both.rfind(error));
  e2e::fs::remove_all(dir);
}

// A run whose standard output fails still replaces every report with its
// own, releases its lock and ends with 255; the log says both.
void check_replaced(const EarlierRun& earlier, const EarlierRun& reference,
                    const std::string& reason) {
  Files now = e2e::masked(files_in(earlier.dir));
  Files want = e2e::masked(reference.files);
  const std::string log = now["TARVO_log.txt"];
  EXPECT_NE(log.find("Cannot write standard output: " + reason + "\n\n\n" +
                     e2e::failed_line(255, "every report was replaced")),
            npos)
      << log;
  EXPECT_EQ(log.substr(0, want["TARVO_log.txt"].size()), want["TARVO_log.txt"]);
  for (Files* files : {&now, &want}) files->erase("TARVO_log.txt");
  now.erase("err.txt");
  now.erase("status.txt");
  EXPECT_EQ(now, want);
}

TEST(StandardOutput, ARunOnAFullDeviceOrAClosedPipeStillReplacesItsReports) {
  const EarlierRun reference("stdout_reference", kAnalysis + " -r 6");
  {
    const EarlierRun earlier("stdout_full", kAnalysis + " -r 5");
    EXPECT_EQ(e2e::run_shell(earlier.dir, "tarvo " + kAnalysis + " -r 6 > /dev/full 2> err.txt"),
              255);
    const std::string err = e2e::read_file(earlier.dir / "err.txt");
    EXPECT_EQ(err, "Cannot write standard output: No space left on device\n" +
                       e2e::failed_line(255, "every report was replaced"));
    check_replaced(earlier, reference, "No space left on device");
  }
  {
    // The reader closes the pipe before the run starts, whatever the load:
    // a reader that takes a byte first may let a short output through.
    const EarlierRun earlier("stdout_pipe", kAnalysis + " -r 5");
    EXPECT_EQ(e2e::run_shell(earlier.dir,
                             "(while [ ! -e closed ]; do sleep 0.01; done; tarvo " + kAnalysis +
                                 " -r 6 2> err.txt; echo $? > status.txt; rm closed) | "
                                 "(exec 0<&-; touch closed)"),
              0);
    EXPECT_EQ(e2e::read_file(earlier.dir / "status.txt"), "255\n");
    EXPECT_NE(
        e2e::read_file(earlier.dir / "err.txt").find("Cannot write standard output: Broken pipe"),
        npos);
    check_replaced(earlier, reference, "Broken pipe");
  }
}

// A prefix whose final names fit the folder but whose temporary names do
// not: refused before anything is done.
TEST(OutputNames, ANameTooLongOnTheWayIsRefusedBeforeTheAnalysis) {
  const path dir = e2e::scratch_dir("long_prefix");
  e2e::fs::copy_file(e2e::source_path("tests/e2e/inputs/one_pop.gen"), dir / "one_pop.gen");
  const long name_max = ::pathconf(dir.c_str(), _PC_NAME_MAX);
  ASSERT_GT(name_max, 40);
  // "_loci.txt" with its temporary suffix just fits; "_loci_power.tsv" not.
  const std::string prefix(std::size_t(name_max) - 20, 'p');
  ASSERT_LE((prefix + "_populations.tsv").size(), std::size_t(name_max));
  const e2e::Result r = e2e::run_tarvo(dir, kAnalysis + " -d " + prefix);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "open_files(): Cannot open <" + prefix +
                       "_loci_power.tsv> for writing: File name too long\n");
  EXPECT_EQ(files_in(dir).size(), 1u);
  e2e::fs::remove_all(dir);
}

// One sample named by 100,000 characters, with the genotype of another so
// that the two make a pair.
TEST(ReportRows, ALongSampleNameIsCutInTheReportsAndWholeInTheTables) {
  const path dir = e2e::scratch_dir("long_name");
  std::string text = e2e::read_file(e2e::source_path("tests/e2e/inputs/one_pop.gen"));
  const std::string twin = "\nAFBIBOR9503,";
  const std::size_t start = text.find(twin) + twin.size();
  ASSERT_GT(start, twin.size());
  const std::string genotype = text.substr(start, text.find('\n', start) - start);
  const std::string name = "L" + std::string(99'999, 'o');
  if (text.back() != '\n') text += '\n';
  e2e::write_file(dir / "long.gen", text + name + "," + genotype + "\n");
  const e2e::Result r = e2e::run_tarvo(dir, "-1 long.gen -n 100 -c 0 -r 5");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string pair = e2e::read_file(dir / "TARVO_pair.txt");
  const std::string shown = name.substr(0, 97) + "...";
  EXPECT_NE(pair.find(" " + shown + " : AFBIBOR9503"), npos) << pair.substr(0, 3000);
  EXPECT_EQ(pair.find(name.substr(0, 98)), npos);
  EXPECT_LT(pair.size(), 20'000u);
  for (const char* table : {"TARVO_pairs.tsv", "TARVO_individuals.tsv"})
    EXPECT_NE(e2e::read_file(dir / table).find(name + "\t"), npos) << table;
  e2e::fs::remove_all(dir);
}

}  // namespace
