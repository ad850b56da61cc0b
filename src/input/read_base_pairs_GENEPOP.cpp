// Reader of GENEPOP files: a title line, the locus names (on one line or
// several), then populations opened by the separator keyword, each sample a
// name, a comma and one 4- or 6-digit genotype per locus.
#include <algorithm>
#include <memory>

#include "tarvo.h"

namespace tarvo {

namespace {

// Names are copied as written up to their comma or the line end; padding
// blanks there would only make equal names differ.
std::string trimmed(std::string text) {
  size_t end = text.find_last_not_of(' ');
  text.erase(end == std::string::npos ? 0 : end + 1);
  return text;
}

std::string without_newline(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

bool only_line_end(const std::string& text) {
  return text.empty() || text == "\n";
}

bool is_separator(const std::string& line, const std::string& sep) {
  if (line.compare(0, sep.size(), sep) != 0) return false;
  if (line.size() == sep.size()) return true;
  char next = line[sep.size()];
  return next == ' ' || next == ',' || next == '\n';
}

std::string first_word(const std::string& name) {
  return name.substr(0, name.find(' ')).substr(0, POPNAME);
}

[[noreturn]] void too_many_loci(Run& run) {
  const char* l1 =
      "          If data is in GENEPOP format then possibly need to increase size of NOL=%d and "
      "recompile source code to read more loci\n";
  const char* l2 =
      "          Otherwise check that the population separator using the '-k STR' is correctly "
      "defined for the '-1 FILE'.\n";
  to_log(run, l1, NOL);
  to_log(run, "%s", l2);
  to_out(run, l1, NOL);
  to_out(run, "%s", l2);
  stop(1);
}

}  // namespace

void read_base_pairs_GENEPOP(Run& run, int& nloci_out, int& anim_out, int& nBlocks_out,
                             int max_samples) {
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
  bool separator_seen = false;
  bool sample_read = false;
  std::string last_sample;
  uint32_t initial_mask = 0;
  std::vector<int> pop_count(BLOCK, 0);

  auto add_locus = [&](const std::string& name, const std::string& as_read) {
    if (int(name.size()) > SOL) fatal(run, 4, as_read, "", "", "", lineno);
    if (nloci == NOL) too_many_loci(run);
    st.loc[nloci++].name = name;
  };

  // Populations carry no names in GENEPOP; the first word of the last sample
  // read before the population closes stands in for one.
  auto name_population = [&]() {
    if (j >= 0 && sample_read) st.b_name[j] = first_word(last_sample);
  };

  std::string line;
  bool too_long = false;
  while (read_line(fp.get(), line, too_long)) {
    ++lineno;
    if (too_long) fatal(run, 3, file, "", "", "", lineno);
    drop_carriage_return(line);
    if (lineno == 1) continue;  // the title, whatever it holds
    // Empty lines, and lines of blanks alone, separate nothing.
    rem_blank(line);
    if (line.size() < 2) continue;
    const std::string as_read = line;
    std::string& work = line;
    const bool separator = is_separator(work, opt.k_value);

    if (!separator_seen && !separator) {
      while (has_char(work, ',') > 0) {
        add_locus(trimmed(work.substr(0, size_t(has_char(work, ',')))), as_read);
        rem_string_char(work, ',');
        rem_blank(work);
      }
      std::string rest = trimmed(without_newline(work));
      if (int(rest.size()) > SOL) fatal(run, 4, as_read, "", "", "", lineno);
      if (!rest.empty()) add_locus(rest, as_read);
      continue;
    }

    if (separator) {
      if (!separator_seen) {
        if (nloci == 0) {
          log_out(run, "Need loci names to be read. Did not read any (nloci=%d)\n", nloci);
          stop(1);
        }
        initial_mask = all_loci_mask(nloci);
      }
      name_population();
      j = open_population(run, j, anim, pop_count);
      st.b_name[j].clear();
      separator_seen = true;
      continue;
    }

    // A sample line. Refuse it before anything of it is stored.
    if (anim >= limit) fatal(run, 14, as_read, "", "", "", anim + 1);
    Sample& s = st.rec[anim];
    s.block = j;
    ++pop_count[j];
    s.loci_mask = initial_mask;

    int comma = has_char(work, ',');
    if (comma == 0) {
      to_log(run, "Must have comma after sample name then allele number. \n");
      to_log(run, "Line number %d\nLast line read was:\n %s \n", lineno, as_read.c_str());
      to_out(run, "Must have comma after sample name then allele numbers. \n");
      to_out(run, "Line number %d\nLast line read was:\n %s \n", lineno, as_read.c_str());
      stop(1);
    }
    std::string name = trimmed(work.substr(0, size_t(comma)));
    // The spreadsheet reader's sample-name message fits here too.
    if (int(name.size()) > SOA) fatal(run, 8, as_read, "", "", "", lineno);
    s.name = name;
    last_sample = name;
    sample_read = true;
    rem_string_char(work, ',');
    rem_blank(work);
    if (only_line_end(work)) {
      const char* l1 = "No alleles after sample name (%s)  \n";
      const char* l2 = "Line number %d\nLast line read was:\n %s \n";
      to_log(run, l1, name.c_str());
      to_log(run, l2, lineno, as_read.c_str());
      to_out(run, l1, name.c_str());
      to_out(run, l2, lineno, as_read.c_str());
      stop(1);
    }

    int32_t* row = st.row(0, anim);
    int fieldno = 1;
    for (int k = 0; k < nloci; ++k) {
      rem_blank(work);
      std::string field = work.substr(0, work.find_first_of(" \n"));
      ++fieldno;
      size_t half = 0;
      if (field.size() == 4)
        half = 2;
      else if (field.size() == 6)
        half = 3;
      else {
        log_out(run,
                "Must have 4 or 6 integer characters per set of alleles. Read %d integers in line "
                "%d.\n",
                int(field.size()), lineno);
        stop(1);
      }
      row[2 * k] = check_int(run, field.substr(0, half), lineno, fieldno, file);
      row[2 * k + 1] = check_int(run, field.substr(half), lineno, fieldno, file);
      if (row[2 * k] == 0 || row[2 * k + 1] == 0) s.loci_mask &= ~(1u << k);
      rem_string(work);
      // Blanks at the end of a line are not a further genotype.
      rem_blank(work);
      if (only_line_end(work) && k < nloci - 1) {
        log_out(run, "No. of loci names (%d) is different from No. of alleles (%d) in line (%d)\n",
                nloci, k + 1, lineno);
        stop(1);
      }
    }
    ++anim;
  }

  name_population();
  bool listed = false;
  for (int p = 0; p < j; ++p) {
    if (pop_count[p] > 0) continue;
    if (!listed) {
      const char* head[] = {
          "OK OK\n",
          "Pairwise comparisons need more than 1 animal per data block\n",
          "1 animal per data block is allowed but is only meaningfull when compared to other "
          "blocks\n",
          "To help you even more here are the names of data blocks that have < 1 sample in "
          "them\n\n",
          "     No.   Name of data block\n",
          "     ________________________________________\n"};
      for (const char* h : head) to_log(run, "%s", h);
      for (const char* h : head) to_out(run, "%s", h);
      listed = true;
    }
    log_out(run, "     %1d     %s\n", pop_count[p], st.b_name[p].c_str());
  }
  if (listed) {
    const char* tail[] = {
        "\n\nI just want to let you know that I am not going to CRASH.\n",
        "I am simply going to STOP on my own accord to give you time to correct your data input "
        "file.\n",
        "Keep up the good work!\n"};
    for (const char* t : tail) to_log(run, "%s", t);
    for (const char* t : tail) to_out(run, "%s", t);
    stop(1);
  }

  st.nBlock[j + 1] = anim;
  fp.reset();
  nloci_out = nloci;
  anim_out = anim;
  nBlocks_out = j + 1;
}

}  // namespace tarvo
