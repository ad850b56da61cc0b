// The genotype table: samples with their names, scored loci and population,
// two allele values per locus (0 is a missing allele), and the populations as
// consecutive runs of samples.
#pragma once

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "tarvo/limits.h"

namespace tarvo {

// The set of loci a sample is scored at: bit k stands for locus k. Two samples
// are compared over the loci both are scored at. Loci 0 to 63 sit in one
// inline word, so that a panel of up to 64 loci costs a plain integer and
// never allocates; wider panels keep one more heap word per 64 loci. Masks
// are equal as sets: words of zeros past the end count as absent.
class LociMask {
 public:
  static constexpr int WORD = 64;

  constexpr LociMask() = default;
  // Loci 0 to 63 as the bits of first.
  constexpr LociMask(std::uint64_t first) : first_(first) {}  // NOLINT(google-explicit-constructor)

  [[nodiscard]] bool has(int locus) const {
    return ((word(locus / WORD) >> (locus % WORD)) & 1u) != 0;
  }
  void set(int locus);
  void reset(int locus) {
    if (locus < WORD)
      first_ &= ~(std::uint64_t{1} << locus);
    else if (std::size_t(locus / WORD) <= rest_.size())
      rest_[std::size_t(locus / WORD) - 1] &= ~(std::uint64_t{1} << (locus % WORD));
  }
  // Words 0 to words()-1 may hold loci; any word past them is 0.
  [[nodiscard]] int words() const { return 1 + int(rest_.size()); }
  [[nodiscard]] std::uint64_t word(int w) const {
    if (w == 0) return first_;
    return std::size_t(w) <= rest_.size() ? rest_[std::size_t(w) - 1] : 0;
  }
  [[nodiscard]] bool empty() const {
    if (first_ != 0) return false;
    for (const std::uint64_t w : rest_)
      if (w != 0) return false;
    return true;
  }
  [[nodiscard]] int count() const;
  // Calls f(k) for every locus k below end held by the mask, in ascending
  // order.
  template <typename F>
  void for_each(int end, F&& f) const {
    if (end <= 0) return;
    // The first word as a plain integer: all of a panel of up to 64 loci.
    std::uint64_t bits = end >= WORD ? first_ : first_ & ((std::uint64_t{1} << end) - 1);
    for (; bits != 0; bits &= bits - 1) f(std::countr_zero(bits));
    const int nwords = words();
    for (int w = 1; w < nwords && w * WORD < end; ++w) {
      for (bits = rest_[std::size_t(w) - 1]; bits != 0; bits &= bits - 1) {
        const int k = w * WORD + std::countr_zero(bits);
        if (k >= end) return;
        f(k);
      }
    }
  }

  LociMask& operator&=(const LociMask& other) {
    first_ &= other.first_;
    if (!rest_.empty()) and_rest(other);
    return *this;
  }
  LociMask& operator|=(const LociMask& other);
  friend LociMask operator&(const LociMask& a, const LociMask& b) {
    LociMask out(a.first_ & b.first_);
    if (!a.rest_.empty() && !b.rest_.empty()) [[unlikely]]
      out.and_of(a, b);
    return out;
  }
  friend LociMask operator|(LociMask a, const LociMask& b) { return a |= b; }
  friend bool operator==(const LociMask& a, const LociMask& b);
  [[nodiscard]] std::size_t hash() const;
  // Loci 0 to nloci-1.
  friend LociMask all_loci(int nloci);

 private:
  void and_rest(const LociMask& other);
  void and_of(const LociMask& a, const LociMask& b);

  std::uint64_t first_ = 0;
  std::vector<std::uint64_t> rest_;  // loci 64 and up, 64 per word
};

// Whether a and b share a locus, without building their intersection.
[[nodiscard]] inline bool intersects(const LociMask& a, const LociMask& b) {
  if ((a.word(0) & b.word(0)) != 0) return true;
  const int n = std::min(a.words(), b.words());
  for (int w = 1; w < n; ++w)
    if ((a.word(w) & b.word(w)) != 0) return true;
  return false;
}

[[nodiscard]] inline bool has_locus(const LociMask& mask, int locus) {
  return mask.has(locus);
}
[[nodiscard]] LociMask all_loci(int nloci);

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

// A sample's alleles live beside it and come and go with it: samples are
// only added with their alleles and dropped from the end, so a sample always
// has a row.
class GenotypeTable {
 public:
  GenotypeTable() = default;
  // nsamples unnamed samples scored at no locus, every allele 0.
  GenotypeTable(int nloci, int nsamples);

  [[nodiscard]] int loci() const { return nloci_; }
  [[nodiscard]] int size() const { return static_cast<int>(samples_.size()); }
  [[nodiscard]] const std::vector<Sample>& samples() const { return samples_; }
  [[nodiscard]] const Sample& sample(int s) const {
    assert(s >= 0 && s < size());
    return samples_[std::size_t(s)];
  }
  [[nodiscard]] Sample& sample(int s) {
    assert(s >= 0 && s < size());
    return samples_[std::size_t(s)];
  }
  // Alleles of sample s: locus k holds entries 2k and 2k+1.
  [[nodiscard]] std::int32_t* row(int s) {
    assert(s >= 0 && s < size());
    return alleles_.data() + std::size_t(s) * 2 * std::size_t(nloci_);
  }
  [[nodiscard]] const std::int32_t* row(int s) const {
    assert(s >= 0 && s < size());
    return alleles_.data() + std::size_t(s) * 2 * std::size_t(nloci_);
  }
  // Appends a sample with its two alleles per locus; returns its index.
  int add_sample(Sample sample, std::span<const std::int32_t> alleles);
  // Drops the last count samples with their alleles.
  void drop_last(int count);
  // The masks of every sample, in sample order.
  [[nodiscard]] std::vector<LociMask> masks() const;

  std::vector<std::string> locus_names;
  std::vector<Population> populations;

 private:
  int nloci_ = 0;
  std::vector<Sample> samples_;
  std::vector<std::int32_t> alleles_;
};

}  // namespace tarvo

template <>
struct std::hash<tarvo::LociMask> {
  std::size_t operator()(const tarvo::LociMask& m) const noexcept { return m.hash(); }
};
