// A whole small run from memory through the analysis call and the
// program's progress and reports, every report and table written to memory. The sizes are
// held down so that an input takes milliseconds even under the sanitizers.
#include <optional>

#include "cli/messages.h"
#include "cli/reports.h"
#include "fuzz/entries.h"
#include "tarvo/tarvo.h"

namespace tarvo::fuzz {

namespace {

constexpr int MAX_SAMPLES = 48;
constexpr int MAX_LOCI = 32;
constexpr int RUNS = 4;  // the fewest that give a spread, and one more

// The values of the settings line, one character each.
class Knobs {
 public:
  explicit Knobs(std::string_view line) : line_(line) {}
  // Knob k in 0..range-1, or fallback when the line is shorter.
  [[nodiscard]] int operator()(std::size_t k, int range, int fallback) const {
    if (k >= line_.size()) return fallback;
    const auto c = static_cast<unsigned char>(line_[k]);
    return (c >= '0' && c <= '9' ? c - '0' : c) % range;
  }

 private:
  std::string_view line_;
};

// A setting the model's command line may give; left at its default when
// the model refuses the option.
template <typename T>
void give(cli::Setting<T>& setting, bool accepted, T value) {
  if (accepted) setting = {value, true};
}

// The options the command line of the model would give: only those the
// model accepts, with the values held small.
cli::Options options_for(cli::Model model, const Knobs& knob) {
  const cli::ModelTraits& traits = cli::traits(model);
  const auto takes = [model](char letter) { return cli::accepts(model, letter); };
  cli::Options o;
  o.genotype_file = {"in.gen", !(traits.frequency_file && traits.drawn_masks)};
  o.frequency_file = {"in.txt", traits.frequency_file};
  o.create_only = traits.creates_only;
  give(o.level, takes('z'), knob(1, LEVELS, 5));
  give(o.iterations, takes('c'), knob(2, 3, 1));
  o.composites = takes('j') && knob(3, 2, 0) == 1;
  o.leave_out_misses = takes('w') && knob(4, 2, 0) == 1;
  give(o.mask_resampling, takes('b'), knob(5, 3, 1));
  give(o.second_population, knob(6, 2, 0) == 1, 20);
  give(o.recaptures, takes('R'), knob(7, 10, 3));
  const int error = 50 * (knob(8, 10, 1) + 1);
  give(o.error_scaled, takes('e'), error);
  o.retype_error_scaled = o.error_scaled;
  give(o.retype_error_scaled, takes('E'), error);
  give(o.sets, takes('n'), 2 + knob(9, 10, 8));
  give(o.min_population, takes('m') && knob(10, 2, 0) == 1, 3);
  give(o.score_percent, traits.drawn_masks, 50 + 5 * knob(11, 11, 10));
  give(o.simulated_samples, !traits.real_data, 24);
  give(o.runs, takes('s'), RUNS);
  o.fast = knob(12, 2, 0) == 1;
  report::Console quiet(nullptr, nullptr);
  cli::complete_options(o, "tarvo", quiet);
  return o;
}

}  // namespace

void run_entry(std::string_view input) {
  const std::size_t line_end = input.find('\n');
  const Knobs knob(input.substr(0, line_end));
  const std::string_view files =
      line_end == std::string_view::npos ? std::string_view() : input.substr(line_end + 1);
  const std::size_t cut = files.find("\n%%\n");
  MemoryFiles memory{std::string(files.substr(0, cut)), ""};
  if (cut != std::string_view::npos) memory.frequencies = files.substr(cut + 4);

  const int m = knob(0, 10, 1);
  const auto model = static_cast<cli::Model>(m == 0 ? 10 : m);
  const cli::Options o = options_for(model, knob);
  Bench bench;
  // Larger data ends after loading.
  std::optional<AnalysisResult> loaded = run_model(o, model, memory, bench, false);
  if (!loaded) return;
  const GenotypeTable& reference = loaded->data.reference;
  if (reference.size() > MAX_SAMPLES || reference.loci() > MAX_LOCI) return;
  const std::optional<AnalysisResult> result = run_model(o, model, memory, bench, true);
  if (!result || result->chosen < 0) return;
  const LevelResult& level = result->levels.at(result->chosen);
  try {
    cli::write_final_reports({o, model, *result, level, "", 1, "tarvo"}, bench.outputs);
  } catch (const Error& e) {
    (void)cli::report_error(e, cli::MessageContext{}, bench.console);
  }
}

}  // namespace tarvo::fuzz
