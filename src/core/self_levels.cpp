// The fast mode's self-comparisons, counted sample by sample rather than
// pair by pair. Every pair gives each of its two samples a self-comparison
// over the loci the two share, with 2m retypings over m shared loci, each an
// error with probability e, independently of every other self-comparison.
// So the self-comparisons of sample s whose partners share m loci with it
// have errors of one law, Binomial(2m, e); as long as a bound on the product
// of any m of its factors shows that a few errors cannot move them off the
// highest level, how many keep that level is one binomial draw, and only the
// others (more errors) are drawn one by one: a partner among the group, its
// errors' places, coins and alleles. Where the bound cannot tell, the same is
// done for each pattern of missing loci apart, with its exact product.
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <unordered_map>

#include "core/parallel.h"
#include "core/scan_detail.h"
#include "tarvo/keyed_rng.h"
#include "tarvo/patterns.h"

namespace tarvo::detail {

namespace {

// The generator interface the standard distributions draw from.
struct StreamBits {
  using result_type = std::uint32_t;
  KeyedRng& rng;
  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return 0xffffffffu; }
  result_type operator()() { return rng.next_u32(); }
};

// Uniform in 0..n-1 without bias (multiply and reject).
std::uint32_t uniform_below(KeyedRng& rng, std::uint32_t n) {
  const std::uint32_t floor = (0u - n) % n;
  for (;;) {
    const std::uint64_t m = std::uint64_t(rng.next_u32()) * n;
    if (std::uint32_t(m) >= floor) return std::uint32_t(m >> 32);
  }
}

// The law of the errors of a self-comparison over m loci: tail(m, c) is the
// probability of more than c errors among its 2m retypings.
class ErrorLaw {
 public:
  ErrorLaw(double rate, int nloci) : tails_(std::size_t(nloci) + 1) {
    for (int m = 0; m <= nloci; ++m) tails_[std::size_t(m)] = tail_of(rate, 2 * m);
  }
  [[nodiscard]] double at_most(int m, int c) const { return 1 - tail(m, c); }
  [[nodiscard]] double tail(int m, int c) const {
    const std::vector<double>& t = tails_[std::size_t(m)];
    if (c < 0) return 1;
    return std::size_t(c) < t.size() ? t[std::size_t(c)] : 0;
  }
  // Errors given more than k, from v in (0, 1]: the first c > k with
  // tail(c) < v tail(k) has P(c > x | more than k) = tail(x) / tail(k).
  [[nodiscard]] int beyond(int m, int k, double v) const {
    const double target = v * tail(m, k);
    int c = k + 1;
    while (c < 2 * m && tail(m, c) >= target) ++c;
    return c;
  }

 private:
  // P(X > c) for X ~ Binomial(n, rate), c = 0.., summed from the top;
  // cut where it vanishes.
  static std::vector<double> tail_of(double rate, int n) {
    std::vector<double> pmf(std::size_t(n) + 1, 0);
    if (std::isnan(rate) || rate >= 1) {
      pmf[std::size_t(n)] = 1;
    } else if (!(rate > 0)) {
      pmf[0] = 1;
    } else {
      const double lr = std::log(rate), lq = std::log1p(-rate), ln = std::lgamma(n + 1.0);
      for (int c = 0; c <= n; ++c)
        pmf[std::size_t(c)] =
            std::exp(ln - std::lgamma(c + 1.0) - std::lgamma(n - c + 1.0) + c * lr + (n - c) * lq);
    }
    std::vector<double> tail(std::size_t(n) + 1, 0);
    double above = 0;
    for (int c = n; c >= 0; --c) {
      tail[std::size_t(c)] = above;
      above += pmf[std::size_t(c)];
    }
    while (tail.size() > 1 && tail.back() == 0 && tail[tail.size() - 2] == 0) tail.pop_back();
    return tail;
  }

  std::vector<std::vector<double>> tails_;
};

// Per sample: the least factor an error can leave over the largest of the
// sample's error-free factors, so each error multiplies a self-comparison's
// product by at least that ratio.
std::vector<double> retyping_ratios(const PairScorer& scorer) {
  const GenotypeTable& table = scorer.table();
  const double smallest = scorer.smallest_retyped_factor();
  std::vector<double> out(std::size_t(table.size()), 0);
  if (!(smallest > 0)) return out;
  for (int s = 0; s < table.size(); ++s) {
    double largest = 0;
    table.sample(s).loci.for_each(table.loci(), [&](int k) {
      double clear = 0;
      if (scorer.retyped_factor(s, k, nullptr, 0, clear)) largest = std::max(largest, clear);
    });
    out[std::size_t(s)] = largest > 0 ? std::min(1.0, smallest / largest) : 0;
  }
  return out;
}

// What every sample's count shares.
struct SharedParts {
  const PairScorer& scorer;
  const ProductLevels levels;
  const ErrorLaw law;
  std::vector<MissingPattern> patterns;
  std::vector<int> pattern_of;  // of each sample
  std::vector<double> ratio;    // of each sample
  double above = std::numeric_limits<double>::infinity();
  StreamKey key;
};

// Products at or above `above` score above the highest threshold.
double highest_product(const LevelTable& cut) {
  const double highest = *std::max_element(cut.begin(), cut.end());
  if (!std::isfinite(highest)) return std::numeric_limits<double>::infinity();
  return std::max(std::exp(highest) * (1 + 1e-6), PRODUCT_FLOOR);
}

// One sample's self-comparisons.
class SampleCount {
 public:
  SampleCount(const SharedParts& parts, SelfLevelCounts& out)
      : parts_(parts),
        table_(parts.scorer.table()),
        out_(out),
        group_(std::size_t(table_.loci()) + 1),
        first_(std::size_t(table_.loci()) + 2),
        next_(std::size_t(table_.loci()) + 1),
        shared_of_(parts.patterns.size()),
        order_(parts.patterns.size()),
        cumulative_(parts.patterns.size()),
        lowest_(std::size_t(table_.loci()) + 1),
        slots_(2 * std::size_t(table_.loci())),
        loci_(std::size_t(table_.loci())) {}

  void count(int s) {
    s_ = s;
    rng_.start(parts_.key, std::uint32_t(s));
    group_partners();
    lowest_products();
    for (int m = 1; m <= table_.loci(); ++m) {
      if (group_[std::size_t(m)] == 0) continue;
      const int k = errors_kept(lowest_[std::size_t(m)], m);
      if (k >= 0)
        settle(m, k, 0, first_[std::size_t(m)], first_[std::size_t(m) + 1]);
      else
        for (int at = first_[std::size_t(m)]; at < first_[std::size_t(m) + 1]; ++at)
          by_pattern(m, at);
    }
  }

 private:
  // Partners by loci shared (group_), and the patterns in order of loci
  // shared (order_), with the partners counted up to each (cumulative_).
  void group_partners() {
    const LociMask& own = parts_.patterns[std::size_t(parts_.pattern_of[std::size_t(s_)])].mask;
    std::fill(group_.begin(), group_.end(), 0);
    std::fill(first_.begin(), first_.end(), 0);
    for (std::size_t p = 0; p < parts_.patterns.size(); ++p) {
      const int m = (own & parts_.patterns[p].mask).count();
      shared_of_[p] = m;
      group_[std::size_t(m)] += partners(p);
      first_[std::size_t(m) + 1] += 1;
    }
    for (std::size_t m = 1; m < first_.size(); ++m) first_[m] += first_[m - 1];
    std::copy(first_.begin(), first_.end() - 1, next_.begin());
    for (std::size_t p = 0; p < parts_.patterns.size(); ++p)
      order_[std::size_t(next_[std::size_t(shared_of_[p])]++)] = int(p);
    std::int64_t total = 0;
    for (std::size_t at = 0; at < order_.size(); ++at) {
      if (at > 0 && shared_of_[std::size_t(order_[at])] != shared_of_[std::size_t(order_[at - 1])])
        total = 0;
      total += partners(std::size_t(order_[at]));
      cumulative_[at] = total;
    }
  }

  [[nodiscard]] std::int64_t partners(std::size_t p) const {
    const bool own = int(p) == parts_.pattern_of[std::size_t(s_)];
    return parts_.patterns[p].count - (own ? 1 : 0);
  }

  // lowest_[m]: below the product of any m of the sample's factors.
  void lowest_products() {
    std::vector<double>& f = factors_;
    f.clear();
    table_.sample(s_).loci.for_each(table_.loci(),
                                    [&](int k) { f.push_back(parts_.scorer.own_factor(s_, k)); });
    std::sort(f.begin(), f.end());
    double product = 1;
    lowest_[0] = 1;
    for (std::size_t m = 1; m < lowest_.size(); ++m) {
      if (m <= f.size()) product *= f[m - 1];
      lowest_[m] = product * (1 - 1e-9);
    }
  }

  // The most errors that surely leave a product of m loci at the highest
  // level; -1 when even none may not.
  [[nodiscard]] int errors_kept(double product, int m) const {
    const double ratio = parts_.ratio[std::size_t(s_)];
    if (!(product >= parts_.above)) return -1;
    int c = 0;
    while (c < 2 * m && product * ratio >= parts_.above) {
      product *= ratio;
      ++c;
    }
    return c;
  }

  // The exact product of one pattern's self-comparisons, for groups the
  // bound leaves open.
  void by_pattern(int m, int at) {
    const auto p = std::size_t(order_[std::size_t(at)]);
    if (partners(p) == 0) return;
    (void)shared_loci(p);
    const double product = retyped_product(m, 0);
    const int k = errors_kept(product, m);
    if (k >= 0)
      settle(m, k, 0, at, at + 1);
    else
      settle(m, 0, parts_.levels.first_exceeded(product), at, at + 1);
  }

  // The self-comparisons with partners of patterns order_[from..end): those
  // with at most k errors are at level `level`, the others drawn one by one.
  void settle(int m, int k, int level, int from, int end) {
    const std::int64_t before =
        from > first_[std::size_t(m)] ? cumulative_[std::size_t(from) - 1] : 0;
    const std::int64_t group = cumulative_[std::size_t(end) - 1] - before;
    if (group == 0) return;
    StreamBits bits{rng_};
    const double kept = parts_.law.at_most(m, k);
    const std::int64_t settled =
        kept >= 1 ? group : std::binomial_distribution<std::int64_t>(group, kept)(bits);
    out_[std::size_t(level)] += settled;
    for (std::int64_t r = settled; r < group; ++r) {
      const std::int64_t pick = before + std::int64_t(uniform_below(rng_, std::uint32_t(group)));
      const auto it = std::upper_bound(cumulative_.begin() + from, cumulative_.begin() + end, pick);
      const auto p = std::size_t(order_[std::size_t(it - cumulative_.begin())]);
      const int errors = parts_.law.beyond(m, k, 1 - rng_.uniform());
      const int shared = shared_loci(p);
      out_[std::size_t(parts_.levels.first_exceeded(retyped_product(shared, errors)))] += 1;
    }
  }

  // The loci the sample shares with pattern p, into loci_; returns how many.
  int shared_loci(std::size_t p) {
    int m = 0;
    (parts_.patterns[std::size_t(parts_.pattern_of[std::size_t(s_)])].mask &
     parts_.patterns[p].mask)
        .for_each(table_.loci(), [&](int k) { loci_[std::size_t(m++)] = k; });
    return m;
  }

  // The self-comparison's product over the m loci of loci_ with errors at
  // as many of its 2m retypings, drawn uniformly, each with its coin and
  // allele drawn in the order of the retypings.
  double retyped_product(int m, int errors) {
    std::fill(slots_.begin(), slots_.begin() + 2 * m, 0);
    for (int j = 2 * m - errors; j < 2 * m; ++j) {  // Floyd's sample of `errors` slots
      const auto t = std::size_t(uniform_below(rng_, std::uint32_t(j + 1)));
      slots_[slots_[t] ? std::size_t(j) : t] = 1;
    }
    double product = 1;
    for (int t = 0; t < m; ++t) {
      const int k = loci_[std::size_t(t)];
      double f = parts_.scorer.own_factor(s_, k);
      PairScorer::Retyping found[2];
      int count = 0;
      for (int copy = 0; copy < 2; ++copy)
        if (slots_[2 * std::size_t(t) + std::size_t(copy)]) {
          const std::uint32_t coin = rng_.next_u32();
          found[count++] = PairScorer::Retyping{t, copy, coin, rng_.next_u32()};
        }
      double retyped = 0;
      if (count > 0 && parts_.scorer.retyped_factor(s_, k, found, count, retyped)) f = retyped;
      product *= f;
    }
    return product;
  }

  const SharedParts& parts_;
  const GenotypeTable& table_;
  SelfLevelCounts& out_;
  KeyedRng rng_;
  int s_ = 0;
  std::vector<std::int64_t> group_;  // partners by loci shared
  std::vector<int> first_;           // of each count of loci shared in order_
  std::vector<int> next_;
  std::vector<int> shared_of_, order_;
  std::vector<std::int64_t> cumulative_;
  std::vector<double> lowest_, factors_;
  std::vector<char> slots_;
  std::vector<int> loci_;
};

}  // namespace

SelfLevelCounts count_self_levels(const PairScorer& scorer, const ScanSettings& settings) {
  const GenotypeTable& table = scorer.table();
  const int n = table.size();
  SharedParts parts{scorer,
                    ProductLevels(settings.thresholds),
                    ErrorLaw(settings.retype_error, table.loci()),
                    {},
                    std::vector<int>(std::size_t(n)),
                    retyping_ratios(scorer),
                    highest_product(settings.thresholds),
                    settings.key};
  std::vector<LociMask> masks = table.masks();
  const LociMask all = all_loci(table.loci());
  for (LociMask& m : masks) m &= all;
  parts.patterns = tally_patterns(masks, true);
  std::unordered_map<LociMask, int> index;
  for (std::size_t p = 0; p < parts.patterns.size(); ++p)
    index.emplace(parts.patterns[p].mask, int(p));
  for (int s = 0; s < n; ++s) parts.pattern_of[std::size_t(s)] = index.at(masks[std::size_t(s)]);
  constexpr int SAMPLES_PER_ITEM = 64;
  const int items = (n + SAMPLES_PER_ITEM - 1) / SAMPLES_PER_ITEM;
  std::vector<SelfLevelCounts> counts(std::size_t(std::max(1, items)), SelfLevelCounts{});
  (void)parallel_for(settings.threads, items, [&](int, int item) {
    SampleCount sample(parts, counts[std::size_t(item)]);
    const int end = std::min(n, (item + 1) * SAMPLES_PER_ITEM);
    for (int s = item * SAMPLES_PER_ITEM; s < end; ++s) sample.count(s);
  });
  SelfLevelCounts out{};
  for (const SelfLevelCounts& c : counts)
    for (std::size_t z = 0; z < out.size(); ++z) out[z] += c[z];
  return out;
}

}  // namespace tarvo::detail
