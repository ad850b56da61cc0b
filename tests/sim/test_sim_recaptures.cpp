// Planted recaptures: stochastic rounding, the three placements, the capacity
// warnings and the refusal of a negative plan.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tarvo.h"

using namespace tarvo;

namespace {

std::string slurp(FILE* f) {
  std::string text;
  std::fflush(f);
  std::rewind(f);
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  return text;
}

// One locus with no allele entries: the genotype draw then leaves every row as
// it was, so each sample keeps a tag (1000 + its number) that shows where its
// genotype came from. -E is 0, so no errors change the tags either.
struct SimRecapFixture : ::testing::Test {
  std::unique_ptr<tarvo::Run> run = std::make_unique<tarvo::Run>();
  int nsamples = 0;

  void SetUp() override {
    run->io.out = std::tmpfile();
    run->io.fp7 = std::tmpfile();
    run->opt.E_value = 0;
    run->store.b_name[0] = "North";
    run->store.b_name[1] = "South";
    run->rng.init_genrand(7);
  }
  void TearDown() override {
    std::fclose(run->io.out);
    std::fclose(run->io.fp7);
  }
  void populations(std::vector<int> bounds) {
    for (size_t i = 0; i < bounds.size(); ++i) run->store.nBlock[i] = bounds[i];
    nsamples = bounds.back();
    for (int i = 0; i < nsamples; ++i) {
      run->store.row(1, i)[0] = 1000 + i;
      run->store.row(1, i)[1] = 1000 + i;
    }
  }
  void genotype_file_only() {
    run->opt.i_option[0] = 1;
    run->opt.i_option[1] = 0;
  }
  void plan(std::vector<SimBlockRow> rows) { run->est.simBlock = std::move(rows); }
  int tag(int i) const { return run->store.row(1, i)[0]; }
  // Sample i holds the genotype of sample src (both slots).
  void expect_copy(int i, int src) const {
    EXPECT_EQ(run->store.row(1, i)[0], 1000 + src) << "sample " << i;
    EXPECT_EQ(run->store.row(1, i)[1], 1000 + src) << "sample " << i;
  }
  int call(int model, int nrows, double expected = 0) {
    return sim_individual_match_genotypes(*run, model, 1, nsamples, nrows, 0, expected);
  }
  int exit_status(int model, int nrows, double expected = 0) {
    try {
      call(model, nrows, expected);
    } catch (const Exit& e) {
      return e.status;
    }
    return -999;
  }
};

TEST_F(SimRecapFixture, ConsecutivePairsWithinOnePopulation) {
  genotype_file_only();
  populations({0, 10});
  plan({{0, 0, 2.0, 0}});
  EXPECT_EQ(call(1, 1), 1);
  expect_copy(0, 1);
  expect_copy(1, 1);
  expect_copy(2, 3);
  for (int i = 3; i < 10; ++i) expect_copy(i, i);
  EXPECT_EQ(slurp(run->io.out), "  (Simulating   2 recaptures)  2.00");
  EXPECT_EQ(slurp(run->io.fp7), "  (Simulating   2 recaptures)  2.00");
}

TEST_F(SimRecapFixture, BetweenPopulationsSharesTheSourceCounter) {
  genotype_file_only();
  populations({0, 6, 12});
  // Population 1 first uses two positions for one pair of its own; the
  // between-population pairs then take its next free positions as sources.
  plan({{0, 0, 1.0, 0}, {1, 0, 2.0, 0}});
  EXPECT_EQ(call(1, 2), 1);
  expect_copy(0, 1);
  expect_copy(6, 2);
  expect_copy(7, 3);
  for (int i : {1, 2, 3, 4, 5, 8, 9, 10, 11}) expect_copy(i, i);
  EXPECT_EQ(slurp(run->io.out),
            "\n             (Simulating   1 recaptures in populations  1 'North' and 1 'North')"
            "\n             (Simulating   2 recaptures in populations  2 'South' and 1 'North')");
}

TEST_F(SimRecapFixture, FrequencyModelCopiesLastPositionsOntoFirst) {
  run->opt.i_option[1] = 1;  // -2 only: model 4
  populations({0, 10});
  plan({{3, 5, 9.9, 4}, {1, 1, 1.0, 0}});
  EXPECT_EQ(call(4, 2, 3.0), 1);
  expect_copy(0, 7);
  expect_copy(1, 8);
  expect_copy(2, 9);
  for (int i = 3; i < 10; ++i) expect_copy(i, i);
  // Row 0 is replaced and used alone; its round-up count is kept.
  EXPECT_EQ(run->est.simBlock[0].ia, 0);
  EXPECT_EQ(run->est.simBlock[0].ib, 0);
  EXPECT_DOUBLE_EQ(run->est.simBlock[0].rhat, 3.0);
  EXPECT_EQ(run->est.simBlock[0].nround, 4);
  EXPECT_EQ(run->est.simBlock[1].nround, 0);
  EXPECT_EQ(slurp(run->io.out), "  (Simulating   3 recaptures)  3.00");
}

TEST_F(SimRecapFixture, SimulationModelWithSecondPopulationAndEmptyPlan) {
  genotype_file_only();
  run->opt.H_value = 6;
  populations({0, 6, 12});
  plan({});
  EXPECT_EQ(call(5, 0, 2.0), 1);
  ASSERT_EQ(run->est.simBlock.size(), 1u);
  EXPECT_EQ(run->est.simBlock[0].ib, 1);
  expect_copy(0, 6);
  expect_copy(1, 7);
}

TEST_F(SimRecapFixture, StochasticRounding) {
  genotype_file_only();
  populations({0, 10});
  plan({{0, 0, 2.0, 0}});
  for (int i = 0; i < 200; ++i) {
    std::rewind(run->io.out);
    ASSERT_EQ(call(1, 1), 1);
  }
  EXPECT_EQ(run->est.simBlock[0].nround, 0);

  // Each call draws once per row: u < 0.3 rounds 2.3 up to 3.
  plan({{0, 0, 2.3, 0}});
  const int calls = 4000;
  for (int i = 0; i < calls; ++i) {
    std::rewind(run->io.out);
    ASSERT_EQ(call(1, 1), 1);
  }
  const double share = double(run->est.simBlock[0].nround) / calls;
  EXPECT_NEAR(share, 0.3, 0.04);
}

TEST_F(SimRecapFixture, DrawsOneNumberPerRowBeforePlacing) {
  genotype_file_only();
  populations({0, 10});
  plan({{0, 0, 1.0, 0}, {0, 0, 0.0, 0}});
  const uint64_t before = run->rng.calls;
  ASSERT_EQ(call(1, 2), 1);
  // One locus, 10 samples: 20 genotype draws, one per row, and one error
  // draw per sample (rate 0 never goes further).
  EXPECT_EQ(run->rng.calls - before, 20u + 2u + 10u);
}

TEST_F(SimRecapFixture, SlightlyNegativeEstimatePlacesNothing) {
  genotype_file_only();
  populations({0, 10});
  plan({{0, 0, -0.5, 0}});
  EXPECT_EQ(call(1, 1), 1);
  for (int i = 0; i < 10; ++i) expect_copy(i, i);
  EXPECT_EQ(slurp(run->io.out), "  (Simulating   0 recaptures) -0.50");
}

TEST_F(SimRecapFixture, NegativePlanIsRefused) {
  genotype_file_only();
  populations({0, 6, 12});
  plan({{0, 0, -1.5, 0}});
  EXPECT_EQ(call(1, 1), -1);
  EXPECT_EQ(slurp(run->io.fp7),
            "    No matches found:   Recap estimate is -1 parent-offspring pairs \n");
  EXPECT_EQ(slurp(run->io.out),
            "    No matches found:   Recap estimate is -1 parent-offspring pairs \n");

  std::rewind(run->io.out);
  plan({{0, 0, 1.0, 0}, {1, 0, -3.0, 0}});
  EXPECT_EQ(call(1, 2), -1);
  const std::string out = slurp(run->io.out);
  EXPECT_NE(out.find("    No matches found:   Recap estimate is -3 parent-offspring pairs in "
                     "populations 2 (South) and 1 (North)\n"),
            std::string::npos);
}

TEST_F(SimRecapFixture, CapacityWarningOneForSixPairsInTen) {
  genotype_file_only();
  populations({0, 10});
  plan({{0, 0, 6.0, 0}});
  EXPECT_EQ(exit_status(1, 1), 1);
  const std::string block =
      "\n\nsim_individual_match_genotypes:\n"
      "\nWarning 1: high density of recaptures in blocks - may have overwritten some pair "
      "matches blockpos[simBlock[m].ia]=12  Amin=0  Amax=10\n"
      "Overwriting pair matches may cause extra matches in diagonal block\n"
      "eg This could occur if R_valueS in simulation is greater than BLOCK size\n"
      "BLOCK number=1  blockpos[simBlock[m].ia]=12 blockpos[simBlock[m].ib]=12 \n";
  const std::string announce = "  (Simulating   6 recaptures)  6.00";
  EXPECT_EQ(slurp(run->io.fp7), announce + block);
  EXPECT_EQ(slurp(run->io.out), announce + block);
  // The five pairs that fit were placed before the run stopped.
  expect_copy(8, 9);
}

TEST_F(SimRecapFixture, CapacityWarningTwoNamesTheSourceCounter) {
  genotype_file_only();
  populations({0, 10, 12});
  plan({{0, 1, 3.0, 0}});
  EXPECT_EQ(exit_status(1, 1), 1);
  const std::string log = slurp(run->io.fp7);
  EXPECT_NE(log.find("  (Simulating   3 recaptures)  3.00\n"
                     "Warning 2: high density of recaps in blocks - may have overwritten some pair "
                     "matches blockposA[simBlock[m].ib]=3  Bmin=10  Bmax=12\n"
                     "Overwriting pair matches may cause extra matches in diagonal block\n"
                     "eg This could occur if R_valueS in simulation is greater than BLOCK size\n"
                     "BLOCK number=1  blockpos[simBlock[m].ia]=3 blockpos[simBlock[m].ib]=3 \n"),
            std::string::npos);
  EXPECT_EQ(log.find("sim_individual_match_genotypes:"), std::string::npos);
  EXPECT_EQ(slurp(run->io.out), log);
}

TEST_F(SimRecapFixture, CapacityWarningThreeWithSecondSimulatedPopulation) {
  run->opt.i_option[1] = 1;  // -2 only
  run->opt.H_value = 2;
  populations({0, 10, 12});
  plan({});
  EXPECT_EQ(exit_status(4, 0, 3.0), 1);
  const std::string out = slurp(run->io.out);
  EXPECT_NE(out.find("\nWarning 3: high density of recaps in blocks - may have overwritten some "
                     "pair matches blockposA[simBlock[m].ib]=3  Bmin=10  Bmax=12\n"),
            std::string::npos);
}

TEST_F(SimRecapFixture, ModelTwoGuardsItsSourcePopulation) {
  run->opt.i_option[0] = 1;
  run->opt.i_option[1] = 1;
  populations({0, 10, 12});
  plan({{0, 1, 3.0, 0}});
  EXPECT_EQ(exit_status(2, 1), 1);
  EXPECT_NE(slurp(run->io.out).find("Warning 3: high density of recaps"), std::string::npos);
}

TEST_F(SimRecapFixture, NoRowsStillAddsErrors) {
  genotype_file_only();
  populations({0, 4});
  run->opt.E_value = 10000;  // every locus of every sample is hit
  run->store.loc[0].nallele = 1;
  run->store.loc[0].allele[0] = 77;
  run->store.loc[0].cumfreq[0] = 1.0;
  plan({});
  EXPECT_EQ(call(1, 0), 1);
  // The draw gives 77/77, then each error puts 77 in one slot again.
  for (int i = 0; i < 4; ++i) EXPECT_EQ(tag(i), 77);
  EXPECT_EQ(slurp(run->io.out), "");
}

TEST(SimRecapAllocate, CopiesOnlyLociInUse) {
  auto run = std::make_unique<tarvo::Run>();
  int32_t* src = run->store.row(1, 3);
  for (int k = 0; k < 2 * NOL; ++k) src[k] = k + 1;
  allocate_match(*run, 2, 5, 3);
  const int32_t* dst = run->store.row(1, 5);
  EXPECT_EQ(std::vector<int32_t>(dst, dst + 5), (std::vector<int32_t>{1, 2, 3, 4, 0}));
  EXPECT_EQ(run->store.row(0, 5)[0], 0);  // the reference store is untouched
}

}  // namespace
