// Missing-loci patterns and the masks of simulated samples.
#include "tarvo/patterns.h"

#include <algorithm>
#include <unordered_map>

#include "core/parallel.h"
#include "tarvo/error.h"
#include "tarvo/limits.h"

namespace tarvo {

std::vector<MissingPattern> tally_patterns(std::span<const LociMask> masks, bool unlimited) {
  std::vector<MissingPattern> out;
  std::unordered_map<LociMask, std::size_t> where;
  for (const LociMask& mask : masks) {
    const auto [it, added] = where.try_emplace(mask, out.size());
    if (!added) {
      out[it->second].count += 1;
      continue;
    }
    if (!unlimited && int(out.size()) >= PERM) {
      throw Error(ErrorCode::TooManyPatterns,
                  LimitDetails{.count = std::int64_t(out.size()) + 1, .limit = PERM});
    }
    out.push_back(MissingPattern{mask, 1});
  }
  return out;
}

namespace {

// A mask scored at each locus with probability keep, redrawn until a locus is.
template <typename Draws>
LociMask random_mask(int nloci, double keep, Draws& rng) {
  const LociMask full = all_loci(nloci);
  LociMask mask;
  do {
    mask = full;
    for (int k = 0; k < nloci; ++k)
      if (rng.uniform() > keep) mask.reset(k);
  } while (mask.empty());
  return mask;
}

// The source sample a uniform u picks among nsrc.
int any_source_sample(int nsrc, double u) {
  return static_cast<int>(nsrc * u);
}

// The source sample a uniform u picks in the population of sample i.
int source_sample_in_population(const GenotypeTable& table, int i, double u) {
  const Population& p = table.populations[std::size_t(table.sample(i).population)];
  const double lo = p.first, hi = p.end;
  return static_cast<int>(lo + u * (hi - lo));
}

// Masks are redrawn until a locus is scored: without a locus, or with no
// chance of scoring one, that would never end.
void check_scorable(int nloci, int score_percent) {
  if (nloci <= 0) throw Error(ErrorCode::NoLociRead);
  if (score_percent <= 0) throw Error(ErrorCode::NoLocusScorable);
}

}  // namespace

std::vector<LociMask> random_masks(int nsamples, int nloci, int score_percent, Rng& rng) {
  check_scorable(nloci, score_percent);
  std::vector<LociMask> out(std::size_t(std::max(nsamples, 0)));
  for (LociMask& mask : out) mask = random_mask(nloci, score_percent / 100.0, rng);
  return out;
}

std::vector<LociMask> random_masks(int nsamples, int nloci, int score_percent,
                                   const KeyedDraws& draws, DrawStage stage) {
  check_scorable(nloci, score_percent);
  std::vector<LociMask> out(std::size_t(std::max(nsamples, 0)));
  detail::for_each_row(draws.threads, nsamples, [&](int i) {
    KeyedRng rng(draws.key(stage), std::uint32_t(i));
    out[std::size_t(i)] = random_mask(nloci, score_percent / 100.0, rng);
  });
  return out;
}

std::vector<LociMask> resample_masks(int nsamples, std::span<const LociMask> source,
                                     const KeyedDraws& draws, DrawStage stage) {
  const int nsrc = int(source.size());
  if (nsrc == 0 && nsamples > 0) throw Error(ErrorCode::NoSamplesRead);
  std::vector<LociMask> out(std::size_t(std::max(nsamples, 0)));
  detail::for_each_row(draws.threads, nsamples, [&](int i) {
    KeyedRng rng(draws.key(stage), std::uint32_t(i));
    out[std::size_t(i)] = source[std::size_t(any_source_sample(nsrc, rng.uniform()))];
  });
  return out;
}

std::vector<LociMask> resample_masks_by_population(const GenotypeTable& table,
                                                   std::span<const LociMask> source,
                                                   const KeyedDraws& draws, DrawStage stage) {
  std::vector<LociMask> out(std::size_t(table.size()));
  detail::for_each_row(draws.threads, int(out.size()), [&](int i) {
    KeyedRng rng(draws.key(stage), std::uint32_t(i));
    out[std::size_t(i)] = source[std::size_t(source_sample_in_population(table, i, rng.uniform()))];
  });
  return out;
}

std::vector<LociMask> resample_masks(int nsamples, std::span<const LociMask> source, Rng& rng) {
  const int nsrc = int(source.size());
  if (nsrc == 0 && nsamples > 0) throw Error(ErrorCode::NoSamplesRead);
  std::vector<LociMask> out(std::size_t(std::max(nsamples, 0)));
  for (LociMask& mask : out) mask = source[std::size_t(any_source_sample(nsrc, rng.uniform()))];
  return out;
}

std::vector<LociMask> resample_masks_by_population(const GenotypeTable& table,
                                                   std::span<const LociMask> source, Rng& rng) {
  std::vector<LociMask> out(std::size_t(table.size()));
  for (int i = 0; i < table.size(); ++i)
    out[std::size_t(i)] = source[std::size_t(source_sample_in_population(table, i, rng.uniform()))];
  return out;
}

}  // namespace tarvo
