// Tells the two genotype layouts apart by their commas: a GENEPOP sample line
// has one comma (after the name), a spreadsheet line has one per field.
#include <algorithm>

#include "formats/fields.h"
#include "tarvo/error.h"
#include "tarvo/formats.h"

namespace tarvo {

namespace {

// One whole line, however long: the commas of a line that the reader will
// later refuse as too long still decide the format, and a long line must not
// be taken for several.
bool whole_line(std::istream& in, std::string& line) {
  std::string piece;
  line.clear();
  bool any = false;
  for (;;) {
    const fields::LineRead read = fields::read_line(in, piece);
    if (read == fields::LineRead::End) break;
    any = true;
    line += piece;
    if (read != fields::LineRead::TooLong) break;
  }
  return any;
}

long commas(const std::string& line) {
  return long(std::count(line.begin(), line.end(), ','));
}

}  // namespace

GenotypeFormat detect_format(std::istream& in) {
  std::string line;
  int nread = 0;
  while (nread < 4 && whole_line(in, line)) {
    if (++nread == 1 && looks_like_genalex(line)) return GenotypeFormat::Genalex;
  }
  if (nread < 4) {
    ErrorDetails d;
    d.count = nread;
    throw Error(ErrorCode::TooFewLines, std::move(d));
  }
  // A GENEPOP file that lists one locus name per line has no comma in its
  // fourth line; its first sample line, further on, settles the question.
  while (commas(line) == 0 && whole_line(in, line)) {
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
