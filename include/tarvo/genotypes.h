// The genotype table: samples with their names, scored loci and population,
// two allele values per locus (0 is a missing allele), and the populations as
// consecutive runs of samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tarvo/limits.h"

namespace tarvo {

// The set of loci a sample is scored at: bit k stands for locus k. Two samples
// are compared over the loci both are scored at.
using LociMask = std::uint32_t;

[[nodiscard]] inline bool has_locus(LociMask mask, int locus) {
  return ((mask >> locus) & 1u) != 0;
}
// Loci 0 to nloci-1.
[[nodiscard]] inline LociMask all_loci(int nloci) {
  return nloci >= 32 ? 0xffffffffu : ((1u << nloci) - 1u);
}

struct Sample {
  std::string name;
  LociMask loci = 0;
  int population = 0;  // index into GenotypeTable::populations
};

struct Population {
  std::string name;
  int first = 0;  // first sample
  int end = 0;    // one past the last sample
  [[nodiscard]] int size() const { return end - first; }
};

class GenotypeTable {
 public:
  GenotypeTable() = default;
  // nsamples unnamed samples scored at no locus, every allele 0.
  GenotypeTable(int nloci, int nsamples);

  [[nodiscard]] int loci() const { return nloci_; }
  [[nodiscard]] int size() const { return static_cast<int>(samples.size()); }
  // Alleles of sample s: locus k holds entries 2k and 2k+1.
  [[nodiscard]] std::int32_t* row(int s) { return alleles_.data() + std::size_t(s) * 2 * nloci_; }
  [[nodiscard]] const std::int32_t* row(int s) const {
    return alleles_.data() + std::size_t(s) * 2 * nloci_;
  }
  // Grows or shrinks the sample list; new samples are empty.
  void resize(int nsamples);
  // The masks of every sample, in sample order.
  [[nodiscard]] std::vector<LociMask> masks() const;

  std::vector<std::string> locus_names;
  std::vector<Sample> samples;
  std::vector<Population> populations;

 private:
  int nloci_ = 0;
  std::vector<std::int32_t> alleles_;
};

}  // namespace tarvo
