// Allele frequencies per locus, counted from a genotype table or read from a
// frequency file, and the lookup of an allele's frequency.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tarvo/genotypes.h"

namespace tarvo {

struct LocusFrequencies {
  std::string name;
  // Ascending allele values; a counted table starts with the missing value 0
  // (frequency 0) when any copy is missing.
  std::vector<std::int32_t> alleles;
  std::vector<int> counts;
  std::vector<double> freqs;
  std::vector<double> cumulative;  // running sum of freqs (scaled to end at 1 when read from file)
  int missing = 0;                 // copies missing (counted tables)
  [[nodiscard]] int size() const { return static_cast<int>(alleles.size()); }
  // Index of an allele value, or -1.
  [[nodiscard]] int index_of(std::int32_t allele) const;
};

struct FrequencyTable {
  std::vector<LocusFrequencies> loci;
  [[nodiscard]] int size() const { return static_cast<int>(loci.size()); }
  // Frequency of an allele value; throws Error(UnknownAllele) when the locus lacks it.
  [[nodiscard]] double frequency(int locus, std::int32_t allele) const;
};

// Counts every allele copy of the scored loci (a locus missing in a sample
// counts as two missing copies). Throws Error(TooManyAlleles) past NOA values.
[[nodiscard]] FrequencyTable count_frequencies(const GenotypeTable& table);

}  // namespace tarvo
