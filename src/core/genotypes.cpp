#include "tarvo/genotypes.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <utility>

namespace tarvo {

void LociMask::set(int locus) {
  if (locus < WORD) {
    first_ |= std::uint64_t{1} << locus;
    return;
  }
  const auto w = std::size_t(locus / WORD);
  if (rest_.size() < w) rest_.resize(w, 0);
  rest_[w - 1] |= std::uint64_t{1} << (locus % WORD);
}

int LociMask::count() const {
  int n = std::popcount(first_);
  for (const std::uint64_t w : rest_) n += std::popcount(w);
  return n;
}

LociMask& LociMask::operator|=(const LociMask& other) {
  first_ |= other.first_;
  if (rest_.size() < other.rest_.size()) rest_.resize(other.rest_.size(), 0);
  for (std::size_t w = 0; w < other.rest_.size(); ++w) rest_[w] |= other.rest_[w];
  return *this;
}

void LociMask::and_rest(const LociMask& other) {
  for (std::size_t w = 0; w < rest_.size(); ++w) rest_[w] &= other.word(int(w) + 1);
}

void LociMask::and_of(const LociMask& a, const LociMask& b) {
  rest_.resize(std::min(a.rest_.size(), b.rest_.size()));
  for (std::size_t w = 0; w < rest_.size(); ++w) rest_[w] = a.rest_[w] & b.rest_[w];
}

bool operator==(const LociMask& a, const LociMask& b) {
  const int n = std::max(a.words(), b.words());
  for (int w = 0; w < n; ++w)
    if (a.word(w) != b.word(w)) return false;
  return true;
}

std::size_t LociMask::hash() const {
  // Trailing words of zeros are left out, as equality ignores them.
  std::size_t last = rest_.size();
  while (last > 0 && rest_[last - 1] == 0) --last;
  std::size_t h = std::hash<std::uint64_t>{}(first_);
  for (std::size_t w = 0; w < last; ++w)
    h ^= std::hash<std::uint64_t>{}(rest_[w]) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  return h;
}

LociMask all_loci(int nloci) {
  LociMask out;
  if (nloci <= 0) return out;
  const auto words = std::size_t(nloci - 1) / LociMask::WORD + 1;
  out.rest_.assign(words - 1, ~std::uint64_t{0});
  std::uint64_t& last = words == 1 ? out.first_ : out.rest_.back();
  const int in_last = nloci - int(words - 1) * LociMask::WORD;
  last = in_last == LociMask::WORD ? ~std::uint64_t{0} : (std::uint64_t{1} << in_last) - 1;
  if (words > 1) out.first_ = ~std::uint64_t{0};
  return out;
}

GenotypeTable::GenotypeTable(int nloci, int nsamples)
    : nloci_(nloci),
      samples_(std::size_t(nsamples)),
      alleles_(std::size_t(nsamples) * 2 * std::size_t(nloci), 0) {}

int GenotypeTable::add_sample(Sample sample, std::span<const std::int32_t> alleles) {
  assert(alleles.size() == 2 * std::size_t(nloci_));
  // The row is exactly two alleles per locus whatever the caller passed, so
  // the rows keep matching the samples.
  const std::size_t width = 2 * std::size_t(nloci_);
  const std::size_t start = alleles_.size();
  alleles_.resize(start + width, 0);
  std::copy_n(alleles.begin(), std::min(width, alleles.size()),
              alleles_.begin() + std::ptrdiff_t(start));
  samples_.push_back(std::move(sample));
  return size() - 1;
}

void GenotypeTable::drop_last(int count) {
  const auto keep = std::size_t(std::max(0, size() - count));
  samples_.resize(keep);
  alleles_.resize(keep * 2 * std::size_t(nloci_));
}

std::vector<LociMask> GenotypeTable::masks() const {
  std::vector<LociMask> out;
  out.reserve(samples_.size());
  for (const Sample& s : samples_) out.push_back(s.loci);
  return out;
}

}  // namespace tarvo
