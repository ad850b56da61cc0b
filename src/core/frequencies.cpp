// Allele frequencies counted from the genotypes, and the lookup by value.
#include "tarvo/frequencies.h"

#include <algorithm>

#include "tarvo/error.h"
#include "tarvo/limits.h"

namespace tarvo {

int LocusFrequencies::index_of(std::int32_t allele) const {
  const auto it = std::lower_bound(alleles.begin(), alleles.end(), allele);
  return (it != alleles.end() && *it == allele) ? int(it - alleles.begin()) : -1;
}

double FrequencyTable::frequency(int locus, std::int32_t allele) const {
  const LocusFrequencies& L = loci[std::size_t(locus)];
  const int index = L.index_of(allele);
  if (index < 0) {
    throw Error(ErrorCode::UnknownAllele,
                AlleleDetails{.allele = allele, .locus = locus, .locus_name = L.name});
  }
  return L.freqs[std::size_t(index)];
}

namespace {

// Runs of equal values of the sorted copies. The missing value 0 sorts
// first, so the missing count is known before the first scored frequency.
LocusFrequencies count_locus(std::string name, const std::vector<std::int32_t>& sorted,
                             int nsamples) {
  LocusFrequencies L;
  L.name = std::move(name);
  if (sorted.size() < 2) return L;
  std::size_t s = 0;
  while (s < sorted.size()) {
    const std::int32_t v = sorted[s];
    std::size_t e = s;
    while (e < sorted.size() && sorted[e] == v) ++e;
    const int m = int(e - s);
    double freq = 0.0;
    if (v == 0)
      L.missing = m;
    else
      freq = double(m) / double(2 * nsamples - L.missing);
    L.alleles.push_back(v);
    L.counts.push_back(m);
    L.freqs.push_back(freq);
    L.cumulative.push_back((L.cumulative.empty() ? 0.0 : L.cumulative.back()) + freq);
    s = e;
  }
  if (L.size() > NOA) {
    throw Error(ErrorCode::TooManyAlleles,
                LimitDetails{.count = L.size(), .limit = NOA, .locus = L.name});
  }
  return L;
}

}  // namespace

FrequencyTable count_frequencies(const GenotypeTable& table) {
  FrequencyTable out;
  const int n = table.size();
  std::vector<std::int32_t> values(std::size_t(2) * std::size_t(n));
  for (int k = 0; k < table.loci(); ++k) {
    // A locus missing in a sample counts as two missing copies whatever its
    // slots hold, so the table and the masks always agree.
    for (int i = 0; i < n; ++i) {
      const bool scored = has_locus(table.sample(i).loci, k);
      const std::int32_t* row = table.row(i);
      values[std::size_t(i)] = scored ? row[2 * k] : 0;
      values[std::size_t(n) + std::size_t(i)] = scored ? row[2 * k + 1] : 0;
    }
    std::sort(values.begin(), values.end());
    std::string name = std::size_t(k) < table.locus_names.size() ? table.locus_names[std::size_t(k)]
                                                                 : std::string();
    out.loci.push_back(count_locus(std::move(name), values, n));
  }
  return out;
}

}  // namespace tarvo
