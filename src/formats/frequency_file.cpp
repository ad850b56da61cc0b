// The allele frequency file: either an allele line and a frequency line per
// locus, or one frequency line per locus with alleles numbered 1, 2, ...
#include "formats/fields.h"
#include "tarvo/error.h"
#include "tarvo/formats.h"

namespace tarvo {

namespace {

using fields::first_field;

// Drops the leading field and the blanks after it, so the next field is in front.
void next_field(std::string_view& line) {
  fields::skip_field(line);
  fields::skip_blanks(line);
}

// A locus holds at most NOA alleles, the missing value included.
[[noreturn]] void too_many_alleles() {
  throw Error(ErrorCode::FrequencyTooManyAlleles, LimitDetails{.count = NOA + 1, .limit = NOA});
}

bool has_field(std::string_view line) {
  return !line.empty() && line[0] != '\n';
}

std::vector<std::int32_t> read_alleles(std::string_view line, const std::string& locus,
                                       int lineno) {
  std::vector<std::int32_t> alleles;
  int fieldno = 1;
  while (has_field(line)) {
    if (int(alleles.size()) >= NOA) too_many_alleles();
    const int v = fields::parse_int(first_field(line), lineno, ++fieldno);
    // 0 is the missing allele of every genotype: given a frequency it would
    // be drawn into simulated genotypes as a scored allele.
    if (v == 0) {
      FrequencyDetails d;
      d.locus = locus;
      d.line = lineno;
      d.field = fieldno;
      throw Error(ErrorCode::FrequencyAlleleZero, std::move(d));
    }
    // The lookup is a binary search over this list.
    if (!alleles.empty() && v <= alleles.back()) {
      FrequencyDetails d;
      d.locus = locus;
      d.line = lineno;
      throw Error(ErrorCode::AllelesNotAscending, std::move(d));
    }
    alleles.push_back(v);
    next_field(line);
  }
  return alleles;
}

std::vector<double> read_frequencies(std::string_view line, int lineno) {
  std::vector<double> freqs;
  int fieldno = 1;
  while (has_field(line)) {
    if (int(freqs.size()) >= NOA) too_many_alleles();
    freqs.push_back(fields::parse_decimal(first_field(line), lineno, ++fieldno));
    next_field(line);
  }
  return freqs;
}

// Cumulative frequencies are scaled by the total, so the last one is 1 even
// when the file's values were rounded; the frequencies themselves stay as read.
void close_frequencies(LocusFrequencies& locus, std::vector<double> freqs, int lineno) {
  const std::size_t n = freqs.size();
  double total = 0.0;
  for (double f : freqs) total += f;
  double sum = 0.0;
  locus.cumulative.assign(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    sum += freqs[i];
    locus.cumulative[i] = total > 0.0 ? sum / total : 0.0;
  }
  locus.freqs = std::move(freqs);
  locus.counts.assign(n, 0);
  locus.missing = 0;
  if (total < 0.99 || total > 1.01) {
    FrequencyDetails d;
    d.line = lineno;
    d.total = total;
    throw Error(ErrorCode::FrequencySum, std::move(d));
  }
}

struct FrequencyReader {
  FrequencyTable table;
  int lineno = 0;
  bool layout_known = false;
  bool allele_lines = true;
  bool expect_alleles = true;

  void take(std::string_view line);
};

// One line of fields, the locus name in front.
void FrequencyReader::take(std::string_view line) {
  const std::string name(first_field(line));
  next_field(line);
  if (!layout_known) {
    // Frequencies carry a decimal point, allele values never do.
    const std::string_view rest = line.substr(0, line.empty() ? 0 : line.size() - 1);
    allele_lines = rest.find('.') == std::string_view::npos;
    layout_known = true;
  }
  if (allele_lines && expect_alleles) {
    LocusFrequencies locus;
    locus.name = name;
    locus.alleles = read_alleles(line, name, lineno);
    table.loci.push_back(std::move(locus));
    expect_alleles = false;
  } else if (allele_lines) {
    LocusFrequencies& locus = table.loci.back();
    std::vector<double> freqs = read_frequencies(line, lineno);
    if (freqs.size() != locus.alleles.size()) {
      FrequencyDetails d;
      d.locus = locus.name;
      d.alleles = long(locus.alleles.size());
      d.frequencies = long(freqs.size());
      d.line = lineno;
      throw Error(ErrorCode::FrequencyCount, std::move(d));
    }
    close_frequencies(locus, std::move(freqs), lineno);
    expect_alleles = true;
  } else {
    table.loci.push_back(LocusFrequencies{});
    LocusFrequencies& locus = table.loci.back();
    locus.name = name;
    std::vector<double> freqs = read_frequencies(line, lineno);
    for (std::size_t i = 0; i < freqs.size(); ++i) locus.alleles.push_back(std::int32_t(i + 1));
    close_frequencies(locus, std::move(freqs), lineno);
  }
}

}  // namespace

FrequencyTable read_frequency_file(std::istream& in) {
  FrequencyReader reader;
  fields::for_each_line(in, reader.lineno, [&](std::string& line) {
    if (line.size() < 2) return;
    fields::tabs_to_commas(line);
    fields::commas_to_blanks(line);
    std::string_view text = line;
    fields::skip_blanks(text);
    if (!has_field(text)) return;  // a line of blanks holds no locus
    reader.take(text);
  });
  if (reader.allele_lines && !reader.expect_alleles) {
    FrequencyDetails d;
    d.locus = reader.table.loci.back().name;
    throw Error(ErrorCode::NoFrequencyLine, std::move(d));
  }
  return std::move(reader.table);
}

}  // namespace tarvo
