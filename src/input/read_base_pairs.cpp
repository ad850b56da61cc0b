// Reader of the spreadsheet layout: a header naming each locus twice (one
// column per allele), population separator lines and one sample per line,
// all comma-separated.
#include <algorithm>
#include <memory>

#include "tarvo.h"

namespace tarvo {

namespace {

// The leading field: up to the first blank or the line end.
std::string first_field(const std::string& text) {
  return text.substr(0, text.find_first_of(" \n"));
}

}  // namespace

void read_base_pairs(Run& run, int& nloci_out, int& anim_out, int& nBlocks_out, int max_samples) {
  Store& st = run.store;
  const Options& opt = run.opt;
  const std::string& file = opt.i_value[0];
  const int limit = std::min(max_samples, ANIM);

  InputFile fp(std::fopen(file.c_str(), "r"));
  if (!fp) fatal(run, 2, file);

  int lineno = 0;
  int nloci = 0;
  int anim = 0;
  int j = -1;
  bool header_read = false;
  bool separator_seen = false;
  uint32_t initial_mask = 0;
  std::vector<int> pop_count(BLOCK, 0);

  std::string line;
  bool too_long = false;
  while (read_line(fp.get(), line, too_long)) {
    ++lineno;
    if (too_long) fatal(run, 3, file, "", "", "", lineno);
    drop_carriage_return(line);
    // Empty lines, and lines of blanks alone, separate nothing.
    if (line.find_first_not_of(' ') == std::string::npos ||
        line.size() - line.find_first_not_of(' ') < 2)
      continue;

    const std::string as_read = line;
    std::string work = line;
    csver(work);

    if (!header_read) {
      rem_blank(work);
      rem_string(work);
      rem_blank(work);
      while (work.size() > 1) {
        std::string a = first_field(work);
        if (int(a.size()) > SOL) fatal(run, 4, as_read, "", "", "", lineno);
        if (nloci == NOL) fatal(run, 5);
        st.loc[nloci].name = a;
        rem_string(work);
        rem_blank(work);
        if (work.size() <= 1) fatal(run, 6, a, as_read, "", "", lineno);
        std::string b = first_field(work);
        if (b != a) {
          const char* l1 =
              "          Pair of allele names do not match (%s) (%s) in first line of data. "
              "locus=%d\n";
          const char* l2 =
              "          Make sure data is in TARVO format or use '-f' option to define GENEPOP "
              "data format \n\n";
          to_log(run, l1, a.c_str(), b.c_str(), nloci + 1);
          to_log(run, "%s", l2);
          to_out(run, l1, a.c_str(), b.c_str(), nloci + 1);
          to_out(run, "%s", l2);
          stop(1);
        }
        rem_string(work);
        rem_blank(work);
        ++nloci;
      }
      if (nloci == 0) fatal(run, 7);
      initial_mask = all_loci_mask(nloci);
      header_read = true;
      continue;
    }

    rem_blank(work);
    const std::string name = first_field(work);
    if (int(name.size()) > SOA) fatal(run, 8, as_read, "", "", "", lineno);

    if (name == opt.k_value) {
      j = open_population(run, j, anim, pop_count);
      rem_string(work);
      rem_blank(work);
      // A separator without a name gives an unnamed population, never the
      // name of one dropped at this index.
      st.b_name[j] = work.size() > 1 ? first_field(work).substr(0, POPNAME) : "";
      if (j > 0 && pop_count[j - 1] == 0) fatal(run, 15);
      separator_seen = true;
      continue;
    }

    if (!separator_seen) fatal(run, 1, opt.k_value, "", "", "", j);
    // Refuse the sample before anything of it is stored.
    if (anim >= limit) fatal(run, 14, as_read, "", "", "", anim + 1);

    Sample& s = st.rec[anim];
    s.name = name;
    s.block = j;
    s.loci_mask = initial_mask;
    ++pop_count[j];
    int32_t* row = st.row(0, anim);
    // Messages of codes 12 and 13 show this reckoning of the line number,
    // which ignores empty lines and dropped populations.
    const int shown_line = anim + j + 2;

    rem_string(work);
    rem_blank(work);
    int k = 0;
    int pairs = 0;
    int fieldno = 1;
    while (work.size() > 1) {
      if (k == NOL) fatal(run, 11);
      std::string a = first_field(work);
      row[2 * k] = check_int(run, a, lineno, ++fieldno, file);
      rem_string(work);
      rem_blank(work);
      if (work.size() <= 1) fatal(run, 10, a, as_read, "", "", lineno);
      std::string b = first_field(work);
      row[2 * k + 1] = check_int(run, b, lineno, ++fieldno, file);
      rem_string(work);
      rem_blank(work);
      ++pairs;
      if ((a == "0" || b == "0") && a != b)
        fatal(run, 12, a == "0" ? b : a, s.name, k < nloci ? st.loc[k].name : "", as_read,
              shown_line);
      // Either allele missing leaves the genotype unusable for matching.
      if (row[2 * k] == 0 || row[2 * k + 1] == 0) s.loci_mask &= ~(1u << k);
      ++k;
    }
    if (pairs != nloci)
      fatal(run, 13, s.name, k < nloci ? st.loc[k].name : "", as_read, "", pairs, nloci,
            shown_line);
    ++anim;
  }

  st.nBlock[j + 1] = anim;
  fp.reset();
  nloci_out = nloci;
  anim_out = anim;
  nBlocks_out = j + 1;
}

}  // namespace tarvo
