// Heterozygosity and probabilities of identity of a locus panel.
#include "tarvo/power.h"

#include <algorithm>
#include <limits>

namespace tarvo {

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// Samples scored at locus k among [first, end), and how many of them are
// heterozygous.
struct Scored {
  int samples = 0;
  int heterozygous = 0;
};

Scored scored_at(const GenotypeTable& table, int k, int first, int end) {
  Scored s;
  for (int i = first; i < end; ++i) {
    if (!has_locus(table.sample(i).loci, k)) continue;
    ++s.samples;
    const std::int32_t* row = table.row(i);
    if (row[2 * k] != row[2 * k + 1]) ++s.heterozygous;
  }
  return s;
}

LocusPower locus_power(const LocusFrequencies& freqs, Scored scored) {
  LocusPower L;
  L.name = freqs.name;
  double sum2 = 0;
  for (std::size_t j = 0; j < freqs.freqs.size(); ++j) {
    const double p = freqs.freqs[j];
    if (freqs.alleles[j] == 0 || !(p > 0)) continue;
    ++L.alleles;
    sum2 += p * p;
  }
  L.scored = scored.samples;
  const double n = scored.samples;
  L.observed_het = n > 0 ? scored.heterozygous / n : NaN;
  if (L.alleles == 0) {
    L.expected_het = L.expected_het_unbiased = L.pid = L.pid_sib = NaN;
    L.cumulative_pid = L.cumulative_pid_sib = NaN;
    return L;
  }
  L.expected_het = 1.0 - sum2;
  L.expected_het_unbiased = n > 0 ? L.expected_het * 2 * n / (2 * n - 1) : NaN;
  const IdentityProbabilities id = identity_probabilities(freqs.freqs);
  L.pid = id.pid;
  L.pid_sib = id.pid_sib;
  return L;
}

void rank_loci(std::vector<LocusPower>& loci) {
  std::vector<std::size_t> order;
  for (std::size_t k = 0; k < loci.size(); ++k)
    if (loci[k].alleles > 0) order.push_back(k);
  std::stable_sort(order.begin(), order.end(), [&loci](std::size_t a, std::size_t b) {
    return loci[a].pid_sib < loci[b].pid_sib;
  });
  double pid = 1, pid_sib = 1;
  for (std::size_t r = 0; r < order.size(); ++r) {
    LocusPower& L = loci[order[r]];
    pid *= L.pid;
    pid_sib *= L.pid_sib;
    L.rank = int(r) + 1;
    L.cumulative_pid = pid;
    L.cumulative_pid_sib = pid_sib;
  }
}

// The samples of one population as a table of their own.
GenotypeTable population_table(const GenotypeTable& table, const Population& pop) {
  GenotypeTable sub(table.loci(), pop.size());
  sub.locus_names = table.locus_names;
  for (int i = 0; i < pop.size(); ++i) {
    sub.sample(i) = table.sample(pop.first + i);
    std::copy_n(table.row(pop.first + i), 2 * table.loci(), sub.row(i));
  }
  return sub;
}

}  // namespace

IdentityProbabilities identity_probabilities(std::span<const double> freqs) {
  // Sum over i<j of (2 pi pj)^2 = 2 ((sum p^2)^2 - sum p^4).
  double sum2 = 0, sum4 = 0;
  for (const double p : freqs) {
    const double p2 = p * p;
    sum2 += p2;
    sum4 += p2 * p2;
  }
  IdentityProbabilities id;
  id.pid = sum4 + 2 * (sum2 * sum2 - sum4);
  id.pid_sib = 0.25 + 0.5 * sum2 + 0.5 * sum2 * sum2 - 0.25 * sum4;
  return id;
}

PanelPower panel_power(const FrequencyTable& freqs, const GenotypeTable& table, int first,
                       int end) {
  PanelPower panel;
  for (int k = 0; k < freqs.size(); ++k) {
    const Scored scored = k < table.loci() ? scored_at(table, k, first, end) : Scored{};
    panel.loci.push_back(locus_power(freqs.loci[std::size_t(k)], scored));
  }
  rank_loci(panel.loci);
  return panel;
}

std::vector<PanelPower> power_by_population(const GenotypeTable& table) {
  std::vector<PanelPower> panels;
  for (std::size_t p = 0; p < table.populations.size(); ++p) {
    const GenotypeTable sub = population_table(table, table.populations[p]);
    PanelPower panel = panel_power(count_frequencies(sub), sub, 0, sub.size());
    panel.population = int(p);
    panel.name = table.populations[p].name;
    panels.push_back(std::move(panel));
  }
  return panels;
}

int loci_needed(const PanelPower& panel, double target) {
  int best = 0;
  for (const LocusPower& L : panel.loci)
    if (L.rank > 0 && L.cumulative_pid_sib < target && (best == 0 || L.rank < best)) best = L.rank;
  return best;
}

}  // namespace tarvo
