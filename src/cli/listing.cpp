// Table 1 of the run: the options with their status (given on the command
// line or not) and the values in force.
#include "cli/options.h"

namespace tarvo::cli {

namespace {

constexpr const char* RULE =
    "          "
    "______________________________________________________________________________________\n";

template <typename T>
int status(const Setting<T>& s) {
  return s.given ? 1 : 0;
}

void numbered(std::ostream& out, const char* letter, const Setting<int>& s) {
  out << report::format("             -%s    %d        %d\n", letter, status(s), s.value);
}
void quoted(std::ostream& out, const char* letter, const Setting<std::string>& s) {
  out << report::format("             -%s    %d        \"%s\"\n", letter, status(s),
                        s.value.c_str());
}
void flag(std::ostream& out, const char* letter, bool set) {
  out << report::format("             -%s    %d\n", letter, set ? 1 : 0);
}

}  // namespace

void list_options(std::ostream& out, const Options& o, std::uint32_t seed) {
  using report::format;
  out << RULE << "\n          Table 1  Options list\n"
      << "                   Status equals one if set by command line\n"
      << RULE << "\n          Option   Status   Value\n";
  numbered(out, "b", o.mask_resampling);
  numbered(out, "c", o.iterations);
  quoted(out, "d", o.prefix);
  out << format("             -e    %d        %6.4f\n", status(o.error_scaled), o.error());
  out << format("             -E    %d        %6.4f\n", status(o.retype_error_scaled),
                o.retype_error());
  flag(out, "f", o.own_format);
  flag(out, "j", o.composites);
  numbered(out, "H", o.second_population);
  int k = 1;
  for (const Setting<std::string>* file : {&o.genotype_file, &o.frequency_file}) {
    out << format("             -i%1d   %d", k++, status(*file));
    out << (file->given ? format("        \"%s\"\n", file->value.c_str()) : std::string("\n"));
  }
  quoted(out, "k", o.separator);
  numbered(out, "m", o.min_population);
  numbered(out, "M", o.simulated_samples);
  numbered(out, "n", o.sets);
  for (int i = 0; i < OUTPUTS; ++i)
    out << format("             -o%1d   %d        \"%s\"\n", i + 1, status(o.prefix),
                  o.outputs[i].c_str());
  flag(out, "p", o.create_only);
  out << format("             -r    %d        %u\n", status(o.seed), seed);
  numbered(out, "R", o.recaptures);
  numbered(out, "s", o.runs);
  flag(out, "w", o.leave_out_misses);
  out << format("             -Y    %d        %4.2f\n", status(o.score_percent),
                o.score_fraction());
  out << format("             -z    %d        %d\n", status(o.level), o.shown_level(o.level.value));
  // The fast mode's line: only when on, so default runs list as before.
  if (o.fast) out << format("         %s    1\n", FAST_OPTION);
  out << RULE << "\n";
  out.flush();
}

}  // namespace tarvo::cli
