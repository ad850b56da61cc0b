// Tells the two genotype layouts apart by their commas: a GENEPOP sample line
// has one comma (after the name), a spreadsheet line has one per field.
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

long commas(const std::string& line) {
  return long(std::count(line.begin(), line.end(), ','));
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
    if (++nread == 1 && looks_like_genalex(line)) return GenotypeFormat::Genalex;
  }
  if (nread < 4) {
    throw Error(ErrorCode::TooFewLines, LimitDetails{.count = nread, .limit = 4});
  }
  // A GENEPOP file that lists one locus name per line has no comma in its
  // fourth line; its first sample line, further on, settles the question.
  while (commas(line) == 0 && whole_line(in, line, seen)) {
  }
  const long n = commas(line);
  if (n == 1) return GenotypeFormat::Genepop;
  if (n > 1) return GenotypeFormat::Own;
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
