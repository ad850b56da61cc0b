// Tells the genotype layouts apart by their separators: a GENEPOP sample line
// has one comma (after the name), a spreadsheet line has one comma, or one
// semicolon, per field; a GenAlEx file starts with a line of counts.
#include <algorithm>

#include "formats/fields.h"
#include "tarvo/error.h"
#include "tarvo/formats.h"

namespace tarvo {

namespace {

// The next line, kept in seen too.
bool whole_line(std::istream& in, std::string& line, std::string& seen) {
  if (fields::read_line(in, line) == fields::LineRead::End) return false;
  seen += line;
  return true;
}

long count_of(const std::string& line, char c) {
  return long(std::count(line.begin(), line.end(), c));
}

// The first line as its reader sees it: a byte-order mark is not a field.
std::string_view without_mark(std::string_view line) {
  if (line.starts_with(fields::BYTE_ORDER_MARK)) line.remove_prefix(fields::BYTE_ORDER_MARK.size());
  return line;
}

}  // namespace

GenotypeFormat detect_format(std::istream& in) {
  std::string seen;
  return detect_format(in, seen);
}

GenotypeFormat detect_format(std::istream& in, std::string& seen) {
  std::string line;
  int nread = 0;
  while (nread < 4 && whole_line(in, line, seen)) {
    if (++nread == 1 && looks_like_genalex(std::string(without_mark(line))))
      return GenotypeFormat::Genalex;
  }
  if (nread < 4) {
    throw Error(ErrorCode::TooFewLines, LimitDetails{.count = nread, .limit = 4});
  }
  // A GENEPOP file that lists one locus name per line has no comma in its
  // fourth line; its first sample line, further on, settles the question.
  while (count_of(line, ',') + count_of(line, ';') == 0 && whole_line(in, line, seen)) {
  }
  const long n = count_of(line, ',');
  if (n == 1) return GenotypeFormat::Genepop;
  if (n > 1 || (n == 0 && count_of(line, ';') > 1)) return GenotypeFormat::Own;
  throw Error(ErrorCode::NoCommaInLine4);
}

GenotypeTable read_genotypes(std::istream& in, GenotypeFormat format,
                             const GenotypeReadSettings& settings) {
  switch (format) {
    case GenotypeFormat::Genepop:
      return read_genepop(in, settings);
    case GenotypeFormat::Genalex:
      return read_genalex(in, settings);
    default:
      return read_own_format(in, settings);
  }
}

}  // namespace tarvo
