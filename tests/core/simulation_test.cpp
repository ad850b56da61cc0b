#include "tarvo/simulation.h"

#include <gtest/gtest.h>

#include "tarvo/error.h"

using namespace tarvo;

namespace {

LocusFrequencies locus(std::vector<std::int32_t> alleles, std::vector<double> cumulative) {
  LocusFrequencies L;
  L.alleles = std::move(alleles);
  L.cumulative = std::move(cumulative);
  L.freqs.assign(L.alleles.size(), 0.5);
  return L;
}

// Populations of the given sizes, every sample scored at every locus.
GenotypeTable table_of(int nloci, std::vector<int> sizes) {
  int n = 0;
  for (int s : sizes) n += s;
  GenotypeTable t(nloci, n);
  int first = 0;
  for (int p = 0; p < int(sizes.size()); ++p) {
    t.populations.push_back(Population{"p", first, first + sizes[p]});
    for (int i = first; i < first + sizes[p]; ++i) t.sample(i).population = p;
    first += sizes[p];
  }
  return t;
}

TEST(Simulation, DrawsLocusBySampleBySlotAndCounts) {
  // Cumulative frequencies ending below 1: draws above 0.5 take the last allele.
  const FrequencyTable f{{locus({200, 204}, {0.25, 0.5}), locus({120}, {1.0})}};
  GenotypeTable t = table_of(2, {8});
  t.row(7)[0] = 99;
  Rng rng(7), replay(7);
  const AlleleCounts counts = draw_unrelated(t, 7, f, rng);
  EXPECT_EQ(rng.calls(), 2u * 7u * 2u);
  int first = 0;
  for (int s = 0; s < 7; ++s)
    for (int slot = 0; slot < 2; ++slot) {
      const int want = replay.uniform() <= 0.25 ? 200 : 204;
      EXPECT_EQ(t.row(s)[slot], want);
      first += want == 200;
      EXPECT_EQ(t.row(s)[2 + slot], 120);
    }
  EXPECT_EQ(t.row(7)[0], 99);  // not drawn
  EXPECT_EQ(counts, (AlleleCounts{{first, 14 - first}, {14}}));
}

TEST(Simulation, ReferenceCopiesAndErrorsCopiesFirst) {
  const FrequencyTable f{{locus({200, 204}, {0.5, 1.0})}};
  GenotypeTable t = table_of(1, {6});
  Rng rng(3), replay(3);
  (void)simulate_reference(t, 2, 1.0, f, rng);
  EXPECT_EQ(t.sample(5).name, "6");
  // Replay: 4 samples drawn, 4 and 5 copy 0 and 1, then one error each on 4, 5, 0, 1.
  std::int32_t want[6][2];
  for (int s = 0; s < 4; ++s)
    for (int slot = 0; slot < 2; ++slot) want[s][slot] = replay.uniform() <= 0.5 ? 200 : 204;
  for (int c = 0; c < 2; ++c) std::copy(want[c], want[c] + 2, want[4 + c]);
  for (int s : {4, 5, 0, 1}) {
    (void)replay.uniform();
    const int slot = replay.coin();
    want[s][slot] = replay.uniform() <= 0.5 ? 200 : 204;
  }
  for (int s = 0; s < 6; ++s)
    for (int slot = 0; slot < 2; ++slot) EXPECT_EQ(t.row(s)[slot], want[s][slot]) << s;
  EXPECT_EQ(rng.calls(), replay.calls());
}

TEST(Simulation, PlantedRecapturesRoundingAndCapacity) {
  const FrequencyTable f{{locus({200, 204}, {0.5, 1.0}), locus({1, 2}, {0.5, 1.0})}};
  GenotypeTable t = table_of(2, {4, 3});
  RecaptureSettings copy;
  copy.error = 0;
  // Within population 0: the last two samples copied onto the first two.
  RecapturePlan plan{{{0, 0}, 1.5, 0}};
  Rng rng(11), replay(11);
  for (int k = 0; k < 2 * 7 * 2; ++k) (void)replay.uniform();
  const int want = replay.uniform() < 0.5 ? 2 : 1;
  std::vector<int> seen;
  const auto on_row = [&](const PlantedRow& r) { seen.push_back(r.recaptures); };
  EXPECT_TRUE(simulate_with_recaptures(t, plan, 1, copy, f, rng, on_row));
  EXPECT_EQ(seen, std::vector<int>{want});
  EXPECT_EQ(plan[0].rounded_up, want - 1);
  for (int c = 0; c < want; ++c)
    EXPECT_TRUE(std::equal(t.row(c), t.row(c) + 4, t.row(4 - want + c)));
  // Counted sources: sample 4 of population 1 copies sample 0 of population 0.
  copy.counted_source = true;
  plan = {{{1, 0}, 1.0, 0}};
  EXPECT_TRUE(simulate_with_recaptures(t, plan, 1, copy, f, rng));
  EXPECT_TRUE(std::equal(t.row(4), t.row(4) + 4, t.row(0)));
  // Four copies into three samples.
  copy.counted_source = false;
  plan = {{{1, 1}, 4.0, 0}};
  try {
    (void)simulate_with_recaptures(t, plan, 2, copy, f, rng);
    FAIL();
  } catch (const Error& e) {
    const RecaptureDetails& d = e.details<RecaptureDetails>();
    EXPECT_EQ(e.code(), ErrorCode::RecaptureCapacity);
    EXPECT_EQ(d.warning, 1);
    EXPECT_EQ(d.position, 4);
    EXPECT_EQ(d.first, 4);
    EXPECT_EQ(d.end, 7);
    EXPECT_EQ(d.plan_rows, 2);
    EXPECT_EQ(d.position_a, 4);
    EXPECT_EQ(d.position_b, 4);
  }
  // A negative row stops before any error draw.
  plan = {{{0, 0}, -2.0, 0}};
  EXPECT_FALSE(simulate_with_recaptures(t, plan, 1, copy, f, rng, on_row));
  EXPECT_EQ(seen.back(), -2);
}

}  // namespace
