#include "tarvo/frequencies.h"

#include <gtest/gtest.h>

#include "tarvo/error.h"

namespace {

using tarvo::GenotypeTable;

// Two loci, three samples; the third is not scored at locus 1 (its slots
// hold leftovers that must not be counted).
GenotypeTable tiny() {
  GenotypeTable t(2, 3);
  t.locus_names = {"L1", "L2"};
  const std::int32_t rows[3][4] = {{12, 10, 5, 5}, {10, 10, 7, 5}, {12, 14, 99, 99}};
  for (int s = 0; s < 3; ++s) {
    for (int c = 0; c < 4; ++c) t.row(s)[c] = rows[s][c];
    t.sample(s).loci = s == 2 ? 0x1u : 0x3u;
  }
  return t;
}

TEST(Frequencies, CountsWithMissingValueFirst) {
  const tarvo::FrequencyTable f = tarvo::count_frequencies(tiny());
  ASSERT_EQ(f.size(), 2);
  const tarvo::LocusFrequencies& a = f.loci[0];
  EXPECT_EQ(a.name, "L1");
  EXPECT_EQ(a.alleles, (std::vector<std::int32_t>{10, 12, 14}));
  EXPECT_EQ(a.counts, (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(a.missing, 0);
  EXPECT_DOUBLE_EQ(a.freqs[0], 0.5);
  EXPECT_DOUBLE_EQ(a.cumulative[2], 1.0);

  const tarvo::LocusFrequencies& b = f.loci[1];
  EXPECT_EQ(b.alleles, (std::vector<std::int32_t>{0, 5, 7}));
  EXPECT_EQ(b.counts, (std::vector<int>{2, 3, 1}));
  EXPECT_EQ(b.missing, 2);
  EXPECT_EQ(b.freqs, (std::vector<double>{0.0, 0.75, 0.25}));
  EXPECT_EQ(b.cumulative, (std::vector<double>{0.0, 0.75, 1.0}));
  EXPECT_DOUBLE_EQ(f.frequency(1, 7), 0.25);
}

TEST(Frequencies, UnknownAlleleAndTooManyAlleles) {
  const tarvo::FrequencyTable f = tarvo::count_frequencies(tiny());
  try {
    (void)f.frequency(1, 6);
    FAIL();
  } catch (const tarvo::Error& e) {
    EXPECT_EQ(e.code(), tarvo::ErrorCode::UnknownAllele);
    EXPECT_EQ(e.details<tarvo::AlleleDetails>().allele, 6);
    EXPECT_EQ(e.details<tarvo::AlleleDetails>().locus, 1);
    EXPECT_EQ(e.details<tarvo::AlleleDetails>().locus_name, "L2");
  }

  const int n = tarvo::NOA / 2 + 1;  // 2n distinct values
  GenotypeTable t(1, n);
  for (int s = 0; s < n; ++s) {
    t.row(s)[0] = 2 * s + 1;
    t.row(s)[1] = 2 * s + 2;
    t.sample(s).loci = 1;
  }
  try {
    (void)tarvo::count_frequencies(t);
    FAIL();
  } catch (const tarvo::Error& e) {
    EXPECT_EQ(e.code(), tarvo::ErrorCode::TooManyAlleles);
    EXPECT_EQ(e.details<tarvo::LimitDetails>().count, 2 * n);
  }
}

}  // namespace
