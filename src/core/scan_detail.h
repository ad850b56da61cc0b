// The two ways of running the scan with self-comparisons, for the tests that
// hold one against the other.
#pragma once

#include "tarvo/scan.h"

namespace tarvo::detail {

// Draws each retyping from the generator as it comes, pair by pair: the
// reference, and the scan of tables holding alleles the frequencies lack.
[[nodiscard]] PairScan scan_pairs_one_by_one(const PairScorer& scorer, const ScanSettings& settings,
                                             Rng& rng);
// Reads the draws from blocks of generator outputs of chunk_states states
// each, generated on a thread of their own when settings.threads > 1.
[[nodiscard]] PairScan scan_pairs_in_blocks(const PairScorer& scorer, const ScanSettings& settings,
                                            Rng& rng, int chunk_states);

}  // namespace tarvo::detail
