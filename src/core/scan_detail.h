// The two ways of running the scan with self-comparisons, for the tests that
// hold one against the other.
#pragma once

#include <vector>

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
// The fast mode's scan: each row's draws from its own keyed stream, the rows
// in parts shared among settings.threads threads.
[[nodiscard]] PairScan scan_pairs_keyed(const PairScorer& scorer, const ScanSettings& settings);
// The first row of each part of rows 1..n-1 and, last, n: parts of about
// equal numbers of pairs, several per thread.
[[nodiscard]] std::vector<int> balanced_rows(int n, int threads);

}  // namespace tarvo::detail
