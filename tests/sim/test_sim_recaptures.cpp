// Planted recaptures: stochastic rounding, the three placements, the capacity
// warnings and the refusal of a negative plan.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <vector>

#include "common/test_run.h"

using namespace tarvo;
using namespace testutil;

namespace {

struct SimCase {
  int model;
  std::array<int, 2> inputs;  // -1 and -2 given
  int H;
  std::vector<int> bounds;
  std::vector<SimBlockRow> plan;
  int nrows;
  double expected = 0;
};

// One locus with no allele entries: the genotype draw then leaves every row as
// it was, so each sample keeps a tag (1000 + its number) that shows where its
// genotype came from. -E is 0, so no errors change the tags either.
struct Sim {
  TestRun t;
  SimCase s;
  explicit Sim(const SimCase& setup) : s(setup) {
    tarvo::Run& run = t.r;
    run.opt.E_value = 0;
    run.opt.i_option = s.inputs;
    run.opt.H_value = s.H;
    run.store.b_name[0] = "North";
    run.store.b_name[1] = "South";
    run.rng.init_genrand(7);
    for (size_t i = 0; i < s.bounds.size(); ++i) run.store.nBlock[i] = s.bounds[i];
    for (int i = 0; i < n(); ++i) t.set_genotype(1, i, 0, 1000 + i, 1000 + i);
    run.est.simBlock = s.plan;
  }
  int n() const { return s.bounds.back(); }
  int call() {
    return sim_individual_match_genotypes(t.r, s.model, 1, n(), s.nrows, 0, s.expected);
  }
  // Sample i holds the genotype of sample src (both slots).
  void expect_copy(int i, int src) {
    EXPECT_EQ(t.r.store.row(1, i)[0], 1000 + src) << "sample " << i;
    EXPECT_EQ(t.r.store.row(1, i)[1], 1000 + src) << "sample " << i;
  }
};

const std::array<int, 2> GENOTYPES{1, 0}, FREQUENCIES{0, 1}, BOTH{1, 1};

// The plan as "ia ib rhat nround" per row.
std::string plan_of(const tarvo::Run& run) {
  std::string text;
  char buf[64];
  for (const SimBlockRow& row : run.est.simBlock) {
    std::snprintf(buf, sizeof buf, "%d %d %.2f %d;", row.ia, row.ib, row.rhat, row.nround);
    text += buf;
  }
  return text;
}

// The copies made (sample: source; the others keep their own), the plan left
// behind and the announcement, on standard output and in the log alike.
void expect_placed(const SimCase& setup, std::map<int, int> copies, const std::string& plan,
                   const std::string& out) {
  SCOPED_TRACE(out);
  Sim sim(setup);
  EXPECT_EQ(sim.call(), 1);
  for (int i = 0; i < sim.n(); ++i) sim.expect_copy(i, copies.count(i) ? copies[i] : i);
  EXPECT_EQ(plan_of(sim.t.r), plan);
  EXPECT_EQ(sim.t.out(), out);
  EXPECT_EQ(sim.t.log(), out);
}

TEST(SimRecap, Placements) {
  // Consecutive pairs within one population.
  expect_placed({1, GENOTYPES, 0, {0, 10}, {{0, 0, 2.0, 0}}, 1}, {{0, 1}, {2, 3}}, "0 0 2.00 0;",
                "  (Simulating   2 recaptures)  2.00");
  // Population 1 first uses two positions for one pair of its own; the
  // between-population pairs then take its next free positions as sources.
  expect_placed(
      {1, GENOTYPES, 0, {0, 6, 12}, {{0, 0, 1.0, 0}, {1, 0, 2.0, 0}}, 2}, {{0, 1}, {6, 2}, {7, 3}},
      "0 0 1.00 0;1 0 2.00 0;",
      "\n             (Simulating   1 recaptures in populations  1 'North' and 1 'North')"
      "\n             (Simulating   2 recaptures in populations  2 'South' and 1 'North')");
  // A frequency-file model copies the last positions onto the first; row 0 is
  // replaced and used alone, its round-up count kept.
  expect_placed({4, FREQUENCIES, 0, {0, 10}, {{3, 5, 9.9, 4}, {1, 1, 1.0, 0}}, 2, 3.0},
                {{0, 7}, {1, 8}, {2, 9}}, "0 0 3.00 4;1 1 1.00 0;",
                "  (Simulating   3 recaptures)  3.00");
  // A simulation model with a second population and an empty plan.
  expect_placed({5, GENOTYPES, 6, {0, 6, 12}, {}, 0, 2.0}, {{0, 6}, {1, 7}}, "0 1 2.00 0;",
                "  (Simulating   2 recaptures)  2.00");
  // A slightly negative estimate places nothing.
  expect_placed({1, GENOTYPES, 0, {0, 10}, {{0, 0, -0.5, 0}}, 1}, {}, "0 0 -0.50 0;",
                "  (Simulating   0 recaptures) -0.50");
}

TEST(SimRecap, StochasticRoundingDrawsOncePerRow) {
  Sim sim({1, GENOTYPES, 0, {0, 10}, {{0, 0, 2.0, 0}}, 1});
  for (int i = 0; i < 200; ++i) ASSERT_EQ(sim.call(), 1);
  EXPECT_EQ(sim.t.r.est.simBlock[0].nround, 0);
  // u < 0.3 rounds 2.3 up to 3.
  sim.t.r.est.simBlock = {{0, 0, 2.3, 0}};
  const int calls = 4000;
  for (int i = 0; i < calls; ++i) ASSERT_EQ(sim.call(), 1);
  EXPECT_NEAR(double(sim.t.r.est.simBlock[0].nround) / calls, 0.3, 0.04);
  // One locus, 10 samples: 20 genotype draws, one per row before placing, and
  // one error draw per sample (rate 0 never goes further).
  sim.t.r.est.simBlock = {{0, 0, 1.0, 0}, {0, 0, 0.0, 0}};
  sim.s.nrows = 2;
  const uint64_t before = sim.t.r.rng.calls;
  ASSERT_EQ(sim.call(), 1);
  EXPECT_EQ(sim.t.r.rng.calls - before, 20u + 2u + 10u);
}

TEST(SimRecap, NegativePlanIsRefused) {
  Sim one({1, GENOTYPES, 0, {0, 6, 12}, {{0, 0, -1.5, 0}}, 1});
  EXPECT_EQ(one.call(), -1);
  const char* msg = "    No matches found:   Recap estimate is -1 parent-offspring pairs \n";
  EXPECT_EQ(one.t.log(), msg);
  EXPECT_EQ(one.t.out(), msg);

  Sim two({1, GENOTYPES, 0, {0, 6, 12}, {{0, 0, 1.0, 0}, {1, 0, -3.0, 0}}, 2});
  EXPECT_EQ(two.call(), -1);
  EXPECT_NE(two.t.out().find("    No matches found:   Recap estimate is -3 parent-offspring pairs "
                             "in populations 2 (South) and 1 (North)\n"),
            std::string::npos);
}

// A plan that does not fit stops the run with status 1 after writing its
// warning to the log and then the same to standard output; returns the log.
std::string stopped(Sim& sim) {
  EXPECT_EQ(exit_status([&] { sim.call(); }), 1);
  const std::string log = sim.t.log();
  EXPECT_EQ(sim.t.out(), log);
  return log;
}

TEST(SimRecap, CapacityWarnings) {
  Sim one({1, GENOTYPES, 0, {0, 10}, {{0, 0, 6.0, 0}}, 1});
  EXPECT_EQ(stopped(one),
            "  (Simulating   6 recaptures)  6.00\n\nsim_individual_match_genotypes:\n"
            "\nWarning 1: high density of recaptures in blocks - may have overwritten some pair "
            "matches blockpos[simBlock[m].ia]=12  Amin=0  Amax=10\n"
            "Overwriting pair matches may cause extra matches in diagonal block\n"
            "eg This could occur if R_valueS in simulation is greater than BLOCK size\n"
            "BLOCK number=1  blockpos[simBlock[m].ia]=12 blockpos[simBlock[m].ib]=12 \n");
  one.expect_copy(8, 9);  // the five pairs that fit were placed before the run stopped
  // The source population of a genotype file is full.
  Sim two({1, GENOTYPES, 0, {0, 10, 12}, {{0, 1, 3.0, 0}}, 1});
  const std::string log = stopped(two);
  EXPECT_NE(log.find("  (Simulating   3 recaptures)  3.00\nWarning 2: high density of recaps in "
                     "blocks - may have overwritten some pair matches "
                     "blockposA[simBlock[m].ib]=3  Bmin=10  Bmax=12\n"),
            std::string::npos);
  EXPECT_NE(log.find("BLOCK number=1  blockpos[simBlock[m].ia]=3 blockpos[simBlock[m].ib]=3 \n"),
            std::string::npos);
  EXPECT_EQ(log.find("sim_individual_match_genotypes:"), std::string::npos);
  // A second simulated population is full, and so is the source of model 2,
  // which also draws its sources from the counter.
  Sim three({4, FREQUENCIES, 2, {0, 10, 12}, {}, 0, 3.0});
  EXPECT_NE(stopped(three).find("\nWarning 3: high density of recaps in blocks - may have "
                                "overwritten some pair matches blockposA[simBlock[m].ib]=3  "
                                "Bmin=10  Bmax=12\n"),
            std::string::npos);
  Sim model2({2, BOTH, 0, {0, 10, 12}, {{0, 1, 3.0, 0}}, 1});
  EXPECT_NE(stopped(model2).find("\nWarning 3: high density of recaps"), std::string::npos);
}

TEST(SimRecap, NoRowsStillAddsErrors) {
  Sim sim({1, GENOTYPES, 0, {0, 4}, {}, 0});
  sim.t.r.opt.E_value = 10000;  // every locus of every sample is hit
  sim.t.set_locus(0, {{77, 1.0}});
  EXPECT_EQ(sim.call(), 1);
  // The draw gives 77/77, then each error puts 77 in one slot again.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(sim.t.r.store.row(1, i)[0], 77);
  EXPECT_EQ(sim.t.out(), "");
}

TEST(SimRecapAllocate, CopiesOnlyLociInUse) {
  TestRun t;
  int32_t* src = t.r.store.row(1, 3);
  for (int k = 0; k < 2 * NOL; ++k) src[k] = k + 1;
  allocate_match(t.r, 2, 5, 3);
  const int32_t* dst = t.r.store.row(1, 5);
  EXPECT_EQ(std::vector<int32_t>(dst, dst + 5), (std::vector<int32_t>{1, 2, 3, 4, 0}));
  EXPECT_EQ(t.r.store.row(0, 5)[0], 0);  // the reference store is untouched
}

}  // namespace
