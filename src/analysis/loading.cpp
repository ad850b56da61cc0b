// The loading stage: genotypes read, frequencies read or counted, or
// reference data simulated from the frequencies, with the missing-loci
// combinations of the reference data.
#include <array>
#include <sstream>
#include <unordered_map>

#include "tarvo/analysis.h"
#include "tarvo/error.h"
#include "tarvo/simulation.h"

namespace tarvo {

namespace {

// The text detection read, then the rest of the stream it read from.
class ReplayBuffer : public std::streambuf {
 public:
  ReplayBuffer(std::string seen, std::streambuf* rest) : seen_(std::move(seen)), rest_(rest) {
    setg(seen_.data(), seen_.data(), seen_.data() + seen_.size());
  }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    // A failed read throws out of the file's buffer, which the reading
    // stream turns into its bad state, as it would without this buffer.
    const std::streamsize n = rest_->sgetn(chunk_.data(), std::streamsize(chunk_.size()));
    if (n <= 0) return traits_type::eof();
    setg(chunk_.data(), chunk_.data(), chunk_.data() + n);
    return traits_type::to_int_type(*gptr());
  }

 private:
  std::string seen_;
  std::streambuf* rest_;
  std::array<char, 1 << 16> chunk_{};
};

struct Loader {
  const AnalysisInput& input;
  const AnalysisSettings& settings;
  Rng& rng;
  AnalysisObserver& observer;
};

GenotypeTable read_genotype_input(const Loader& l) {
  l.observer.reading_genotypes();
  const GenotypeInput& in = l.input.genotypes;
  if (!in.stream) throw Error(ErrorCode::NoSamplesRead);
  std::string seen = in.seen;
  GenotypeFormat format = in.format.value_or(GenotypeFormat::Genepop);
  if (!in.format) format = detect_format(*in.stream, seen);
  ReplayBuffer replay(std::move(seen), in.stream->rdbuf());
  std::istream stream(&replay);
  GenotypeReadSettings read;
  read.separator = l.settings.separator;
  read.min_population = l.settings.min_population;
  read.on_population_dropped = [&l](const std::string& name) {
    l.observer.population_dropped(name);
  };
  GenotypeTable table = read_genotypes(stream, format, read);
  // Nothing to analyse or to draw from: refused while the input is named.
  if (table.size() == 0) throw Error(ErrorCode::NoSamplesRead);
  if (table.loci() == 0) throw Error(ErrorCode::NoLociRead);
  l.observer.genotypes_read();
  return table;
}

FrequencyTable read_frequency_input(const Loader& l) {
  l.observer.reading_frequencies();
  FrequencyTable freqs = read_frequency_file(l.input.frequencies());
  if (freqs.size() == 0) throw Error(ErrorCode::NoLociRead);
  l.observer.frequencies_read();
  return freqs;
}

// Both inputs describe the same loci, or the frequencies would be matched to
// the wrong loci.
void same_loci(int nloci_freq, int nloci_geno) {
  if (nloci_geno != nloci_freq) throw LociMismatch(nloci_freq, nloci_geno);
}

// The frequency table and the genotypes share their loci: the genotypes
// name them.
void name_loci_from(FrequencyTable& freqs, const GenotypeTable& table) {
  for (int k = 0; k < freqs.size() && k < table.loci(); ++k)
    freqs.loci[std::size_t(k)].name = table.locus_names[std::size_t(k)];
}

// Pairs are reported by sample name: a name given to several samples leaves
// its pairs ambiguous. In the order of their second use.
void tell_shared_names(const Loader& l, const GenotypeTable& table) {
  std::unordered_map<std::string_view, int> uses;
  std::vector<std::string_view> shared;
  for (const Sample& s : table.samples())
    if (++uses[s.name] == 2) shared.push_back(s.name);
  if (!shared.empty()) l.observer.shared_names(shared);
}

// The one or two populations of simulated reference data, with the masks
// given; population names are kept from the genotypes read.
GenotypeTable simulated_table(const AnalysisSettings& s,
                              const std::vector<std::string>& locus_names,
                              const std::vector<LociMask>& masks, const GenotypeTable* read) {
  const int M = s.simulated_samples;
  const int H = s.second_population;
  GenotypeTable table(static_cast<int>(locus_names.size()), M + H);
  table.locus_names = locus_names;
  table.populations.push_back({"", 0, M});
  if (H > 0) table.populations.push_back({"", M, M + H});
  for (std::size_t p = 0; read && p < table.populations.size() && p < read->populations.size(); ++p)
    table.populations[p].name = read->populations[p].name;
  for (int i = 0; i < M + H; ++i) {
    table.sample(i).loci = masks[std::size_t(i)];
    table.sample(i).population = i < M ? 0 : 1;
  }
  return table;
}

// The simulated reference data drawn, and its drawn allele counts put into
// the frequency table.
void simulate(const Loader& l, GenotypeTable& table, FrequencyTable& freqs) {
  l.observer.simulating(table);
  const AlleleCounts counts =
      simulate_reference(table, l.settings.recaptures, l.settings.retype_error, freqs, l.rng);
  for (std::size_t k = 0; k < freqs.loci.size(); ++k) {
    LocusFrequencies& locus = freqs.loci[k];
    locus.counts.assign(locus.alleles.size(), 0);
    if (k >= counts.size()) continue;
    for (std::size_t a = 0; a < locus.counts.size() && a < counts[k].size(); ++a)
      locus.counts[a] = counts[k][a];
  }
  l.observer.simulated(table);
}

std::vector<LociMask> simulated_masks(const Loader& l, int nloci, const GenotypeTable* read) {
  const int M = l.settings.simulated_samples + l.settings.second_population;
  if (l.settings.masks == SimulatedMasks::FromGenotypes && read)
    return resample_masks(M, read->masks(), l.rng);
  return random_masks(M, nloci, l.settings.score_percent, l.rng);
}

void simulate_reference_data(const Loader& l, LoadedData& data, const GenotypeTable* read,
                             const std::vector<std::string>& names) {
  const std::vector<LociMask> masks = simulated_masks(l, static_cast<int>(names.size()), read);
  data.patterns = tally_patterns(masks, l.settings.fast);
  data.reference = simulated_table(l.settings, names, masks, read);
  simulate(l, data.reference, data.frequencies);
}

LoadedData load_with_frequencies(const Loader& l) {
  LoadedData data;
  data.frequencies = read_frequency_input(l);
  const int nloci = data.frequencies.size();
  if (!l.settings.simulated()) {
    data.reference = read_genotype_input(l);
    same_loci(nloci, data.reference.loci());
    name_loci_from(data.frequencies, data.reference);
    tell_shared_names(l, data.reference);
    l.observer.samples_read(data.reference.size(), data.reference.loci());
    data.patterns = tally_patterns(data.reference.masks(), l.settings.fast);
    return data;
  }
  std::vector<std::string> names;
  for (const LocusFrequencies& locus : data.frequencies.loci) names.push_back(locus.name);
  GenotypeTable read;
  if (l.input.genotypes.stream) {
    read = read_genotype_input(l);
    same_loci(nloci, read.loci());
    l.observer.samples_read(read.size(), nloci);
    name_loci_from(data.frequencies, read);
    names = read.locus_names;
  }
  simulate_reference_data(l, data, read.size() > 0 ? &read : nullptr, names);
  return data;
}

LoadedData load_from_genotypes(const Loader& l) {
  LoadedData data;
  GenotypeTable read = read_genotype_input(l);
  if (!l.settings.simulated()) tell_shared_names(l, read);
  l.observer.samples_read(read.size(), read.loci());
  data.frequencies = count_frequencies(read);
  if (!l.settings.simulated()) {
    data.patterns = tally_patterns(read.masks(), l.settings.fast);
    data.reference = std::move(read);
    return data;
  }
  simulate_reference_data(l, data, &read, read.locus_names);
  return data;
}

}  // namespace

GenotypeInput detect_genotypes(std::istream& in) {
  GenotypeInput input;
  input.stream = &in;
  input.format = detect_format(in, input.seen);
  return input;
}

LoadedData load_data(const AnalysisInput& input, const AnalysisSettings& settings, Rng& rng,
                     AnalysisObserver& observer) {
  const Loader loader{input, settings, rng, observer};
  LoadedData data = input.frequencies ? load_with_frequencies(loader) : load_from_genotypes(loader);
  observer.loaded(data);
  return data;
}

}  // namespace tarvo
