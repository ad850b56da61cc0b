// Reader of the spreadsheet layout: a header naming each locus twice (one
// column per allele), population separator lines and one sample per line,
// all comma-separated, or all semicolon-separated as spreadsheets write them
// where the decimal separator is a comma.
#include <algorithm>
#include <array>

#include "formats/fields.h"
#include "tarvo/error.h"
#include "tarvo/formats.h"

namespace tarvo {

namespace {

using fields::first_field;
using fields::skip_blanks;
using fields::skip_field;

void next_field(std::string_view& work) {
  skip_field(work);
  skip_blanks(work);
}

class OwnReader {
 public:
  explicit OwnReader(const GenotypeReadSettings& settings)
      : settings_(settings), limit_(std::min(settings.max_samples, ANIM)) {}
  GenotypeTable read(std::istream& in);

 private:
  void header(std::string_view work, const std::string& as_read);
  void separator(std::string_view work);
  // A sample line as read: every pair the line holds, so a line with more
  // pairs than the header is refused by its count rather than cut.
  struct SampleLine {
    std::string name;
    std::string as_read;
    int shown_line = 0;
    std::vector<std::int32_t> alleles;
    LociMask mask = 0;
    int pairs = 0;
  };
  void sample(std::string_view work, const std::string& name, const std::string& as_read);
  [[nodiscard]] SampleLine allele_pairs(std::string_view work, SampleLine got) const;
  [[nodiscard]] std::string locus_name(int k) const {
    return k < table_.loci() ? table_.locus_names[std::size_t(k)] : std::string();
  }

  const GenotypeReadSettings& settings_;
  const int limit_;
  int lineno_ = 0;
  bool header_read_ = false;
  bool semicolons_ = false;
  bool separator_seen_ = false;
  LociMask initial_mask_ = 0;
  GenotypeTable table_;
  fields::PopulationList pops_;
};

GenotypeTable OwnReader::read(std::istream& in) {
  fields::for_each_line(in, lineno_, [&](std::string& line) {
    // Empty lines, and lines of blanks alone, separate nothing.
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos || line.size() - start < 2) return;

    // The header line tells the separator of the file.
    if (!header_read_) semicolons_ = fields::spreadsheet_separator(line) == ';';
    std::string blanked = line;
    if (semicolons_) std::replace(blanked.begin(), blanked.end(), ';', ',');
    fields::commas_to_blanks(blanked);
    std::string_view work = blanked;
    if (!header_read_) {
      header(work, line);
      return;
    }
    skip_blanks(work);
    const std::string name(first_field(work));
    if (name == settings_.separator)
      separator(work);
    else
      sample(work, name, line);
  });
  table_.populations = pops_.finish(table_, settings_);
  return std::move(table_);
}

void OwnReader::header(std::string_view work, const std::string& as_read) {
  std::vector<std::string> names;
  skip_blanks(work);
  next_field(work);
  // The details copy the whole line: made only for a refusal.
  const auto at_line = [&](std::string name) {
    return HeaderDetails{.line = lineno_, .text = as_read, .first = std::move(name)};
  };
  while (work.size() > 1) {
    const std::string a(first_field(work));
    if (int(a.size()) > SOL) throw Error(ErrorCode::LocusNameTooLong, at_line(""));
    names.push_back(a);
    next_field(work);
    if (work.size() <= 1) throw Error(ErrorCode::SecondLocusNameMissing, at_line(a));
    const std::string b(first_field(work));
    if (b != a) {
      throw Error(ErrorCode::LocusNamesDiffer,
                  HeaderDetails{.first = a, .second = b, .locus = int(names.size())});
    }
    next_field(work);
  }
  if (names.empty()) throw Error(ErrorCode::NoLoci);
  const int nloci = int(names.size());
  table_ = GenotypeTable(nloci, 0);
  table_.locus_names = std::move(names);
  initial_mask_ = all_loci(nloci);
  header_read_ = true;
}

void OwnReader::separator(std::string_view work) {
  pops_.open(table_, settings_);
  next_field(work);
  // A separator without a name gives an unnamed population, never the name
  // of one dropped at this index.
  pops_.name_current(work.size() > 1 ? std::string(first_field(work).substr(0, POPNAME)) : "");
  const int j = pops_.current();
  if (j > 0 && pops_.count(j - 1) == 0) throw Error(ErrorCode::EmptyPopulation);
  separator_seen_ = true;
}

void OwnReader::sample(std::string_view work, const std::string& name, const std::string& as_read) {
  if (!separator_seen_) {
    throw Error(ErrorCode::SeparatorMissing, PopulationDetails{.population = pops_.current()});
  }
  const int index = table_.size();
  // Refuse the sample before anything of it is stored.
  if (index >= limit_) {
    throw Error(ErrorCode::TooManySamples,
                LimitDetails{.count = index + 1, .limit = limit_, .text = as_read});
  }
  // The pair messages show this reckoning of the line number, which ignores
  // empty lines and dropped populations.
  const SampleLine got =
      allele_pairs(work, SampleLine{name, as_read, index + pops_.current() + 2, {}});
  if (got.pairs != table_.loci()) {
    GenotypeDetails d;
    d.sample = name;
    d.locus = locus_name(got.pairs);
    d.text = as_read;
    d.found = got.pairs;
    d.expected = table_.loci();
    d.line = got.shown_line;
    throw Error(ErrorCode::AllelePairCount, std::move(d));
  }
  table_.add_sample(Sample{name, got.mask, pops_.current()}, got.alleles);
  pops_.add_sample();
}

// The allele pairs after the sample name, as many as the line holds.
OwnReader::SampleLine OwnReader::allele_pairs(std::string_view work, SampleLine got) const {
  got.mask = initial_mask_;
  next_field(work);
  int fieldno = 1;
  while (work.size() > 1) {
    const int k = got.pairs;
    const std::size_t at = 2 * std::size_t(k);
    const std::string_view a = first_field(work);
    got.alleles.resize(at + 2, 0);
    got.alleles[at] = fields::parse_int(a, lineno_, ++fieldno);
    next_field(work);
    if (work.size() <= 1) {
      throw Error(ErrorCode::SecondAlleleMissing,
                  GenotypeDetails{.line = lineno_, .text = got.as_read, .allele = std::string(a)});
    }
    const std::string_view b = first_field(work);
    got.alleles[at + 1] = fields::parse_int(b, lineno_, ++fieldno);
    next_field(work);
    if ((a == "0" || b == "0") && a != b) {
      GenotypeDetails d;
      d.allele = std::string(a == "0" ? b : a);
      d.sample = got.name;
      d.locus = locus_name(k);
      d.text = got.as_read;
      d.line = got.shown_line;
      throw Error(ErrorCode::HalfMissingGenotype, std::move(d));
    }
    // Either allele missing leaves the genotype unusable for matching.
    if (got.alleles[at] == 0 || got.alleles[at + 1] == 0) got.mask.reset(k);
    ++got.pairs;
  }
  return got;
}

}  // namespace

GenotypeTable read_own_format(std::istream& in, const GenotypeReadSettings& settings) {
  return OwnReader(settings).read(in);
}

}  // namespace tarvo
