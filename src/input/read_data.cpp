// The loading stage: genotypes read from file, frequencies read or counted,
// or reference data simulated from the frequencies, with their missing-loci
// combinations.
#include <vector>

#include "tarvo.h"

namespace tarvo {

namespace {

// The one or two populations of simulated reference data (-M and -H).
void simulated_populations(Run& run, int& anim, int& nBlocks) {
  const Options& o = run.opt;
  anim = o.M_value + o.H_value;
  run.store.nBlock[0] = 0;
  run.store.nBlock[1] = o.M_value;
  run.store.nBlock[2] = o.M_value + o.H_value;
  nBlocks = o.H_value > 0 ? 2 : 1;
}

void read_genotypes(Run& run, int& nloci, int& anim, int& nBlocks) {
  if (run.opt.f_option) {
    read_base_pairs(run, nloci, anim, nBlocks, ANIM);
  } else {
    read_base_pairs_GENEPOP(run, nloci, anim, nBlocks, ANIM);
  }
}

std::vector<uint32_t> masks_of(const Run& run, int n) {
  std::vector<uint32_t> masks(size_t(n > 0 ? n : 0));
  for (int i = 0; i < n; ++i) masks[i] = run.store.rec[i].loci_mask;
  return masks;
}

// Both files describe the same loci, or the frequencies would be matched to
// the wrong loci.
void same_loci(Run& run, int nloci_freq, int nloci_geno) {
  if (nloci_geno == nloci_freq) return;
  const char* freq_file = run.opt.i_value[1].c_str();
  const char* geno_file = run.opt.i_value[0].c_str();
  to_log(run, "There are %d number of loci read from FILE: \"%s\"  \n", nloci_freq, freq_file);
  to_log(run, "This differs from %d number of loci read from FILE: \"%s\"  \n", nloci_geno,
         geno_file);
  to_log(run, "Please address this difference before running TARVO again.\n");
  to_out(run, "There are %d number of loci read from FILE: \"%s\"  \n", nloci_freq, freq_file);
  to_out(run, "This differs from %d number of loci read from FILE: \"%s\"  \n", nloci_geno,
         geno_file);
  to_out(run, "Please address this difference before running TARVO again.\n");
  stop(1);
}

void samples_read(Run& run, int anim, int nloci) {
  log_out(run, "          A total of %d genotype samples were read from %d loci.\n\n", anim, nloci);
}

}  // namespace

void read_data(Run& run, int& nloci, int& anim, int& iperm, int& nBlocks, int& stage, int model) {
  const Options& o = run.opt;
  if (model % 2 == 0) {
    log_out(run, "Reading allele frequencies from:                              FILE: \"%s\"\n",
            o.i_value[1].c_str());
    nloci = read_allele_freq(run);
    if (model == 2) {
      log_out(run,
              "          Reading allele base pairs for match analysis from:            FILE: "
              "\"%s\" \n",
              o.i_value[0].c_str());
      log_out(run, "%s",
              o.f_option ? "          TARVO spreadsheet format assumed for reading base pairs \n"
                         : "          GENEPOP format assumed for reading base pairs. \n");
      int nloci_geno = 0;
      read_genotypes(run, nloci_geno, anim, nBlocks);
      same_loci(run, nloci, nloci_geno);
      nloci = nloci_geno;
      samples_read(run, anim, nloci);
      get_mbit2(run, anim, iperm);
    } else {
      get_loci_combinations(run, nloci, model, iperm, nBlocks, anim);
      get_reference_data(run, model, nloci, anim, nBlocks, stage);
      ++stage;
    }
  } else {
    log_out(run, "Reading allele base pairs for match analysis from:            FILE: \"%s\" \n",
            o.i_value[0].c_str());
    log_out(run, "%s",
            o.f_option ? "          TARVO spreadsheet format assumed for reading alleles \n"
                       : "          GENEPOP format assumed for reading alleles. \n");
    read_genotypes(run, nloci, anim, nBlocks);
    samples_read(run, anim, nloci);
    store_loci_freq(run, nloci, anim);
    if (model == 1) {
      get_mbit2(run, anim, iperm);
    } else if (model == 3 || model == 7) {
      simulated_populations(run, anim, nBlocks);
      bitperm(run, 0, 0, 1, ' ');
      get_mbit(run, anim, nloci, iperm, o.Y_value);
      get_reference_data(run, model, nloci, anim, nBlocks, stage);
      ++stage;
    } else if (model == 5 || model == 9) {
      const int nread = anim;
      const std::vector<uint32_t> masks = masks_of(run, nread);
      simulated_populations(run, anim, nBlocks);
      bitperm(run, 0, 0, 1, ' ');
      get_mbit3(run, anim, iperm, nread, masks.data());
      get_reference_data(run, model, nloci, anim, nBlocks, stage);
      ++stage;
    }
  }
  log_out(run, "\n");
}

void get_loci_combinations(Run& run, int nloci, int model, int& iperm, int& nBlocks, int& anim) {
  const Options& o = run.opt;
  simulated_populations(run, anim, nBlocks);
  if (model == 6 || model == 10) {
    log_out(
        run,
        "          Reading alleles for bootstrapping loci combinations:          FILE: \"%s\" \n",
        o.i_value[0].c_str());
    int nloci_geno = 0, nread = 0, nblocks_geno = 0;
    if (o.f_option == 0) {
      log_out(run, "          GENEPOP input format assumed with '-f' flag on command line.\n");
      read_base_pairs_GENEPOP(run, nloci_geno, nread, nblocks_geno, ANIM);
    } else {
      log_out(run, "          TARVO input format assumed.\n");
      read_base_pairs(run, nloci_geno, nread, nblocks_geno, ANIM);
    }
    same_loci(run, nloci, nloci_geno);
    samples_read(run, nread, nloci);
    // The reader rewrote the population boundaries.
    simulated_populations(run, anim, nBlocks);
    const std::vector<uint32_t> masks = masks_of(run, nread);
    get_mbit3(run, anim, iperm, nread, masks.data());
  } else {
    bitperm(run, 0, 0, 1, ' ');
    get_mbit(run, anim, nloci, iperm, o.Y_value);
  }
}

void get_reference_data(Run& run, int model, int nloci, int anim, int nBlocks, int stage) {
  const Options& o = run.opt;
  log_out(run,
          "STAGE %2d: Writing simulated reference genotypes to:                     FILE: "
          "\"%s\"\n",
          stage, o.o_value[5].c_str());
  if (nBlocks <= 1) {
    log_out(run, "          This reference data has %d samples containing %d recaptures.\n", anim,
            o.R_value);
  } else if (model == 3 || model == 7) {
    log_out(run,
            "          This reference data has %d samples containing %d recaptures in %d "
            "populations.\n",
            anim, o.R_value, nBlocks);
  } else {
    log_out(run,
            "          This reference data has %d samples containing %d recaptures in %d "
            "population(s).\n",
            anim, o.R_value, nBlocks);
  }
  switch (model) {
    case 3:
    case 4:
    case 7:
    case 8:
      log_out(run, "          Missing loci combinations randomly sampled using Y=%4.2f\n",
              o.Y_value / 100.0);
      break;
    case 5:
    case 9:
      to_log(run, "          Missing loci combinations defined from:\n");
      to_log(run, "                  random sampling of missing alleles. \n\n");
      to_out(run, "          Missing loci combinations defined from:\n");
      to_out(run, "                  random sampling of mising alleles. \n\n");
      break;
    case 6:
    case 10:
      log_out(run, "          Missing loci combinations defined \n");
      log_out(run, "                  by random sampling of missing alleles. \n\n");
      break;
    default:
      break;
  }
  sim_genotypes(run, model, nloci, anim, o.R_value, 0);
  print_genotype_data_GENEPOP(run, nloci, anim, o.o_value[5], 0, 0);
}

}  // namespace tarvo
