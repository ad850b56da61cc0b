#include "tarvo/genotypes.h"

namespace tarvo {

GenotypeTable::GenotypeTable(int nloci, int nsamples)
    : samples(std::size_t(nsamples)),
      nloci_(nloci),
      alleles_(std::size_t(nsamples) * 2 * std::size_t(nloci), 0) {}

void GenotypeTable::resize(int nsamples) {
  samples.resize(std::size_t(nsamples));
  alleles_.resize(std::size_t(nsamples) * 2 * std::size_t(nloci_), 0);
}

std::vector<LociMask> GenotypeTable::masks() const {
  std::vector<LociMask> out;
  out.reserve(samples.size());
  for (const Sample& s : samples) out.push_back(s.loci);
  return out;
}

}  // namespace tarvo
