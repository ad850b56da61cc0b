// The power of a locus panel to tell individuals apart: heterozygosity and the
// probabilities of identity of two unrelated individuals (PID) and of two
// siblings (PIDsib, Waits, Luikart and Taberlet 2001), per locus and
// cumulative over the loci taken from the most to the least informative.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "tarvo/frequencies.h"
#include "tarvo/genotypes.h"

namespace tarvo {

// Values a locus cannot have (no allele with a positive frequency, no sample
// scored) are quiet NaNs.
struct LocusPower {
  std::string name;
  int alleles = 0;  // alleles with a frequency above zero
  int scored = 0;   // samples genotyped at the locus
  double observed_het = 0;
  double expected_het = 0;           // 1 - sum p^2
  double expected_het_unbiased = 0;  // times 2n/(2n - 1), n samples scored
  double pid = 0;
  double pid_sib = 0;
  // Position from the most informative (1), 0 for a locus without alleles;
  // the products run over the loci of rank 1 to this one.
  int rank = 0;
  double cumulative_pid = 0;
  double cumulative_pid_sib = 0;
};

struct PanelPower {
  int population = -1;           // index into the table's populations, -1 for all samples
  std::string name;              // the population's name
  std::vector<LocusPower> loci;  // in the order of the loci
};

// PID and PIDsib of one locus from its allele frequencies; the zeros (the
// missing value's entry) add nothing.
struct IdentityProbabilities {
  double pid = 0;
  double pid_sib = 0;
};
[[nodiscard]] IdentityProbabilities identity_probabilities(std::span<const double> freqs);

// The panel over samples [first, end) of the table with the given
// frequencies (one entry per locus of the table). Loci are ranked by PIDsib
// ascending, ties in locus order: the first k ranks give the smallest product
// any k loci can give, so the loci needed for a target are the fewest.
[[nodiscard]] PanelPower panel_power(const FrequencyTable& freqs, const GenotypeTable& table,
                                     int first, int end);

// One panel per population, with the frequencies counted from that
// population's samples.
[[nodiscard]] std::vector<PanelPower> power_by_population(const GenotypeTable& table);

// The fewest loci whose cumulative PIDsib is below target, or 0 when the
// whole panel does not reach it.
[[nodiscard]] int loci_needed(const PanelPower& panel, double target);

}  // namespace tarvo
