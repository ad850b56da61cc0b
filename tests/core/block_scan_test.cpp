// The block scans against drawing every retyping one by one: the same
// errors with the same draws, the same scans, and the generator left at the
// same place, wherever the blocks' edges fall.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/output_stream.h"
#include "core/retyping_walk.h"
#include "core/scan_detail.h"
#include "tarvo/cells.h"
#include "tarvo/frequencies.h"

namespace {

using tarvo::PairScorer;

struct Coverage {
  int at_chunk_start = 0;  // an error's first output opens a chunk
  int at_chunk_end = 0;    // an error's first output closes a chunk
  int across_chunks = 0;   // a pair's draws run into the next chunk
  int two_in_a_pair = 0;
  int extra_below = 0;  // a coin or an allele output is itself below the bound
};

// The errors of a pair of the given shared loci, drawn one output at a time,
// with the generator's count of outputs at each error.
struct Drawn {
  std::vector<PairScorer::Retyping> errors;
  std::vector<std::uint64_t> at;
};
Drawn drawn_errors(tarvo::Rng& rng, int shared, std::uint64_t bound) {
  Drawn out;
  for (int r = 0; r < 4 * shared; ++r) {
    const std::uint64_t at = rng.calls();
    if (rng.next_u32() >= bound) continue;
    const std::uint32_t coin = rng.next_u32();
    out.errors.push_back(PairScorer::Retyping{(r % (2 * shared)) / 2, r % 2, coin, rng.next_u32()});
    out.at.push_back(at);
  }
  return out;
}

void expect_same_errors(const tarvo::detail::RetypingWalk& walk, const Drawn& drawn, int pair) {
  const int count = walk.earlier_count() + walk.later_count();
  ASSERT_EQ(count, int(drawn.errors.size())) << pair;
  for (int e = 0; e < count; ++e) {
    const PairScorer::Retyping& got = walk.earlier_errors()[e];
    const PairScorer::Retyping& want = drawn.errors[std::size_t(e)];
    ASSERT_EQ(got.locus, want.locus) << pair;
    ASSERT_EQ(got.copy, want.copy) << pair;
    ASSERT_EQ(got.coin, want.coin) << pair;
    ASSERT_EQ(got.allele, want.allele) << pair;
  }
  // The earlier sample's copies draw first.
  for (int e = 0; e < walk.later_count(); ++e)
    ASSERT_EQ(walk.later_errors()[e].locus,
              drawn.errors[std::size_t(walk.earlier_count() + e)].locus);
}

// Walks pairs of 1 to 30 shared loci over three turns of the ring, the
// generator first moved on by offset outputs.
Coverage walk_against_draws(double rate, int offset, bool own_thread) {
  Coverage seen;
  tarvo::Rng rng(11), reference(11);
  rng.discard(std::uint64_t(offset));
  reference.discard(std::uint64_t(offset));
  const std::uint64_t bound = tarvo::retype_bound(rate);
  tarvo::detail::OutputStream stream(rng, own_thread, tarvo::detail::pair_reach(30), bound, 1);
  tarvo::detail::RetypingWalk walk(stream, 30);
  const std::uint64_t chunk = stream.chunk_words();
  // Stream positions count from the start of the generator state in use.
  const std::uint64_t base = stream.start() - std::uint64_t(offset);
  const std::uint64_t end = 3 * chunk * tarvo::detail::OutputStream::ring_chunks();
  for (int p = 0; walk.position() < end; ++p) {
    const int shared = 1 + p % 30;
    const std::uint64_t first = walk.position();
    const Drawn drawn = drawn_errors(reference, shared, bound);
    walk.pair(shared);
    expect_same_errors(walk, drawn, p);
    if (::testing::Test::HasFatalFailure()) break;
    EXPECT_EQ(walk.position(), base + reference.calls()) << p;
    for (std::size_t e = 0; e < drawn.at.size(); ++e) {
      const std::uint64_t at = base + drawn.at[e];
      seen.at_chunk_start += int(at % chunk == 0);
      seen.at_chunk_end += int(at % chunk == chunk - 1);
      const PairScorer::Retyping& r = drawn.errors[e];
      seen.extra_below += int(r.coin < bound || r.allele < bound);
    }
    seen.two_in_a_pair += int(drawn.errors.size() >= 2);
    seen.across_chunks += int(first / chunk != (walk.position() - 1) / chunk);
  }
  stream.finish(walk.position());
  EXPECT_EQ(rng.calls(), reference.calls());
  EXPECT_EQ(rng.next_u32(), reference.next_u32());
  return seen;
}

TEST(BlockScan, WalkFindsTheErrorsDrawingOneByOneFinds) {
  for (const bool own_thread : {false, true}) {
    Coverage all;
    for (const int offset : {0, 1, 623, 624, 625, 5000}) {
      const Coverage c = walk_against_draws(0.3, offset, own_thread);
      all.at_chunk_start += c.at_chunk_start;
      all.at_chunk_end += c.at_chunk_end;
      all.across_chunks += c.across_chunks;
      all.two_in_a_pair += c.two_in_a_pair;
      all.extra_below += c.extra_below;
    }
    // The cases the blocks could get wrong all happened.
    EXPECT_GT(all.at_chunk_start, 0);
    EXPECT_GT(all.at_chunk_end, 0);
    EXPECT_GT(all.across_chunks, 0);
    EXPECT_GT(all.two_in_a_pair, 0);
    EXPECT_GT(all.extra_below, 0);
  }
  // Errors never, rarely, always, and for a rate no draw is at or above.
  for (const double rate : {0.0, 0.01, 1.0, std::numeric_limits<double>::quiet_NaN()})
    (void)walk_against_draws(rate, 7, true);
}

// nloci loci of three alleles; every third sample typed at every locus, the
// others at random loci (some at none).
struct Panel {
  tarvo::FrequencyTable freqs;
  tarvo::GenotypeTable table;
};
Panel panel(int nloci, int n, std::uint32_t seed) {
  Panel p;
  tarvo::LocusFrequencies L;
  L.alleles = {10, 20, 30};
  L.freqs = {0.2, 0.3, 0.5};
  L.cumulative = {0.2, 0.5, 1.0};
  p.freqs.loci.assign(std::size_t(nloci), L);
  p.table = tarvo::GenotypeTable(nloci, n);
  p.table.populations = {{"P", 0, n}};
  tarvo::Rng draw(seed);
  for (int s = 0; s < n; ++s) {
    for (int c = 0; c < 2 * nloci; ++c) p.table.row(s)[c] = 10 * (1 + int(3 * draw.uniform()));
    for (int k = 0; k < nloci; ++k)
      if (s % 3 == 0 || draw.uniform() < 0.6) p.table.sample(s).loci.set(k);
  }
  return p;
}

void expect_same_scan(const tarvo::PairScan& got, const tarvo::PairScan& want) {
  for (int z = 0; z < tarvo::LEVELS; ++z) {
    ASSERT_EQ(got.levels[std::size_t(z)].matches, want.levels[std::size_t(z)].matches) << z;
    ASSERT_EQ(got.levels[std::size_t(z)].effective, want.levels[std::size_t(z)].effective) << z;
  }
  EXPECT_EQ(got.matches_beyond_kept, want.matches_beyond_kept);
  EXPECT_EQ(got.mismatches.comparable, want.mismatches.comparable);
  EXPECT_EQ(got.mismatches.mismatching, want.mismatches.mismatching);
  ASSERT_EQ(got.pairs.size(), want.pairs.size());
  for (std::size_t p = 0; p < want.pairs.size(); ++p) {
    ASSERT_EQ(got.pairs[p].later, want.pairs[p].later) << p;
    ASSERT_EQ(got.pairs[p].earlier, want.pairs[p].earlier) << p;
    ASSERT_EQ(got.pairs[p].llr, want.pairs[p].llr) << p;
    ASSERT_TRUE(got.pairs[p].loci == want.pairs[p].loci) << p;
  }
}

// Samples with some loci beside samples with all, on a panel of one mask
// word and on one of two; thresholds among the self-comparison scores so
// that the errors move them across levels. Parts on several threads merge
// into the same scan, with the PAIRS cap reached in a middle part.
TEST(BlockScan, ScansAsDrawingOneByOneDoes) {
  bool capped = false;
  struct Case {
    int nloci, samples;
    double top, step;  // thresholds from top down by step
  };
  // The last: low thresholds that every pair passes, past the PAIRS cap.
  for (const Case c : {Case{4, 150, 6.0, 0.24}, Case{70, 40, 90.0, 3.6}, Case{3, 160, 2.0, 0.5}}) {
    const Panel p = panel(c.nloci, c.samples, 5);
    const PairScorer scorer(p.table, p.freqs, 0.01);
    tarvo::ScanSettings s;
    for (int k = 0; k < tarvo::LEVELS; ++k) s.thresholds[std::size_t(k)] = c.top - c.step * k;
    s.false_positives.fill(0.5);
    s.count_mismatches = true;
    for (const double rate : {0.0, 0.01, 0.3, 1.0}) {
      s.retype_error = rate;
      s.threads = 1;
      tarvo::Rng one(9);
      one.discard(100);
      const tarvo::PairScan want = tarvo::detail::scan_pairs_one_by_one(scorer, s, one);
      capped = capped || want.matches_beyond_kept > 0;
      for (const int threads : {1, 2, 3, 8}) {
        s.threads = threads;
        for (const int chunk_states : {1, 16}) {
          tarvo::Rng rng(9);
          rng.discard(100);
          const tarvo::PairScan got =
              tarvo::detail::scan_pairs_in_blocks(scorer, s, rng, chunk_states);
          expect_same_scan(got, want);
          EXPECT_EQ(rng.calls(), one.calls()) << rate;
          EXPECT_EQ(rng.next_u32(), tarvo::Rng(one).next_u32()) << rate;
        }
      }
    }
  }
  EXPECT_TRUE(capped);
}

// The effective size of a cell as the self-comparisons drawn one by one
// give it, within a population and between two.
TEST(BlockScan, CellEffectiveSizesAsDrawingOneByOne) {
  Panel p = panel(4, 90, 6);
  p.table.populations = {{"P", 0, 50}, {"Q", 50, 90}};
  for (int s = 50; s < 90; ++s) p.table.sample(s).population = 1;
  const PairScorer scorer(p.table, p.freqs, 0.01);
  for (const double rate : {0.01, 0.3}) {
    for (const tarvo::PopulationPair cell : {tarvo::PopulationPair{0, 0}, {1, 0}}) {
      tarvo::Rng rng(4), one(4);
      const tarvo::EffectiveSize got = tarvo::effective_size(scorer, cell, 3.0, rate, rng);
      double g = 0;
      const tarvo::Population& later = p.table.populations[std::size_t(cell.later)];
      for (int i = later.first; i < later.end; ++i)
        for (int j = 0; j < (cell.later == 0 ? i : 50); ++j) {
          const tarvo::LociMask mask = p.table.sample(i).loci & p.table.sample(j).loci;
          if (mask.empty()) continue;
          const double self_j = scorer.self_score(j, mask, rate, one);
          const double self_i = scorer.self_score(i, mask, rate, one);
          g += 0.5 * (int(self_i > 3.0) + int(self_j > 3.0));
        }
      EXPECT_EQ(got.detectable, g) << rate;
      EXPECT_EQ(rng.calls(), one.calls()) << rate;
      EXPECT_EQ(rng.next_u32(), one.next_u32()) << rate;
    }
  }
}

}  // namespace

namespace {

tarvo::ScanSettings spread_levels(int nloci) {
  tarvo::ScanSettings s;
  const double top = nloci == 4 ? 6.0 : 90.0;
  for (int k = 0; k < tarvo::LEVELS; ++k) s.thresholds[std::size_t(k)] = top - top / 25 * k;
  s.false_positives.fill(0.5);
  return s;
}

// The fast scan draws from each row's own stream: the same scan on any
// number of threads, and the sequential generator left alone.
TEST(FastScan, SameScanOnAnyThreadCount) {
  for (const int nloci : {4, 70}) {
    const Panel p = panel(nloci, nloci == 4 ? 150 : 40, 5);
    const PairScorer scorer(p.table, p.freqs, 0.01);
    tarvo::ScanSettings s = spread_levels(nloci);
    s.count_mismatches = true;
    s.fast = true;
    s.key = tarvo::StreamKey{3, tarvo::DrawStage::ErrorScan, 2, 1};
    for (const double rate : {0.0, 0.01, 0.3, 1.0}) {
      s.retype_error = rate;
      s.threads = 1;
      tarvo::Rng rng(9);
      const tarvo::PairScan want = tarvo::scan_pairs(scorer, s, rng);
      EXPECT_EQ(rng.calls(), 0u);
      for (const int threads : {2, 3, 8}) {
        s.threads = threads;
        expect_same_scan(tarvo::scan_pairs(scorer, s, rng), want);
      }
    }
  }
}

// Without retyping errors nothing is drawn: the fast scan finds the pairs,
// the self-comparisons and the mismatch counts of the default scan exactly,
// on panels of one mask word and of two, and with low thresholds that every
// pair passes, past the PAIRS cap.
TEST(FastScan, WithoutErrorsScansAsTheDefaultScan) {
  for (const int nloci : {4, 70, 3}) {
    const Panel p = panel(nloci, nloci == 70 ? 40 : 160, 5);
    const PairScorer scorer(p.table, p.freqs, 0.01);
    tarvo::ScanSettings s = spread_levels(nloci);
    if (nloci == 3)
      for (int k = 0; k < tarvo::LEVELS; ++k) s.thresholds[std::size_t(k)] = 2.0 - 0.5 * k;
    s.count_mismatches = true;
    s.threads = 2;
    tarvo::Rng rng(5);
    const tarvo::PairScan want = tarvo::scan_pairs(scorer, s, rng);
    s.fast = true;
    expect_same_scan(tarvo::scan_pairs(scorer, s, rng), want);
  }
}

// Over several seeds, the fast and the default scans count about as many
// self-comparisons above each threshold, at error rates where the errors
// move them across levels, on a panel of 4 loci (where products of few loci
// leave the bounds open) and of 70; the pair scores draw nothing and are the
// same.
TEST(FastScan, AgreesWithTheDefaultScanInLaw) {
  for (const int nloci : {4, 70}) {
    const Panel p = panel(nloci, nloci == 4 ? 150 : 60, 5);
    const PairScorer scorer(p.table, p.freqs, 0.01);
    tarvo::ScanSettings s = spread_levels(nloci);
    for (const double rate : {0.05, 0.3}) {
      s.retype_error = rate;
      for (const int z : {10, 25, 40}) {
        double fast = 0, standard = 0;
        for (const std::uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
          tarvo::Rng rng(seed);
          s.fast = false;
          const tarvo::PairScan d = tarvo::scan_pairs(scorer, s, rng);
          s.fast = true;
          s.key.seed = seed;
          const tarvo::PairScan f = tarvo::scan_pairs(scorer, s, rng);
          EXPECT_EQ(f.levels[std::size_t(z)].matches, d.levels[std::size_t(z)].matches);
          standard += d.levels[std::size_t(z)].effective;
          fast += f.levels[std::size_t(z)].effective;
        }
        EXPECT_NEAR(fast / standard, 1.0, 0.03) << nloci << " " << rate << " " << z;
      }
    }
  }
}

}  // namespace
