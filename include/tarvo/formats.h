// Readers and writers of the file formats, on streams: genotype files in
// GENEPOP or the program's own comma-separated layout, allele frequency
// files, and the GENEPOP files the program writes. Readers throw
// Error(...) with the line and field concerned; the caller adds the file name.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "tarvo/clusters.h"
#include "tarvo/frequencies.h"
#include "tarvo/genotypes.h"

namespace tarvo {

enum class GenotypeFormat { Genepop, Own, Genalex };

struct GenotypeReadSettings {
  std::string separator = "POP";  // population keyword
  int min_population = 0;         // drop a closed population with fewer samples (0: keep all)
  int max_samples = ANIM;
  // Called when a population is dropped, with its name.
  std::function<void(const std::string&)> on_population_dropped;
};

// Decides the layout: a first line of four or more whole numbers, separated
// by commas or semicolons, is a GenAlEx export; otherwise the separators of
// the fourth line (or the first line with one after it) tell GENEPOP (one
// comma) from the own layout (commas, or semicolons, between fields).
[[nodiscard]] GenotypeFormat detect_format(std::istream& in);
// The same on a stream that cannot be rewound (a pipe): the text read is
// appended to seen, for the reader to take before the rest of the stream.
[[nodiscard]] GenotypeFormat detect_format(std::istream& in, std::string& seen);
[[nodiscard]] bool looks_like_genalex(const std::string& first_line);
[[nodiscard]] GenotypeTable read_genepop(std::istream& in, const GenotypeReadSettings& settings);
[[nodiscard]] GenotypeTable read_own_format(std::istream& in, const GenotypeReadSettings& settings);
// Populations are named by the population column; Error(GenalexCounts) when
// the samples or populations read differ from the first line's counts.
[[nodiscard]] GenotypeTable read_genalex(std::istream& in, const GenotypeReadSettings& settings);
[[nodiscard]] GenotypeTable read_genotypes(std::istream& in, GenotypeFormat format,
                                           const GenotypeReadSettings& settings);
// Either an allele line and a frequency line per locus, or one line of
// frequencies per locus for alleles 1, 2, 3, ...
[[nodiscard]] FrequencyTable read_frequency_file(std::istream& in);

// The simulated reference data: loci named L1, L2, ..., samples Rec1, Rec2,
// ...; loci outside a sample's mask are written 000000. Throws
// Error(AlleleTooWide) before writing anything.
void write_genepop(std::ostream& out, const GenotypeTable& table, const std::string& separator);
// The frequency file the program reads back with -2 (missing value left out).
void write_frequency_file(std::ostream& out, const FrequencyTable& freqs);
// The composite genotypes (_join.txt): one line per cluster (GP1, GP2, ...)
// with its composite genotype, then every sample outside the clusters.
void write_composite_file(std::ostream& out, const GenotypeTable& table, const Clusters& clusters,
                          const std::vector<std::int32_t>& composites,
                          const std::string& separator);

}  // namespace tarvo
