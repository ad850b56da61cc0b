// Every library failure in words. The wording, the spelling slips and the
// layout are the program's historical ones, kept byte for byte: users and
// scripts know them. Reader layout errors go to standard error; the others
// to the run log and standard output, in the order each message has always
// used. Limits are printed as built so the advice to rebuild names the value
// in force. Where the historical words mislead or name what a user cannot
// do, a hint line follows on standard error.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <initializer_list>

#include "report/report.h"
#include "tarvo/limits.h"
#include "tarvo/messages.h"

namespace tarvo {

namespace {

using report::format;

struct Lines {
  std::vector<MessageLine> lines;
  void add(MessageStream stream, std::string text) { lines.push_back({stream, std::move(text)}); }
  void err(std::string s) { add(MessageStream::StandardError, std::move(s)); }
  void log(std::string s) { add(MessageStream::Log, std::move(s)); }
  void out(std::string s) { add(MessageStream::StandardOutput, std::move(s)); }
  void log_out(const std::string& s) {
    log(s);
    out(s);
  }
  void out_log(const std::string& s) {
    out(s);
    log(s);
  }
  void hint(std::string s) { err(std::move(s)); }
  // The same lines to the log, then to standard output.
  void log_block(std::initializer_list<std::string> block) {
    for (const std::string& s : block) log(s);
    for (const std::string& s : block) out(s);
  }
};

using C = MessageContext;

bool same_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A line that starts with the separator in another letter case: followed
// by a name, the separator matches only in its own case.
void separator_hint(Lines& w, int line, const std::string& word) {
  if (word.empty()) return;
  w.hint(
      format("Hint: line %d starts with <%s>: if it opens a population, give the separator "
             "with -k %s\n",
             line, word.c_str(), word.c_str()));
}

void spreadsheet_hint(Lines& w) {
  w.hint(
      "Hint: save a spreadsheet as comma-separated values (CSV), or semicolon-separated; "
      "GENEPOP files have one comma, after each sample name.\n");
}

// ---- Genotype readers: layout ----

void separator_missing(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<PopulationDetails>();
  w.err(
      "\n          In '-1 FILE' must define population structure immediately after allele "
      "header line with loci names\n");
  w.err(
      format("          It appears that population number %d has no samples. Is this "
             "correct?\n",
             d.population));
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

void locus_name_too_long(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<HeaderDetails>();
  w.err("If GENEPOP format used check if 'POP' is at beginning of third line.\n");
  w.err("Else if TARVO format:\n");
  w.err(format("  Loci names can only be read with %d characters. \n", SOL));
  w.err("  Need to reduce length of locus name OR increase size of SOL and recompile\n");
  w.err(format("  Last line read was: %d\n <%s>", d.line, d.text.c_str()));
  w.err("Else check that your data has the correct format (see TARVO manual).\n");
  if (d.separator_line != 0)
    separator_hint(w, d.separator_line, d.separator_word);
  else
    w.hint(report::rebuild_hint("SOL", SOL));
}

void second_locus_name_missing(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<HeaderDetails>();
  w.err(format("Read first allele but could not find second allele (%s)\n", d.first.c_str()));
  w.err(format("Line number %d\nLast line read was:\n %s \n", d.line, d.text.c_str()));
}

void no_loci(Lines& w, const Error&, const C&) {
  w.err("No loci pairs were read in first line\n");
}

void too_many_populations(Lines& w, const Error&, const C&) {
  w.err("Too many populations read in dataset\n");
  w.err(format("Maximum populations in this compiled program is:  BLOCK=%d\n", BLOCK));
  w.err("Need to increase BLOCK parameter in tarvo.h and recompile\n");
  w.hint(report::rebuild_hint("BLOCK", BLOCK));
}

// ---- Genotype readers: samples ----

void second_allele_missing(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<GenotypeDetails>();
  w.err(format("Read first allele number (%s) but could not find second allele number \n",
               d.allele.c_str()));
  w.err(format("Line number %d\nLast line read was:\n %s \n", d.line, d.text.c_str()));
}

void genotype_place(Lines& w, const GenotypeDetails& d) {
  w.err(format("       Animal name is: %s\n", d.sample.c_str()));
  w.err(format("       Locus  name is: %s\n", d.locus.c_str()));
  w.err(format("       Line number is:%4d\n", d.line));
  w.err(format("       Line read is: %s\n", d.text.c_str()));
}

void half_missing_genotype(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<GenotypeDetails>();
  const std::string under(35, '_');
  w.err(format("\n\n%s\nAllele pairs must both be missing\n%s\nNon-missing allele is:",
               under.c_str(), under.c_str()));
  w.err(format(" <%s>\n", d.allele.c_str()));
  genotype_place(w, d);
}

void allele_pair_count(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<GenotypeDetails>();
  const std::string under(87, '_');
  w.err(format("\n\n%s\n", under.c_str()));
  w.err(
      format("Loci pairs (%lld) in current line do not match in number with those in header "
             "file (%lld)\n",
             d.found, d.expected));
  w.err(format("%s\n", under.c_str()));
  genotype_place(w, d);
}

void too_many_samples(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<LimitDetails>();
  w.err(
      format("read_base_pairs: Need to increase size of ANIM=%d to read more genotype "
             "records\n",
             ANIM));
  w.err(format("   Last line read was : %s", d.text.c_str()));
  w.err(format("   Samples read so far: %lld", d.count));
  w.hint(report::rebuild_hint("ANIM", ANIM));
}

void empty_population(Lines& w, const Error&, const C&) {
  w.err(
      "\n          Make sure data is in TARVO format or use '-f' option to define GENEPOP "
      "data format \n\n");
}

void locus_names_differ(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<HeaderDetails>();
  w.log_block({format("          Pair of allele names do not match (%s) (%s) in first line "
                      "of data. locus=%d\n",
                      d.first.c_str(), d.second.c_str(), d.locus),
               "          Make sure data is in TARVO format or use '-f' option to define "
               "GENEPOP data format \n\n"});
}

// ---- GENEPOP reader ----

void genepop_no_separator(Lines& w, const Error& e, const C&) {
  w.log_block({"          No population separator was found in the GENEPOP file.\n",
               "          Check that the population separator using the '-k STR' "
               "is correctly defined for the '-1 FILE'.\n"});
  const auto& d = e.details<HeaderDetails>();
  separator_hint(w, d.separator_line, d.separator_word);
}

void genepop_no_locus_names(Lines& w, const Error&, const C&) {
  w.log_out(format("Need loci names to be read. Did not read any (nloci=%d)\n", 0));
}

void no_comma_after_name(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<LineDetails>();
  w.log("Must have comma after sample name then allele number. \n");
  w.log(format("Line number %d\nLast line read was:\n %s \n", d.line, d.text.c_str()));
  w.out("Must have comma after sample name then allele numbers. \n");
  w.out(format("Line number %d\nLast line read was:\n %s \n", d.line, d.text.c_str()));
  const std::string word = d.text.substr(0, d.text.find_first_of(" ,\t\r\n"));
  if (word != c.separator && same_ignoring_case(word, c.separator)) separator_hint(w, d.line, word);
}

void no_alleles_after_name(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<GenotypeDetails>();
  w.log_block({format("No alleles after sample name (%s)  \n", d.sample.c_str()),
               format("Line number %d\nLast line read was:\n %s \n", d.line, d.text.c_str())});
}

void genotype_width(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<GenotypeDetails>();
  w.log_out(
      format("Must have 4 or 6 integer characters per set of alleles. Read %lld "
             "integers in line %d.\n",
             d.found, d.line));
}

void genotype_count(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<GenotypeDetails>();
  w.log_out(
      format("No. of loci names (%lld) is different from No. of alleles (%lld) in line "
             "(%d)\n",
             d.expected, d.found, d.line));
}

void genotype_width_differs(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<GenotypeDetails>();
  w.log_out(
      format("Must have %lld integer characters per set of alleles, as in line %d. Read "
             "%lld integers in line %d (field %d): <%s>\n",
             d.expected, d.expected_line, d.found, d.line, d.field, d.text.c_str()));
}

void genotype_surplus(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<GenotypeDetails>();
  w.log_out(
      format("No. of loci names (%lld) is different from No. of alleles (%lld) in line "
             "(%d): field %d <%s> follows the last locus.\n",
             d.expected, d.found, d.line, d.field, d.text.c_str()));
}

void empty_populations(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<PopulationDetails>();
  const std::string alone =
      "1 animal per data block is allowed but is only meaningfull when compared to other "
      "blocks\n";
  const std::string names =
      "To help you even more here are the names of data blocks that have < 1 sample in them\n\n";
  w.log_block({"OK OK\n", "Pairwise comparisons need more than 1 animal per data block\n", alone,
               names, "     No.   Name of data block\n",
               "     ________________________________________\n"});
  for (const std::string& name : d.empty) w.log_out(format("     %1d     %s\n", 0, name.c_str()));
  const std::string stop =
      "I am simply going to STOP on my own accord to give you time to correct your data input "
      "file.\n";
  w.log_block({"\n\nI just want to let you know that I am not going to CRASH.\n", stop,
               "Keep up the good work!\n"});
}

// ---- Fields and format detection ----

void not_a_number(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<LineDetails>();
  w.log_out(
      format("\ncheck_int: Non-numeric character (or '.' or '-') read in line %d (field "
             "%d ) \n",
             d.line, d.field));
  w.log_out(
      format("           Character found --> %c <--  in \"%s\"\n", d.character, d.text.c_str()));
  w.log_out(format("           Please check input file \"%s\".\n", c.file.c_str()));
}

void number_too_large(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<LineDetails>();
  w.log_out(
      format("\ncheck_int: Number too large read in line %d (field %d ) \n", d.line, d.field));
  w.log_out(format("           Number found --> %s <--\n", d.text.c_str()));
  w.log_out(format("           Please check input file \"%s\".\n", c.file.c_str()));
}

void two_decimal_points(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<LineDetails>();
  w.log_out(
      format("\ncheck_double: Single number had more than one decimal digit '.' in line "
             "%d (field %d)\n",
             d.line, d.field));
  w.log_out(format("              Number found --> %s <-- \n", d.text.c_str()));
  w.log_out(format("              Please check input file <%s>.\n", c.file.c_str()));
}

void not_a_decimal(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<LineDetails>();
  w.log_out(format("\ncheck_double: Non-numeric character read in line %d (field %d)\n", d.line,
                   d.field));
  w.log_out(format("              Character found --> %c <-- \n", d.character));
  w.log_out(format("              Please check input file <%s>.\n", c.file.c_str()));
}

void tabs_and_commas(Lines& w, const Error&, const C&) {
  w.log_out(
      "Found both comma's and tabs in input file.  Can accept csv format or tab "
      "separated fields but not both.");
}

void too_few_lines(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<LimitDetails>();
  w.out_log(
      format("Number of lines read in file %s was %lld\nThis is too few lines and "
             "program is exiting for you to check",
             c.file.c_str(), d.count));
}

void no_comma_in_line4(Lines& w, const Error&, const C&) {
  w.out(
      "No comma found in line 4 and cannot detect if your data is in GENEPOP or TARVO "
      "format.\nPlease read manual.\n");
  spreadsheet_hint(w);
}

void genalex_counts(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<DeclaredCounts>();
  w.err(
      format("GenAlEx file %s: its first line declares %lld samples in %lld populations, "
             "but %lld samples in %lld populations were read.\n",
             c.file.c_str(), d.samples_declared, d.populations_declared, d.samples_read,
             d.populations_read));
  w.err(
      "Samples of one population must be on consecutive lines; please check the file "
      "against its first line.\n");
}

// ---- Allele frequency file ----

void please_check(Lines& w, const C& c) {
  w.out_log(format("                  Please check input file <%s>.\n", c.file.c_str()));
}

void frequency_too_many_alleles(Lines& w, const Error&, const C&) {
  w.log_out(format("Need to increase size of NOA=%d to read more alleles \n", NOA));
  w.hint(report::rebuild_hint("NOA", NOA));
}

void alleles_not_ascending(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<FrequencyDetails>();
  w.out_log(
      format("\nread_allele_freq: Alleles of locus %s must be in ascending order "
             "(line=%d)\n",
             d.locus.c_str(), d.line));
  please_check(w, c);
}

void frequency_allele_zero(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<FrequencyDetails>();
  w.out_log(
      format("\nread_allele_freq: Allele 0 of locus %s in line=%d (field %d): 0 means a "
             "missing allele and cannot have a frequency\n",
             d.locus.c_str(), d.line, d.field));
  please_check(w, c);
}

void frequency_count(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<FrequencyDetails>();
  w.out_log(
      format("\nread_allele_freq: Locus %s has %lld alleles but %lld frequencies in "
             "line=%d\n",
             d.locus.c_str(), d.alleles, d.frequencies, d.line));
  please_check(w, c);
}

void frequency_sum(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<FrequencyDetails>();
  w.out(
      format("\nread_allele_freq: Allele frequecies in line=%d do not add up to one (total "
             "frequency is %f)\n",
             d.line, d.total));
  w.out(format("                  Please check input file <%s>.\n", c.file.c_str()));
}

void no_frequency_line(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<FrequencyDetails>();
  w.out_log(format("\nread_allele_freq: Locus %s has no frequency line in file <%s>\n",
                   d.locus.c_str(), c.file.c_str()));
}

// ---- Library ----

void too_many_alleles(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<LimitDetails>();
  // The count already includes the missing value: it is the NOA needed.
  w.log(
      format("Need to increase allele numbers: change NOA=%d to new value of %lld and "
             "recomplie\n",
             NOA, d.count));
  w.out(
      format("Need to increase allele numbers: change NOA=%d to new value of %lld and "
             "recompile\n",
             NOA, d.count));
  w.hint(report::rebuild_hint("NOA", NOA, d.count));
}

void unknown_allele(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<AlleleDetails>();
  const std::string first =
      format("locusBinarySearch() Did not find allele <%lld> in locus <%s> \n", d.allele,
             d.locus_name.c_str());
  const std::string second = format("Alleles at locus number %d were\n", d.locus + 1);
  w.log_block({first, second});
  const auto locus = static_cast<std::size_t>(d.locus);
  if (c.frequencies && locus < c.frequencies->loci.size()) {
    const LocusFrequencies& L = c.frequencies->loci[locus];
    for (int j = 0; j < L.size() && j < NOA; ++j) w.log_out(format("%d \n", L.alleles[j]));
  }
  if (!c.genotype_file.empty() && !c.frequency_file.empty())
    w.log_out(format("\n\nCheck if all alleles in file %s are represented in file %s \n",
                     c.genotype_file.c_str(), c.frequency_file.c_str()));
}

void too_many_patterns(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<LimitDetails>();
  w.log(format("Maximum number of missing value combinations %lld has exceeded PERM=%d.\n", d.count,
               PERM));
  w.log("Need to increase PERM.\n");
  w.log("Program stopped due to condition above\n");
  w.out(format("\nMaximum number of missing value combinations %lld has exceeded PERM=%d.\n",
               d.count, PERM));
  w.out("Need to increase PERM.\n");
  w.out("Program stopped due to condition above\n");
  w.hint(report::rebuild_hint("PERM", PERM));
}

// The loci of a mask as the old diagnostics showed them: decimal, then 32 bits.
void no_locus_compared(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<MaskDetails>();
  w.log_out("\nSee code in:  likelihood_ind() \n\n");
  const auto mask = d.mask;
  w.log_out(format("(%05u decimal)", mask));
  std::string bits;
  for (int b = 31; b >= 0; --b) bits += ((mask >> b) & 1u) ? '1' : '0';
  w.out(bits);
  w.log(bits);
  w.log_out(" binary");
}

void cell_log_undefined(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<CellDetails>();
  w.out_log(
      format("Cannot get log of %f in dataBlockRecaps() j=%d rlist[j]=%lld alpha=%f  "
             "%s=%f\n",
             d.argument, d.cell, d.matches, d.false_positives, d.size_name.c_str(), d.size));
}

void recapture_capacity(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<RecaptureDetails>();
  Lines block;
  if (d.warning == 1) {
    block.log("\n\nsim_individual_match_genotypes:\n");
    block.log(
        format("\nWarning 1: high density of recaptures in blocks - may have "
               "overwritten some pair matches blockpos[simBlock[m].ia]=%lld  "
               "Amin=%lld  Amax=%lld\n",
               d.position, d.first, d.end));
  } else {
    block.log(
        format("\nWarning %d: high density of recaps in blocks - may have "
               "overwritten some pair matches blockposA[simBlock[m].ib]=%lld  "
               "Bmin=%lld  Bmax=%lld\n",
               d.warning, d.position, d.first, d.end));
  }
  block.log("Overwriting pair matches may cause extra matches in diagonal block\n");
  block.log("eg This could occur if R_valueS in simulation is greater than BLOCK size\n");
  block.log(
      format("BLOCK number=%d  blockpos[simBlock[m].ia]=%lld "
             "blockpos[simBlock[m].ib]=%lld \n",
             d.plan_rows, d.position_a, d.position_b));
  for (const MessageLine& line : block.lines) w.log(line.text);
  for (const MessageLine& line : block.lines) w.out(line.text);
}

void allele_too_wide(Lines& w, const Error& e, const C&) {
  const auto& d = e.details<AlleleDetails>();
  w.log_out(
      format("print_genotype_data: Allele value %lld at locus %d does not fit the "
             "3-digit GENEPOP field\n",
             d.allele, d.locus + 1));
}

// ---- Nothing to analyse, or input that cannot be read ----

void no_samples_read(Lines& w, const Error&, const C& c) {
  if (c.file.empty()) {
    w.log_out("\nNo genotype samples to draw the missing loci combinations from.\n");
    return;
  }
  w.log_out(format("\nNo genotype samples were read from file <%s>.\n", c.file.c_str()));
  w.log_out(format("          Samples follow a population separator line <%s> (set with -k).\n",
                   c.separator.c_str()));
  please_check(w, c);
}

void no_loci_read(Lines& w, const Error&, const C& c) {
  if (c.file.empty()) {
    w.log_out("\nNo loci to draw the missing loci combinations over.\n");
    return;
  }
  w.log_out(format("\nNo loci were read from file <%s>.\n", c.file.c_str()));
  please_check(w, c);
}

void no_locus_scorable(Lines& w, const Error&, const C&) {
  w.log_out("\nNo locus can be scored in the simulated samples: -Y must be above 0.\n");
}

void read_failed(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<SystemDetails>();
  w.log_out(format("\nReading file <%s> failed: %s\n", c.file.c_str(),
                   d.error != 0 ? std::strerror(d.error) : "read error"));
}

void nul_character(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<LineDetails>();
  w.log_out(format("\nLine %d of file <%s> holds a NUL byte, which cannot be in a name.\n", d.line,
                   c.file.c_str()));
  w.hint(
      "Hint: NUL bytes are not text: if the file is a spreadsheet workbook, save it as "
      "comma-separated values (CSV).\n");
}

void genepop_tabs(Lines& w, const Error& e, const C& c) {
  const auto& d = e.details<LineDetails>();
  w.log_out(
      format("\nLine %d of file <%s> holds a tab: GENEPOP genotypes are separated by "
             "blanks and locus names by commas.\n",
             d.line, c.file.c_str()));
  w.log_out(format("Last line read was:\n %s \n", d.text.c_str()));
}

using Writer = void (*)(Lines&, const Error&, const C&);

// One entry per code and no default: this file is built with -Wswitch-enum,
// so a code added without its message does not compile.
Writer writer_of(ErrorCode code) {
  switch (code) {
    // clang-format off
    case ErrorCode::SeparatorMissing:        return separator_missing;
    case ErrorCode::LocusNameTooLong:        return locus_name_too_long;
    case ErrorCode::SecondLocusNameMissing:  return second_locus_name_missing;
    case ErrorCode::NoLoci:                  return no_loci;
    case ErrorCode::TooManyPopulations:      return too_many_populations;
    case ErrorCode::SecondAlleleMissing:     return second_allele_missing;
    case ErrorCode::HalfMissingGenotype:     return half_missing_genotype;
    case ErrorCode::AllelePairCount:         return allele_pair_count;
    case ErrorCode::TooManySamples:          return too_many_samples;
    case ErrorCode::EmptyPopulation:         return empty_population;
    case ErrorCode::LocusNamesDiffer:        return locus_names_differ;
    case ErrorCode::GenepopNoSeparator:      return genepop_no_separator;
    case ErrorCode::GenepopNoLocusNames:     return genepop_no_locus_names;
    case ErrorCode::NoCommaAfterName:        return no_comma_after_name;
    case ErrorCode::NoAllelesAfterName:      return no_alleles_after_name;
    case ErrorCode::GenotypeWidth:           return genotype_width;
    case ErrorCode::GenotypeCount:           return genotype_count;
    case ErrorCode::GenotypeWidthDiffers:    return genotype_width_differs;
    case ErrorCode::GenotypeSurplus:         return genotype_surplus;
    case ErrorCode::EmptyPopulations:        return empty_populations;
    case ErrorCode::NotANumber:              return not_a_number;
    case ErrorCode::NumberTooLarge:          return number_too_large;
    case ErrorCode::TwoDecimalPoints:        return two_decimal_points;
    case ErrorCode::NotADecimal:             return not_a_decimal;
    case ErrorCode::TabsAndCommas:           return tabs_and_commas;
    case ErrorCode::TooFewLines:             return too_few_lines;
    case ErrorCode::NoCommaInLine4:          return no_comma_in_line4;
    case ErrorCode::GenalexCounts:           return genalex_counts;
    case ErrorCode::FrequencyTooManyAlleles: return frequency_too_many_alleles;
    case ErrorCode::AllelesNotAscending:     return alleles_not_ascending;
    case ErrorCode::FrequencyAlleleZero:     return frequency_allele_zero;
    case ErrorCode::FrequencyCount:          return frequency_count;
    case ErrorCode::FrequencySum:            return frequency_sum;
    case ErrorCode::NoFrequencyLine:         return no_frequency_line;
    case ErrorCode::TooManyAlleles:          return too_many_alleles;
    case ErrorCode::UnknownAllele:           return unknown_allele;
    case ErrorCode::TooManyPatterns:         return too_many_patterns;
    case ErrorCode::NoLocusCompared:         return no_locus_compared;
    case ErrorCode::CellLogUndefined:        return cell_log_undefined;
    case ErrorCode::RecaptureCapacity:       return recapture_capacity;
    case ErrorCode::AlleleTooWide:           return allele_too_wide;
    case ErrorCode::NoSamplesRead:           return no_samples_read;
    case ErrorCode::NoLociRead:              return no_loci_read;
    case ErrorCode::NoLocusScorable:         return no_locus_scorable;
    case ErrorCode::ReadFailed:              return read_failed;
    case ErrorCode::NulCharacter:            return nul_character;
    case ErrorCode::GenepopTabs:             return genepop_tabs;
    case ErrorCode::Count:                   return nullptr;
      // clang-format on
  }
  return nullptr;
}

}  // namespace

std::vector<MessageLine> describe(const Error& error, const MessageContext& context) {
  Lines w;
  if (const Writer write = writer_of(error.code()))
    write(w, error, context);
  else
    w.err(format("Unexpected failure (code %d)\n", static_cast<int>(error.code())));
  return std::move(w.lines);
}

namespace {

// The words of a message as one text: the lines a program writing a single
// stream shows (the log repeats standard output), without the blank lines
// that set it apart in a report.
std::string joined(const std::vector<MessageLine>& lines) {
  std::string text;
  for (const MessageLine& line : lines)
    if (line.stream != MessageStream::Log) text += line.text;
  const std::size_t first = text.find_first_not_of(" \n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \n") + 1 - first);
}

}  // namespace

Error::Error(ErrorCode code, ErrorDetails details)
    : code_(code),
      details_(std::move(details)),
      message_(std::make_shared<const std::string>(joined(describe(*this)))) {}

}  // namespace tarvo
