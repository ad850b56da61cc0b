// Recapture estimates per population and per pair of populations at one
// false-positive level, and the recapture plan of the standard-error runs.
#include "tarvo/cells.h"

#include <algorithm>
#include <cmath>

#include "core/output_stream.h"
#include "core/recaptures.h"
#include "core/retyping_walk.h"
#include "core/row_block.h"
#include "tarvo/error.h"

namespace tarvo {

std::vector<CellCount> count_cells(std::span<const MatchPair> pairs, double threshold) {
  std::vector<CellCount> cells;
  for (const MatchPair& pair : pairs) {
    if (!(pair.llr > threshold)) continue;
    const PopulationPair cell{pair.later_population, pair.earlier_population};
    auto it = std::find_if(cells.begin(), cells.end(),
                           [&](const CellCount& c) { return c.cell == cell; });
    if (it == cells.end())
      cells.push_back(CellCount{cell, 1});
    else
      it->matches += 1;
  }
  return cells;
}

namespace {

// The detectable weight of a cell drawing each retyping as it comes: for
// tables holding alleles the frequencies lack.
double detectable_one_by_one(const PairScorer& scorer, PopulationPair cell, double threshold,
                             double retype_error, Rng& rng) {
  const GenotypeTable& table = scorer.table();
  const Population& later = table.populations[cell.later];
  const Population& earlier = table.populations[cell.earlier];
  const bool within = cell.later == cell.earlier;
  double g = 0;
  for (int i = later.first; i < later.end; ++i) {
    const int jend = within ? std::min(i, earlier.end) : earlier.end;
    const LociMask& mi = table.sample(i).loci;
    for (int j = earlier.first; j < jend; ++j) {
      const LociMask mask = mi & table.sample(j).loci;
      if (mask.empty()) continue;
      // The earlier sample is typed again first; the pair's own score draws
      // nothing and is not needed here.
      const double self_j = scorer.self_score(j, mask, retype_error, rng);
      const double self_i = scorer.self_score(i, mask, retype_error, rng);
      if (self_i > threshold) g += 0.5;
      if (self_j > threshold) g += 0.5;
    }
  }
  return g;
}

// The same over blocks of generator outputs, as the pair scans read them.
double detectable_in_blocks(const PairScorer& scorer, PopulationPair cell, double threshold,
                            double retype_error, Rng& rng) {
  const GenotypeTable& table = scorer.table();
  const Population& later = table.populations[cell.later];
  const Population& earlier = table.populations[cell.earlier];
  const bool within = cell.later == cell.earlier;
  detail::OutputStream stream(rng, false, detail::pair_reach(table.loci()),
                              retype_bound(retype_error));
  detail::RetypingWalk walk(stream, table.loci());
  detail::RowBlock block(scorer, walk);
  const detail::ProductBounds bounds(threshold, threshold);
  const auto above = [&](double product) {
    if (bounds.surely_above(product)) return true;
    if (bounds.surely_at_most(product)) return false;
    return PairScorer::score_of_product(product) > threshold;
  };
  double g = 0;
  for (int i = later.first; i < later.end; ++i) {
    const int jend = within ? std::min(i, earlier.end) : earlier.end;
    block.walk(i, earlier.first, jend);
    for (int j = 0; j < jend - earlier.first; ++j) {
      if (block.shared(j) == 0) continue;
      if (above(block.later_self(j))) g += 0.5;
      if (above(block.earlier_self(j))) g += 0.5;
    }
  }
  stream.finish(walk.position());
  return g;
}

}  // namespace

EffectiveSize effective_size(const PairScorer& scorer, PopulationPair cell, double threshold,
                             double retype_error, Rng& rng) {
  const double g = scorer.alleles_known()
                       ? detectable_in_blocks(scorer, cell, threshold, retype_error, rng)
                       : detectable_one_by_one(scorer, cell, threshold, retype_error, rng);
  const bool within = cell.later == cell.earlier;
  const double size = within ? 0.5 + 0.5 * std::sqrt(1 + 8 * g) : std::sqrt(g);
  return EffectiveSize{size, g};
}

double cell_false_positives(double V, double cell_pairs, double detectable,
                            double undetectable_weight, double N) {
  if (undetectable_weight > 1) return V * (cell_pairs - detectable) / undetectable_weight;
  return V * cell_pairs / (N * (N - 1) / 2);
}

namespace {

struct CellContext {
  const PairScorer& scorer;
  const CellSettings& settings;
  Rng& rng;
  double N = 0;
  double W = 0;  // pairs less the detectable pairs of the pooled data
};

// A cell within one population.
CellEstimate within_cell(const CellContext& ctx, const CellCount& count) {
  const CellSettings& s = ctx.settings;
  CellEstimate c;
  c.cell = count.cell;
  c.within = true;
  const int Nu = ctx.scorer.table().populations[count.cell.later].size();
  const int M = count.matches;
  c.later_size = Nu;
  c.earlier_size = Nu;
  c.size = Nu;
  c.matches = M;
  double E = 0, g = 0;
  if (s.pooled) {
    E = s.effective_total;
    g = s.effective_total * (s.effective_total - 1) / 2;
  } else {
    const EffectiveSize e =
        effective_size(ctx.scorer, count.cell, s.threshold, s.retype_error, ctx.rng);
    E = e.size;
    g = e.detectable;
  }
  const double Vu = cell_false_positives(s.false_positives, Nu * (Nu - 1.0) / 2, g, ctx.W, ctx.N);
  c.effective = E;
  c.false_positives = Vu;
  if (M <= Vu) {
    c.shadowed = true;
    return c;
  }
  // With more net matches than the effective size the logarithm is
  // undefined; bound E as the simulated estimate does.
  if (M - Vu >= E) E = std::max(double(M), std::min(E, double(Nu)));
  c.effective = E;
  const double h = 1 - (M - Vu) / E;
  c.recaptures = within_cell_recaptures(h, E, Nu);
  c.percent = 100 * c.recaptures / (Nu - c.recaptures);
  return c;
}

// A cell between two populations.
CellEstimate between_cell(const CellContext& ctx, const CellCount& count, int index) {
  const CellSettings& s = ctx.settings;
  const GenotypeTable& table = ctx.scorer.table();
  CellEstimate c;
  c.cell = count.cell;
  c.within = false;
  const int Nu = table.populations[count.cell.later].size();
  const int Nt = table.populations[count.cell.earlier].size();
  const int M = count.matches;
  c.later_size = Nu;
  c.earlier_size = Nt;
  c.matches = M;
  const double B = std::sqrt(double(Nu) * Nt);
  const EffectiveSize e =
      effective_size(ctx.scorer, count.cell, s.threshold, s.retype_error, ctx.rng);
  double E12 = e.size;
  double E1 = std::min(E12 * std::sqrt(double(Nu) / Nt), double(Nu));
  double E2 = std::min(E12 * std::sqrt(double(Nt) / Nu), double(Nt));
  E12 = std::min(E12, B);
  struct Named {
    const char* name;
    double* value;
  };
  const Named sizes[3] = {{"E1", &E1}, {"E2", &E2}, {"E12", &E12}};
  for (const Named& n : sizes) {
    if (M > *n.value) {
      c.warnings.push_back(SizeWarning{n.name, *n.value, index, M});
      *n.value = M;
    }
  }
  const double Vut =
      cell_false_positives(s.false_positives, double(Nu) * Nt, e.detectable, ctx.W, ctx.N);
  for (const Named& n : sizes) {
    const double arg = 1 - (M - Vut) / *n.value;
    if (arg < TINY) {
      throw Error(ErrorCode::CellLogUndefined, CellDetails{.argument = arg,
                                                           .cell = index,
                                                           .matches = M,
                                                           .false_positives = Vut,
                                                           .size_name = n.name,
                                                           .size = *n.value});
    }
  }
  c.size = B;
  c.effective = E12;
  c.false_positives = Vut;
  if (M <= Vut) {
    c.shadowed = true;
    return c;
  }
  const double h = 1 - (M - Vut) / E12;
  c.recaptures = between_cell_recaptures(h, E12, B);
  c.percent = 100 * c.recaptures / B;
  return c;
}

}  // namespace

CellEstimates estimate_cells(const PairScorer& reference, std::span<const MatchPair> pairs,
                             const CellSettings& settings, Rng& rng) {
  const double N = reference.table().size();
  const double Et = settings.effective_total;
  const CellContext ctx{reference, settings, rng, N, N * (N - 1) / 2 - Et * (Et - 1) / 2};
  CellEstimates out;
  const std::vector<CellCount> counts = count_cells(pairs, settings.threshold);
  for (std::size_t j = 0; j < counts.size(); ++j) {
    const CellCount& count = counts[j];
    CellEstimate c = count.cell.later == count.cell.earlier
                         ? within_cell(ctx, count)
                         : between_cell(ctx, count, static_cast<int>(j));
    if (!c.shadowed) {
      out.plan.push_back(PlanRow{c.cell, c.recaptures, 0});
      out.total += c.recaptures;
    }
    out.cells.push_back(std::move(c));
  }
  return out;
}

}  // namespace tarvo
