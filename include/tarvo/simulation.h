// Simulated genotypes: unrelated individuals drawn from the allele
// frequencies, recapture copies and genotyping errors; the data sets of the
// standard-error runs with their planned recaptures.
#pragma once

#include <functional>
#include <vector>

#include "tarvo/frequencies.h"
#include "tarvo/genotypes.h"
#include "tarvo/keyed_rng.h"
#include "tarvo/rng.h"

namespace tarvo {

// Allele copies drawn per locus, aligned with the entries of the frequencies.
using AlleleCounts = std::vector<std::vector<int>>;

// Draws two alleles per locus for samples [0, drawn), locus by locus (all
// loci, whatever the masks say). A draw above every cumulative frequency
// takes the last allele.
AlleleCounts draw_unrelated(GenotypeTable& table, int drawn, const FrequencyTable& freqs, Rng& rng);

// The same for every sample of table, each drawing from its own stream of
// stage (the fast mode).
void draw_unrelated(GenotypeTable& table, const FrequencyTable& freqs, const KeyedDraws& draws,
                    DrawStage stage);

// With probability rate per locus, one allele of sample s (chosen by a coin)
// is replaced by a draw from the frequencies.
void add_genotyping_errors(GenotypeTable& table, int s, double rate, const FrequencyTable& freqs,
                           Rng& rng);

// The reference data of the simulation models: table holds its samples and
// masks; samples are named 1, 2, ...; the last `recaptures` samples are
// copies of the first ones; errors are added to the copies, then to the
// originals. Returns the drawn allele counts.
AlleleCounts simulate_reference(GenotypeTable& table, int recaptures, double error,
                                const FrequencyTable& freqs, Rng& rng);

// A cell of the population-by-population table: the later sample's
// population and the earlier sample's (the same for a within-population cell).
struct PopulationPair {
  int later = 0;
  int earlier = 0;
  bool operator==(const PopulationPair&) const = default;
};

// One row of the recapture plan: the recaptures estimated in a cell, and how
// often a standard-error run rounded them up.
struct PlanRow {
  PopulationPair cell;
  double recaptures = 0;
  int rounded_up = 0;
};
using RecapturePlan = std::vector<PlanRow>;

// How the copies of a standard-error set are placed.
struct RecaptureSettings {
  // Sources follow a per-population counter (real genotype files, model 2 and
  // a second simulated population); otherwise the last samples of the
  // population are copied onto its first ones.
  bool counted_source = false;
  // Capacity checks of the source population: a genotype-file-only run
  // (warning 2) or a counted run of model 2 or with a second population (warning 3).
  bool genotype_file_only = false;
  bool guard_counted_source = false;
  double error = 0.01;
};

// What a plan row did in one set.
struct PlantedRow {
  int row = 0;
  int recaptures = 0;  // negative: nothing planted, the runs stop
  double expected = 0;
  PopulationPair cell;
  int plan_rows = 0;
};

// Fills set (masks already in place) with unrelated genotypes, plants the
// recaptures of the first `rows` plan rows and adds errors to every sample.
// Returns false when a row asked for negative recaptures (the set is left
// without errors). Throws Error(RecaptureCapacity) when a population cannot
// hold its copies.
bool simulate_with_recaptures(GenotypeTable& set, RecapturePlan& plan, int rows,
                              const RecaptureSettings& settings, const FrequencyTable& freqs,
                              Rng& rng, const std::function<void(const PlantedRow&)>& on_row = {});
// The same from keyed streams (the fast mode): each sample's genotypes and
// errors, and each plan row's rounding, from streams of their own.
bool simulate_with_recaptures(GenotypeTable& set, RecapturePlan& plan, int rows,
                              const RecaptureSettings& settings, const FrequencyTable& freqs,
                              const KeyedDraws& draws,
                              const std::function<void(const PlantedRow&)>& on_row = {});

}  // namespace tarvo
