// The allele frequency file (option -2): either an allele line and a frequency
// line per locus, or one frequency line per locus with alleles numbered 1, 2, ...
#include <memory>
#include <string>

#include "tarvo.h"

namespace tarvo {

namespace {

// The leading field: everything up to the first blank or the line end.
std::string first_field(const std::string& line) {
  const size_t end = line.find_first_of(" \n");
  return line.substr(0, end == std::string::npos ? line.size() : end);
}

// Drop the leading field and the blanks after it, so the next field is in front.
void next_field(std::string& line) {
  rem_string(line);
  rem_blank(line);
}

bool has_field(const std::string& line) {
  return !line.empty() && line[0] != '\n';
}

[[noreturn]] void limit_nol(Run& run) {
  log_out(run, "Need to increase dimension for number of loci (NOL=%d) \n", NOL);
  stop(1);
}

[[noreturn]] void limit_noa(Run& run) {
  log_out(run, "Need to increase size of NOA=%d to read more alleles \n", NOA);
  stop(1);
}

void please_check(Run& run, const std::string& file) {
  out_log(run, "                  Please check input file <%s>.\n", file.c_str());
}

// Reads the frequencies after the leading field into locus k; returns how many.
int read_frequencies(Run& run, std::string& line, int k, int lineno, const std::string& file) {
  Locus& L = run.store.loc[k];
  int n = 0;
  int fieldno = 1;
  while (has_field(line)) {
    if (n >= NOA) limit_noa(run);
    ++fieldno;
    L.freq[n++] = check_double(run, first_field(line), lineno, fieldno, file);
    next_field(line);
  }
  return n;
}

// Cumulative frequencies are scaled by the total, so the last one is 1 even
// when the file's values were rounded; the frequencies themselves stay as read.
void close_frequencies(Run& run, int k, int n, int lineno, const std::string& file) {
  Locus& L = run.store.loc[k];
  double total = 0.0;
  for (int i = 0; i < n; ++i) total += L.freq[i];
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    sum += L.freq[i];
    L.cumfreq[i] = total > 0.0 ? sum / total : 0.0;
  }
  L.nallele = n;
  L.nmissing = 0;
  for (int i = 0; i < n; ++i) L.count[i] = 0;
  if (total < 0.99 || total > 1.01) {
    to_out(run,
           "\nread_allele_freq: Allele frequecies in line=%d do not add up to one (total "
           "frequency is %f)\n",
           lineno, total);
    to_out(run, "                  Please check input file <%s>.\n", file.c_str());
    stop(1);
  }
}

}  // namespace

int read_allele_freq(Run& run) {
  const std::string& file = run.opt.i_value[1];
  // Closed on every way out, the failures included.
  InputFile in(std::fopen(file.c_str(), "r"));
  if (!in) {
    log_out(run, "read_allele_freq: Cannot open input file %s\n", file.c_str());
    stop(255);
  }

  int L = 0;
  int lineno = 0;
  bool layout_known = false;
  bool allele_lines = true;
  bool expect_alleles = true;
  int alleles_read = 0;  // values on the allele line of the locus awaiting its frequencies
  std::string line;
  bool too_long = false;
  while (read_line(in.get(), line, too_long)) {
    if (too_long) {
      log_out(run,
              "Need to increase size of STR=%d to %d so all characters can be read in line %d of "
              "file %s\n",
              STR, int(line.size()), L + 1, file.c_str());
      stop(1);
    }
    ++lineno;
    drop_carriage_return(line);
    if (line.size() < 2) continue;

    tabtocsv(run, line);
    csver(line);
    rem_blank(line);
    if (!has_field(line)) continue;  // a line of blanks holds no locus
    const std::string name = first_field(line);
    next_field(line);

    if (!layout_known) {
      // Frequencies carry a decimal point, allele values never do.
      const std::string rest = line.empty() ? line : line.substr(0, line.size() - 1);
      allele_lines = rest.find('.') == std::string::npos;
      layout_known = true;
    }

    if (allele_lines && expect_alleles) {
      if (L + 1 > NOL) limit_nol(run);
      Locus& loc = run.store.loc[L];
      loc.name = name;
      int n = 0;
      int fieldno = 1;
      while (has_field(line)) {
        if (n >= NOA) limit_noa(run);
        ++fieldno;
        const int v = check_int(run, first_field(line), lineno, fieldno, file);
        // The lookup is a binary search over this list.
        if (n > 0 && v <= loc.allele[n - 1]) {
          out_log(run,
                  "\nread_allele_freq: Alleles of locus %s must be in ascending order (line=%d)\n",
                  loc.name.c_str(), lineno);
          please_check(run, file);
          stop(1);
        }
        loc.allele[n++] = v;
        next_field(line);
      }
      loc.nallele = n;
      alleles_read = n;
      ++L;
      expect_alleles = false;
    } else if (allele_lines) {
      if (L > NOL) limit_nol(run);
      const int n = read_frequencies(run, line, L - 1, lineno, file);
      if (n != alleles_read) {
        out_log(run, "\nread_allele_freq: Locus %s has %d alleles but %d frequencies in line=%d\n",
                run.store.loc[L - 1].name.c_str(), alleles_read, n, lineno);
        please_check(run, file);
        stop(1);
      }
      close_frequencies(run, L - 1, n, lineno, file);
      expect_alleles = true;
    } else {
      if (L + 1 > NOL) limit_nol(run);
      run.store.loc[L].name = name;
      ++L;
      const int n = read_frequencies(run, line, L - 1, lineno, file);
      for (int i = 0; i < n; ++i) run.store.loc[L - 1].allele[i] = i + 1;
      close_frequencies(run, L - 1, n, lineno, file);
    }
  }
  in.reset();

  if (allele_lines && !expect_alleles) {
    out_log(run, "\nread_allele_freq: Locus %s has no frequency line in file <%s>\n",
            run.store.loc[L - 1].name.c_str(), file.c_str());
    stop(1);
  }
  return L;
}

}  // namespace tarvo
