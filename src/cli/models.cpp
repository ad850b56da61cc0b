// Model selection from the options present, the value checks, and the usage
// table that closes every command-line failure.
#include "cli/models.h"

#include "tarvo/limits.h"

namespace tarvo::cli {

namespace {

using report::format;

Model model_from_files(const Options& o) {
  const bool file1 = o.genotype_file.given;
  const bool file2 = o.frequency_file.given;
  if (o.create_only) {
    if (file2) return file1 ? Model::CreateWithFileMasks : Model::CreateFromFrequencies;
    return o.score_percent.given ? Model::CreateFromGenotypes : Model::CreateWithOwnMasks;
  }
  if (o.simulated_samples.given) {
    if (file1 && file2) return Model::SimulateWithFileMasks;
    if (file1)
      return o.score_percent.given ? Model::SimulateFromGenotypes : Model::SimulateWithOwnMasks;
    return Model::SimulateFromFrequencies;
  }
  if (file2) return Model::AnalyseWithFrequencies;
  if (file1) return Model::Analyse;
  return Model::None;
}

// Every option the model refuses or needs, each with its message.
class ModelCheck {
 public:
  ModelCheck(Model model, report::Console& console) : model_(model), console_(console) {}
  void refuse(bool given, char letter) {
    if (given) say(format("but with incompatible option -%c\n", letter));
  }
  void need(bool given, char letter) {
    if (!given) say(format("but also needs option -%c defined\n", letter));
  }
  [[nodiscard]] bool ok() const { return ok_; }

 private:
  void say(const std::string& what) {
    console_.out_and_err(format("\n\nLooks a bit like Model No: %d ", number(model_)) + what);
    ok_ = false;
  }
  Model model_;
  report::Console& console_;
  bool ok_ = true;
};

// Whether the command line gave the option.
bool given(const OptionEntry& entry, const Options& o) {
  if (entry.number != nullptr) return (o.*entry.number).given;
  if (entry.text != nullptr) return (o.*entry.text).given;
  if (entry.flag != nullptr) return o.*entry.flag;
  return o.seed.given;
}

}  // namespace

bool accepts(Model model, char letter) {
  return ((find_option(letter)->refused_by >> number(model)) & 1u) == 0;
}

Model select_model(const Options& o, report::Console& console) {
  const Model model = model_from_files(o);
  if (model == Model::None) {
    console.out_and_err("\nNeed to specify a file for reading data.\n");
    console.out_and_err("   Please read manual for further information.\n\n");
    return Model::None;
  }
  ModelCheck check(model, console);
  if (model == Model::SimulateFromFrequencies) check.need(o.score_percent.given, 'Y');
  // The refusals in their historical order.
  for (const char letter : std::string_view("bcejmnswzEYR"))
    if (!accepts(model, letter)) check.refuse(given(*find_option(letter), o), letter);
  if (traits(model).creates_only) check.need(o.simulated_samples.given, 'M');
  return check.ok() ? model : Model::None;
}

namespace {

// Checks of the files given and of -H; false after the messages.
bool check_files_and_second_population(const Options& o, const char* p, report::Console& c) {
  bool ok = true;
  if (!o.genotype_file.given && !o.frequency_file.given) {
    c.err(format("%s: Error  No input data file defined in argument list\n", p));
    ok = false;
  } else if (o.frequency_file.given && !o.genotype_file.given) {
    if (!o.score_percent.given) {
      c.err(
          format("%s: Error option Y must be defined with simulated data using allele "
                 "frequencies with -2 option \n",
                 p));
      ok = false;
    }
    if (!o.simulated_samples.given) {
      c.err(format("%s: Error option M must be defined when only '-2 FILE' read.\n", p));
      ok = false;
    }
  }
  if (o.second_population.given) {
    const int H = o.second_population.value;
    const int R = o.recaptures.value;
    if (!o.recaptures.given)
      c.err(
          format("%s: Warning option R not defined (i.e. no recaptures simulated between two "
                 "populations)\n",
                 p));
    if (R > H) {
      c.err(format("%s: Error option R=%d should be less than H=%d\n", p, R, H));
      ok = false;
    }
    if (H < 20) {
      c.err(format("%s: Error option H=%d should be greater or equal to %d\n", p, H, 20));
      ok = false;
    }
  }
  return ok;
}

std::string range_text(const OptionEntry& entry, int value, const char* p) {
  const char c = entry.letter;
  switch (entry.range) {
    case RangeText::AtMost:
      return format("%s: Error option %c=%d should be less than or equal to %d \n", p, c, value,
                    entry.max);
    case RangeText::AtLeast:
      return format("%s: Error option %c=%d should be greater or equal to %d\n", p, c, value,
                    entry.min);
    case RangeText::Choices:
      return format("%s: Error option %c=%d (Accepted range is: 0,1 or 2)\n", p, c, value);
    case RangeText::Between:
      if (entry.kind == OptionKind::Decimal) {
        const auto shown = [&](int v) { return format(entry.shown, v / entry.scale); };
        return format("%s: Error option %c=", p, c) + shown(value) +
               " (Accepted range is: " + shown(entry.min) + ".." + shown(entry.max) + ")\n";
      }
      return format("%s: Error option %c=%d (Accepted range is: %d..%d)\n", p, c, value, entry.min,
                    entry.max);
    case RangeText::None:
      break;
  }
  return {};
}

// False after its message when the option is given outside its range.
bool in_range(char letter, const Options& o, const char* p, report::Console& c) {
  const OptionEntry& entry = *find_option(letter);
  const Setting<int>& s = o.*entry.number;
  if (!s.given || (s.value >= entry.min && s.value <= entry.max)) return true;
  c.err(range_text(entry, s.value, p));
  return false;
}

// The messages keep their historical order.
bool check_ranges(const Options& o, const char* p, report::Console& c) {
  bool ok = true;
  for (const char letter : std::string_view("cbeEmtnM")) ok = in_range(letter, o, p, c) && ok;
  const int M = o.simulated_samples.value;
  if (o.recaptures.given && o.recaptures.value > M / 2) {
    c.err(format("%s: Error option (R=%d) should be less than or equal to (M/2)=%d/2 \n", p,
                 o.recaptures.value, M));
    ok = false;
  }
  return ok;
}

}  // namespace

bool check_values(Options& o, const std::string& progname, report::Console& c) {
  const char* p = progname.c_str();
  bool ok = check_files_and_second_population(o, p, c);
  ok = check_ranges(o, p, c) && ok;
  if (o.runs.given && (o.runs.value < 10 || o.runs.value > 10000)) {
    // -s 0 is the quiet way of asking for the default.
    if (o.runs.value != 0) {
      c.err(format("\n%s: Warning option -s=%d (Accepted range is: %d..%d)\n", p, o.runs.value, 10,
                   10000));
      c.err(format("%s: Default 's' value is: s=%d \n", p, 100));
      ok = false;
    }
    o.runs.value = 100;
  }
  // A scoring probability outside its range is refused whatever else is
  // given: without -R, -Y 99999 or -Y 0.01 used to run.
  ok = in_range('Y', o, p, c) && ok;
  // The level as the user typed it: with 1000 sets the levels count from 0.
  const int z = o.level.value;
  if (z < 0 || (o.level.given && z > LEVELS - 1)) {
    c.err(format("%s: Error option z=%d (Accepted range is: %d..%d)\n", p, o.shown_level(z),
                 o.shown_level(0), o.shown_level(LEVELS - 1)));
    ok = false;
  }
  return ok;
}

void usage(const std::string& progname, report::Console& console) {
  const std::string under(progname.size(), '_');
  const std::string blank(progname.size(), ' ');
  const std::string rule =
      "_______________________________________________________" + under + "__________________\n";
  const char* p = progname.c_str();
  static constexpr const char* ROWS[] = {
      "  1       Analyse   %s -1 FILE                           bcdejkmnrstwz\n",
      "  2       Analyse   %s -1 FILE -2 FILE                   bcdejkmnrstwz\n",
      "  3       Simulate  %s -1 FILE -M NUM -Y NUM             cdejknrstwzEHMRY\n",
      "  4       Simulate  %s -2 FILE -M NUM -Y NUM             cdejknrstwzEHMRY\n",
      "  5       Simulate  %s -1 FILE -M NUM                    cdejknrstwzEHMR\n",
      "  6       Simulate  %s -1 FILE -2 FILE -M NUM            cdejknrstwzEHMR\n",
      "  7       Create    %s -1 FILE -M NUM -Y NUM -p          dkprtEMHRY\n",
      "  8       Create    %s -2 FILE -M NUM -Y NUM -p          dkprtEMHRY\n",
      "  9       Create    %s -1 FILE -M NUM -p                 dkprtEHMR\n",
      " 10       Create    %s -1 FILE -2 FILE -M NUM -p         dkprtEHMR\n"};
  console.out(rule);
  console.out(
      format("\nModel     Type      Usage                              %sPermitted options\n",
             blank.c_str()));
  console.out(rule);
  for (const char* row : ROWS) console.out(format(row, p));
  console.out(rule);
}

}  // namespace tarvo::cli
