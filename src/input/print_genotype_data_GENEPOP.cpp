// Writes a genotype store as a GENEPOP file (the simulated reference data).
#include "tarvo.h"

namespace tarvo {

void print_genotype_data_GENEPOP(Run& run, int nloci, int anim, const std::string& file,
                                 int all_loci, int simulated) {
  const Store& st = run.store;
  auto written = [&](int i, int k) {
    return all_loci || locus_missing_bit(k, st.rec[i].loci_mask);
  };

  // A GENEPOP allele has three digits; a longer value would run into its
  // partner and the file would read back as other alleles. Refuse before
  // anything is written.
  for (int i = 0; i < anim; ++i) {
    const int32_t* row = st.row(simulated, i);
    for (int k = 0; k < nloci; ++k) {
      if (!written(i, k)) continue;
      for (int slot = 0; slot < 2; ++slot) {
        if (row[2 * k + slot] > 999) {
          log_out(run,
                  "print_genotype_data: Allele value %d at locus %d does not fit the 3-digit "
                  "GENEPOP field\n",
                  row[2 * k + slot], k + 1);
          stop(1);
        }
      }
    }
  }

  FILE* fp = std::fopen(file.c_str(), "w");
  if (!fp) {
    log_out(run, "print_genotype_data: Cannot open output file %s\n", file.c_str());
    stop(255);
  }
  std::fprintf(fp, "GENEPOP data file created using TARVO simulation\n");
  for (int k = 1; k < nloci; ++k) std::fprintf(fp, "L%d, ", k);
  if (nloci >= 1) std::fprintf(fp, "L%d", nloci);
  std::fprintf(fp, "\n");

  for (int i = 0; i < anim; ++i) {
    if (i == 0 || st.rec[i].block != st.rec[i - 1].block) {
      std::fprintf(fp, "%s\n", run.opt.k_value.c_str());
    }
    std::fprintf(fp, "Rec%-5d,", i + 1);
    const int32_t* row = st.row(simulated, i);
    for (int k = 0; k < nloci; ++k) {
      if (written(i, k)) {
        std::fprintf(fp, " %03d%03d", row[2 * k], row[2 * k + 1]);
      } else {
        std::fprintf(fp, " 000000");
      }
    }
    std::fprintf(fp, "\n");
  }
  std::fflush(fp);
  std::fclose(fp);
}

}  // namespace tarvo
