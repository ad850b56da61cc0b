// Reader of GENEPOP files: a title line, the locus names (on one line or
// several), then populations opened by the separator keyword, each sample a
// name, a comma and one 4- or 6-digit genotype per locus.
#include <algorithm>
#include <cctype>
#include <string_view>

#include "formats/fields.h"
#include "tarvo/error.h"
#include "tarvo/formats.h"

namespace tarvo {

namespace {

using fields::skip_blanks;

// Names are copied as written up to their comma or the line end; padding
// blanks there would only make equal names differ.
std::string trimmed(std::string text) {
  const std::size_t end = text.find_last_not_of(' ');
  text.erase(end == std::string::npos ? 0 : end + 1);
  return text;
}

std::string_view without_newline(std::string_view text) {
  return text.substr(0, text.find('\n'));
}

bool only_line_end(std::string_view text) {
  return text.empty() || text == "\n";
}

bool all_zeros(std::string_view field) {
  return field.find_first_not_of('0') == std::string_view::npos;
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The keyword alone on its line opens a population whatever its letter case
// (files write Pop, POP or pop). A line that only starts with the keyword
// opens one when the keyword, in its own case, is followed by a blank or a
// comma ("POP North", "POP,North").
bool is_separator(std::string_view line, const std::string& separator) {
  const std::size_t end = line.find_last_not_of(" \t\n");
  if (end != std::string::npos && same_ignoring_case(line.substr(0, end + 1), separator))
    return true;
  if (line.compare(0, separator.size(), separator) != 0) return false;
  if (line.size() == separator.size()) return true;
  const char next = line[separator.size()];
  return next == ' ' || next == ',' || next == '\n';
}

std::string first_word(const std::string& name) {
  return name.substr(0, name.find(' ')).substr(0, POPNAME);
}

class GenepopReader {
 public:
  explicit GenepopReader(const GenotypeReadSettings& settings)
      : settings_(settings), limit_(std::min(settings.max_samples, ANIM)) {}
  GenotypeTable read(std::istream& in);

 private:
  void locus_line(std::string_view line);
  void add_locus(const std::string& name, std::string_view as_read);
  void separator();
  void name_population();
  void sample(std::string_view line);
  LociMask genotypes(std::string_view work, std::int32_t* row);
  void check_width(std::string_view field, int fieldno);
  void check_surplus(std::string_view rest, int fieldno) const;
  void check_empty_populations() const;
  [[nodiscard]] HeaderDetails header_details(std::string_view as_read) const {
    return HeaderDetails{.line = lineno_,
                         .text = std::string(as_read),
                         .separator_word = separator_word_,
                         .separator_line = separator_line_};
  }
  [[nodiscard]] Error located(ErrorCode code, std::string_view as_read) const {
    return Error(code, LineDetails{.line = lineno_, .text = std::string(as_read)});
  }

  const GenotypeReadSettings& settings_;
  const int limit_;
  int lineno_ = 0;
  bool separator_seen_ = false;
  bool sample_read_ = false;
  std::string last_sample_;
  // The characters of a genotype in this file, set by its first genotype
  // that is not missing, and that genotype's line.
  std::size_t width_ = 0;
  int width_line_ = 0;
  std::vector<std::string> names_;
  // The first line of names that starts with the separator in another case:
  // the likely separator when none is found.
  std::string separator_word_;
  int separator_line_ = 0;
  LociMask initial_mask_ = 0;
  GenotypeTable table_;
  fields::PopulationList pops_;
};

GenotypeTable GenepopReader::read(std::istream& in) {
  fields::for_each_line(in, lineno_, [&](std::string& line) {
    if (lineno_ == 1) return;  // the title, whatever it holds
    // Empty lines, and lines of blanks alone, separate nothing.
    if (line.find_first_not_of(" \t\n") == std::string::npos) return;
    // Genotypes are separated by blanks only; a tab would make two genotypes
    // look like one wrong-sized field.
    if (line.find('\t') != std::string::npos) throw located(ErrorCode::GenepopTabs, line);
    std::string_view text = line;
    skip_blanks(text);
    if (text.size() < 2) return;
    const bool is_sep = is_separator(text, settings_.separator);
    if (!separator_seen_ && !is_sep)
      locus_line(text);
    else if (is_sep)
      separator();
    else
      sample(text);
  });
  // Every line was taken for locus names: the separator is not the one
  // the file uses.
  if (!separator_seen_) throw Error(ErrorCode::GenepopNoSeparator, header_details(""));
  name_population();
  check_empty_populations();
  table_.populations = pops_.finish(table_, settings_);
  return std::move(table_);
}

void GenepopReader::add_locus(const std::string& name, std::string_view as_read) {
  if (int(name.size()) > SOL) throw Error(ErrorCode::LocusNameTooLong, header_details(as_read));
  names_.push_back(name);
}

// The names between commas. A comma with no name before it names nothing,
// so a line of bare commas adds no locus.
void GenepopReader::locus_line(std::string_view line) {
  const std::string_view text = without_newline(line);
  const std::string_view word = text.substr(0, text.find_first_of(" ,\t"));
  if (separator_line_ == 0 && same_ignoring_case(word, settings_.separator)) {
    separator_word_ = std::string(word);
    separator_line_ = lineno_;
  }
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    std::string_view between = text.substr(start, comma - start);
    skip_blanks(between);
    const std::string name = trimmed(std::string(between));
    if (!name.empty()) add_locus(name, line);
    start = comma + 1;
  }
}

void GenepopReader::separator() {
  if (!separator_seen_) {
    if (names_.empty()) throw Error(ErrorCode::GenepopNoLocusNames);
    const int nloci = int(names_.size());
    initial_mask_ = all_loci(nloci);
    table_ = GenotypeTable(nloci, 0);
    table_.locus_names = names_;
  }
  name_population();
  pops_.open(table_, settings_);
  separator_seen_ = true;
}

// Populations carry no names in GENEPOP; the first word of the last sample
// read before the population closes stands in for one.
void GenepopReader::name_population() {
  if (pops_.current() >= 0 && sample_read_) pops_.name_current(first_word(last_sample_));
}

void GenepopReader::sample(std::string_view line) {
  const int index = table_.size();
  // Refuse the sample before anything of it is stored.
  if (index >= limit_) {
    throw Error(ErrorCode::TooManySamples,
                LimitDetails{.count = index + 1, .limit = limit_, .text = std::string(line)});
  }
  const std::size_t comma = fields::char_position(line, ',');
  if (comma == 0) throw located(ErrorCode::NoCommaAfterName, line);
  const std::string name = trimmed(std::string(line.substr(0, comma)));
  last_sample_ = name;
  sample_read_ = true;
  std::string_view work = line;
  fields::skip_through(work, ',');
  skip_blanks(work);
  if (only_line_end(work)) {
    throw Error(ErrorCode::NoAllelesAfterName,
                GenotypeDetails{.line = lineno_, .text = std::string(line), .sample = name});
  }
  std::vector<std::int32_t> row(std::size_t(2 * table_.loci()), 0);
  const LociMask mask = genotypes(work, row.data());
  table_.add_sample(Sample{name, mask, pops_.current()}, row);
  pops_.add_sample();
}

// The genotypes of one sample line into row; returns the loci scored.
LociMask GenepopReader::genotypes(std::string_view work, std::int32_t* row) {
  const int nloci = table_.loci();
  LociMask mask = initial_mask_;
  int fieldno = 1;
  for (int k = 0; k < nloci; ++k) {
    skip_blanks(work);
    const std::string_view field = fields::first_field(work);
    ++fieldno;
    check_width(field, fieldno);
    const std::size_t half = field.size() / 2;
    row[2 * k] = fields::parse_int(field.substr(0, half), lineno_, fieldno);
    row[2 * k + 1] = fields::parse_int(field.substr(half), lineno_, fieldno);
    if (row[2 * k] == 0 || row[2 * k + 1] == 0) mask.reset(k);
    fields::skip_field(work);
    // Blanks at the end of a line are not a further genotype.
    skip_blanks(work);
    if (only_line_end(work) && k < nloci - 1) {
      throw Error(ErrorCode::GenotypeCount,
                  GenotypeDetails{.line = lineno_, .found = k + 1, .expected = nloci});
    }
  }
  check_surplus(work, fieldno + 1);
  return mask;
}

// Every genotype of a file has the width of its first: 1831 in a file of
// three-digit alleles is a typing slip, not alleles 18 and 31. A missing
// genotype is all zeros whatever its width.
void GenepopReader::check_width(std::string_view field, int fieldno) {
  if (field.size() != 4 && field.size() != 6) {
    throw Error(ErrorCode::GenotypeWidth,
                GenotypeDetails{.line = lineno_, .found = long(field.size())});
  }
  if (all_zeros(field)) return;
  if (width_ == 0) {
    width_ = field.size();
    width_line_ = lineno_;
  } else if (field.size() != width_) {
    throw Error(ErrorCode::GenotypeWidthDiffers, GenotypeDetails{.line = lineno_,
                                                                 .field = fieldno,
                                                                 .text = std::string(field),
                                                                 .found = long(field.size()),
                                                                 .expected = long(width_),
                                                                 .expected_line = width_line_});
  }
}

// A field after the last locus is refused: a names list short of one locus
// would otherwise drop a column of every sample without a word.
void GenepopReader::check_surplus(std::string_view rest, int fieldno) const {
  if (only_line_end(rest)) return;
  GenotypeDetails d;
  d.text = std::string(fields::first_field(rest));
  d.expected = table_.loci();
  d.found = table_.loci();
  for (std::string_view words = rest; !only_line_end(words); skip_blanks(words)) {
    ++d.found;
    fields::skip_field(words);
  }
  d.line = lineno_;
  d.field = fieldno;
  throw Error(ErrorCode::GenotypeSurplus, std::move(d));
}

// Every population but the last must hold a sample.
void GenepopReader::check_empty_populations() const {
  PopulationDetails d;
  for (int p = 0; p < pops_.current(); ++p)
    if (pops_.count(p) == 0) d.empty.push_back(pops_.name(p));
  if (!d.empty.empty()) throw Error(ErrorCode::EmptyPopulations, std::move(d));
}

}  // namespace

GenotypeTable read_genepop(std::istream& in, const GenotypeReadSettings& settings) {
  return GenepopReader(settings).read(in);
}

}  // namespace tarvo
