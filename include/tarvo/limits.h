// Capacities of a run. Each can be raised at configure time
// (cmake -DTARVO_PAIRS=20000 ...), which writes them into tarvo/config.h; the
// messages that report an overflow name the limit and the value in force.
// Loci per sample, line lengths and sample names have no limit: only memory
// bounds them.
#pragma once

#include "tarvo/config.h"

namespace tarvo {

inline constexpr int NOA = TARVO_NOA;      // distinct alleles per locus, the missing value included
inline constexpr int ANIM = TARVO_ANIM;    // samples
inline constexpr int BLOCK = TARVO_BLOCK;  // populations
// Characters of a locus name. Not a buffer size: a longer "name" is almost
// always a sample line read as locus names (a GENEPOP file whose separator
// is missing), and the message says so.
inline constexpr int SOL = TARVO_SOL;
inline constexpr int PERM = TARVO_PERM;    // distinct missing-loci patterns
inline constexpr int PAIRS = TARVO_PAIRS;  // stored match pairs of one scan
inline constexpr int LEVELS = 50;          // false-positive levels
inline constexpr int MAX_SETS = 1000;      // largest number of calibration sets
inline constexpr int POPNAME = 79;         // characters kept of a population name
inline constexpr int MAX_THREADS = 1024;   // largest -t

static_assert(NOA >= 2 && NOA <= 255, "allele indices are kept in one byte");

inline constexpr const char* VERSION = "TARVO Version 2.00";
// The score of a pair whose product of factors underflows: any product
// below PRODUCT_FLOOR.
inline constexpr double FLOOR_LLR = -9999999.0;
inline constexpr double PRODUCT_FLOOR = 1e-200;
// In the estimation code a double counts as non-zero above this.
inline constexpr double TINY = 1e-200;

}  // namespace tarvo
