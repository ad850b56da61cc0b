// The allele frequency report and the frequency file that the program can read
// back as its own -2 input.
#include <cstdarg>

#include "tarvo.h"

namespace tarvo {

namespace {

void put(FILE* stream, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void put(FILE* stream, const char* fmt, ...) {
  if (!stream) return;
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(stream, fmt, ap);
  va_end(ap);
}

void rule(FILE* stream) {
  put(stream, "_________________________________________________________________________________");
}

}  // namespace

void write_loci_freq(Run& run, int nloci, int anim, int model) {
  FILE* fp = run.io.fp1;
  put(fp, "\n\n\n");
  rule(fp);
  put(fp, "\n\n");
  switch (model) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 9:
      put(fp, "Allele frequencies of %d records read from file <%s> \n", anim,
          run.opt.i_value[0].c_str());
      break;
    case 2:
    case 4:
    case 6:
    case 8:
    case 10:
      put(fp, "Allele frequencies read from file: <%s>\n\n", run.opt.i_value[1].c_str());
      break;
    default:
      put(fp, "Allele frequencies read from dunno\n\n");
  }
  rule(fp);
  put(fp, "\n\n");
  if (nloci < 1) {
    rule(fp);
    put(fp, "\n\n");
    if (fp) std::fflush(fp);
    return;
  }

  bool only_missing = false;
  for (int i = 0; i < nloci; ++i) {
    const Locus& L = run.store.loc[i];
    const char* name = L.name.c_str();
    put(fp,
        "    loci          loci      allele     allele     allele  allele       cumulative'n  \n");
    put(fp, "    name          number    name       number     count   frequency    frequency\n\n");
    int number = 0;
    for (int j = 0; j < L.nallele; ++j) {
      if (L.allele[j] != 0) {
        ++number;
        put(fp, "%10s  %10d %10d %10d", name, i + 1, L.allele[j], number);
        put(fp, "%10d  %10.5f   %10.5f ", L.count[j], L.freq[j], L.cumfreq[j]);
      } else {
        put(fp, "%10s  %10d         M           0", name, i + 1);
        put(fp, "%10d        -            -", L.count[j]);
        if (L.nallele == 1) {
          put(fp, "\n\nWARNING: This locus only had missing values\n\n");
          only_missing = true;
        }
      }
      if (j < L.nallele - 1) put(fp, "\n");
    }
    // A locus without entries has nothing adding up to one either.
    const double last = L.nallele > 0 ? L.cumfreq[L.nallele - 1] : 0.0;
    if (last > 1.00001 || last < 0.99999) {
      put(fp, "WARNING: Allele frequencies do not add up to one: freq=%12.9f \n", last);
    }
    put(fp, "\n\n\n");
  }
  rule(fp);
  put(fp, "\n\n");
  if (fp) std::fflush(fp);

  if (only_missing) {
    log_out(run,
            "\n\nSTOPPING RUN: Due to all alleles in at least one loci having all missing values "
            "\n\n");
    stop(1);
  }
}

void print_loci_freq(Run& run, int nloci) {
  FILE* fp = run.io.fp0;
  for (int i = 0; i < nloci; ++i) {
    const Locus& L = run.store.loc[i];
    // The missing value is left out: the second line then adds up to one and
    // the file reads back as a frequency input.
    put(fp, "%-10s ", L.name.c_str());
    for (int j = 0; j < L.nallele; ++j) {
      if (L.allele[j] != 0) put(fp, "%7d ", L.allele[j]);
    }
    put(fp, "\n");
    put(fp, "%-10s ", L.name.c_str());
    for (int j = 0; j < L.nallele; ++j) {
      if (L.allele[j] != 0) put(fp, "%7.5f ", L.freq[j]);
    }
    put(fp, "\n");
  }
  if (fp) std::fflush(fp);
  if (run.opt.p_option) {
    if (fp) std::fclose(fp);
    run.io.fp0 = nullptr;
    stop(1);
  }
}

}  // namespace tarvo
