// The loading stage of every model.
#include "cli/loading.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>
#include <unordered_map>

#include "tarvo/error.h"
#include "tarvo/formats.h"
#include "tarvo/simulation.h"

namespace tarvo::cli {

namespace {

using report::format;

struct Input {
  std::unique_ptr<std::istream> stream;  // null when the file cannot be opened
  int error = 0;                         // why not
};

// The input file as a stream; reading names it for the messages.
Input open_input(const LoadContext& c, const std::string& file, const std::string& in_memory) {
  c.reading = file;
  if (c.memory) return Input{std::make_unique<std::istringstream>(in_memory)};
  errno = 0;
  auto in = std::make_unique<std::ifstream>(file, std::ios::in | std::ios::binary);
  if (!*in) return Input{nullptr, errno};
  return Input{std::move(in)};
}

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

// The system's reason after a message about a file that cannot be opened.
std::string reason(const Input& input) {
  return format("          Reason: %s\n",
                input.error != 0 ? std::strerror(input.error) : "unknown");
}

// The loading line that names the layout read.
std::string layout_line(const Options& o, const char* own, const char* genepop) {
  if (o.genalex_format) return "          GenAlEx format assumed for reading alleles. \n";
  return o.own_format ? own : genepop;
}

// The genotype file as detection left it, or opened again.
Input genotype_input(const LoadContext& c) {
  const Options& o = c.options;
  if (c.opened && c.opened->stream) {
    c.reading = o.genotype_file.value;
    return Input{std::move(c.opened->stream)};
  }
  Input in = open_input(c, o.genotype_file.value, c.memory ? c.memory->genotypes : "");
  if (!in.stream) {
    c.console.err(
        format("read_base_pairs: Cannot open input file <%s>\n", o.genotype_file.value.c_str()));
    c.console.err(reason(in));
    throw Exit{1};
  }
  return in;
}

GenotypeTable read_genotype_file(const LoadContext& c) {
  const Options& o = c.options;
  const Input in = genotype_input(c);
  ReplayBuffer replay(c.opened ? std::move(c.opened->seen) : std::string(), in.stream->rdbuf());
  std::istream stream(&replay);
  GenotypeReadSettings settings;
  settings.separator = o.separator.value;
  settings.min_population = o.min_population.given ? o.min_population.value : 0;
  settings.on_population_dropped = [&](const std::string& name) {
    c.console.log_then_out(
        format("Block %s deleted as it had < m_value=%d\n", name.c_str(), o.min_population.value));
  };
  const GenotypeFormat format = o.genalex_format ? GenotypeFormat::Genalex
                                : o.own_format   ? GenotypeFormat::Own
                                                 : GenotypeFormat::Genepop;
  GenotypeTable table = read_genotypes(stream, format, settings);
  // Nothing to analyse or to draw from: refused while the file is named.
  if (table.size() == 0) throw Error(ErrorCode::NoSamplesRead);
  if (table.loci() == 0) throw Error(ErrorCode::NoLociRead);
  c.reading.clear();
  return table;
}

FrequencyTable read_frequencies(const LoadContext& c) {
  const std::string& file = c.options.frequency_file.value;
  const Input in = open_input(c, file, c.memory ? c.memory->frequencies : "");
  if (!in.stream) {
    c.console.log_then_out(format("read_allele_freq: Cannot open input file %s\n", file.c_str()));
    c.console.log_then_out(reason(in));
    throw Exit{1};
  }
  FrequencyTable freqs = read_frequency_file(*in.stream);
  if (freqs.size() == 0) throw Error(ErrorCode::NoLociRead);
  c.reading.clear();
  return freqs;
}

// Both files describe the same loci, or the frequencies would be matched to
// the wrong loci.
void same_loci(const LoadContext& c, int nloci_freq, int nloci_geno) {
  if (nloci_geno == nloci_freq) return;
  const char* freq_file = c.options.frequency_file.value.c_str();
  const char* geno_file = c.options.genotype_file.value.c_str();
  const std::string lines[] = {
      format("There are %d number of loci read from FILE: \"%s\"  \n", nloci_freq, freq_file),
      format("This differs from %d number of loci read from FILE: \"%s\"  \n", nloci_geno,
             geno_file),
      "Please address this difference before running TARVO again.\n"};
  for (const std::string& s : lines) c.console.log(s);
  for (const std::string& s : lines) c.console.out(s);
  throw Exit{1};
}

// The frequency table and the genotype file share their loci: the genotype
// file names them.
void name_loci_from(FrequencyTable& freqs, const GenotypeTable& table) {
  for (int k = 0; k < freqs.size() && k < table.loci(); ++k)
    freqs.loci[std::size_t(k)].name = table.locus_names[std::size_t(k)];
}

// Names given to more than one sample, in the order of their second use.
std::vector<std::string_view> shared_names(const GenotypeTable& table) {
  std::unordered_map<std::string_view, int> uses;
  std::vector<std::string_view> shared;
  for (const Sample& s : table.samples)
    if (++uses[s.name] == 2) shared.push_back(s.name);
  return shared;
}

// Pairs are reported by sample name: a name given to several samples (many
// files name samples after their population) leaves its pairs ambiguous.
// One line, naming a few of them, however many there are.
void warn_shared_names(const LoadContext& c, const GenotypeTable& table) {
  constexpr std::size_t kShown = 10;
  constexpr std::size_t kNameChars = 40;
  const std::vector<std::string_view> shared = shared_names(table);
  if (shared.empty()) return;
  std::string list;
  for (std::size_t i = 0; i < shared.size() && i < kShown; ++i) {
    if (i > 0) list += ", ";
    const std::string_view name = shared[i];
    list += name.size() <= kNameChars ? std::string(name)
                                      : std::string(name.substr(0, kNameChars - 3)) + "...";
  }
  if (shared.size() > kShown) list += format(" and %zu more", shared.size() - kShown);
  const bool one = shared.size() == 1;
  c.console.log_then_out(
      format("          Warning: %zu sample name%s given to more than one sample, so pairs "
             "are ambiguous by name: %s\n",
             shared.size(), one ? " is" : "s are", list.c_str()));
}

void samples_read(const LoadContext& c, int nsamples, int nloci) {
  c.console.log_then_out(format(
      "          A total of %d genotype samples were read from %d loci.\n\n", nsamples, nloci));
}

// The one or two populations of simulated reference data (-M and -H), with
// the masks given; population names are kept from the genotype file read.
GenotypeTable simulated_table(const Options& o, const std::vector<std::string>& locus_names,
                              const std::vector<LociMask>& masks, const GenotypeTable* read) {
  const int M = o.simulated_samples.value;
  const int H = o.second_population.value;
  const int nloci = static_cast<int>(locus_names.size());
  GenotypeTable table(nloci, M + H);
  table.locus_names = locus_names;
  table.populations.push_back({"", 0, M});
  if (H > 0) table.populations.push_back({"", M, M + H});
  for (std::size_t p = 0; read && p < table.populations.size() && p < read->populations.size(); ++p)
    table.populations[p].name = read->populations[p].name;
  for (int i = 0; i < M + H; ++i) {
    table.samples[std::size_t(i)].loci = masks[std::size_t(i)];
    table.samples[std::size_t(i)].population = i < M ? 0 : 1;
  }
  return table;
}

void simulated_data_lines(const LoadContext& c, const GenotypeTable& table) {
  const Options& o = c.options;
  report::Console& con = c.console;
  con.log_then_out(
      format("STAGE %2d: Writing simulated reference genotypes to:                     "
             "FILE: \"%s\"\n",
             c.stage, o.output(Output::Simm).c_str()));
  const int n = table.size();
  const int R = o.recaptures.value;
  const int pops = static_cast<int>(table.populations.size());
  const int m = number(c.model);
  if (pops <= 1)
    con.log_then_out(
        format("          This reference data has %d samples containing %d recaptures.\n", n, R));
  else
    con.log_then_out(
        format("          This reference data has %d samples containing %d "
               "recaptures in %d %s.\n",
               n, R, pops, m == 3 || m == 7 ? "populations" : "population(s)"));
  if (m == 3 || m == 4 || m == 7 || m == 8) {
    con.log_then_out(format("          Missing loci combinations randomly sampled using Y=%4.2f\n",
                            o.score_fraction()));
  } else if (m == 5 || m == 9) {
    con.log("          Missing loci combinations defined from:\n");
    con.log("                  random sampling of missing alleles. \n\n");
    con.out("          Missing loci combinations defined from:\n");
    con.out("                  random sampling of mising alleles. \n\n");
  } else {
    con.log_then_out("          Missing loci combinations defined \n");
    con.log_then_out("                  by random sampling of missing alleles. \n\n");
  }
}

void relationships(const LoadContext& c, const GenotypeTable& table, int R) {
  if (R == 0) return;
  const std::string rule = "          ___________________________________________\n";
  report::Console& con = c.console;
  const std::string heading =
      "          List of pairwise matches\n"
      "          Sample_1               Sample_2\n";
  con.log("\n\n          Simulated relationships:\n" + rule + heading + rule);
  con.out("\n          Simulated relationships:\n" + rule + heading + rule);
  const int n = table.size();
  for (int t = 0; t < R; ++t) {
    const int copy = n - R + t;
    con.out_then_log(format("          %-20s   %-20s\n",
                            table.samples[std::size_t(copy)].name.c_str(),
                            table.samples[std::size_t(t)].name.c_str()));
  }
  con.out(rule);
  con.log(rule);
}

// The simulated reference data: drawn, its relationships listed, its drawn
// allele counts put into the frequency table and the data written out.
void simulate(const LoadContext& c, GenotypeTable& table, FrequencyTable& freqs) {
  const Options& o = c.options;
  simulated_data_lines(c, table);
  const AlleleCounts counts =
      simulate_reference(table, o.recaptures.value, o.retype_error(), freqs, c.rng);
  relationships(c, table, o.recaptures.value);
  for (std::size_t k = 0; k < freqs.loci.size(); ++k) {
    LocusFrequencies& locus = freqs.loci[k];
    locus.counts.assign(locus.alleles.size(), 0);
    if (k >= counts.size()) continue;
    for (std::size_t a = 0; a < locus.counts.size() && a < counts[k].size(); ++a)
      locus.counts[a] = counts[k][a];
  }
  // Refused before anything is written.
  std::ostringstream text;
  write_genepop(text, table, o.separator.value);
  c.outputs.restart(o.output(Output::Simm)) << text.str();
  ++c.stage;
}

LoadedData load_with_frequency_file(const LoadContext& c) {
  const Options& o = c.options;
  report::Console& con = c.console;
  con.log_then_out(
      format("Reading allele frequencies from:                              FILE: "
             "\"%s\"\n",
             o.frequency_file.value.c_str()));
  LoadedData data;
  data.frequencies = read_frequencies(c);
  const int nloci = data.frequencies.size();
  const int M = o.simulated_samples.value + o.second_population.value;
  if (c.model == Model::AnalyseWithFrequencies) {
    con.log_then_out(
        format("          Reading allele base pairs for match analysis from:       "
               "     FILE: \"%s\" \n",
               o.genotype_file.value.c_str()));
    con.log_then_out(
        layout_line(o, "          TARVO spreadsheet format assumed for reading base pairs \n",
                    "          GENEPOP format assumed for reading base pairs. \n"));
    data.reference = read_genotype_file(c);
    same_loci(c, nloci, data.reference.loci());
    name_loci_from(data.frequencies, data.reference);
    warn_shared_names(c, data.reference);
    samples_read(c, data.reference.size(), data.reference.loci());
    data.patterns = tally_patterns(data.reference.masks(), o.fast);
    return data;
  }
  std::vector<std::string> names;
  for (const LocusFrequencies& locus : data.frequencies.loci) names.push_back(locus.name);
  std::vector<LociMask> masks;
  GenotypeTable read;
  if (c.model == Model::SimulateWithFileMasks || c.model == Model::CreateWithFileMasks) {
    con.log_then_out(
        format("          Reading alleles for bootstrapping loci combinations:     "
               "     FILE: \"%s\" \n",
               o.genotype_file.value.c_str()));
    con.log_then_out(
        layout_line(o, "          TARVO input format assumed.\n",
                    "          GENEPOP input format assumed with '-f' flag on command line.\n"));
    read = read_genotype_file(c);
    same_loci(c, nloci, read.loci());
    samples_read(c, read.size(), nloci);
    name_loci_from(data.frequencies, read);
    names = read.locus_names;
    masks = resample_masks(M, read.masks(), c.rng);
  } else {
    masks = random_masks(M, nloci, o.score_percent.value, c.rng);
  }
  data.patterns = tally_patterns(masks, o.fast);
  data.reference = simulated_table(o, names, masks, read.size() > 0 ? &read : nullptr);
  simulate(c, data.reference, data.frequencies);
  return data;
}

LoadedData load_from_genotype_file(const LoadContext& c) {
  const Options& o = c.options;
  c.console.log_then_out(
      format("Reading allele base pairs for match analysis from:            "
             "FILE: \"%s\" \n",
             o.genotype_file.value.c_str()));
  c.console.log_then_out(
      layout_line(o, "          TARVO spreadsheet format assumed for reading alleles \n",
                  "          GENEPOP format assumed for reading alleles. \n"));
  LoadedData data;
  GenotypeTable read = read_genotype_file(c);
  if (c.model == Model::Analyse) warn_shared_names(c, read);
  samples_read(c, read.size(), read.loci());
  data.frequencies = count_frequencies(read);
  if (c.model == Model::Analyse) {
    data.patterns = tally_patterns(read.masks(), o.fast);
    data.reference = std::move(read);
    return data;
  }
  const int M = o.simulated_samples.value + o.second_population.value;
  const bool drawn_masks =
      c.model == Model::SimulateFromGenotypes || c.model == Model::CreateFromGenotypes;
  const std::vector<LociMask> masks =
      drawn_masks ? random_masks(M, read.loci(), o.score_percent.value, c.rng)
                  : resample_masks(M, read.masks(), c.rng);
  data.patterns = tally_patterns(masks, o.fast);
  data.reference = simulated_table(o, read.locus_names, masks, &read);
  simulate(c, data.reference, data.frequencies);
  return data;
}

}  // namespace

GenotypeFormat detect_genotype_format(const LoadContext& c) {
  const std::string& file = c.options.genotype_file.value;
  Input in = open_input(c, file, c.memory ? c.memory->genotypes : "");
  if (!in.stream) {
    c.console.out(format("which_data_format: Cannot open <%s> for reading\n", file.c_str()));
    c.console.out(reason(in));
    throw Exit{1};
  }
  std::string seen;
  const GenotypeFormat format = detect_format(*in.stream, seen);
  if (c.opened) *c.opened = OpenedGenotypes{std::move(in.stream), std::move(seen)};
  c.reading.clear();
  return format;
}

LoadedData load_data(const LoadContext& c) {
  LoadedData data =
      counts_frequencies(c.model) ? load_from_genotype_file(c) : load_with_frequency_file(c);
  c.console.log_then_out("\n");
  return data;
}

}  // namespace tarvo::cli
