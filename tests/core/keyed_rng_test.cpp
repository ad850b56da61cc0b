// The fast mode's draws: Philox against its published answers, the gap
// sampler against one Bernoulli draw per retyping, and the keyed scan's
// independence of the thread count.
#include "tarvo/keyed_rng.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using tarvo::DrawStage;
using tarvo::ErrorGaps;
using tarvo::KeyedRng;
using tarvo::PhiloxCounter;
using tarvo::StreamKey;

// The known-answer vectors of the Random123 distribution for philox4x32_10.
TEST(Philox, MatchesPublishedKnownAnswers) {
  EXPECT_EQ(tarvo::philox4x32_10({0, 0, 0, 0}, {0, 0}),
            (PhiloxCounter{0x6627e8d5, 0xe169c58d, 0xbc57ac4c, 0x9b00dbd8}));
  EXPECT_EQ(tarvo::philox4x32_10({0xffffffff, 0xffffffff, 0xffffffff, 0xffffffff},
                                 {0xffffffff, 0xffffffff}),
            (PhiloxCounter{0x408f276d, 0x41c83b0e, 0xa20bc7c6, 0x6d5451fd}));
  EXPECT_EQ(tarvo::philox4x32_10({0x243f6a88, 0x85a308d3, 0x13198a2e, 0x03707344},
                                 {0xa4093822, 0x299f31d0}),
            (PhiloxCounter{0xd16cfe09, 0x94fdcceb, 0x5001e420, 0x24126ea1}));
}

TEST(KeyedRng, EveryRowRunStageAndSeedHasItsOwnStream) {
  const StreamKey key{7, DrawStage::ErrorScan, 3, 1};
  KeyedRng a(key, 5), again(key, 5);
  std::vector<std::uint32_t> first;
  for (int k = 0; k < 9; ++k) first.push_back(a.next_u32());
  for (int k = 0; k < 9; ++k) EXPECT_EQ(again.next_u32(), first[std::size_t(k)]);
  const StreamKey others[] = {{8, DrawStage::ErrorScan, 3, 1},
                              {7, DrawStage::ReferenceScan, 3, 1},
                              {7, DrawStage::ErrorScan, 4, 1},
                              {7, DrawStage::ErrorScan, 3, 2}};
  for (const StreamKey& other : others) {
    KeyedRng b(other, 5);
    EXPECT_NE(b.next_u32(), first[0]);
  }
  KeyedRng next_row(key, 6);
  EXPECT_NE(next_row.next_u32(), first[0]);
}

// Errors among `retypings` retypings, by the gaps.
std::vector<int> errors_by_gaps(double rate, int retypings, int trials, std::uint32_t seed) {
  const ErrorGaps gaps(rate);
  std::vector<int> out;
  for (int t = 0; t < trials; ++t) {
    KeyedRng rng(StreamKey{seed, DrawStage::ReferenceScan, 0, 0}, std::uint32_t(t));
    int errors = 0;
    for (std::int64_t at = gaps.next(rng); at < retypings; at += gaps.next(rng) + 1) ++errors;
    out.push_back(errors);
  }
  return out;
}

// Mean and variance of the error count agree with the binomial law of one
// Bernoulli draw per retyping, over the rates a run may use.
TEST(ErrorGaps, CountsFollowTheBinomialLaw) {
  constexpr int RETYPINGS = 120, TRIALS = 40000;
  for (const double rate : {0.001, 0.01, 0.05, 0.1, 0.2}) {
    const std::vector<int> counts = errors_by_gaps(rate, RETYPINGS, TRIALS, 11);
    double sum = 0, sumsq = 0;
    for (int c : counts) {
      sum += c;
      sumsq += double(c) * c;
    }
    const double mean = sum / TRIALS, var = sumsq / TRIALS - mean * mean;
    const double mu = RETYPINGS * rate, sigma2 = mu * (1 - rate);
    EXPECT_NEAR(mean, mu, 4 * std::sqrt(sigma2 / TRIALS)) << rate;
    // The variance of a sample variance is about 2 sigma^4 / n (plus the
    // fourth cumulant), well inside a fifth of sigma^2 here.
    EXPECT_NEAR(var, sigma2, 0.05 * sigma2 + 6 * std::sqrt(2.0 / TRIALS) * sigma2) << rate;
  }
}

// The distribution of the count per block of retypings matches the
// Bernoulli draws' own, by a chi-square over the counts 0..4 and more.
TEST(ErrorGaps, CountsPerBlockPassAChiSquareAgainstBernoulliDraws) {
  constexpr int RETYPINGS = 40, TRIALS = 20000, CLASSES = 5;
  constexpr double RATE = 0.05;
  const std::vector<int> by_gaps = errors_by_gaps(RATE, RETYPINGS, TRIALS, 3);
  std::vector<double> gaps(CLASSES, 0), bernoulli(CLASSES, 0);
  for (int c : by_gaps) gaps[std::size_t(std::min(c, CLASSES - 1))] += 1;
  for (int t = 0; t < TRIALS; ++t) {
    KeyedRng rng(StreamKey{3, DrawStage::ErrorPlan, 0, 0}, std::uint32_t(t));
    int c = 0;
    for (int k = 0; k < RETYPINGS; ++k) c += rng.uniform() < RATE ? 1 : 0;
    bernoulli[std::size_t(std::min(c, CLASSES - 1))] += 1;
  }
  // Two samples of equal size: chi-square with CLASSES - 1 degrees of freedom.
  double chi2 = 0;
  for (int k = 0; k < CLASSES; ++k) {
    const double a = gaps[std::size_t(k)], b = bernoulli[std::size_t(k)];
    if (a + b > 0) chi2 += (a - b) * (a - b) / (a + b);
  }
  EXPECT_LT(chi2, 18.47);  // the 0.1 % point of chi-square with 4 degrees of freedom
  EXPECT_GT(gaps[0], 0);
}

TEST(ErrorGaps, RatesAtTheEndsErrNeverOrAlways) {
  KeyedRng rng(StreamKey{}, 0);
  EXPECT_EQ(ErrorGaps(0).next(rng), ErrorGaps::NEVER);
  EXPECT_EQ(ErrorGaps(-1).next(rng), ErrorGaps::NEVER);
  EXPECT_EQ(ErrorGaps(1).next(rng), 0);
  EXPECT_EQ(ErrorGaps(std::nan("")).next(rng), 0);
  // The smallest uniform gives a long gap, never a negative one.
  for (int k = 0; k < 1000; ++k) EXPECT_GE(ErrorGaps(0.999).next(rng), 0);
}

}  // namespace
