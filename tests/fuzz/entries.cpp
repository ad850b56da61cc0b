#include "fuzz/entries.h"

#include <sstream>
#include <string>
#include <vector>

#include "cli/help.h"
#include "cli/messages.h"
#include "tarvo/error.h"
#include "tarvo/formats.h"

namespace tarvo::fuzz {

namespace {

template <typename F>
void refusals_caught(F read) {
  try {
    read();
  } catch (const Error&) {
  } catch (const cli::Exit&) {
  }
}

// Detection first, as the program does, then the reader on the same bytes;
// a small minimum population size lets populations be dropped too.
void detect_then_read(std::string_view input, GenotypeFormat format) {
  GenotypeReadSettings settings;
  settings.min_population = 3;
  std::istringstream first{std::string(input)}, second{std::string(input)};
  refusals_caught([&] { (void)detect_format(first); });
  refusals_caught([&] { (void)read_genotypes(second, format, settings); });
}

}  // namespace

std::optional<AnalysisResult> run_model(const cli::Options& o, cli::Model model,
                                        const MemoryFiles& files, Bench& bench, bool whole) {
  std::istringstream genotypes(files.genotypes), frequencies(files.frequencies);
  cli::Options shown = o;
  cli::Progress progress(shown, model, 1, bench.console, bench.outputs, nullptr, bench.doing);
  try {
    AnalysisInput input;
    if (o.genotype_file.given) {
      input.genotypes = detect_genotypes(genotypes);
      shown.own_format = input.genotypes.format == GenotypeFormat::Own;
      shown.genalex_format = input.genotypes.format == GenotypeFormat::Genalex;
    }
    if (o.frequency_file.given) input.frequencies = [&]() -> std::istream& { return frequencies; };
    const AnalysisSettings settings = cli::analysis_settings(shown, model, 1, 1);
    if (whole) return analyse(input, settings, progress);
    Rng rng(settings.seed);
    AnalysisResult loaded;
    loaded.data = load_data(input, settings, rng, progress);
    return loaded;
  } catch (const Error& e) {
    cli::MessageContext messages;
    messages.file = bench.doing.reading;
    messages.frequencies = &bench.doing.frequencies;
    (void)cli::report_error(e, messages, bench.console);
  } catch (const cli::Exit&) {
  } catch (const LociMismatch&) {
  }
  return std::nullopt;
}

namespace {

// The loading stage of one model as the command line would set it up.
void load_model(cli::Model model, const MemoryFiles& files) {
  cli::Options o;
  const int m = cli::number(model);
  o.genotype_file = {"in.gen", m != 4};
  o.frequency_file = {"in.txt", m % 2 == 0};
  o.simulated_samples = {20, m >= 3};
  o.recaptures = {3, m >= 3};
  o.score_percent = {50, m == 3 || m == 4};
  Bench bench;
  (void)run_model(o, model, files, bench, false);
}

// The words of a command line, NUL-separated as the system hands them over;
// the first is the program path.
void command_line(std::string_view input) {
  std::vector<std::string> args;
  std::size_t start = 0;
  while (args.size() < 200) {
    const std::size_t end = input.find('\0', start);
    args.emplace_back(input.substr(start, end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (args[0].empty()) args[0] = "tarvo";
  std::ostringstream out;
  report::Console console(&out, &out);
  const std::string& progname = args[0];
  if (cli::info_request(args) != cli::InfoRequest::None) {
    out << cli::help_text(progname) << cli::version_text();
    return;
  }
  try {
    cli::Options o = cli::parse_options(args, progname, console);
    const cli::Model model = cli::select_model(o, console);
    if (model == cli::Model::None || !cli::check_values(o, progname, console)) {
      cli::usage(progname, console);
      return;
    }
    cli::complete_options(o, progname, console);
    cli::list_options(out, o, o.seed.value);
  } catch (const cli::Exit&) {
  }
}

void load_both(std::string_view input) {
  const std::size_t cut = input.find("\n%%\n");
  MemoryFiles files{std::string(input.substr(0, cut)), ""};
  if (cut != std::string_view::npos) files.frequencies = input.substr(cut + 4);
  load_model(
      input.size() % 2 ? cli::Model::AnalyseWithFrequencies : cli::Model::SimulateWithFileMasks,
      files);
}

constexpr cli::Model GENOTYPE_MODELS[] = {cli::Model::Analyse, cli::Model::SimulateFromGenotypes,
                                          cli::Model::SimulateWithOwnMasks};

constexpr Target ALL_TARGETS[] = {
    Target{"genepop", [](std::string_view in) { detect_then_read(in, GenotypeFormat::Genepop); }},
    Target{"own_format", [](std::string_view in) { detect_then_read(in, GenotypeFormat::Own); }},
    Target{"genalex", [](std::string_view in) { detect_then_read(in, GenotypeFormat::Genalex); }},
    Target{"frequencies",
           [](std::string_view in) {
             std::istringstream stream{std::string(in)};
             refusals_caught([&] { (void)read_frequency_file(stream); });
           }},
    Target{"load_genotypes",
           [](std::string_view in) {
             load_model(GENOTYPE_MODELS[in.size() % 3], MemoryFiles{std::string(in), ""});
           }},
    Target{"load_frequencies",
           [](std::string_view in) {
             load_model(cli::Model::SimulateFromFrequencies, MemoryFiles{"", std::string(in)});
           }},
    Target{"load_both", load_both},
    Target{"options", command_line},
    Target{"run", run_entry}};

}  // namespace

const std::span<const Target> TARGETS = ALL_TARGETS;

const Target* find_target(std::string_view name) {
  for (const Target& target : TARGETS)
    if (name == target.name) return &target;
  return nullptr;
}

}  // namespace tarvo::fuzz
