// The worked analyses of the cattle data with planted repeats, made
// independently of this program: the reference scan draw for draw, and whole
// runs file for file.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "e2e/e2e_util.h"
#include "tarvo.h"

namespace {

using e2e::fs::path;

const path kGolden = e2e::source_path("tests/e2e/golden");

// Runs the stages up to the end of the reference scan in this process.
struct ReferenceScan {
  std::unique_ptr<tarvo::Run> run = std::make_unique<tarvo::Run>();
  path dir = e2e::scratch_dir("refscan");

  ReferenceScan() {
    tarvo::Run& r = *run;
    const std::string data = (kGolden / "cattle_repeats.gen").string();
    const std::string prefix = (dir / "TARVO").string();
    std::vector<std::string> args = {"tarvo", "-1", data, "-n", "100", "-r",
                                     "2024",  "-c", "0",  "-d", prefix};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    r.io.out = std::tmpfile();
    r.io.err = std::tmpfile();
    const int model = tarvo::command_line(r, int(args.size()), argv.data(), "tarvo");
    EXPECT_EQ(model, 1);
    r.rng.init_genrand(2024);
    tarvo::open_files(r, model);
    r.opt.f_option = tarvo::which_data_format(r);
    tarvo::get_alphaCut(r);
    int stage = 2;
    tarvo::read_data(r, r.nloci, r.anim, r.iperm, r.nBlocks, stage, model);
    tarvo::get_LZones(r, model, r.nloci, r.anim);
    tarvo::get_recaps_from_data(r, model, r.nloci, r.anim, r.nBlocks, r.totalPairs, 0);
    tarvo::close_files(r, model);
  }
  ~ReferenceScan() { e2e::fs::remove_all(dir); }
};

TEST(GoldenCattle, ReferenceScanAgreesDrawForDraw) {
  ReferenceScan scan;
  tarvo::Run& r = *scan.run;
  EXPECT_EQ(r.rng.calls, 1279992u);

  // Table 1, character for character.
  const std::string stat = e2e::read_file(scan.dir / "TARVO_stat.txt");
  const std::string table = e2e::read_file(kGolden / "cattle_repeats.table1.txt");
  const auto at = stat.find("Table 1  Cumulative matches");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(stat.substr(at, table.size()), table);

  // The stored pairs in their sorted order, with the LLR and its level.
  std::string pairs;
  char line[256];
  for (int p = 0; p < r.totalPairs; ++p) {
    const tarvo::MatchPair& m = r.est.mat_pairs[0][p];
    std::snprintf(line, sizeof line, "%d %s %s %.10f %.6f\n", p + 1,
                  r.store.rec[m.sample1].name.c_str(), r.store.rec[m.sample2].name.c_str(), m.llr,
                  tarvo::LLR2alpha(r, m.llr));
    pairs += line;
  }
  EXPECT_EQ(pairs, e2e::read_file(kGolden / "cattle_repeats.pairs.txt"));
}

// Copies the golden data into a fresh folder and runs the program there.
struct GoldenRun {
  path dir;
  e2e::Result result;
  GoldenRun(const std::string& name, const std::string& args) : dir(e2e::scratch_dir(name)) {
    e2e::fs::copy_file(kGolden / "cattle_repeats.gen", dir / "cattle_repeats.gen");
    result = e2e::run_tarvo(dir, args);
  }
  ~GoldenRun() { e2e::fs::remove_all(dir); }
  std::string file(const std::string& name) const {
    return e2e::mask_dates(e2e::read_file(dir / name));
  }
};

std::string golden_full(const std::string& name) {
  return e2e::mask_dates(e2e::read_file(kGolden / "cattle_full" / name));
}

TEST(GoldenCattle, WholeRunWithStandardErrorsMatchesEveryFile) {
  GoldenRun g("full", "-1 cattle_repeats.gen -n 100 -s 20 -c 3 -r 5 -j");
  EXPECT_EQ(g.result.status, 1);
  EXPECT_EQ(g.result.err, "");
  EXPECT_EQ(e2e::mask_dates(g.result.out), golden_full("stdout.txt"));
  for (const char* name : {"TARVO_freq.txt", "TARVO_join.txt", "TARVO_loci.txt", "TARVO_log.txt",
                           "TARVO_miss.txt", "TARVO_pair.txt", "TARVO_pop.txt", "TARVO_stat.txt"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(g.file(name), golden_full(name));
  }
  EXPECT_FALSE(e2e::fs::exists(g.dir / "TARVO_simm.txt"));
  EXPECT_FALSE(e2e::fs::exists(g.dir / "TARVO_temp.txt"));
}

// The whole run converged at -z 2: a single iteration there with -c 0 gives
// the same pairwise report (without the convergence banner, which only runs
// with -c above 1 print) and the same composite genotypes.
TEST(GoldenCattle, SingleIterationAtTheConvergedLevel) {
  GoldenRun g("czero", "-1 cattle_repeats.gen -n 100 -c 0 -z 2 -r 5 -j");
  EXPECT_EQ(g.result.status, 1);
  EXPECT_EQ(g.file("TARVO_join.txt"), golden_full("TARVO_join.txt"));
  std::string pair = golden_full("TARVO_pair.txt");
  const std::string banner =
      "___________________________________________________\n"
      "Convergence iteration 3 with 0.050 false positives\n"
      "___________________________________________________\n\n";
  const auto at = pair.find(banner);
  ASSERT_NE(at, std::string::npos);
  pair.erase(at, banner.size());
  EXPECT_EQ(g.file("TARVO_pair.txt"), pair);
}

TEST(GoldenCattle, SameSeedGivesIdenticalFiles) {
  GoldenRun a("seed_a", "-1 cattle_repeats.gen -n 100 -s 10 -c 2 -r 77 -j");
  GoldenRun b("seed_b", "-1 cattle_repeats.gen -n 100 -s 10 -c 2 -r 77 -j");
  for (const char* name :
       {"TARVO_stat.txt", "TARVO_pair.txt", "TARVO_pop.txt", "TARVO_join.txt", "TARVO_log.txt"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(a.file(name), b.file(name));
  }
}

}  // namespace
