// Missing-loci patterns: the distinct masks of a set of samples with their
// counts, and the ways simulated samples get their masks.
#pragma once

#include <span>
#include <vector>

#include "tarvo/genotypes.h"
#include "tarvo/keyed_rng.h"
#include "tarvo/rng.h"

namespace tarvo {

struct MissingPattern {
  LociMask mask = 0;
  int count = 0;
};

// Distinct masks in order of first appearance. Throws Error(TooManyPatterns)
// past PERM distinct masks unless unlimited (the fast mode: nothing but the
// check holds the patterns to PERM).
[[nodiscard]] std::vector<MissingPattern> tally_patterns(std::span<const LociMask> masks,
                                                         bool unlimited = false);

// Masks scored at each locus with probability score_percent / 100, redrawn
// until at least one locus is scored. Throws Error(NoLociRead) for no loci
// and Error(NoLocusScorable) for a percentage of 0 or less.
[[nodiscard]] std::vector<LociMask> random_masks(int nsamples, int nloci, int score_percent,
                                                 Rng& rng);
// Each sample takes the mask of a sample drawn from all of source; throws
// Error(NoSamplesRead) when source is empty.
[[nodiscard]] std::vector<LociMask> resample_masks(int nsamples, std::span<const LociMask> source,
                                                   Rng& rng);
// Each sample of table takes the mask of a sample of source drawn from the
// sample's own population (same boundaries as table's).
[[nodiscard]] std::vector<LociMask> resample_masks_by_population(const GenotypeTable& table,
                                                                 std::span<const LociMask> source,
                                                                 Rng& rng);

// The same three ways, each sample drawing from its own stream of `stage`
// (the fast mode): the same laws, other draws.
[[nodiscard]] std::vector<LociMask> random_masks(int nsamples, int nloci, int score_percent,
                                                 const KeyedDraws& draws, DrawStage stage);
[[nodiscard]] std::vector<LociMask> resample_masks(int nsamples, std::span<const LociMask> source,
                                                   const KeyedDraws& draws, DrawStage stage);
[[nodiscard]] std::vector<LociMask> resample_masks_by_population(const GenotypeTable& table,
                                                                 std::span<const LociMask> source,
                                                                 const KeyedDraws& draws,
                                                                 DrawStage stage);

}  // namespace tarvo
