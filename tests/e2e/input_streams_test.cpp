// The genotype file as it may come: through a pipe, a FIFO or a process
// substitution, which can be read only once; and as a few bytes that claim
// far more than they hold, which must be refused before memory is sized
// from them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

#include "e2e/e2e_util.h"

namespace {

using e2e::fs::path;

using Files = std::map<std::string, std::string>;

// The reports of a run with every mention of its input's name replaced by
// the same word; the names compared have the same length, so the columns
// stay where they are.
Files reports(const path& dir, const std::string& input_name) {
  Files files;
  for (const auto& e : e2e::fs::directory_iterator(dir)) {
    const std::string name = e.path().filename();
    if (!name.starts_with("TARVO")) continue;
    std::string text = e2e::mask_dates(e2e::read_file(e.path()));
    for (std::size_t at = text.find(input_name); at != std::string::npos;
         at = text.find(input_name, at))
      text.replace(at, input_name.size(), "<the input>");
    files[name] = text;
    e2e::fs::remove(e.path());
  }
  return files;
}

int run_bash(const path& dir, const std::string& command) {
  return e2e::run_shell(dir, "bash -c '" + command + "' > /dev/null 2>&1");
}

TEST(InputStreams, APipeAFifoAndAProcessSubstitutionReadAsTheFile) {
  const path dir = e2e::scratch_dir("streams");
  e2e::fs::copy_file(e2e::source_path("tests/e2e/inputs/one_pop.gen"), dir / "saved");
  const std::string run = " -c 0 -n 100 -r 5";
  // Each name is ten characters long, as /dev/stdin and /dev/fd/63 are.
  e2e::fs::copy_file(dir / "saved", dir / "genotypes1");
  ASSERT_EQ(run_bash(dir, "tarvo -1 genotypes1" + run), 0);
  const Files want = reports(dir, "genotypes1");
  ASSERT_FALSE(want.empty());

  EXPECT_EQ(run_bash(dir, "cat saved | tarvo -1 /dev/stdin" + run), 0);
  EXPECT_EQ(reports(dir, "/dev/stdin"), want);
  EXPECT_EQ(run_bash(dir, "tarvo -1 <(cat saved)" + run), 0);
  EXPECT_EQ(reports(dir, "/dev/fd/63"), want);
  EXPECT_EQ(run_bash(dir, "mkfifo genotypes2 && { cat saved > genotypes2 & tarvo -1 genotypes2" +
                              run + "; }"),
            0);
  EXPECT_EQ(reports(dir, "genotypes2"), want);
  e2e::fs::remove_all(dir);
}

struct Limited {
  int status = -1;
  std::string err;
};

// The program run in dir with its address space and processor time capped,
// as a small machine or a shell's ulimit would.
Limited run_limited(const path& dir, const std::vector<std::string>& args, rlim_t bytes) {
  const pid_t pid = e2e::start_tarvo(dir, args, dir / "stderr.out", bytes);
  int rc = 0;
  ::waitpid(pid, &rc, 0);
  Limited r;
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -WTERMSIG(rc);
  r.err = e2e::read_file(dir / "stderr.out");
  return r;
}

TEST(InputStreams, AGenAlExCountOfLociSizesNothingBeforeItsSamples) {
  // The sanitizer reserves terabytes of address space at start.
  if (e2e::kAddressSanitizer) GTEST_SKIP() << "address space capped: not under AddressSanitizer";
  const path dir = e2e::scratch_dir("counts_line");
  const rlim_t cap = rlim_t(256) << 20;
  const std::vector<std::string> args{"-1", "b.csv", "-c", "0", "-n", "100"};
  // No sample at all: the counts disagree with what was read.
  e2e::write_file(dir / "b.csv", "999999999,1,1,1\ntitle\nID,Pop,A\n");
  Limited r = run_limited(dir, args, cap);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("declares 1 samples in 1 populations, but 0 samples"), std::string::npos)
      << r.err;
  // A sample of one pair where a billion are declared.
  e2e::write_file(dir / "b.csv", "999999999,1,1,1\ntitle\nID,Pop,A\ns1,p,1,1\n");
  r = run_limited(dir, args, cap);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("Loci pairs (1) in current line do not match in number with those in "
                       "header file (999999999)"),
            std::string::npos)
      << r.err;
  e2e::fs::remove_all(dir);
}

}  // namespace
