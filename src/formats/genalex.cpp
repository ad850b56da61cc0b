// Reader of GenAlEx comma-separated (or semicolon-separated) exports: a first line of counts (loci,
// samples, populations, then the size of each population), a title line, a
// header line (sample, population, each locus name over its two columns),
// then one sample per line: its name, its population's name and two allele
// columns per locus. Samples of one population are on consecutive lines.
#include <algorithm>

#include "formats/fields.h"
#include "tarvo/error.h"
#include "tarvo/formats.h"

namespace tarvo {

namespace {

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The fields of one line, trimmed, quotes removed (a spreadsheet quotes a
// field holding its separator, doubling its quotes); trailing empty fields,
// which spreadsheets pad short rows with, are dropped.
std::vector<std::string> csv_fields(const std::string& line, char separator) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\n') break;
    if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == separator && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  for (std::string& f : fields) f = trimmed(f);
  while (!fields.empty() && fields.back().empty()) fields.pop_back();
  return fields;
}

bool whole_number(const std::string& text) {
  return !text.empty() && text.size() < 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

class GenalexReader {
 public:
  explicit GenalexReader(const GenotypeReadSettings& settings)
      : settings_(settings), limit_(std::min(settings.max_samples, ANIM)) {}
  GenotypeTable read(std::istream& in);

 private:
  void counts(const std::vector<std::string>& f);
  void header(std::vector<std::string> f, const std::string& as_read);
  void sample(const std::vector<std::string>& f, const std::string& as_read);
  void make_table();
  [[nodiscard]] std::string locus_name(int k) const;
  [[nodiscard]] GenotypeDetails at_line(const std::string& as_read) const {
    GenotypeDetails d;
    d.text = as_read;
    d.line = lineno_;
    return d;
  }

  const GenotypeReadSettings& settings_;
  const int limit_;
  int lineno_ = 0;
  char separator_ = ',';
  int nloci_ = 0;  // as declared: believed once a sample line holds that many pairs
  std::vector<std::string> header_;
  int declared_samples_ = 0;
  int declared_populations_ = 0;
  int samples_read_ = 0;
  int populations_read_ = 0;
  std::string population_;  // name of the population being read
  GenotypeTable table_;
  fields::PopulationList pops_;
};

GenotypeTable GenalexReader::read(std::istream& in) {
  fields::for_each_line(in, lineno_, [&](std::string& line) {
    // The first line of counts tells the separator of the file.
    if (lineno_ == 1) separator_ = fields::spreadsheet_separator(line);
    const std::vector<std::string> f = csv_fields(line, separator_);
    const std::string as_read = line.substr(0, line.find('\n'));
    if (lineno_ == 1)
      counts(f);
    else if (lineno_ == 3)
      header(f, as_read);
    else if (lineno_ > 3 && !f.empty())
      sample(f, as_read);
  });
  if (samples_read_ != declared_samples_ || populations_read_ != declared_populations_) {
    throw Error(ErrorCode::GenalexCounts,
                DeclaredCounts{.samples_declared = declared_samples_,
                               .samples_read = samples_read_,
                               .populations_declared = declared_populations_,
                               .populations_read = populations_read_});
  }
  table_.populations = pops_.finish(table_, settings_);
  return std::move(table_);
}

void GenalexReader::counts(const std::vector<std::string>& f) {
  // Detection has seen at least four whole numbers here.
  nloci_ = fields::parse_int(f.size() > 0 ? f[0] : "", lineno_, 1);
  declared_samples_ = fields::parse_int(f.size() > 1 ? f[1] : "", lineno_, 2);
  declared_populations_ = fields::parse_int(f.size() > 2 ? f[2] : "", lineno_, 3);
  if (nloci_ == 0) throw Error(ErrorCode::NoLoci);
}

void GenalexReader::header(std::vector<std::string> f, const std::string& as_read) {
  for (std::size_t at = 2; at < f.size(); at += 2)
    if (int(f[at].size()) > SOL)
      throw Error(ErrorCode::LocusNameTooLong, HeaderDetails{.line = lineno_, .text = as_read});
  header_ = std::move(f);
}

// A locus the header leaves unnamed is named by its number.
std::string GenalexReader::locus_name(int k) const {
  const std::size_t at = 2 + 2 * std::size_t(k);
  if (at < header_.size() && !header_[at].empty()) return header_[at];
  return fields::format("L%d", k + 1);
}

// Only a sample line of as many allele pairs as the first line declares
// sizes the table: a count alone, read from the file, sizes nothing.
void GenalexReader::make_table() {
  table_ = GenotypeTable(nloci_, 0);
  for (int k = 0; k < nloci_; ++k) table_.locus_names.push_back(locus_name(k));
}

void GenalexReader::sample(const std::vector<std::string>& f, const std::string& as_read) {
  const int index = table_.size();
  if (index >= limit_) {
    throw Error(ErrorCode::TooManySamples,
                LimitDetails{.count = index + 1, .limit = limit_, .text = as_read});
  }
  const std::string& name = f[0];
  const int pairs = (int(f.size()) - 2) / 2;
  if (long(f.size()) != 2 + 2 * long(nloci_)) {
    GenotypeDetails d = at_line(as_read);
    d.sample = name;
    d.locus = pairs >= 0 && pairs < nloci_ ? locus_name(pairs) : "";
    d.found = std::max(pairs, 0);
    d.expected = nloci_;
    throw Error(ErrorCode::AllelePairCount, std::move(d));
  }
  if (table_.loci() == 0) make_table();
  // A population opens where the population column changes.
  if (samples_read_ == 0 || f[1] != population_) {
    pops_.open(table_, settings_);
    population_ = f[1];
    pops_.name_current(population_.substr(0, POPNAME));
    ++populations_read_;
  }
  std::vector<std::int32_t> row(2 * std::size_t(nloci_), 0);
  LociMask mask = all_loci(nloci_);
  for (int k = 0; k < nloci_; ++k) {
    const std::string& a = f[2 + 2 * std::size_t(k)];
    const std::string& b = f[3 + 2 * std::size_t(k)];
    row[2 * std::size_t(k)] = fields::parse_int(a, lineno_, 3 + 2 * k);
    row[2 * std::size_t(k) + 1] = fields::parse_int(b, lineno_, 4 + 2 * k);
    const bool a_missing = row[2 * std::size_t(k)] == 0,
               b_missing = row[2 * std::size_t(k) + 1] == 0;
    if (a_missing != b_missing) {
      GenotypeDetails d = at_line(as_read);
      d.allele = a_missing ? b : a;
      d.sample = name;
      d.locus = table_.locus_names[std::size_t(k)];
      throw Error(ErrorCode::HalfMissingGenotype, std::move(d));
    }
    if (a_missing) mask.reset(k);
  }
  table_.add_sample(Sample{name, mask, pops_.current()}, row);
  pops_.add_sample();
  ++samples_read_;
}

}  // namespace

bool looks_like_genalex(const std::string& first_line) {
  const std::vector<std::string> f =
      csv_fields(first_line, fields::spreadsheet_separator(first_line));
  return f.size() >= 4 && std::all_of(f.begin(), f.end(), whole_number);
}

GenotypeTable read_genalex(std::istream& in, const GenotypeReadSettings& settings) {
  return GenalexReader(settings).read(in);
}

}  // namespace tarvo
