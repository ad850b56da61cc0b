#include "fuzz/entries.h"

#include <sstream>
#include <string>

#include "cli/loading.h"
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

// The loading stage of one model as the command line would set it up, its
// messages written (to nowhere) so that they are exercised too.
void load(cli::Model model, const cli::MemoryFiles& files) {
  cli::Options o;
  const int m = cli::number(model);
  o.genotype_file = {"in.gen", m != 4};
  o.frequency_file = {"in.txt", m % 2 == 0};
  o.simulated_samples = {20, m >= 3};
  o.recaptures = {3, m >= 3};
  o.score_percent = {50, m == 3 || m == 4};
  report::Console console(nullptr, nullptr);
  Rng rng(1);
  int stage = 2;
  std::string reading;
  cli::OutputSet outputs;  // kept in memory, never written
  const cli::LoadContext context{o, model, console, rng, stage, reading, outputs, &files};
  try {
    if (o.genotype_file.given) {
      const GenotypeFormat format = cli::detect_genotype_format(context);
      o.own_format = format == GenotypeFormat::Own;
      o.genalex_format = format == GenotypeFormat::Genalex;
    }
    (void)cli::load_data(context);
  } catch (const Error& e) {
    cli::MessageContext messages;
    messages.file = reading;
    (void)cli::report_error(e, messages, console);
  } catch (const cli::Exit&) {
  }
}

void load_both(std::string_view input) {
  const std::size_t cut = input.find("\n%%\n");
  cli::MemoryFiles files{std::string(input.substr(0, cut)), ""};
  if (cut != std::string_view::npos) files.frequencies = input.substr(cut + 4);
  load(input.size() % 2 ? cli::Model::AnalyseWithFrequencies : cli::Model::SimulateWithFileMasks,
       files);
}

constexpr cli::Model GENOTYPE_MODELS[] = {cli::Model::Analyse, cli::Model::SimulateFromGenotypes,
                                          cli::Model::SimulateWithOwnMasks};

}  // namespace

const std::array<Target, 6> TARGETS = {
    Target{"genepop", [](std::string_view in) { detect_then_read(in, GenotypeFormat::Genepop); }},
    Target{"own_format", [](std::string_view in) { detect_then_read(in, GenotypeFormat::Own); }},
    Target{"frequencies",
           [](std::string_view in) {
             std::istringstream stream{std::string(in)};
             refusals_caught([&] { (void)read_frequency_file(stream); });
           }},
    Target{"load_genotypes",
           [](std::string_view in) {
             load(GENOTYPE_MODELS[in.size() % 3], cli::MemoryFiles{std::string(in), ""});
           }},
    Target{"load_frequencies",
           [](std::string_view in) {
             load(cli::Model::SimulateFromFrequencies, cli::MemoryFiles{"", std::string(in)});
           }},
    Target{"load_both", load_both}};

}  // namespace tarvo::fuzz
