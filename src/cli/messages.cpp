// Every library failure as the program reports it. Reader layout errors go
// to standard error; the others to the run log and standard output, in the
// order each message has always used. Limits are printed as built so the
// advice to rebuild names the value in force.
#include "cli/messages.h"

#include <cstring>

#include "tarvo/limits.h"

namespace tarvo::cli {

namespace {

using report::format;

struct Writer {
  report::Console& console;
  void err(const std::string& s) const { console.err(s); }
  void log(const std::string& s) const { console.log(s); }
  void out(const std::string& s) const { console.out(s); }
  void log_out(const std::string& s) const { console.log_then_out(s); }
  void out_log(const std::string& s) const { console.out_then_log(s); }
  // The same lines to the log, then to standard output.
  void log_block(std::initializer_list<std::string> lines) const {
    for (const std::string& s : lines) log(s);
    for (const std::string& s : lines) out(s);
  }
};

void separator_missing(const Writer& w, const ErrorDetails& d, const MessageContext& c) {
  w.err(
      "\n          In '-1 FILE' must define population structure immediately after allele "
      "header line with loci names\n");
  w.err(
      format("          It appears that population number %lld has no samples. Is this "
             "correct?\n",
             d.count));
  w.err(
      format("          It appears that population separator <%s> was not read in data. "
             "Please check.\n",
             c.separator.c_str()));
  if (c.separator_given)
    w.err(
        format("          The population separator defined in command line using '-k' was "
               "<%s>. Is this correct?\n",
               c.separator.c_str()));
  else
    w.err(
        "          Is the population separator POP used in your data. If not change using "
        "-k option.\n");
  w.err("          \n\n [name_of_population] is optional.  Example run file: \n \n");
  w.err(" This first line is required and can contain a description of data contents\n");
  w.err(" Locus1, Locus2, Locus3 \n");
  w.err(" POP [name_of_population_1]\n");
  w.err(" Sample_1,      200203 301320 300303\n");
  w.err(" Sample_2,              ...\n");
  w.err(" .                      ...\n");
  w.err(" Sample_(n),            ...\n");
  w.err(" POP [name_of_population_2]\n");
  w.err(" Sample_(n+1),          ...\n");
  w.err(" Sample_(n+2),          ...\n\n");
}

void genotype_lines(const Writer& w, ErrorCode code, const ErrorDetails& d) {
  const std::string under35(35, '_');
  const std::string under87(87, '_');
  if (code == ErrorCode::HalfMissingGenotype) {
    w.err(format("\n\n%s\nAllele pairs must both be missing\n%s\nNon-missing allele is:",
                 under35.c_str(), under35.c_str()));
    w.err(format(" <%s>\n", d.name.c_str()));
  } else {
    w.err(format("\n\n%s\n", under87.c_str()));
    w.err(
        format("Loci pairs (%lld) in current line do not match in number with those in header "
               "file (%lld)\n",
               d.count, d.limit));
    w.err(format("%s\n", under87.c_str()));
  }
  w.err(format("       Animal name is: %s\n", d.sample.c_str()));
  w.err(format("       Locus  name is: %s\n", d.locus.c_str()));
  w.err(format("       Line number is:%4d\n", d.line));
  w.err(format("       Line read is: %s\n", d.text.c_str()));
}

// The layout errors of the own-format reader (and the shared ones).
bool layout_error(const Writer& w, const Error& e, const MessageContext& c) {
  const ErrorDetails& d = e.details();
  switch (e.code()) {
    case ErrorCode::SeparatorMissing:
      separator_missing(w, d, c);
      return true;
    case ErrorCode::LocusNameTooLong:
      w.err("If GENEPOP format used check if 'POP' is at beginning of third line.\n");
      w.err("Else if TARVO format:\n");
      w.err(format("  Loci names can only be read with %d characters. \n", SOL));
      w.err("  Need to reduce length of locus name OR increase size of SOL and recompile\n");
      w.err(format("  Last line read was: %d\n <%s>", d.line, d.text.c_str()));
      w.err("Else check that your data has the correct format (see TARVO manual).\n");
      return true;
    case ErrorCode::SecondLocusNameMissing:
      w.err(format("Read first allele but could not find second allele (%s)\n", d.name.c_str()));
      w.err(format("Line number %d\nLast line read was:\n %s \n", d.line, d.text.c_str()));
      return true;
    case ErrorCode::NoLoci:
      w.err("No loci pairs were read in first line\n");
      return true;
    case ErrorCode::TooManyPopulations:
      w.err("Too many populations read in dataset\n");
      w.err(format("Maximum populations in this compiled program is:  BLOCK=%d\n", BLOCK));
      w.err("Need to increase BLOCK parameter in tarvo.h and recompile\n");
      return true;
    default:
      return false;
  }
}

bool sample_error(const Writer& w, const Error& e) {
  const ErrorDetails& d = e.details();
  switch (e.code()) {
    case ErrorCode::SecondAlleleMissing:
      w.err(format("Read first allele number (%s) but could not find second allele number \n",
                   d.name.c_str()));
      w.err(format("Line number %d\nLast line read was:\n %s \n", d.line, d.text.c_str()));
      return true;
    case ErrorCode::HalfMissingGenotype:
    case ErrorCode::AllelePairCount:
      genotype_lines(w, e.code(), d);
      return true;
    case ErrorCode::TooManySamples:
      w.err(
          format("read_base_pairs: Need to increase size of ANIM=%d to read more genotype "
                 "records\n",
                 ANIM));
      w.err(format("   Last line read was : %s", d.text.c_str()));
      w.err(format("   Samples read so far: %lld", d.count));
      return true;
    case ErrorCode::EmptyPopulation:
      w.err(
          "\n          Make sure data is in TARVO format or use '-f' option to define GENEPOP "
          "data format \n\n");
      return true;
    case ErrorCode::LocusNamesDiffer:
      w.log_block({format("          Pair of allele names do not match (%s) (%s) in first line "
                          "of data. locus=%lld\n",
                          d.name.c_str(), d.other.c_str(), d.count),
                   "          Make sure data is in TARVO format or use '-f' option to define "
                   "GENEPOP data format \n\n"});
      return true;
    default:
      return false;
  }
}

void empty_populations(const Writer& w, const ErrorDetails& d) {
  const std::string alone =
      "1 animal per data block is allowed but is only meaningfull when compared to other "
      "blocks\n";
  const std::string names =
      "To help you even more here are the names of data blocks that have < 1 sample in them\n\n";
  w.log_block({"OK OK\n", "Pairwise comparisons need more than 1 animal per data block\n", alone,
               names, "     No.   Name of data block\n",
               "     ________________________________________\n"});
  for (std::size_t p = 0; p < d.names.size(); ++p)
    w.log_out(
        format("     %1d     %s\n", p < d.counts.size() ? d.counts[p] : 0, d.names[p].c_str()));
  const std::string stop =
      "I am simply going to STOP on my own accord to give you time to correct your data input "
      "file.\n";
  w.log_block({"\n\nI just want to let you know that I am not going to CRASH.\n", stop,
               "Keep up the good work!\n"});
}

bool genepop_error(const Writer& w, const Error& e) {
  const ErrorDetails& d = e.details();
  switch (e.code()) {
    case ErrorCode::GenepopNoSeparator:
      w.log_block({"          No population separator was found in the GENEPOP file.\n",
                   "          Check that the population separator using the '-k STR' "
                   "is correctly defined for the '-1 FILE'.\n"});
      return true;
    case ErrorCode::GenepopNoLocusNames:
      w.log_out(format("Need loci names to be read. Did not read any (nloci=%d)\n", 0));
      return true;
    case ErrorCode::NoCommaAfterName:
      w.log("Must have comma after sample name then allele number. \n");
      w.log(format("Line number %d\nLast line read was:\n %s \n", d.line, d.text.c_str()));
      w.out("Must have comma after sample name then allele numbers. \n");
      w.out(format("Line number %d\nLast line read was:\n %s \n", d.line, d.text.c_str()));
      return true;
    case ErrorCode::NoAllelesAfterName:
      w.log_block({format("No alleles after sample name (%s)  \n", d.sample.c_str()),
                   format("Line number %d\nLast line read was:\n %s \n", d.line, d.text.c_str())});
      return true;
    case ErrorCode::GenotypeWidth:
      w.log_out(
          format("Must have 4 or 6 integer characters per set of alleles. Read %lld "
                 "integers in line %d.\n",
                 d.count, d.line));
      return true;
    case ErrorCode::GenotypeCount:
      w.log_out(
          format("No. of loci names (%lld) is different from No. of alleles (%lld) in line "
                 "(%d)\n",
                 d.limit, d.count, d.line));
      return true;
    case ErrorCode::GenotypeWidthDiffers:
      w.log_out(
          format("Must have %lld integer characters per set of alleles, as in line %d. Read "
                 "%lld integers in line %d (field %d): <%s>\n",
                 d.limit, int(d.value), d.count, d.line, d.field, d.text.c_str()));
      return true;
    case ErrorCode::GenotypeSurplus:
      w.log_out(
          format("No. of loci names (%lld) is different from No. of alleles (%lld) in line "
                 "(%d): field %d <%s> follows the last locus.\n",
                 d.limit, d.count, d.line, d.field, d.text.c_str()));
      return true;
    case ErrorCode::EmptyPopulations:
      empty_populations(w, d);
      return true;
    default:
      return false;
  }
}

bool field_error(const Writer& w, const Error& e, const MessageContext& c) {
  const ErrorDetails& d = e.details();
  const char* file = c.file.c_str();
  switch (e.code()) {
    case ErrorCode::NotANumber:
      w.log_out(
          format("\ncheck_int: Non-numeric character (or '.' or '-') read in line %d (field "
                 "%d ) \n",
                 d.line, d.field));
      w.log_out(format("           Character found --> %c <--  in \"%s\"\n", d.character,
                       d.text.c_str()));
      w.log_out(format("           Please check input file \"%s\".\n", file));
      return true;
    case ErrorCode::NumberTooLarge:
      w.log_out(
          format("\ncheck_int: Number too large read in line %d (field %d ) \n", d.line, d.field));
      w.log_out(format("           Number found --> %s <--\n", d.text.c_str()));
      w.log_out(format("           Please check input file \"%s\".\n", file));
      return true;
    case ErrorCode::TwoDecimalPoints:
      w.log_out(
          format("\ncheck_double: Single number had more than one decimal digit '.' in line "
                 "%d (field %d)\n",
                 d.line, d.field));
      w.log_out(format("              Number found --> %s <-- \n", d.text.c_str()));
      w.log_out(format("              Please check input file <%s>.\n", file));
      return true;
    case ErrorCode::NotADecimal:
      w.log_out(format("\ncheck_double: Non-numeric character read in line %d (field %d)\n", d.line,
                       d.field));
      w.log_out(format("              Character found --> %c <-- \n", d.character));
      w.log_out(format("              Please check input file <%s>.\n", file));
      return true;
    case ErrorCode::TabsAndCommas:
      w.log_out(
          "Found both comma's and tabs in input file.  Can accept csv format or tab "
          "separated fields but not both.");
      return true;
    case ErrorCode::TooFewLines:
      w.out_log(
          format("Number of lines read in file %s was %lld\nThis is too few lines and "
                 "program is exiting for you to check",
                 file, d.count));
      return true;
    case ErrorCode::GenalexCounts:
      w.err(
          format("GenAlEx file %s: its first line declares %lld samples in %lld populations, "
                 "but %lld samples in %lld populations were read.\n",
                 file, d.limit, d.other_value, d.count, d.value));
      w.err(
          "Samples of one population must be on consecutive lines; please check the file "
          "against its first line.\n");
      return true;
    case ErrorCode::NoCommaInLine4:
      w.out(
          "No comma found in line 4 and cannot detect if your data is in GENEPOP or TARVO "
          "format.\nPlease read manual.\n");
      return true;
    default:
      return false;
  }
}

void please_check(const Writer& w, const MessageContext& c) {
  w.out_log(format("                  Please check input file <%s>.\n", c.file.c_str()));
}

bool frequency_error(const Writer& w, const Error& e, const MessageContext& c) {
  const ErrorDetails& d = e.details();
  switch (e.code()) {
    case ErrorCode::FrequencyTooManyAlleles:
      w.log_out(format("Need to increase size of NOA=%d to read more alleles \n", NOA));
      return true;
    case ErrorCode::AllelesNotAscending:
      w.out_log(
          format("\nread_allele_freq: Alleles of locus %s must be in ascending order "
                 "(line=%d)\n",
                 d.locus.c_str(), d.line));
      please_check(w, c);
      return true;
    case ErrorCode::FrequencyAlleleZero:
      w.out_log(
          format("\nread_allele_freq: Allele 0 of locus %s in line=%d (field %d): 0 means a "
                 "missing allele and cannot have a frequency\n",
                 d.locus.c_str(), d.line, d.field));
      please_check(w, c);
      return true;
    case ErrorCode::FrequencyCount:
      w.out_log(
          format("\nread_allele_freq: Locus %s has %lld alleles but %lld frequencies in "
                 "line=%d\n",
                 d.locus.c_str(), d.limit, d.count, d.line));
      please_check(w, c);
      return true;
    case ErrorCode::FrequencySum:
      w.out(
          format("\nread_allele_freq: Allele frequecies in line=%d do not add up to one (total "
                 "frequency is %f)\n",
                 d.line, d.number));
      w.out(format("                  Please check input file <%s>.\n", c.file.c_str()));
      return true;
    case ErrorCode::NoFrequencyLine:
      w.out_log(format("\nread_allele_freq: Locus %s has no frequency line in file <%s>\n",
                       d.locus.c_str(), c.file.c_str()));
      return true;
    default:
      return false;
  }
}

void unknown_allele(const Writer& w, const ErrorDetails& d, const MessageContext& c) {
  const std::string first = format(
      "locusBinarySearch() Did not find allele <%lld> in locus <%s> \n", d.value, d.locus.c_str());
  const std::string second = format("Alleles at locus number %lld were\n", d.count + 1);
  w.log_block({first, second});
  const auto locus = static_cast<std::size_t>(d.count);
  if (c.frequencies && locus < c.frequencies->loci.size()) {
    const LocusFrequencies& L = c.frequencies->loci[locus];
    for (int j = 0; j < L.size() && j < NOA; ++j) w.log_out(format("%d \n", L.alleles[j]));
  }
  if (!c.genotype_file.empty() && !c.frequency_file.empty())
    w.log_out(format("\n\nCheck if all alleles in file %s are represented in file %s \n",
                     c.genotype_file.c_str(), c.frequency_file.c_str()));
}

// The loci of a mask as the old diagnostics showed them: decimal, then 32 bits.
void show_mask(const Writer& w, long long value) {
  const auto mask = static_cast<std::uint32_t>(value);
  w.log_out(format("(%05u decimal)", mask));
  std::string bits;
  for (int b = 31; b >= 0; --b) bits += ((mask >> b) & 1u) ? '1' : '0';
  w.out(bits);
  w.log(bits);
  w.log_out(" binary");
}

void capacity(const Writer& w, const ErrorDetails& d) {
  const long long a = d.positions.size() > 0 ? d.positions[0] : 0;
  const long long b = d.positions.size() > 1 ? d.positions[1] : 0;
  std::vector<std::string> lines;
  if (d.count == 1) {
    lines.emplace_back("\n\nsim_individual_match_genotypes:\n");
    lines.push_back(
        format("\nWarning 1: high density of recaptures in blocks - may have "
               "overwritten some pair matches blockpos[simBlock[m].ia]=%lld  "
               "Amin=%lld  Amax=%lld\n",
               d.value, d.limit, d.other_value));
  } else {
    lines.push_back(
        format("\nWarning %lld: high density of recaps in blocks - may have "
               "overwritten some pair matches blockposA[simBlock[m].ib]=%lld  "
               "Bmin=%lld  Bmax=%lld\n",
               d.count, d.value, d.limit, d.other_value));
  }
  lines.emplace_back("Overwriting pair matches may cause extra matches in diagonal block\n");
  lines.emplace_back("eg This could occur if R_valueS in simulation is greater than BLOCK size\n");
  lines.push_back(
      format("BLOCK number=%d  blockpos[simBlock[m].ia]=%lld "
             "blockpos[simBlock[m].ib]=%lld \n",
             d.line, a, b));
  for (const std::string& s : lines) w.log(s);
  for (const std::string& s : lines) w.out(s);
}

bool library_error(const Writer& w, const Error& e, const MessageContext& c) {
  const ErrorDetails& d = e.details();
  switch (e.code()) {
    case ErrorCode::TooManyAlleles:
      // The count already includes the missing value: it is the NOA needed.
      w.log(
          format("Need to increase allele numbers: change NOA=%d to new value of %lld and "
                 "recomplie\n",
                 NOA, d.count));
      w.out(
          format("Need to increase allele numbers: change NOA=%d to new value of %lld and "
                 "recompile\n",
                 NOA, d.count));
      return true;
    case ErrorCode::UnknownAllele:
      unknown_allele(w, d, c);
      return true;
    case ErrorCode::TooManyPatterns:
      w.log(format("Maximum number of missing value combinations %lld has exceeded PERM=%d.\n",
                   d.count, PERM));
      w.log("Need to increase PERM.\n");
      w.log("Program stopped due to condition above\n");
      w.out(format("\nMaximum number of missing value combinations %lld has exceeded PERM=%d.\n",
                   d.count, PERM));
      w.out("Need to increase PERM.\n");
      w.out("Program stopped due to condition above\n");
      return true;
    case ErrorCode::NoLocusCompared:
      w.log_out("\nSee code in:  likelihood_ind() \n\n");
      show_mask(w, d.value);
      return true;
    case ErrorCode::CellLogUndefined:
      w.out_log(
          format("Cannot get log of %f in dataBlockRecaps() j=%lld rlist[j]=%lld alpha=%f  "
                 "%s=%f\n",
                 d.number, d.count, d.value, d.other_number, d.name.c_str(), d.limit_number));
      return true;
    case ErrorCode::RecaptureCapacity:
      capacity(w, d);
      return true;
    case ErrorCode::AlleleTooWide:
      w.log_out(
          format("print_genotype_data: Allele value %lld at locus %lld does not fit the "
                 "3-digit GENEPOP field\n",
                 d.value, d.count));
      return true;
    default:
      return false;
  }
}

// Inputs with nothing to analyse, and input that cannot be read at all.
bool input_error(const Writer& w, const Error& e, const MessageContext& c) {
  const ErrorDetails& d = e.details();
  const char* file = c.file.c_str();
  switch (e.code()) {
    case ErrorCode::NoSamplesRead:
      if (c.file.empty()) {
        w.log_out("\nNo genotype samples to draw the missing loci combinations from.\n");
        return true;
      }
      w.log_out(format("\nNo genotype samples were read from file <%s>.\n", file));
      w.log_out(format("          Samples follow a population separator line <%s> (set with -k).\n",
                       c.separator.c_str()));
      please_check(w, c);
      return true;
    case ErrorCode::NoLociRead:
      if (c.file.empty()) {
        w.log_out("\nNo loci to draw the missing loci combinations over.\n");
        return true;
      }
      w.log_out(format("\nNo loci were read from file <%s>.\n", file));
      please_check(w, c);
      return true;
    case ErrorCode::NoLocusScorable:
      w.log_out("\nNo locus can be scored in the simulated samples: -Y must be above 0.\n");
      return true;
    case ErrorCode::ReadFailed:
      w.log_out(format("\nReading file <%s> failed: %s\n", file,
                       d.value != 0 ? std::strerror(int(d.value)) : "read error"));
      return true;
    case ErrorCode::NulCharacter:
      w.log_out(format("\nLine %d of file <%s> holds a NUL byte, which cannot be in a name.\n",
                       d.line, file));
      return true;
    case ErrorCode::GenepopTabs:
      w.log_out(
          format("\nLine %d of file <%s> holds a tab: GENEPOP genotypes are separated by "
                 "blanks and locus names by commas.\n",
                 d.line, file));
      w.log_out(format("Last line read was:\n %s \n", d.text.c_str()));
      return true;
    default:
      return false;
  }
}

}  // namespace

int report_error(const Error& error, const MessageContext& context, report::Console& console) {
  const Writer w{console};
  if (layout_error(w, error, context) || sample_error(w, error) || genepop_error(w, error) ||
      field_error(w, error, context) || frequency_error(w, error, context) ||
      library_error(w, error, context) || input_error(w, error, context))
    return 1;
  console.err(format("Unexpected failure (code %d)\n", static_cast<int>(error.code())));
  return 1;
}

}  // namespace tarvo::cli
