// Tells the two genotype layouts apart by their commas: a GENEPOP sample line
// has one comma (after the name), a spreadsheet line has one per field.
#include <algorithm>
#include <memory>

#include "tarvo.h"

namespace tarvo {

namespace {

// One whole line of the file, however long: the commas of a line that the
// reader will later refuse as too long still decide the format, and a long
// line must not be taken for several.
bool whole_line(FILE* fp, std::string& line) {
  std::string piece;
  bool too_long = false;
  line.clear();
  bool any = false;
  while (read_line(fp, piece, too_long)) {
    any = true;
    line += piece;
    if (!too_long) break;
  }
  return any;
}

}  // namespace

int which_data_format(Run& run) {
  const std::string& file = run.opt.i_value[0];
  InputFile fp(std::fopen(file.c_str(), "r"));
  if (!fp) {
    to_out(run, "which_data_format: Cannot open <%s> for reading\n", file.c_str());
    stop(1);
  }
  std::string line;
  int nread = 0;
  while (nread < 4 && whole_line(fp.get(), line)) ++nread;
  if (nread < 4) {
    out_log(run,
            "Number of lines read in file %s was %d\nThis is too few lines and program is exiting "
            "for you to check",
            file.c_str(), nread);
    stop(1);
  }
  // A GENEPOP file that lists one locus name per line has no comma in its
  // fourth line; its first sample line, further on, settles the question.
  auto commas = [](const std::string& s) { return std::count(s.begin(), s.end(), ','); };
  while (commas(line) == 0 && whole_line(fp.get(), line)) {
  }
  fp.reset();
  long n = commas(line);
  if (n == 1) return 0;
  if (n > 1) return 1;
  to_out(run,
         "No comma found in line 4 and cannot detect if your data is in GENEPOP or TARVO "
         "format.\nPlease read manual.\n");
  stop(1);
}

}  // namespace tarvo
