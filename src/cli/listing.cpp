// Table 1 of the run: the options with their status (given on the command
// line or not) and the values in force, in the order of the historical
// listing; the input and output files stand under -i and -o.
#include "cli/options.h"

namespace tarvo::cli {

namespace {

using report::format;

constexpr const char* RULE =
    "          "
    "______________________________________________________________________________________\n";

// Letters of the option table; 'i' and 'o' stand for the files.
constexpr std::string_view LISTED = "bcdeEfjHikmMnoprRswYz";

template <typename T>
int status(const Setting<T>& s) {
  return s.given ? 1 : 0;
}

// The -f row is the layout read: a -1 file's replaces what -f said.
std::string option_row(const OptionEntry& entry, const Options& o, std::uint32_t seed) {
  const std::string row = format("             -%c    ", entry.letter);
  switch (entry.kind) {
    case OptionKind::Integer:
      return row + format("%d        %d\n", status(o.*entry.number), (o.*entry.number).value);
    case OptionKind::Decimal: {
      const Setting<int>& s = o.*entry.number;
      return row + format("%d        ", status(s)) + format(entry.shown, s.value / entry.scale) +
             "\n";
    }
    case OptionKind::Level:
      return row + format("%d        %d\n", status(o.level), o.shown_level(o.level.value));
    case OptionKind::Text:
      return row +
             format("%d        \"%s\"\n", status(o.*entry.text), (o.*entry.text).value.c_str());
    case OptionKind::Seed:
      return row + format("%d        %u\n", status(o.seed), seed);
    case OptionKind::Flag:
      return row + format("%d\n", o.*entry.flag ? 1 : 0);
  }
  return row;
}

void file_rows(std::ostream& out, char letter, const Options& o) {
  if (letter == 'i') {
    int k = 1;
    for (const Setting<std::string>* file : {&o.genotype_file, &o.frequency_file}) {
      out << format("             -i%1d   %d", k++, status(*file));
      out << (file->given ? format("        \"%s\"\n", file->value.c_str()) : std::string("\n"));
    }
    return;
  }
  for (int i = 0; i < OUTPUTS; ++i)
    out << format("             -o%1d   %d        \"%s\"\n", i + 1, status(o.prefix),
                  o.outputs[i].c_str());
}

}  // namespace

void list_options(std::ostream& out, const Options& o, std::uint32_t seed) {
  out << RULE << "\n          Table 1  Options list\n"
      << "                   Status equals one if set by command line\n"
      << RULE << "\n          Option   Status   Value\n";
  for (char letter : LISTED) {
    if (const OptionEntry* entry = find_option(letter))
      out << option_row(*entry, o, seed);
    else
      file_rows(out, letter, o);
  }
  // The options with only a long name, each only when set, so that runs
  // without them list as they always have.
  for (const OptionEntry& entry : OPTION_TABLE)
    if (entry.letter == 0 && o.*entry.flag) out << format("         %s    1\n", entry.long_name);
  out << RULE << "\n";
  out.flush();
}

}  // namespace tarvo::cli
